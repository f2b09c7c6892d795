// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The errors that malformed data can raise inside the analysis, and the checked 32-bit arithmetic
// that raises them. Counts and fields are signed 32-bit (file sizes and offsets 64-bit); a result
// that does not fit is an error, never a wrap. MP3Info::ReadMP3Info catches every AnalysisError
// and answers false.

#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>

#include "analysis/Rounding.h"

class AnalysisError : public std::exception {
  public:
    enum class Kind { Overflow, IndexOutOfRange, DivisionByZero };

    explicit AnalysisError(Kind kind) : kind_(kind) {}
    Kind kind() const { return kind_; }
    const char* what() const noexcept override {
        switch (kind_) {
            case Kind::Overflow:
                return "overflow";
            case Kind::IndexOutOfRange:
                return "index out of range";
            case Kind::DivisionByZero:
                return "division by zero";
        }
        return "analysis error";
    }

  private:
    Kind kind_;
};

[[noreturn]] inline void ThrowOverflow() { throw AnalysisError(AnalysisError::Kind::Overflow); }
[[noreturn]] inline void ThrowOutOfRange() {
    throw AnalysisError(AnalysisError::Kind::IndexOutOfRange);
}

inline int32_t CheckedAdd(int32_t lngA, int32_t lngB) {
    int32_t lngResult;
    if (__builtin_add_overflow(lngA, lngB, &lngResult)) ThrowOverflow();
    return lngResult;
}

inline int32_t CheckedSub(int32_t lngA, int32_t lngB) {
    int32_t lngResult;
    if (__builtin_sub_overflow(lngA, lngB, &lngResult)) ThrowOverflow();
    return lngResult;
}

inline int32_t CheckedMul(int32_t lngA, int32_t lngB) {
    int32_t lngResult;
    if (__builtin_mul_overflow(lngA, lngB, &lngResult)) ThrowOverflow();
    return lngResult;
}

// Converts to a 32-bit integer after dropping the fraction (toward zero).
inline int32_t TruncateToInt32(double dblValue) {
    const double dblWhole = std::trunc(dblValue);
    if (!(dblWhole >= -2147483648.0 && dblWhole <= 2147483647.0)) ThrowOverflow();
    return static_cast<int32_t>(dblWhole);
}

// Converts to a 32-bit integer by rounding to nearest, halves to the even neighbour
// (2.5 -> 2, 3.5 -> 4, -2.5 -> -2). Not-a-number and values out of range are overflow errors.
inline int32_t RoundToInt32(double dblValue) {
    if (!std::isfinite(dblValue)) ThrowOverflow();
    const double dblWhole = RoundHalfEven(dblValue);
    if (!(dblWhole >= -2147483648.0 && dblWhole <= 2147483647.0)) ThrowOverflow();
    return static_cast<int32_t>(dblWhole);
}

// Double-precision division that treats a zero divisor as an error instead of an infinity.
inline double CheckedDivide(double dblNumerator, double dblDenominator) {
    if (dblDenominator == 0.0) throw AnalysisError(AnalysisError::Kind::DivisionByZero);
    return dblNumerator / dblDenominator;
}
