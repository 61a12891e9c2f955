#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/find_dialog.h"
#include "app/main_frame.h"
#include "app/scripted_ui_services.h"
#include "browser/dbkeeper_view.h"
#include "conn/dbkeeper_doc.h"

namespace dbk {
namespace {

const QString kNotFound = QStringLiteral("Can't No String in Empty");

class FindDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        setInterfaceLanguage(Language::English);
        frame = std::make_unique<CMainFrame>(doc);
        ASSERT_NE(frame->recordList(), nullptr);
    }

    // Fills the record list; every row is a list of cell texts.
    static void fill(CDbkeeperView& list, const std::vector<QStringList>& rows, int columns = 0) {
        list.setRowCount(static_cast<int>(rows.size()));
        int widest = columns;
        for (const QStringList& row : rows)
            widest = std::max(widest, static_cast<int>(row.size()));
        list.setColumnCount(widest);
        for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
            for (int c = 0; c < rows[r].size(); ++c)
                list.setItem(r, c, new QTableWidgetItem(rows[r][c]));
        }
    }

    FindDialog& openDialog() {
        EXPECT_TRUE(frame->runCommand(cmd::Find, Pane::List));
        auto* dialog = frame->findChild<FindDialog*>();
        EXPECT_NE(dialog, nullptr);
        return *dialog;
    }

    // Presses "find next" once; the hot row afterwards.
    int findNext(FindDialog& dialog) {
        dialog.findNextButton()->click();
        return frame->recordList()->hotRow();
    }

    ScopedScriptedUi ui;
    CDbkeeperDoc doc;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(FindDialogTest, TheCommandShowsOneModelessDialogWithDownPreset) {
    FindDialog& dialog = openDialog();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.isModal());
    EXPECT_TRUE(dialog.downButton()->isChecked());
    EXPECT_FALSE(dialog.upButton()->isChecked());
    EXPECT_FALSE(dialog.wholeWordBox()->isChecked());
    EXPECT_FALSE(dialog.matchCaseBox()->isChecked());
    EXPECT_EQ(dialog.findNextButton()->text(), "次を検索");
    EXPECT_EQ(dialog.cancelButton()->text(), "キャンセル");
    EXPECT_EQ(dialog.wholeWordBox()->text(), "単語単位で探す");
    EXPECT_EQ(dialog.matchCaseBox()->text(), "大文字と小文字を区別する");
    // nothing to find yet
    EXPECT_FALSE(dialog.findNextButton()->isEnabled());
    QTest::keyClicks(dialog.textEdit(), "abc");
    EXPECT_TRUE(dialog.findNextButton()->isEnabled());

    // Cancel hides it; the command shows the same dialog again with its text and options.
    dialog.upButton()->setChecked(true);
    dialog.cancelButton()->click();
    EXPECT_FALSE(dialog.isVisible());
    FindDialog& again = openDialog();
    EXPECT_EQ(&again, &dialog);
    EXPECT_TRUE(again.isVisible());
    EXPECT_EQ(again.textEdit()->text(), "abc");
    EXPECT_TRUE(again.upButton()->isChecked());
    EXPECT_EQ(frame->findChildren<FindDialog*>().size(), 1);
}

TEST_F(FindDialogTest, TheCommandIsOfferedOnlyWhileTheRightPaneIsARecordList) {
    for (Pane pane : {Pane::Tree, Pane::List})
        EXPECT_TRUE(frame->isCommandEnabled(cmd::Find, pane));
    frame->showGraphView();
    for (Pane pane : {Pane::Tree, Pane::Graph})
        EXPECT_FALSE(frame->isCommandEnabled(cmd::Find, pane));
    EXPECT_FALSE(frame->runCommand(cmd::Find, Pane::Graph));
    EXPECT_EQ(frame->findChild<FindDialog*>(), nullptr);
    frame->showRecordList();
    EXPECT_TRUE(frame->isCommandEnabled(cmd::Find, Pane::List));
}

TEST_F(FindDialogTest, DownwardFromTheHotRowThenNothingMore) {
    CDbkeeperView& list = *frame->recordList();
    fill(list, {{"1", "Apple"}, {"2", "pear"}, {"3", "apple pie"}, {"4", "plum"}, {"5", "APPLE"}});
    list.setHotRow(0);
    FindDialog& dialog = openDialog();
    dialog.textEdit()->setText("apple");

    EXPECT_EQ(findNext(dialog), 2);  // starts after the hot row, ignores case
    EXPECT_EQ(findNext(dialog), 4);
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_EQ(findNext(dialog), 4);  // nothing after the last match: the hot row stays
    EXPECT_EQ(ui->messages, QStringList{kNotFound});
    EXPECT_EQ(list.selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(list.selectionModel()->selectedRows().first().row(), 4);
}

TEST_F(FindDialogTest, UpwardFromTheSecondRowFindsTheFirstRow) {
    CDbkeeperView& list = *frame->recordList();
    fill(list, {{"東京", "本社"}, {"大阪", "支社"}, {"東京", "支店"}});
    list.setHotRow(1);
    FindDialog& dialog = openDialog();
    dialog.textEdit()->setText("東京");
    dialog.upButton()->click();

    EXPECT_EQ(findNext(dialog), 0);
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_EQ(findNext(dialog), 0);
    EXPECT_EQ(ui->messages, QStringList{kNotFound});

    // downward again from the first row
    dialog.downButton()->click();
    EXPECT_EQ(findNext(dialog), 2);
}

TEST_F(FindDialogTest, MatchCaseComparesTheTextAsTyped) {
    CDbkeeperView& list = *frame->recordList();
    fill(list, {{"start"}, {"MySQL"}, {"mysql"}, {"MYSQL"}});
    list.setHotRow(0);
    FindDialog& dialog = openDialog();
    QTest::keyClicks(dialog.textEdit(), "mysql");

    dialog.matchCaseBox()->click();
    EXPECT_EQ(findNext(dialog), 2);
    EXPECT_EQ(findNext(dialog), 2);
    EXPECT_EQ(ui->messages, QStringList{kNotFound});

    dialog.matchCaseBox()->click();
    list.setHotRow(0);
    EXPECT_EQ(findNext(dialog), 1);
    EXPECT_EQ(findNext(dialog), 2);
    EXPECT_EQ(findNext(dialog), 3);
}

TEST_F(FindDialogTest, WholeWordMatchesWholeCellsUpToColumn255) {
    CDbkeeperView& list = *frame->recordList();
    std::vector<QStringList> rows(5);
    for (QStringList& row : rows) {
        for (int c = 0; c < 257; ++c)
            row.append(QStringLiteral("c%1").arg(c));
    }
    rows[1][3] = "needles";
    rows[2][256] = "needle";  // beyond the searched columns
    rows[3][255] = "Needle";
    rows[4][0] = "needle";
    fill(list, rows);
    list.setHotRow(0);
    FindDialog& dialog = openDialog();
    QTest::keyClicks(dialog.textEdit(), "needle");

    dialog.wholeWordBox()->click();
    EXPECT_EQ(findNext(dialog), 3);  // row 1 only contains it, row 2 has it in column 256
    EXPECT_EQ(findNext(dialog), 4);

    dialog.wholeWordBox()->click();
    list.setHotRow(0);
    EXPECT_EQ(findNext(dialog), 1);
    EXPECT_EQ(findNext(dialog), 3);
    EXPECT_TRUE(ui->messages.isEmpty());
}

TEST_F(FindDialogTest, AMatchFarDownIsScrolledIntoView) {
    frame->resize(640, 480);
    frame->show();
    CDbkeeperView& list = *frame->recordList();
    std::vector<QStringList> rows(600, QStringList{"row"});
    rows[550][0] = "target";
    fill(list, rows);
    list.setHotRow(0);
    ASSERT_GT(list.rowViewportPosition(550), list.viewport()->height());
    FindDialog& dialog = openDialog();
    QTest::keyClicks(dialog.textEdit(), "target");

    EXPECT_EQ(findNext(dialog), 550);
    const int top = list.rowViewportPosition(550);
    EXPECT_GE(top, 0);
    EXPECT_LE(top + list.rowHeight(550), list.viewport()->height());
}

TEST_F(FindDialogTest, AnEmptyListHasNothingToFind) {
    FindDialog& dialog = openDialog();
    QTest::keyClicks(dialog.textEdit(), "x");
    EXPECT_EQ(findNext(dialog), -1);
    EXPECT_EQ(ui->messages, QStringList{kNotFound});
}

TEST_F(FindDialogTest, TheDialogSearchesTheRecordListThatReplacedTheOldOne) {
    fill(*frame->recordList(), {{"old"}, {"match"}});
    FindDialog& dialog = openDialog();
    QTest::keyClicks(dialog.textEdit(), "match");

    // a tree selection replaces the right pane while the dialog stays open
    frame->showGraphView();
    dialog.findNextButton()->click();  // nothing to search: no message, no crash
    EXPECT_TRUE(ui->messages.isEmpty());
    frame->showRecordList();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    CDbkeeperView& fresh = *frame->recordList();
    fill(fresh, {{"a"}, {"b"}, {"match"}});
    EXPECT_EQ(findNext(dialog), 2);
}

}  // namespace
}  // namespace dbk
