// SPDX-License-Identifier: GPL-3.0-or-later
// Paths as bytes and as the text people read: how they are decoded and written out, and the bytes
// a dropped or chosen file's URL stands for.
#include <gtest/gtest.h>

#include <QUrl>

#include "filelist/FileNames.h"

namespace {

TEST(FileNames, PathsShowAsUtf8TextAndTheirBytesCanBeWrittenOut) {
    const struct {
        QByteArray btPath;
        QString strText;
        QString strEscaped;
    } cases[] = {
        {"/m/plain.mp3", "/m/plain.mp3", "/m/plain.mp3"},
        {"/m/Caf\xC3\xA9 del Mar.mp3", "/m/Café del Mar.mp3", "/m/Café del Mar.mp3"},
        {"/m/Caf\xE9 del Mar.mp3", "/m/Caf\uFFFD del Mar.mp3", "/m/Caf\\xE9 del Mar.mp3"},
        // A "\" of the name is doubled, so the escape reads back unambiguously.
        {"/m/a\\xE9\xFF.mp3", "/m/a\\xE9\uFFFD.mp3", "/m/a\\\\xE9\\xFF.mp3"},
        // Overlong forms, surrogates and a sequence cut short are not UTF-8.
        {"\xC0\xAF\xED\xA0\x80\xE2\x82", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD",
         "\\xC0\\xAF\\xED\\xA0\\x80\\xE2\\x82"},
        // A leading byte order mark is a character of the name, not dropped (as QString's own
        // UTF-8 decoding drops it).
        {"\xEF\xBB\xBF"
         "a.mp3",
         QChar(0xFEFF) + QString("a.mp3"), QChar(0xFEFF) + QString("a.mp3")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strEscaped.toStdString());
        EXPECT_EQ(PathText(c.btPath), c.strText);
        EXPECT_EQ(EscapedPath(c.btPath), c.strEscaped);
        EXPECT_EQ(IsUtf8Path(c.btPath), !c.strText.contains(QChar(0xFFFD)));
    }
}

TEST(FileNames, UrlsGiveTheBytesTheyStandFor) {
    const auto path = [](const char* szUrl) { return LocalPathOf(QUrl::fromEncoded(szUrl)); };
    // Bytes that are not UTF-8 stay percent-encoded in a URL and come back as they were.
    EXPECT_EQ(path("file:///m/Caf%E9%20del%20Mar.mp3"), QByteArray("/m/Caf\xE9 del Mar.mp3"));
    EXPECT_EQ(path("file:///m/Caf%C3%A9%20100%25%20%232.mp3"),
              QByteArray("/m/Caf\xC3\xA9 100% #2.mp3"));
    EXPECT_EQ(path("file://localhost/m/x%FF.mp3"), QByteArray("/m/x\xFF.mp3"));
    EXPECT_EQ(LocalPathOf(QUrl::fromLocalFile("/m/a b.mp3")), QByteArray("/m/a b.mp3"));
    for (const char* szOther :
         {"file://example.org/m/a.mp3", "https://example.org/a.mp3", "file:", "a.mp3"}) {
        EXPECT_EQ(path(szOther), std::nullopt) << szOther;
    }
    EXPECT_EQ(LocalFilePaths({QUrl("https://example.org/a.mp3"),
                              QUrl::fromEncoded("file:///b%FF.mp3"), QUrl::fromLocalFile("/a")}),
              (QByteArrayList{"/b\xFF.mp3", "/a"}));
}

}  // namespace
