// SPDX-License-Identifier: GPL-3.0-or-later
// "Reduce" through the window: the button guard, the empty list, and a run over the window's own
// list and menu with a recording stand-in encoder in the program folder.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "WindowFixture.h"
#include "support/ReduceTestFiles.h"

using namespace reducetest;

namespace {

class Check2Test : public windowtest::WindowTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WindowTest::SetUp());
        ASSERT_TRUE(music.isValid());
        strRecord = music.filePath("record");
    }

    // The stand-in encoder: records its arguments and copies the input to the output.
    void InstallEncoder() {
        ASSERT_TRUE(
            WriteEncoder(RecordEncoderCallLines(strRecord) + "\nsleep 0.1\ncp \"$6\" \"$7\"\n"));
    }

    // A row for a new MP3 file in the music folder; returns its path.
    QString AddRow(const QString& strName) {
        const QString strPath = music.filePath(strName);
        EXPECT_TRUE(WriteBytes(strPath, SyntheticMp3()));
        Ui().fileList->AppendAdmitted(QFile::encodeName(strPath), 128);
        return strPath;
    }

    QTemporaryDir music;
    QString strRecord;
};

// What the window adds to the run: the press and the button springing back, the window's own
// list, menu, program folder, pointer and bar, and removals made on the list during the run.
TEST_F(Check2Test, AnEmptyListSaysSoOncePerPressAndLeavesTheBarAlone) {
    form->SetProgressValue(40.0f);
    Ui().Check2->click();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].strText, "No files added.");
    EXPECT_FALSE(Ui().Check2->isChecked());
    EXPECT_EQ(form->ProgressValue(), 40.0f);
    EXPECT_EQ(form->MousePointer(), 0);
    Ui().Check2->click();
    EXPECT_EQ(prompts.messages.size(), 2u);
    // A click event while the button is up (as its own reset would raise) does nothing.
    emit Ui().Check2->clicked(false);
    EXPECT_EQ(prompts.messages.size(), 2u);
}

TEST_F(Check2Test, ReducesTheListAtTheMenusBitrate) {
    InstallEncoder();
    const QString strA = AddRow("a.mp3");
    const QString strB = AddRow("b c.mp3");
    Ui().Combo1->setCurrentIndex(3);  // "Reduce to 32 kbps"
    int lngPointerDuringRun = -1;
    float sngProgressDuringRun = -1;
    int lngPressesDuringRun = 0;
    QTimer::singleShot(0, [&] {
        lngPointerDuringRun = form->MousePointer();
        sngProgressDuringRun = form->ProgressValue();
        // A second press while the encoder runs is ignored.
        Ui().Check2->click();
        ++lngPressesDuringRun;
    });
    Ui().Check2->click();

    EXPECT_EQ(lngPressesDuringRun, 1);
    EXPECT_EQ(lngPointerDuringRun, 11);
    EXPECT_EQ(sngProgressDuringRun, 50.0f);
    EXPECT_EQ(form->MousePointer(), 0);
    EXPECT_EQ(form->ProgressValue(), 0.0f);
    EXPECT_FALSE(Ui().Check2->isChecked());
    const QList<QStringList> calls = ReadRecord(strRecord, kEncoderCallItems);
    ASSERT_EQ(calls.size(), 2);
    // The encoder is "lame" in the program folder; it is handed each source and its new file
    // open, and the new file then takes the output's name.
    EXPECT_EQ(calls[0].mid(0, 9),
              (QStringList{programFolder.filePath("lame"), "-h", "-m", "s", "-b", "32", "/dev/fd/3",
                           "/dev/fd/4", "--mp3input"}));
    EXPECT_EQ(calls[0][kCallSource], strA);
    EXPECT_EQ(calls[1][kCallSource], strB);
    EXPECT_TRUE(QFileInfo::exists(music.filePath("b c_32KBIT_REDUCED.mp3")));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].strText, "Done.");
    EXPECT_TRUE(prompts.messages[0].strInformative.startsWith("2 files: "));
    // The list is as it was.
    EXPECT_EQ(Rows(), (std::vector<windowtest::Row>{{strA, "128 kbps"}, {strB, "128 kbps"}}));
}

// The row being encoded is double-clicked away: the rows after it move up, and each is still
// encoded once, the bar reaching 100 with the last and never beyond.
TEST_F(Check2Test, ARowRemovedDuringARunLeavesTheOthersToBeEncoded) {
    InstallEncoder();
    ASSERT_NO_FATAL_FAILURE(ShowForm());
    const QString strA = AddRow("a.mp3");
    const QString strB = AddRow("b.mp3");
    const QString strC = AddRow("c.mp3");
    QTimer::singleShot(0, [&] {
        QWidget* viewport = Ui().ListView1->viewport();
        const QPoint pntRow = Ui().ListView1->visualRect(RowIndex(0)).center();
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, pntRow);
        QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, pntRow);
    });
    std::vector<float> progress;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (progress.empty() || progress.back() != form->ProgressValue())
            progress.push_back(form->ProgressValue());
    });
    sampler.start(10);
    Ui().Check2->click();
    sampler.stop();
    QStringList encoded;
    for (const QStringList& call : ReadRecord(strRecord, kEncoderCallItems)) {
        encoded << call[kCallSource];
    }
    EXPECT_EQ(encoded, (QStringList{strA, strB, strC}));
    EXPECT_EQ(Rows(), (std::vector<windowtest::Row>{{strB, "128 kbps"}, {strC, "128 kbps"}}));
    EXPECT_EQ(progress, (std::vector<float>{static_cast<float>(100.0 / 3), 50.0f, 100.0f}));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].strText, "Done.");
}

}  // namespace
