// SPDX-License-Identifier: GPL-3.0-or-later
#include "filelist/FileNames.h"

#include <QStringDecoder>
#include <QUrl>

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the valid UTF-8 sequence at bytes[i] (1 to 4), or 0 when the bytes there do not form
// one: overlong forms, surrogates and values past U+10FFFF are not valid.
qsizetype Utf8SequenceLength(const QByteArray& bytes, qsizetype i) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char b0 = at(i);
    if (b0 < 0x80) return 1;
    qsizetype length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        if (b0 == 0xE0) low = 0xA0;   // overlong
        if (b0 == 0xED) high = 0x9F;  // surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        if (b0 == 0xF0) low = 0x90;   // overlong
        if (b0 == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() - i < length) return 0;
    if (at(i + 1) < low || at(i + 1) > high) return 0;
    for (qsizetype k = 2; k < length; ++k) {
        if (!IsContinuation(at(i + k))) return 0;
    }
    return length;
}

}  // namespace

QString PathText(const QByteArray& btPath) {
    // QString::fromUtf8 and QFile::decodeName drop a leading byte order mark, which would show
    // "\xEF\xBB\xBFa.mp3" as the name of "a.mp3"; this decoder keeps it.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(btPath);
}

bool IsUtf8Path(const QByteArray& btPath) {
    for (qsizetype i = 0; i < btPath.size();) {
        const qsizetype length = Utf8SequenceLength(btPath, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

QString EscapedPath(const QByteArray& btPath) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray escaped;
    escaped.reserve(btPath.size() + 16);
    for (qsizetype i = 0; i < btPath.size();) {
        const qsizetype length = Utf8SequenceLength(btPath, i);
        if (length == 0) {
            const auto byte = static_cast<unsigned char>(btPath[i]);
            escaped += "\\x";
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 15];
            ++i;
        } else if (btPath[i] == '\\') {
            escaped += "\\\\";
            ++i;
        } else {
            escaped += btPath.mid(i, length);
            i += length;
        }
    }
    return PathText(escaped);
}

bool IsLocalFileUrl(const QUrl& url) {
    return url.isLocalFile() &&
           (url.host().isEmpty() || url.host().compare(u"localhost", Qt::CaseInsensitive) == 0);
}

std::optional<QByteArray> LocalPathOf(const QUrl& url) {
    if (!IsLocalFileUrl(url)) return std::nullopt;
    // The bytes the URL stands for: its path as it came, percent escapes undone. (toLocalFile
    // would give text, with U+FFFD for bytes that are not UTF-8, which can name another file.)
    const QByteArray btPath =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (btPath.isEmpty()) return std::nullopt;
    return btPath;
}

QByteArrayList LocalFilePaths(const QList<QUrl>& urls) {
    QByteArrayList btPaths;
    for (const QUrl& url : urls) {
        if (std::optional<QByteArray> btPath = LocalPathOf(url)) btPaths << std::move(*btPath);
    }
    return btPaths;
}
