// SPDX-License-Identifier: GPL-3.0-or-later
// The order of a folder's names (bytes, in any encoding) by their text: letter case ignored,
// numbers by value, ties by the bytes, in a real locale and under C.
#include "filelist/NameOrder.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(NameOrder, SortsAsFileManagersDo) {
    const struct {
        QStringList locales;
        QByteArrayList sorted;
    } cases[] = {
        // Numbers by value, whatever their length; leading zeros break ties only.
        {{"C", "en_US"},
         {"01 Intro.mp3", "1 Intro.mp3", "2 Song.mp3", "10 Song.mp3", "Track 9", "track 10"}},
        {{"C", "en_US"},
         {"a 99999999999999999999", "A 100000000000000000000", "a 100000000000000000001"}},
        // Case ignored; names equal but for case come by their bytes (capitals first).
        {{"C", "en_US"}, {"ABBA", "abba", "Beatles", "beatles", "cream"}},
        // Non-ASCII: the locale places accented letters beside their base letter; C by code point,
        // case folded.
        {{"en_US"}, {"emile", "Émile", "émile", "zebra", "Ω"}},
        {{"C"}, {"emile", "zebra", "Émile", "émile", "Ω", "ω"}},
        {{"de_DE"}, {"Apfel", "Äpfel", "Zebra"}},
        // Empty names and names that are prefixes of others.
        {{"C"}, {"", "a", "a.mp3", "a1", "a2.mp3"}},
        // Names that are not UTF-8 sort by their text, U+FFFD for the stray bytes, and names that
        // show as the same text by their bytes.
        {{"C", "en_US"},
         {"Caf\xC3\xA9 z.mp3", "Caf\xEF\xBF\xBD a.mp3", "Caf\xE9 b.mp3", "x\xEF\xBF\xBD.mp3",
          "x\xFE.mp3", "x\xFF.mp3"}},
    };
    for (const auto& c : cases)
        for (const QString& locale : c.locales) {
            const NameOrder order{QLocale(locale)};
            QByteArrayList names = c.sorted;
            std::reverse(names.begin(), names.end());
            order.Sort(names);
            EXPECT_EQ(names, c.sorted)
                << locale.toStdString() << ": " << c.sorted.join(" | ").toStdString();
            // A total order: only a name compares equal to itself, and both ways agree.
            for (const QByteArray& a : c.sorted)
                for (const QByteArray& b : c.sorted)
                    EXPECT_EQ(order.Compare(a, b) == 0, a == b)
                        << a.toStdString() << b.toStdString();
            for (qsizetype i = 1; i < c.sorted.size(); ++i)
                EXPECT_GT(order.Compare(c.sorted[i], c.sorted[i - 1]), 0);
        }
}
