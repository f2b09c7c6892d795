// SPDX-License-Identifier: GPL-3.0-or-later
// Dropping files from a file manager onto the list, and removing a row by double-clicking it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <memory>

#include "WindowFixture.h"
#include "support/FolderTree.h"

using foldertree::Tree;

namespace {

using windowtest::Row;

class DropTest : public windowtest::WindowTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(WindowTest::SetUp());
        form->show();
        tree.File("one.mp3");
        tree.File("two words #2 100%.mp3");
        tree.File("~three.MP3", "not an MP3 file, and dropping does not check");
        tree.File("notes.txt", "plain text");
        tree.File("Folder/inside.mp3");
    }

    static std::unique_ptr<QMimeData> Files(const QStringList& paths) {
        auto data = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QString& strPath : paths) urls << QUrl::fromLocalFile(strPath);
        data->setUrls(urls);
        return data;
    }

    // Sends drag enter, drag move and (when the move was accepted) drop to the list, as the
    // platform does when something is dragged onto it and let go; true when it was taken.
    bool DragAndDrop(const QMimeData& data) {
        QWidget* viewport = Ui().ListView1->viewport();
        const QPointF pos(10, 10);
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QDragEnterEvent enter(pos.toPoint(), actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        if (!enter.isAccepted()) return false;
        EXPECT_EQ(enter.dropAction(), enter.proposedAction());
        QDragMoveEvent move(pos.toPoint(), actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        if (!move.isAccepted()) return false;
        EXPECT_EQ(move.dropAction(), move.proposedAction());
        QDropEvent drop(pos, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        EXPECT_TRUE(drop.isAccepted());
        EXPECT_EQ(drop.dropAction(), drop.proposedAction());
        return drop.isAccepted();
    }

    Tree tree;
};

}  // namespace

TEST_F(DropTest, DroppedFilesAndFoldersAreAppendedInOrderWithoutAdmission) {
    prompts.openFileAnswers.push_back(FakePrompts::Files({tree.Path("one.mp3")}));
    Ui().Check1->click();  // added by the dialog
    const QStringList paths{tree.Path("two words #2 100%.mp3"), tree.Path("~three.MP3"),
                            tree.Path("one.mp3"),  // already listed
                            tree.Path("notes.txt"), tree.Path("Folder")};
    ASSERT_TRUE(DragAndDrop(*Files(paths)));

    std::vector<Row> expected{{tree.Path("one.mp3"), "128 kbps"}};
    for (const QString& strPath : paths) expected.emplace_back(strPath, "");
    EXPECT_EQ(Rows(), expected);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(DropTest, DataWithoutLocalFilesIsRefusedWhileDragging) {
    QMimeData text;
    text.setText(tree.Path("one.mp3"));
    QMimeData web;
    web.setUrls({QUrl("https://example.org/song.mp3")});
    QMimeData otherHost;  // a file of another machine
    otherHost.setUrls({QUrl("file://example.org" + tree.Path("one.mp3"))});
    for (const QMimeData* data : {&text, &web, &otherHost}) {
        QDragMoveEvent move(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                            Qt::NoModifier);
        move.accept();
        form->ListView1_OLEDragOver(&move);
        EXPECT_FALSE(move.isAccepted());
        EXPECT_EQ(move.dropAction(), Qt::IgnoreAction);
        EXPECT_FALSE(DragAndDrop(*data));

        // Even a drop that arrives anyway adds nothing.
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        form->ListView1_OLEDragDrop(&drop);
    }
    EXPECT_TRUE(Rows().empty());
}

TEST_F(DropTest, OnlyTheLocalFilesOfAMixedListAreAppendedByTheirBytes) {
    QMimeData data;
    // A name that is not UTF-8 keeps its bytes percent-encoded in its URL and is listed by them.
    const QByteArray btLatin1 = QFile::encodeName(tree.Path("Caf")) + "\xE9 del Mar.mp3";
    const QUrl latin1 = QUrl::fromEncoded(QUrl::fromLocalFile(tree.Path("Caf")).toEncoded() +
                                          "%E9%20del%20Mar.mp3");
    // A Reduce run's new file is never listed: refused with a warning once the drop is over.
    const QString strNewFile = tree.Path(".one_64KBIT_REDUCED.mp3.ab12cd.part");
    data.setUrls({QUrl("https://example.org/a.mp3"), QUrl::fromLocalFile(tree.Path("one.mp3")),
                  QUrl("file://otherhost" + tree.Path("notes.txt")),
                  QUrl("file://localhost" + tree.Path("notes.txt")), latin1,
                  QUrl::fromLocalFile(strNewFile)});
    ASSERT_TRUE(DragAndDrop(data));
    EXPECT_EQ(Rows(),
              (std::vector<Row>{{tree.Path("one.mp3"), ""},
                                {tree.Path("notes.txt"), ""},
                                {tree.Path("Caf") + QString::fromUtf8("\uFFFD del Mar.mp3"), ""}}));
    EXPECT_EQ(Ui().fileList->PathBytesAt(2), btLatin1);
    EXPECT_TRUE(prompts.messages.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].strText, "Not a valid MP3 file!");
    EXPECT_EQ(prompts.messages[0].strInformative, strNewFile);
}

TEST_F(DropTest, TheProposedActionIsKept) {
    const auto data = Files({tree.Path("one.mp3")});
    for (const Qt::DropAction action : {Qt::CopyAction, Qt::LinkAction}) {
        QDragMoveEvent move(QPoint(5, 5), action, data.get(), Qt::LeftButton, Qt::NoModifier);
        form->ListView1_OLEDragOver(&move);
        EXPECT_TRUE(move.isAccepted());
        EXPECT_EQ(move.dropAction(), action);
    }
}

namespace {

class RemovalTest : public DropTest {
  protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(DropTest::SetUp());
        for (const char* name : {"one.mp3", "two words #2 100%.mp3", "~three.MP3"})
            paths << tree.Path(name);
        ASSERT_TRUE(DragAndDrop(*Files(paths)));
    }

    // A double-click on the row as the user gives it: press, release, double-click, release.
    void DoubleClick(int lngRow) {
        const QPointF pos = Ui().ListView1->visualRect(RowIndex(lngRow)).center();
        QWidget* viewport = Ui().ListView1->viewport();
        const QPointF global = viewport->mapToGlobal(pos);
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                        QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, pos, global, Qt::LeftButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(viewport, &event);
        }
    }

    QStringList paths;
};

}  // namespace

TEST_F(RemovalTest, DoubleClickRemovesTheSecondOfThreeRowsAndLeavesTheFile) {
    DoubleClick(1);
    EXPECT_EQ(Rows(), (std::vector<Row>{{paths[0], ""}, {paths[2], ""}}));
    EXPECT_TRUE(QFileInfo::exists(paths[1]));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(RemovalTest, SelectedRowIsRemovedByTheHandler) {
    Ui().ListView1->selectionModel()->select(
        RowIndex(2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    form->ListView1_DblClick();
    EXPECT_EQ(Rows(), (std::vector<Row>{{paths[0], ""}, {paths[1], ""}}));
    EXPECT_TRUE(QFileInfo::exists(paths[2]));
}

TEST_F(RemovalTest, NothingSelectedRemovesNothing) {
    Ui().ListView1->setCurrentIndex(RowIndex(1));
    Ui().ListView1->clearSelection();  // a current row that is not selected does not count
    form->ListView1_DblClick();
    EXPECT_EQ(Rows().size(), 3u);

    Ui().fileList->Clear();
    form->ListView1_DblClick();  // an empty list
    EXPECT_TRUE(Rows().empty());
    EXPECT_TRUE(prompts.messages.empty());
}
