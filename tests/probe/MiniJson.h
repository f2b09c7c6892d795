// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small strict JSON reader for the probe's output lines: one object whose values are strings,
// numbers, true, false or null. It refuses anything RFC 8259 does not allow (bad escapes, raw
// control characters, invalid UTF-8, trailing bytes), so a line it reads is valid JSON. A lone
// \udc80 to \udcff, as the probe writes a byte of a path that is not part of valid UTF-8, reads
// back as that byte (0x80 to 0xff), as Python's json and os.fsencode give it back; other lone
// surrogates, which the probe never writes, are refused.

#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace minijson {

struct Value {
    enum class Kind { String, Number, Bool, Null } kind = Kind::Null;
    std::string text;  // the decoded string (UTF-8), or the number as written
    double number = 0;
    bool boolean = false;
};

using Object = std::map<std::string, Value>;

class Reader {
  public:
    explicit Reader(std::string_view text) : s_(text) {}

    std::optional<Object> ReadObject() {
        Object object;
        Space();
        if (!Eat('{')) return std::nullopt;
        Space();
        if (!Eat('}')) {
            for (;;) {
                Space();
                std::string key;
                if (!String(key)) return std::nullopt;
                Space();
                if (!Eat(':')) return std::nullopt;
                Space();
                Value value;
                if (!ReadValue(value)) return std::nullopt;
                if (!object.emplace(key, value).second) return std::nullopt;  // no duplicates
                Space();
                if (Eat('}')) break;
                if (!Eat(',')) return std::nullopt;
            }
        }
        Space();
        if (i_ != s_.size()) return std::nullopt;
        return object;
    }

  private:
    bool Eat(char c) {
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    void Space() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r'))
            ++i_;
    }
    bool Word(std::string_view word) {
        if (s_.substr(i_, word.size()) != word) return false;
        i_ += word.size();
        return true;
    }
    bool ReadValue(Value& value) {
        if (i_ >= s_.size()) return false;
        if (s_[i_] == '"') {
            value.kind = Value::Kind::String;
            return String(value.text);
        }
        if (Word("true")) {
            value.kind = Value::Kind::Bool;
            value.boolean = true;
            return true;
        }
        if (Word("false")) {
            value.kind = Value::Kind::Bool;
            return true;
        }
        if (Word("null")) return true;
        return Number(value);
    }
    bool Number(Value& value) {
        const size_t start = i_;
        Eat('-');
        if (Eat('0')) {
        } else if (!Digits()) {
            return false;
        }
        if (Eat('.') && !Digits()) return false;
        if (Eat('e') || Eat('E')) {
            if (!Eat('+')) Eat('-');
            if (!Digits()) return false;
        }
        value.kind = Value::Kind::Number;
        value.text = std::string(s_.substr(start, i_ - start));
        value.number = std::strtod(value.text.c_str(), nullptr);
        return true;
    }
    bool Digits() {
        const size_t start = i_;
        while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') ++i_;
        return i_ > start;
    }
    static void Utf8(std::string& out, uint32_t code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 63));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 63));
            out += static_cast<char>(0x80 | (code & 63));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 63));
            out += static_cast<char>(0x80 | (code >> 6 & 63));
            out += static_cast<char>(0x80 | (code & 63));
        }
    }
    bool Hex4(uint32_t& code) {
        if (i_ + 4 > s_.size()) return false;
        code = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = s_[i_++];
            code <<= 4;
            if (c >= '0' && c <= '9') {
                code |= static_cast<uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                code |= static_cast<uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                code |= static_cast<uint32_t>(c - 'A' + 10);
            } else {
                return false;
            }
        }
        return true;
    }
    // Length of a valid UTF-8 sequence at i_, or 0.
    size_t Utf8Length() const {
        const auto at = [&](size_t k) { return static_cast<unsigned char>(s_[i_ + k]); };
        const unsigned char b = at(0);
        size_t len = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            return 0;
        }
        if (i_ + len > s_.size() || at(1) < lo || at(1) > hi) return 0;
        for (size_t k = 2; k < len; ++k) {
            if ((at(k) & 0xC0) != 0x80) return 0;
        }
        return len;
    }
    bool String(std::string& out) {
        if (!Eat('"')) return false;
        for (;;) {
            if (i_ >= s_.size()) return false;
            const unsigned char c = static_cast<unsigned char>(s_[i_]);
            if (c == '"') {
                ++i_;
                return true;
            }
            if (c < 0x20) return false;
            if (c >= 0x80) {
                const size_t len = Utf8Length();
                if (len == 0) return false;
                out.append(s_.substr(i_, len));
                i_ += len;
                continue;
            }
            ++i_;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (i_ >= s_.size()) return false;
            const char e = s_[i_++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    uint32_t code;
                    if (!Hex4(code)) return false;
                    if (code >= 0xD800 && code <= 0xDBFF) {
                        uint32_t low;
                        if (!Word("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF)
                            return false;
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    } else if (code >= 0xDC80 && code <= 0xDCFF) {
                        out += static_cast<char>(code - 0xDC00);  // a byte of the path
                        break;
                    } else if (code >= 0xDC00 && code <= 0xDFFF) {
                        return false;  // another lone low surrogate
                    }
                    Utf8(out, code);
                    break;
                }
                default:
                    return false;
            }
        }
    }

    std::string_view s_;
    size_t i_ = 0;
};

inline std::optional<Object> Parse(std::string_view text) { return Reader(text).ReadObject(); }

}  // namespace minijson
