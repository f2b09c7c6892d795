// SPDX-License-Identifier: GPL-3.0-or-later
// A whole Reduce run over the file list's model without a window: rows admitted, dropped,
// exchanged and removed as the window would, then encoded in the order the list shows, with a row
// removed while the encoder works.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "FakeReduceHost.h"
#include "analysis/MP3Info.h"
#include "filelist/AdmitFile.h"
#include "reduce/OutputNaming.h"
#include "reduce/Shell32.h"
#include "support/ReduceTestFiles.h"

using namespace reducetest;

TEST(ReduceOverModelTest, RowsAreEncodedInTheListsOrderAsItChanges) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString strRecord = dir.filePath("record");
    ASSERT_TRUE(WriteScript(EncoderPath(dir.path()),
                            RecordEncoderCallLines(strRecord) + "\ncp \"$6\" \"$7\"\n"));
    QStringList strSources;
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"}) {
        strSources << dir.filePath(name);
        ASSERT_TRUE(WriteBytes(strSources.back(), SyntheticMp3()));
    }

    FakeReduceHost host;
    host.strFolder = dir.path();
    MP3Info info;
    const Admission admission{&host.list, &info, &host.prompts, nullptr};
    for (int i = 0; i < 3; ++i) AdmitFile(admission, QFile::encodeName(strSources[i]));
    host.list.AppendDropped(QFile::encodeName(strSources[3]));
    ASSERT_EQ(host.list.BitrateAt(0), "128 kbps");
    host.list.ExchangeRows(0, 3);  // d, b, c, a
    host.list.RemoveRow(1);        // d, c, a
    // While d is being encoded, c goes.
    host.onProgress = [&](float) {
        if (host.progress.size() == 1) host.list.RemoveRow(1);
    };
    ReduceBatch batch;
    batch.Run(host);

    QStringList strEncoded;
    for (const QStringList& call : ReadRecord(strRecord, kEncoderCallItems)) {
        strEncoded << call.at(kCallSource);
    }
    EXPECT_EQ(strEncoded, (QStringList{strSources[3], strSources[0]}));
    EXPECT_EQ(host.Rows(), (QStringList{strSources[3], strSources[0]}));
    ASSERT_EQ(host.prompts.messages.size(), 1u);
    EXPECT_EQ(host.prompts.messages[0].strText, "Done.");
    EXPECT_EQ(host.progress, (std::vector<float>{static_cast<float>(100.0 / 3), 100.0f, 0.0f}));
}
