// SPDX-License-Identifier: GPL-3.0-or-later
#include "filelist/FileNames.h"

#include <QStringDecoder>
#include <QUrl>
#include <string_view>

#include "analysis/Utf8.h"

namespace {

// The length of the valid UTF-8 sequence at bytes[i], 0 when there is none.
qsizetype Utf8SequenceLength(const QByteArray& bytes, qsizetype i) {
    return static_cast<qsizetype>(::Utf8SequenceLength(
        std::string_view(bytes.constData() + i, static_cast<size_t>(bytes.size() - i))));
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
