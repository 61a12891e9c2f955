#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>

#include "app/form_registry.h"
#include "app/main_frame.h"
#include "app/messages.h"
#include "app/modal_runner.h"
#include "app/scripted_ui_services.h"
#include "app/status_bar_panes.h"
#include "app/window_placement.h"
#include "browser/dbkeeper_view.h"
#include "browser/filter_form.h"
#include "browser/open_with_options_form.h"
#include "browser/record_details_form.h"
#include "browser/table_size_form.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_codec.h"
#include "support/test_server.h"
#include "support/ui_support.h"

namespace dbk {
namespace {

const std::string kNihon = "\x93\xfa\x96\x7b";  // 日本 in Shift_JIS

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A main window connected as administrator; the program starts in a directory of its own, so
// that TEMP.CSV lands there. Each form the commands open is handed to the matching handler.
class RecordToolsTest : public test::MainFrameFixture {
protected:
    void SetUp() override {
        previousDirectory = QDir::currentPath();
        QDir::setCurrent(startDir.path());
        setModalRunner([this](QDialog& dialog) {
            ++formsOpened;
            if (auto* f = qobject_cast<FilterForm*>(&dialog); f && onFilter) {
                onFilter(*f);
            } else if (auto* d = qobject_cast<RecordDetailsForm*>(&dialog); d && onDetails) {
                onDetails(*d);
            } else if (auto* o = qobject_cast<OpenWithOptionsForm*>(&dialog); o && onOptions) {
                onOptions(*o);
            } else if (auto* t = qobject_cast<TableSizeForm*>(&dialog)) {
                tableSizeTitles << t->windowTitle();
                dialog.reject();
            } else {
                dialog.reject();
            }
            return dialog.result();
        });
    }
    void TearDown() override { QDir::setCurrent(previousDirectory); }

    // Opens the details of a list row as the command does for the row that changed last.
    void openDetails(CDbkeeperView& list, int row) {
        list.setHotRow(row);
        ASSERT_EQ(list.lastChangedRow(), row);
        ASSERT_TRUE(frame->runCommand(cmd::RecordDetails, Pane::List));
    }

    static int rowOfField(QTableWidget* list, const QString& name) {
        for (int r = 0; r < list->rowCount(); ++r) {
            if (list->item(r, 0)->text() == name)
                return r;
        }
        return -1;
    }

    QString tempCsv() const { return QDir(startDir.path()).filePath("TEMP.CSV"); }
    QTemporaryDir startDir;
    QString previousDirectory;
    int formsOpened = 0;
    QStringList tableSizeTitles;
    std::function<void(FilterForm&)> onFilter;
    std::function<void(RecordDetailsForm&)> onDetails;
    std::function<void(OpenWithOptionsForm&)> onOptions;
};

TEST_F(RecordToolsTest, FilterFormRoundTripFiltersTheList) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_filter_form");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY, price INT, name TEXT)"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO t SELECT seq, seq * 10, CONCAT('n', seq) FROM seq_1_to_9"));
    connectAsAdministrator();
    CDbkeeperView& list = show(db.name(), "t");
    ASSERT_EQ(list.rowCount(), 9);

    onFilter = [](FilterForm& form) {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("フィルタ"));
        QTableWidget* fields = form.fieldList();
        ASSERT_EQ(fields->rowCount(), 3);
        EXPECT_EQ(fields->horizontalHeaderItem(2)->text(), "Condition 2");
        EXPECT_EQ(fields->columnWidth(3), 200);
        EXPECT_EQ(fields->item(2, 0)->text(), "name");
        form.selectField(1);
        EXPECT_EQ(form.fieldNameEdit()->text(), "price");
        form.conditionEdit(0)->setText(">= 30");
        form.conditionEdit(1)->setText("< 70");
        // the list cell follows the box at once
        EXPECT_EQ(fields->item(1, 2)->text(), "< 70");
        form.accept();
    };
    ASSERT_TRUE(frame->runCommand(cmd::Filter, Pane::List));
    EXPECT_EQ(doc.context().filterFlag, 1);
    EXPECT_EQ(list.filter().at(0, 1), ">= 30");
    EXPECT_EQ(list.lastCountStatement(),
              "Select count(*) from " + db.name() + ".t  WHERE price >= 30 AND price < 70");
    EXPECT_EQ(list.rowCount(), 4);
    EXPECT_EQ(list.item(0, 0)->text(), "3");
    EXPECT_TRUE(status(0).startsWith(QStringLiteral("検索結果 No. Records: 4")));

    // the conditions come back into the form; Cancel keeps them as they were
    onFilter = [](FilterForm& form) {
        EXPECT_EQ(form.fieldList()->item(1, 1)->text(), ">= 30");
        form.selectField(1);
        EXPECT_EQ(form.conditionEdit(1)->text(), "< 70");
        form.conditionEdit(0)->setText("");
        form.reject();
    };
    ASSERT_TRUE(frame->runCommand(cmd::Filter, Pane::List));
    EXPECT_EQ(list.rowCount(), 4);
    EXPECT_EQ(list.filter().at(0, 1), ">= 30");
}

TEST_F(RecordToolsTest, ToolsNeedATableAndRows) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_enabled");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY)"));
    connectAsAdministrator();
    show(db.name(), "t");
    EXPECT_TRUE(frame->isCommandEnabled(cmd::Filter, Pane::List));
    EXPECT_TRUE(frame->isCommandEnabled(cmd::RecordDetails, Pane::List));
    EXPECT_FALSE(frame->isCommandEnabled(cmd::OpenWithApplication, Pane::List));  // no rows
    show(db.name(), "");
    EXPECT_FALSE(frame->isCommandEnabled(cmd::Filter, Pane::List));
    EXPECT_FALSE(frame->isCommandEnabled(cmd::RecordDetails, Pane::List));
    frame->showGraphView();
    EXPECT_FALSE(frame->isCommandEnabled(cmd::Filter, Pane::List));
}

TEST_F(RecordToolsTest, RowsOfTheGrantTablesOpenOnlyTheirOwnEntries) {
    DBK_REQUIRE_SERVER();
    connectAsAdministrator();
    bool detailsOpened = false;
    onDetails = [&detailsOpened](RecordDetailsForm& form) {
        detailsOpened = true;
        form.reject();
    };
    for (const char* table : {"user", "db"}) {
        CDbkeeperView& list = show("mysql", table);
        if (list.rowCount() == 0)
            continue;
        emit list.cellDoubleClicked(0, 0);
        EXPECT_FALSE(frame->isCommandEnabled(cmd::RecordDetails, Pane::List)) << table;
    }
    EXPECT_FALSE(detailsOpened);

    std::vector<int> rows;
    const ScopedFormEntries entries({{.grantTable = "user", .run = [&rows](EntrySite&, const EntryTarget& t) {
                                          rows.push_back(t.row);
                                          return FollowUp{};
                                      }}});
    CDbkeeperView& users = show("mysql", "user");
    ASSERT_GT(users.rowCount(), 1);
    emit users.cellDoubleClicked(1, 0);
    EXPECT_EQ(rows, std::vector<int>{1});
    EXPECT_FALSE(detailsOpened);

    // other tables of the database mysql open the record details
    CDbkeeperView& other = show("mysql", "proxies_priv");
    ASSERT_GT(other.rowCount(), 0);
    emit other.cellDoubleClicked(0, 0);
    EXPECT_TRUE(detailsOpened);
}

// A table with a two-column key, listed and opened in the details form.
class RecordDetailsFormTest : public RecordToolsTest {
protected:
    CDbkeeperView& showKeyedTable(test::ScratchDatabase& db) {
        Connection& c = db.admin();
        EXPECT_TRUE(
            c.exec("CREATE TABLE t (a INT, b VARCHAR(20), v TEXT, n INT, PRIMARY KEY (a, b), INDEX (n))"));
        EXPECT_TRUE(
            c.exec("INSERT INTO t VALUES (1, 'x', 'one', 5), (1, 'O''Brien', 'two', NULL), "
                   "(2, '" +
                   kNihon + "', 'three', 7)"));
        connectAsAdministrator();
        return show(db.name(), "t");
    }
    std::string serverValue(test::ScratchDatabase& db, const std::string& where) {
        Result r = db.admin().query("SELECT v FROM t WHERE " + where);
        return r.next() ? std::string(r.text(0U)) : "<no row>";
    }
};

TEST_F(RecordDetailsFormTest, UpdateWritesTheValueBackIntoTheListRow) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_details_update");
    CDbkeeperView& list = showKeyedTable(db);
    ASSERT_EQ(list.rowCount(), 3);
    const int row = list.item(1, 1)->text() == "O'Brien" ? 1 : 0;
    ASSERT_EQ(list.item(row, 1)->text(), "O'Brien");

    onDetails = [](RecordDetailsForm& form) {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("レコード明細"));
        QTableWidget* fields = form.fieldList();
        ASSERT_EQ(fields->rowCount(), 4);
        EXPECT_EQ(fields->item(1, 2)->text(), "PRI");
        EXPECT_EQ(fields->item(1, 3)->text(), "O'Brien");
        EXPECT_EQ(fields->item(3, 2)->text(), "MUL");
        EXPECT_FALSE(fields->item(0, 0)->icon().isNull());
        EXPECT_EQ(fields->columnWidth(0), 150);
        EXPECT_FALSE(form.updateButton()->isHidden());
        EXPECT_FALSE(form.deleteButton()->isHidden());
        form.selectField(2);
        EXPECT_EQ(form.fieldNameEdit()->text(), "v");
        EXPECT_EQ(form.contentsEdit()->toPlainText(), "two");
        form.contentsEdit()->setPlainText(QStringLiteral("it's \\ 日本"));
        form.updateButton()->click();
        EXPECT_TRUE(form.updated());
        EXPECT_EQ(fields->item(2, 3)->text(), QStringLiteral("it's \\ 日本"));
        EXPECT_EQ(form.contentsEdit()->toPlainText(), QStringLiteral("it's \\ 日本"));
        form.closeButton()->click();
        EXPECT_EQ(form.result(), QDialog::Accepted);
    };
    openDetails(list, row);
    EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join("|").toStdString();
    EXPECT_EQ(list.item(row, 2)->text(), QStringLiteral("it's \\ 日本"));
    EXPECT_EQ(list.item(row, 1)->text(), "O'Brien");
    EXPECT_EQ(list.rowCount(), 3);
    EXPECT_EQ(serverValue(db, "b = 'O''Brien'"), "it's \\ " + kNihon);
    EXPECT_EQ(serverValue(db, "b = 'x'"), "one");
}

TEST_F(RecordDetailsFormTest, ARefusedUpdateShowsTheErrorAndKeepsTheOldValue) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_details_refused");
    CDbkeeperView& list = showKeyedTable(db);
    const int row = list.item(0, 1)->text() == "x" ? 0 : list.item(1, 1)->text() == "x" ? 1 : 2;
    onDetails = [this](RecordDetailsForm& form) {
        form.selectField(1);
        form.contentsEdit()->setPlainText("O'Brien");  // the key of another row
        form.updateButton()->click();
        ASSERT_EQ(ui->messages.size(), 1);
        EXPECT_TRUE(ui->messages[0].startsWith("Update failed\n1062:")) << ui->messages[0].toStdString();
        EXPECT_FALSE(form.updated());
        EXPECT_EQ(form.fieldList()->item(1, 3)->text(), "x");
        form.closeButton()->click();
        EXPECT_EQ(form.result(), QDialog::Rejected);
    };
    openDetails(list, row);
    EXPECT_EQ(list.item(row, 1)->text(), "x");
    EXPECT_EQ(serverValue(db, "a = 1 AND b = 'x'"), "one");
}

TEST_F(RecordDetailsFormTest, DeleteRemovesTheRowAfterTheQuestion) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_details_delete");
    CDbkeeperView& list = showKeyedTable(db);
    int row = -1;
    for (int r = 0; r < list.rowCount(); ++r) {
        if (list.item(r, 1)->text() == QStringLiteral("日本"))
            row = r;
    }
    ASSERT_GE(row, 0);

    ui->answers = {false};
    onDetails = [](RecordDetailsForm& form) {
        form.deleteButton()->click();
        EXPECT_FALSE(form.deleted());
        form.closeButton()->click();
    };
    openDetails(list, row);
    EXPECT_EQ(ui->questions, QStringList{"Proceed to delete it?"});
    EXPECT_EQ(list.rowCount(), 3);

    // Enter on the row opens the details as well
    onDetails = [](RecordDetailsForm& form) { form.deleteButton()->click(); };
    list.setHotRow(row);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&list, &enter);
    EXPECT_EQ(list.rowCount(), 2);
    for (int r = 0; r < list.rowCount(); ++r)
        EXPECT_NE(list.item(r, 1)->text(), QStringLiteral("日本"));
    EXPECT_EQ(serverValue(db, "a = 2"), "<no row>");
    EXPECT_EQ(serverValue(db, "b = 'x'"), "one");
    EXPECT_TRUE(ui->messages.isEmpty());
}

TEST_F(RecordDetailsFormTest, ATableWithoutKeyOffersNeitherUpdateNorDelete) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_details_nokey");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE n (a INT, b TEXT)"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO n VALUES (1, 'p'), (1, 'p')"));
    connectAsAdministrator();
    CDbkeeperView& list = show(db.name(), "n");
    bool opened = false;
    onDetails = [&opened](RecordDetailsForm& form) {
        opened = true;
        EXPECT_EQ(form.fieldList()->rowCount(), 2);
        EXPECT_TRUE(form.updateButton()->isHidden());
        EXPECT_TRUE(form.deleteButton()->isHidden());
        EXPECT_FALSE(form.dataInfoButton()->isHidden());
        form.dataInfoButton()->click();
        form.closeButton()->click();
    };
    openDetails(list, 1);
    EXPECT_TRUE(opened);
    EXPECT_EQ(tableSizeTitles.size(), 1);
    EXPECT_EQ(list.rowCount(), 2);
}

std::string hexOf(const std::string& bytes) {
    return QByteArray::fromStdString(bytes).toHex().toUpper().toStdString();
}

std::string allBytes() {
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    return bytes;
}

// Shift_JIS text of 42,500 characters: Japanese with quotes and backslashes, "表示" (95 5C 8E A6)
// among them.
std::string longJapanese() {
    const std::string piece = "\x93\xfa\x96\x7b\x8c\xea 'quote' \\ \x95\x5c\x8e\xa6 ";
    std::string text;
    for (int i = 0; i < 2500; ++i)
        text += piece;
    return text;
}

// Values a one-line box cannot hold: a binary key with a quote, a backslash and 0xFF in it, a
// text far longer than 32,767 characters, every byte value, a NULL.
class RecordDetailsValuesTest : public RecordToolsTest {
protected:
    const std::string kKey{"\x00'\\\x81\xff", 5};
    CDbkeeperView& showValuesTable(test::ScratchDatabase& db) {
        Connection& c = db.admin();
        EXPECT_TRUE(
            c.exec("CREATE TABLE w (k VARBINARY(8) PRIMARY KEY, txt MEDIUMTEXT, bin BLOB, nul TEXT)"));
        EXPECT_TRUE(c.exec("INSERT INTO w VALUES (X'" + hexOf(kKey) + "', _cp932 X'" + hexOf(longJapanese()) +
                           "', X'" + hexOf(allBytes()) + "', NULL), ('''', 'other', 'x', 'y')"))
            << c.errorLine();
        connectAsAdministrator();
        return show(db.name(), "w");
    }
    static std::vector<Row> serverRows(test::ScratchDatabase& db) {
        Result r = db.admin().query("SELECT * FROM w ORDER BY k");
        std::vector<Row> rows;
        while (r.next())
            rows.push_back(r.row());
        return rows;
    }
    static int rowOfKey(CDbkeeperView& list, const std::string& key) {
        for (int r = 0; r < static_cast<int>(list.rows().size()); ++r) {
            if (list.rows()[size_t(r)][0] == key)
                return r;
        }
        return -1;
    }
};

TEST_F(RecordDetailsValuesTest, UpdateWithNothingChangedSendsNothing) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_details_unchanged");
    CDbkeeperView& list = showValuesTable(db);
    const std::vector<Row> before = serverRows(db);
    ASSERT_EQ(before.size(), 2u);
    Result length = db.admin().query("SELECT CHAR_LENGTH(txt) FROM w WHERE k = X'" + hexOf(kKey) + "'");
    ASSERT_TRUE(length.next());
    EXPECT_EQ(length.text(0U), "42500");
    const int row = rowOfKey(list, kKey);
    ASSERT_GE(row, 0);
    const Row listed = list.rows()[size_t(row)];

    onDetails = [](RecordDetailsForm& form) {
        for (int field = 0; field < 4; ++field) {
            form.selectField(field);
            form.updateButton()->click();
        }
        EXPECT_FALSE(form.updated());
        form.closeButton()->click();
        EXPECT_EQ(form.result(), QDialog::Rejected);
    };
    openDetails(list, row);
    EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join("|").toStdString();
    EXPECT_TRUE(serverRows(db) == before);
    EXPECT_TRUE(list.rows()[size_t(row)] == listed);
}

TEST_F(RecordDetailsValuesTest, EditedValuesArriveWholeAndBinaryAsHex) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_details_edited");
    CDbkeeperView& list = showValuesTable(db);
    const int row = rowOfKey(list, kKey);
    ASSERT_GE(row, 0);
    std::string backwards = allBytes();
    std::reverse(backwards.begin(), backwards.end());
    const std::string longer = longJapanese() + "\x92\xc7\x8b\x4c";  // + 追記

    onDetails = [this, &backwards](RecordDetailsForm& form) {
        QPlainTextEdit* contents = form.contentsEdit();
        // the long text is shown whole, and goes back whole with what was added
        form.selectField(1);
        EXPECT_TRUE(contents->toPlainText() == fromShiftJis(longJapanese()))
            << contents->toPlainText().size();
        contents->setPlainText(contents->toPlainText() + QStringLiteral("追記"));
        form.updateButton()->click();
        ASSERT_TRUE(form.updated());

        // bytes are shown as hex and written back from hex
        form.selectField(2);
        EXPECT_TRUE(
            contents->toPlainText().startsWith("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n10 11"));
        EXPECT_TRUE(form.fieldList()->item(2, 3)->text().startsWith("00 01 02"));
        contents->setPlainText(contents->toPlainText() + " 0");
        form.updateButton()->click();
        EXPECT_EQ(ui->messages, QStringList{msg(20240)});
        contents->setPlainText(QString::fromStdString(hexOf(backwards)).toLower());
        form.updateButton()->click();

        // NULL: an empty box that says so; Update without typing keeps NULL, typing sets a value
        form.selectField(3);
        EXPECT_EQ(contents->toPlainText(), "");
        EXPECT_EQ(contents->placeholderText(), "NULL");
        form.updateButton()->click();
        EXPECT_EQ(form.values()[3], std::nullopt);
        contents->setPlainText(QStringLiteral("値"));
        form.updateButton()->click();
        form.closeButton()->click();
        EXPECT_EQ(form.result(), QDialog::Accepted);
    };
    openDetails(list, row);
    EXPECT_EQ(ui->messages, QStringList{msg(20240)});
    const std::vector<Row> rows = serverRows(db);
    ASSERT_EQ(rows.size(), 2u);
    const Row expected{kKey, longer, backwards, "\x92\x6c"};
    EXPECT_TRUE(rows[0] == expected);
    EXPECT_TRUE(list.rows()[size_t(row)] == expected);
    EXPECT_EQ(rows[1], (Row{"'", "other", "x", "y"}));
}

TEST_F(RecordDetailsFormTest, EveryControlIsNamedByItsCaption) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_details_names");
    CDbkeeperView& list = showKeyedTable(db);
    onDetails = [](RecordDetailsForm& form) {
        EXPECT_EQ(form.fieldList()->accessibleName(), QStringLiteral("レコード明細"));
        const std::pair<QWidget*, QString> boxes[] = {
            {form.fieldNameEdit(), msg(10128)},
            {form.typeEdit(), msg(10129)},
            {form.keyEdit(), msg(10130)},
            {form.contentsEdit(), msg(10131)},
            {form.remarkEdit(), QStringLiteral("備考")},
        };
        for (const auto& [box, caption] : boxes)
            EXPECT_EQ(box->accessibleName(), caption);
        for (QPushButton* button :
             {form.closeButton(), form.dataInfoButton(), form.deleteButton(), form.updateButton()})
            EXPECT_EQ(button->accessibleName(), button->text());
        EXPECT_EQ(form.updateButton()->text(), QStringLiteral("更新"));
        form.reject();
    };
    openDetails(list, 0);
}

// Three rows listed two to a page.
class OpenWithTest : public RecordToolsTest {
protected:
    CDbkeeperView& showPagedTable(test::ScratchDatabase& db) {
        EXPECT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY, v TEXT)"));
        EXPECT_TRUE(
            db.admin().exec("INSERT INTO t VALUES (1, 'say \"hi\"'), (2, NULL), (3, '" + kNihon + "')"));
        connectAsAdministrator();
        CDbkeeperView& list = show(db.name(), "t");
        doc.context().rowsPerPage = 2;
        list.fill();
        return list;
    }
    void choose(bool fromTable, bool withFieldNames) {
        onOptions = [fromTable, withFieldNames](OpenWithOptionsForm& form) {
            EXPECT_TRUE(form.fromListButton()->isChecked());
            EXPECT_TRUE(form.fieldsAndDataButton()->isChecked());
            (fromTable ? form.fromTableButton() : form.fromListButton())->setChecked(true);
            (withFieldNames ? form.fieldsAndDataButton() : form.dataOnlyButton())->setChecked(true);
            form.accept();
        };
    }
};

TEST_F(OpenWithTest, TempCsvHoldsTheListedRowsOrTheWholeTable) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_open_with");
    CDbkeeperView& list = showPagedTable(db);
    ASSERT_EQ(list.rowCount(), 2);
    const QByteArray page = "\"1\",\"say \"\"hi\"\"\",\n\"2\",\"\",\n";
    const QByteArray header = "\"id\",\"v\",\n";
    struct Case {
        bool fromTable;
        bool withFieldNames;
        QByteArray expected;
    };
    const Case cases[] = {
        {false, false, page},
        {false, true, header + page},
        {true, true, header + page + "\"3\",\"" + QByteArray::fromStdString(kNihon) + "\",\n"},
        {true, false, page + "\"3\",\"" + QByteArray::fromStdString(kNihon) + "\",\n"},
    };
    for (const Case& c : cases) {
        ui->openedFiles.clear();
        choose(c.fromTable, c.withFieldNames);
        ASSERT_TRUE(frame->runCommand(cmd::OpenWithApplication, Pane::List));
        EXPECT_EQ(readAll(tempCsv()), c.expected) << c.fromTable << c.withFieldNames;
        EXPECT_EQ(ui->openedFiles, QStringList{tempCsv()});
    }
    EXPECT_TRUE(ui->messages.isEmpty());

    // Cancel writes nothing and opens nothing
    QFile::remove(tempCsv());
    ui->openedFiles.clear();
    onOptions = [](OpenWithOptionsForm& form) { form.reject(); };
    frame->runCommand(cmd::OpenWithApplication, Pane::List);
    EXPECT_FALSE(QFile::exists(tempCsv()));
    EXPECT_TRUE(ui->openedFiles.isEmpty());
}

TEST_F(OpenWithTest, FailuresAreShown) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_tools_open_fail");
    showPagedTable(db);
    choose(false, false);

    ui->openSucceeds = false;
    ASSERT_TRUE(frame->runCommand(cmd::OpenWithApplication, Pane::List));
    EXPECT_EQ(ui->openedFiles, QStringList{tempCsv()});
    EXPECT_EQ(ui->messages,
              QStringList{QStringLiteral("プログラムの実行に失敗しました。\n\nFile = TEMP.CSV")});

    // a TEMP.CSV that cannot be created: said so, nothing opened
    ui->messages.clear();
    ui->openedFiles.clear();
    ASSERT_TRUE(QFile::remove(tempCsv()));
    ASSERT_TRUE(QDir(startDir.path()).mkdir("TEMP.CSV"));
    frame->runCommand(cmd::OpenWithApplication, Pane::List);
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith("TEMP.CSV could not be created:\n"))
        << ui->messages[0].toStdString();
    EXPECT_TRUE(ui->openedFiles.isEmpty());
    ASSERT_TRUE(QDir(startDir.path()).rmdir("TEMP.CSV"));

    // the table went away after it was listed: the server's error, nothing opened
    ui->messages.clear();
    ASSERT_TRUE(db.admin().exec("DROP TABLE t"));
    choose(true, false);
    frame->runCommand(cmd::OpenWithApplication, Pane::List);
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith("The rows for TEMP.CSV could not be read.\n1146:"))
        << ui->messages[0].toStdString();
    EXPECT_TRUE(ui->openedFiles.isEmpty());
}

}  // namespace
}  // namespace dbk
