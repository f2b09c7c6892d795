// SPDX-License-Identifier: GPL-3.0-or-later
// Output names, menu texts to kbps, the encoder's path and argument list.
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include "reduce/OutputNaming.h"

namespace {

const QString kMenu64 = QStringLiteral("Reduce to 64 kbps");

struct OutputCase {
    const char* szInput;
    const char* szMenu;
    const char* szOutput;
};

TEST(OutputPath, FollowsTheNamingTable) {
    const OutputCase cases[] = {
        // the extension is always lower-case mp3
        {"/Music/Song.MP3", "Reduce to 64 kbps", "/Music/Song_64KBIT_REDUCED.mp3"},
        // a folder's full stop stays, the extension's comes later
        {"/a/My.Folder/track.mp3", "Reduce to 64 kbps", "/a/My.Folder/track_64KBIT_REDUCED.mp3"},
        // a name without a full stop keeps its whole name, beside its source
        {"/a/My.Folder/track", "Reduce to 64 kbps", "/a/My.Folder/track_64KBIT_REDUCED.mp3"},
        {"/a/track", "Reduce to 64 kbps", "/a/track_64KBIT_REDUCED.mp3"},
        // only the last full stop and what follows are dropped
        {"/mix.final.mp3", "Reduce to 64 kbps", "/mix.final_64KBIT_REDUCED.mp3"},
        // an earlier output is not treated specially
        {"/x_64KBIT_REDUCED.mp3", "Reduce to 64 kbps", "/x_64KBIT_REDUCED_64KBIT_REDUCED.mp3"},
        // the smallest and the largest menu values
        {"/a.mp3", "Reduce to 8 kbps", "/a_8KBIT_REDUCED.mp3"},
        {"/a.mp3", "Reduce to 320 kbps", "/a_320KBIT_REDUCED.mp3"},
        // a name that is only an extension, and one ending in a full stop
        {"/m/.mp3", "Reduce to 64 kbps", "/m/_64KBIT_REDUCED.mp3"},
        {"/m/song.", "Reduce to 64 kbps", "/m/song_64KBIT_REDUCED.mp3"},
        // a relative name still gets its pieces
        {"song.mp3", "Reduce to 64 kbps", "song_64KBIT_REDUCED.mp3"},
        {"track", "Reduce to 64 kbps", "track_64KBIT_REDUCED.mp3"},
        // blanks, quotes, leading dashes and non-ASCII letters are kept as they are
        {"/m/-My \"Best\" Ünïcødé.mp3", "Reduce to 64 kbps",
         "/m/-My \"Best\" Ünïcødé_64KBIT_REDUCED.mp3"},
        // the name is made from the bytes, whatever their encoding
        {"/Caf\xE9/Caf\xE9 del Mar.mp3", "Reduce to 64 kbps",
         "/Caf\xE9/Caf\xE9 del Mar_64KBIT_REDUCED.mp3"},
        {"/m/\xFF.\xFE", "Reduce to 64 kbps", "/m/\xFF_64KBIT_REDUCED.mp3"},
    };
    for (const OutputCase& c : cases) {
        EXPECT_EQ(OutputPath(QByteArray(c.szInput), QString::fromUtf8(c.szMenu)),
                  QByteArray(c.szOutput))
            << c.szInput << " at " << c.szMenu;
    }
    // A path given as text is the path of its UTF-8 bytes.
    EXPECT_EQ(OutputPath(QString::fromUtf8("/m/Ünï.mp3"), kMenu64),
              QString::fromUtf8("/m/Ünï_64KBIT_REDUCED.mp3"));
}

TEST(PathBeforeLastDot, LooksOnlyAtTheFileName) {
    EXPECT_EQ(PathBeforeLastDot("/a/b.c/d.e.f"), "/a/b.c/d.e");
    EXPECT_EQ(PathBeforeLastDot("/a/b.c/d"), "/a/b.c/d");
    EXPECT_EQ(PathBeforeLastDot("/a.b/"), "/a.b/");
    EXPECT_EQ(PathBeforeLastDot(""), "");
}

TEST(BitrateFromMenuText, GivesTheKbpsOfEveryMenuEntry) {
    const int kbps[] = {8,  16,  24,  32,  40,  48,  56,  64,  80,
                        96, 112, 128, 144, 160, 192, 224, 256, 320};
    for (int k : kbps) {
        const QString strText = QStringLiteral("Reduce to %1 kbps").arg(k);
        EXPECT_EQ(BitrateFromMenuText(strText), k) << strText.toStdString();
    }
}

TEST(BitrateFromMenuText, ReadsTheLeadingNumberOfTheThirdPiece) {
    struct Case {
        const char* szText;
        int16_t intKbps;
    };
    const Case cases[] = {
        {"", 0},                    // no pieces to speak of
        {"Reduce to", 0},           // only two pieces
        {"Reduce  to 64 kbps", 0},  // two blanks make an empty second piece: "to" is third
        {"Reduce to  64 kbps", 0},  // the third piece is empty
        {"Reduce to 64", 64},       // nothing needed after the number
        {"Reduce to 64kbps", 64},   // reading stops at the first letter
        {"a b +48 c", 48},          // a sign
        {"a b -16 c", -16},         //
        {"a b 2.5 c", 2},           // a half goes to the even neighbour
        {"a b 3.5 c", 4},           //
        {"a b 2.51 c", 3},          //
        {"a b -0.5 c", 0},          //
        {"a b .5 c", 0},            // a number may start at its point
        {"a b 64. c", 64},          // or end with it
        {"a b 1.2.3 c", 1},         // a second point ends it
        {"a b 1e3 c", 1},           // no exponent
        {"a b x64 c", 0},           // not a number at the start
        {"a b - c", 0},             // a sign alone
        {"a b 32767 c", 32767},     // the largest 16-bit value
        {"a b 32768 c", 0},         // beyond it: no bitrate
        {"a b -32768 c", -32768},   //
        {"a b 99999999999999999999 c", 0},
        {"Reduce\tto 64 kbps", 0},  // only blanks separate pieces
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BitrateFromMenuText(QString::fromUtf8(c.szText)), c.intKbps) << c.szText;
    }
}

TEST(EncoderArguments, AreTheEightItemsWithEachPathWholeThenTheInputsLayer) {
    const QString strInput = QString::fromUtf8("/m/-x \"quoted\" Ünï 'one'.mp3");
    const QString strOutput = OutputPath(strInput, kMenu64);
    const QStringList expected = {"/p q/lame", "-h",     "-m",      "s",         "-b",
                                  "64",        strInput, strOutput, "--mp3input"};
    EXPECT_EQ(EncoderArguments("/p q/lame", strInput, strOutput, kMenu64, 3), expected);
    const QStringList low =
        EncoderArguments("/p/lame", "/dev/fd/3", "/dev/fd/4", "Reduce to 8 kbps", 2);
    EXPECT_EQ(low[5], "8");
    EXPECT_EQ(low[8], "--mp2input");
    EXPECT_EQ(EncoderArguments("/p/lame", "/dev/fd/3", "/dev/fd/4", kMenu64, 1)[8], "--mp1input");
}

}  // namespace
