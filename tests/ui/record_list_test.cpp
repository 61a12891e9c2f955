#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_frame.h"
#include "app/modal_runner.h"
#include "app/scripted_ui_services.h"
#include "app/status_bar_panes.h"
#include "app/window_placement.h"
#include "browser/dbkeeper_view.h"
#include "browser/page_dialog_form.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_codec.h"
#include "support/test_server.h"
#include "support/ui_support.h"

namespace dbk {
namespace {

// A main window whose document is connected as administrator, showing one table.
class RecordListTest : public test::MainFrameFixture {};

TEST_F(RecordListTest, PagesAndStatusTexts) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_list_pages");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY, a TEXT, b TEXT)"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO t SELECT seq, CONCAT('a', seq), NULL FROM seq_1_to_250"));
    connectAsAdministrator();
    CDbkeeperView& list = show(db.name(), "t");
    EXPECT_EQ(list.columnCount(), 3);
    EXPECT_EQ(list.rowCount(), 100);
    EXPECT_EQ(list.horizontalHeaderItem(1)->text(), "a");
    EXPECT_EQ(list.item(0, 2)->text(), "");
    EXPECT_EQ(status(0), "No. Records: 250  Database: dbk_list_pages  Table: t  Current Page: 1");
    EXPECT_TRUE(status(3).startsWith("Query Time: RES "));

    list.nextPage();
    list.nextPage();
    EXPECT_EQ(list.rowCount(), 50);
    EXPECT_TRUE(status(0).endsWith("Current Page: 3"));
    list.nextPage();  // already on the last page
    EXPECT_TRUE(status(0).endsWith("Current Page: 3"));
    EXPECT_EQ(list.item(0, 0)->text(), "201");

    QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
    QApplication::sendEvent(&list, &left);
    EXPECT_TRUE(status(0).endsWith("Current Page: 2"));
    EXPECT_EQ(list.item(0, 0)->text(), "101");
}

// A big table's first page comes with the statistics' estimate; the exact count, read on a second
// connection, replaces it without blocking the window, and is kept while the pages turn until F5.
TEST_F(RecordListTest, BigTablesShowAnEstimateUntilTheCountArrives) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_list_estimate");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY, v INT) ENGINE=InnoDB"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO t SELECT seq, seq FROM seq_1_to_1500"));
    QSettings().setValue("SQLDLG/ExactCountLimit", 10);
    connectAsAdministrator();
    CDbkeeperView& list = show(db.name(), "t");
    const QString counted = "No. Records: %1  Database: dbk_list_estimate  Table: t  Current Page: %2";

    list.fill();
    EXPECT_TRUE(list.countOutstanding());
    EXPECT_TRUE(status(0).startsWith("No. Records: about ")) << status(0).toStdString();
    EXPECT_EQ(list.rowCount(), 100);
    EXPECT_TRUE(QTest::qWaitFor([&] { return status(0) == counted.arg(1500).arg(1); }))
        << status(0).toStdString();
    EXPECT_EQ(doc.context().recordCount, 1500);

    // A row added elsewhere: the next page goes on after the last row seen, and the count stays.
    ASSERT_TRUE(db.admin().exec("INSERT INTO t VALUES (0, 0)"));
    list.nextPage();
    EXPECT_EQ(status(0), counted.arg(1500).arg(2));
    EXPECT_EQ(list.item(0, 0)->text(), "101");
    QKeyEvent f5(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
    QApplication::sendEvent(&list, &f5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return status(0) == counted.arg(1501).arg(2); }))
        << status(0).toStdString();
    EXPECT_EQ(list.item(0, 0)->text(), "100");

    // Another table while a count runs: the count is stopped and the new table's kept.
    list.fill();
    EXPECT_TRUE(list.backgroundCount().running());
    doc.context().currentTable = "missing";
    list.fill();
    EXPECT_FALSE(list.backgroundCount().running());
}

TEST_F(RecordListTest, CopyPutsTheSelectedRowsOnTheClipboard) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_list_copy");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY, a TEXT, b TEXT)"));
    ASSERT_TRUE(
        db.admin().exec("INSERT INTO t VALUES (1, 'x', '\x93\xfa\x96\x7b'), (2, NULL, 'z'), (3, 'q', 'r')"));
    connectAsAdministrator();
    CDbkeeperView& list = show(db.name(), "t");
    list.selectRow(0);
    list.selectionModel()->select(list.model()->index(1, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
    frame->setFocusedPane(Pane::List);
    QApplication::clipboard()->setText("before");
    ASSERT_TRUE(frame->runCommand(cmd::Copy, Pane::List));
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("1\tx\t日本\n2\t\tz"));
}

TEST_F(RecordListTest, SortingAlternatesAndFilteredListsSaySo) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_list_sort");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY, a TEXT)"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO t VALUES (1, 'b'), (2, 'c'), (3, 'a')"));
    connectAsAdministrator();
    CDbkeeperView& list = show(db.name(), "t");
    list.sortByColumn(1);
    const QString firstSort = list.item(0, 1)->text();
    list.sortByColumn(1);
    const QString secondSort = list.item(0, 1)->text();
    EXPECT_NE(firstSort, secondSort);
    EXPECT_TRUE((firstSort == "c" && secondSort == "a") || (firstSort == "a" && secondSort == "c"));

    list.filter().set(0, 1, "<> 'c'");
    doc.context().filterFlag = 1;
    list.fill();
    EXPECT_EQ(list.rowCount(), 2);
    EXPECT_TRUE(status(0).startsWith(QStringLiteral("検索結果 No. Records: 2")));
}

TEST_F(RecordListTest, PageDialogMovesPagesAndStoresTheRowsPerPage) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_list_dialog");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY)"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO t SELECT seq FROM seq_1_to_250"));
    connectAsAdministrator();
    CDbkeeperView& list = show(db.name(), "t");

    setModalRunner([](QDialog& dialog) {
        auto* form = qobject_cast<PageDialogForm*>(&dialog);
        EXPECT_NE(form, nullptr);
        EXPECT_EQ(form->recordCountEdit()->text(), "250");
        EXPECT_EQ(form->pageCountEdit()->text(), "3");
        EXPECT_EQ(form->rangeEdit()->text(), QStringLiteral("1 から 100まで表示されます"));
        form->upButton()->click();
        form->upButton()->click();
        form->upButton()->click();  // stays on the last page
        EXPECT_EQ(form->pageEdit()->text(), "3");
        EXPECT_EQ(form->rangeEdit()->text(), QStringLiteral("201 から 250まで表示されます"));
        form->rowsEdit()->setText("50");
        EXPECT_EQ(form->pageCountEdit()->text(), "6");
        form->accept();
        return dialog.result();
    });
    list.openPageDialog();
    EXPECT_EQ(doc.context().rowsPerPage, 50);
    EXPECT_EQ(doc.context().pageIndex, 2);
    EXPECT_EQ(list.item(0, 0)->text(), "101");
    QSettings settings;
    EXPECT_EQ(settings.value("SQLDLG/PageLength").toInt(), 50);

    // 0 rows per page is stored as 100
    setModalRunner([](QDialog& dialog) {
        auto* form = qobject_cast<PageDialogForm*>(&dialog);
        form->rowsEdit()->setText("0");
        form->pageEdit()->setText("1");
        form->accept();
        return dialog.result();
    });
    list.openPageDialog();
    EXPECT_EQ(doc.context().rowsPerPage, 100);
    EXPECT_EQ(QSettings().value("SQLDLG/PageLength").toInt(), 100);
    EXPECT_EQ(list.rowCount(), 100);
}

TEST_F(RecordListTest, TheUserTableHidesItsPasswords) {
    DBK_REQUIRE_SERVER();
    connectAsAdministrator();
    CDbkeeperView& list = show("mysql", "user");
    ASSERT_GT(list.rowCount(), 0);
    ASSERT_EQ(list.horizontalHeaderItem(2)->text(), "Password");
    for (int r = 0; r < list.rowCount(); ++r)
        EXPECT_EQ(list.item(r, 2)->text(), "*********");
}

TEST_F(RecordListTest, ANodeThatIsNotATableLeavesTheListEmpty) {
    DBK_REQUIRE_SERVER();
    connectAsAdministrator();
    doc.context().nodeImage = 0;
    doc.context().currentDatabase = "mysql";
    frame->showRecordList();
    frame->updateAllViews();
    EXPECT_EQ(frame->recordList()->columnCount(), 0);
}

}  // namespace
}  // namespace dbk
