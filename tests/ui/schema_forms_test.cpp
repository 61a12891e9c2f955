#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidgetItem>

#include "app/scripted_ui_services.h"
#include "browser/left_view.h"
#include "conn/text_codec.h"
#include "schema/add_field_form.h"
#include "schema/change_field_form.h"
#include "schema/create_database_form.h"
#include "schema/create_table_form.h"
#include "schema/field_panel_widget.h"
#include "schema/rename_table_form.h"
#include "schema/structure_editor_form.h"
#include "schema/table_options_form.h"
#include "schema/value_list_form.h"
#include "support/test_server.h"
#include "support/ui_support.h"

namespace dbk {
namespace {

void chooseType(FieldPanelWidget& panel, const char* type) {
    QComboBox* list = panel.typeList();
    list->setCurrentIndex(list->findText(QString::fromLatin1(type)));
    // The type list loses the focus: the panel follows the type.
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(list, &out);
}

void fillPanel(FieldPanelWidget& panel, const char* name, const char* type, const char* length) {
    panel.nameEdit()->setText(QString::fromUtf8(name));
    chooseType(panel, type);
    panel.lengthEdit()->setText(QString::fromLatin1(length));
}

bool tableExists(Connection& c, const std::string& db, const std::string& table) {
    Result r = c.query("SHOW TABLES FROM " + test::sqlName(db) + " LIKE '" + c.escapeLike(table) + "'");
    return r.next();
}

// Installs a runner for the forms opened inside a test; the previous one comes back afterwards.
class ScopedRunner {
public:
    explicit ScopedRunner(ModalRunner runner) : previous_(setModalRunner(std::move(runner))) {}
    ~ScopedRunner() { setModalRunner(previous_); }

private:
    ModalRunner previous_;
};

class SchemaFormTest : public ::testing::Test {
protected:
    void SetUp() override { setInterfaceLanguage(Language::English); }
    ScopedScriptedUi ui;
};

TEST_F(SchemaFormTest, CreateTableGridAsksBeforeOverwritingAndCreateSendsTheBoxAsItStands) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_schema_form_create");
    CreateTableForm form(db.session(), db.name());
    FieldPanelWidget& panel = *form.panel();
    // At the size it opens at, the form gives the grid room for several rows.
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_GE(form.grid()->viewport()->height(), 5 * form.grid()->verticalHeader()->defaultSectionSize());
    form.hide();
    form.button("追加")->click();
    EXPECT_EQ(ui->messages, QStringList{"Field name cannot be inputted."});
    EXPECT_EQ(form.grid()->rowCount(), 0);

    fillPanel(panel, "id", "INT", "11");
    form.primaryKeyBox()->setChecked(true);
    form.button("追加")->click();
    EXPECT_EQ(form.grid()->rowCount(), 1);
    EXPECT_TRUE(panel.nameEdit()->text().isEmpty());
    EXPECT_FALSE(form.primaryKeyBox()->isChecked());
    const QString built =
        "CREATE TABLE dbk_schema_form_create.table1 (\nid INT(11)  NOT NULL ,\n"
        "PRIMARY KEY ( id )\n\n);";
    EXPECT_EQ(form.statementEdit()->toPlainText(), built);

    // The same name in other letters: No keeps the grid, Yes replaces the row.
    fillPanel(panel, "ID", "VARCHAR", "20");
    ui->answers = {false};
    form.button("追加")->click();
    EXPECT_EQ(ui->questions, QStringList{"Proceed to overwrite it?"});
    EXPECT_EQ(form.grid()->item(0, 1)->text(), "INT");
    EXPECT_EQ(panel.nameEdit()->text(), "ID");  // nothing was taken from the panel
    ui->answers = {true};
    form.button("追加")->click();
    ASSERT_EQ(form.grid()->rowCount(), 1);
    EXPECT_EQ(form.grid()->item(0, 0)->text(), "ID");
    EXPECT_EQ(form.grid()->item(0, 1)->text(), "VARCHAR");
    EXPECT_EQ(form.grid()->item(0, 6)->text(), "");

    // Selecting a row loads the panel; Update rebuilds the statement over a hand edit.
    form.selectRow(0);
    EXPECT_EQ(panel.nameEdit()->text(), "ID");
    EXPECT_EQ(panel.lengthEdit()->text(), "20");
    form.statementEdit()->setPlainText("CREATE TABLE by_hand (x INT)");
    form.button("更新")->click();
    EXPECT_EQ(form.statementEdit()->toPlainText(),
              "CREATE TABLE dbk_schema_form_create.table1 (\nID VARCHAR(20)  NOT NULL \n);");

    // Create sends a hand edit as it stands; a refusal keeps the form open.
    form.statementEdit()->setPlainText("CREATE TABLE by_hand (x INT)");
    ui->questions.clear();
    ui->answers = {false};
    form.button("作成")->click();
    EXPECT_EQ(ui->questions, QStringList{"Proceed to create it? (dbk_schema_form_create.table1)"});
    EXPECT_FALSE(tableExists(db.admin(), db.name(), "by_hand"));
    form.button("作成")->click();
    EXPECT_TRUE(tableExists(db.admin(), db.name(), "by_hand"));
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.statementEdit()->toPlainText(), "CREATE TABLE by_hand (x INT)");

    CreateTableForm again(db.session(), db.name());
    again.statementEdit()->setPlainText("CREATE TABLE by_hand (x INT)");
    ui->messages.clear();
    again.button("作成")->click();
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith("Cannot create!\n1050:")) << ui->messages[0].toStdString();
    EXPECT_NE(again.result(), QDialog::Accepted);
}

TEST_F(SchemaFormTest, ThePanelFollowsTheTypeAndTheListButtonEditsTheValues) {
    DBK_REQUIRE_SERVER();
    Session session(test::connectAdmin());
    CreateTableForm form(session, "d");
    FieldPanelWidget& panel = *form.panel();
    panel.lengthEdit()->setText("10");
    panel.autoIncrementBox()->setChecked(true);
    chooseType(panel, "TEXT");
    EXPECT_TRUE(panel.lengthEdit()->text().isEmpty());
    EXPECT_FALSE(panel.lengthEdit()->isEnabled());
    EXPECT_FALSE(panel.defaultEdit()->isEnabled());
    EXPECT_FALSE(panel.autoIncrementBox()->isEnabled());
    EXPECT_FALSE(panel.listButton()->isVisibleTo(&panel));
    chooseType(panel, "ENUM");
    EXPECT_FALSE(panel.lengthEdit()->isEnabled());
    EXPECT_TRUE(panel.listButton()->isVisibleTo(&panel));
    EXPECT_EQ(panel.lengthLabel()->text(), "列挙");

    // The values come through the editor, sorted; a prefix of a value is refused.
    QStringList seen;
    ScopedRunner runner([&](QDialog& dialog) {
        auto& editor = dynamic_cast<ValueListForm&>(dialog);
        seen = QStringList{editor.valueEdit()->text()};
        for (const char* value : {"b", "a", "A"}) {
            editor.valueEdit()->setText(QString::fromLatin1(value));
            editor.addButton()->click();
        }
        seen << editor.result();
        return int(QDialog::Accepted);
    });
    panel.listButton()->click();
    EXPECT_EQ(seen, (QStringList{"", "'a','b'"}));
    EXPECT_EQ(ui->messages, QStringList{"Error!!"});
    EXPECT_EQ(panel.lengthEdit()->text(), "'a','b'");

    // A numeric type opens the boxes again; the AUTO_INC check was kept.
    chooseType(panel, "INT");
    EXPECT_TRUE(panel.lengthEdit()->isEnabled());
    EXPECT_TRUE(panel.defaultEdit()->isEnabled());
    EXPECT_TRUE(panel.autoIncrementBox()->isEnabled());
    EXPECT_TRUE(panel.autoIncrementBox()->isChecked());
    EXPECT_FALSE(panel.listButton()->isVisibleTo(&panel));
    EXPECT_EQ(panel.lengthLabel()->text(), "データ長");
}

TEST_F(SchemaFormTest, ValueListEditorEditsAndDeletesTheSelectedValue) {
    ValueListForm editor("'x','b','y'");
    ASSERT_EQ(editor.list()->count(), 3);
    EXPECT_EQ(editor.list()->item(0)->text(), "b");
    EXPECT_FALSE(editor.editButton()->isEnabled());
    editor.list()->setCurrentRow(2);
    EXPECT_EQ(editor.valueEdit()->text(), "y");
    EXPECT_TRUE(editor.editButton()->isEnabled());
    editor.valueEdit()->setText("a");
    editor.editButton()->click();
    EXPECT_EQ(editor.result(), "'a','b','x'");
    EXPECT_FALSE(editor.deleteButton()->isEnabled());
    editor.list()->setCurrentRow(1);
    editor.deleteButton()->click();
    EXPECT_EQ(editor.result(), "'a','x'");
}

TEST_F(SchemaFormTest, AddFieldSaysTheColumnStaysWhenItsKeyFails) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_schema_form_add");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE items (id INT PRIMARY KEY)"));
    AddFieldForm form(db.session(), db.name(), "items");
    fillPanel(*form.panel(), "k", "INT", "");
    form.primaryKeyBox()->setChecked(true);
    form.indexBox()->setChecked(true);
    form.addButton()->click();
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith("プライマリキー作成ができませんでした\n1068:"))
        << ui->messages[0].toStdString();
    EXPECT_TRUE(ui->messages[0].endsWith("\nThe field k has been added to the table without this key."));
    EXPECT_NE(form.result(), QDialog::Accepted);
    EXPECT_EQ(ui->waitDepth, 0);
    Result index = db.admin().query("SHOW INDEX FROM items WHERE Column_name='k'");
    EXPECT_FALSE(index.next());  // the run ended at the primary key

    // Pressing Add again is refused by the server: the column is there.
    ui->messages.clear();
    form.addButton()->click();
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith("Cannot create!\n1060:")) << ui->messages[0].toStdString();

    // Clear keeps the unique key's name.
    form.uniqueNameEdit()->setText("u1");
    form.indexNameEdit()->setText("i1");
    form.clearButton()->click();
    EXPECT_EQ(form.uniqueNameEdit()->text(), "u1");
    EXPECT_TRUE(form.indexNameEdit()->text().isEmpty());
    EXPECT_FALSE(form.primaryKeyBox()->isChecked());
}

TEST_F(SchemaFormTest, ChangeFieldStartsFromTheColumnAsItIs) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_schema_form_change");
    Connection& c = db.admin();
    ASSERT_TRUE(c.exec(
        "CREATE TABLE t (id INT(11) UNSIGNED NULL, KEY (id), g DATETIME(6), v VARCHAR(5) DEFAULT 'a')"));
    ASSERT_TRUE(c.exec("INSERT INTO t (id) VALUES (NULL), (3)"));
    ChangeFieldForm id(db.session(), db.name(), "t", "id");
    FieldPanelWidget& panel = *id.panel();
    EXPECT_EQ(id.originalTypeEdit()->text(), "int(11) unsigned");
    EXPECT_EQ(panel.typeList()->currentText(), "INT");
    EXPECT_EQ(panel.lengthEdit()->text(), "11");
    EXPECT_TRUE(panel.unsignedBox()->isChecked());
    EXPECT_TRUE(panel.nullBox()->isChecked());
    EXPECT_TRUE(panel.nameEdit()->isReadOnly());
    EXPECT_EQ(id.statement(), "ALTER TABLE dbk_schema_form_change.t MODIFY id INT(11)  UNSIGNED  NULL ");
    panel.lengthEdit()->setText("9");
    id.updateButton()->click();
    EXPECT_EQ(id.result(), QDialog::Accepted);
    EXPECT_TRUE(ui->messages.isEmpty());
    Result nulls = c.query("SELECT COUNT(*) FROM t WHERE id IS NULL");
    ASSERT_TRUE(nulls.next());
    EXPECT_EQ(nulls.text(0U), "1");

    // A type the list does not hold is shown but not picked; Update is refused and said so.
    ChangeFieldForm g(db.session(), db.name(), "t", "g");
    EXPECT_EQ(g.originalTypeEdit()->text(), "datetime(6)");
    EXPECT_EQ(g.panel()->typeList()->currentIndex(), -1);
    g.updateButton()->click();
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith("Error updating.\nYou have an error"))
        << ui->messages[0].toStdString();
    EXPECT_NE(g.result(), QDialog::Accepted);

    ChangeFieldForm v(db.session(), db.name(), "t", "v");
    EXPECT_EQ(v.originalDefaultEdit()->text(), "a");
    EXPECT_FALSE(v.panel()->unsignedBox()->isEnabled());
}

TEST_F(SchemaFormTest, TableOptionsShowTheStatusAndChangeOneOptionAtATime) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_schema_form_options");
    ASSERT_TRUE(
        db.admin().exec("CREATE TABLE o (id INT AUTO_INCREMENT PRIMARY KEY) ENGINE=MyISAM AUTO_INCREMENT=5"));
    TableOptionsForm form(db.session(), db.name(), "o");
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_EQ(form.box("AUTO_INCREMENT")->text(), "5");
    EXPECT_EQ(form.box("ROW_FORMAT")->text(), "Fixed");
    EXPECT_TRUE(form.box("MAX_ROWS")->text().isEmpty());

    for (OptionButton silent :
         {OptionButton::ChecksumOn, OptionButton::Password, OptionButton::DelayKeyWriteOff})
        form.button(silent)->click();
    EXPECT_TRUE(ui->messages.isEmpty());

    form.box("COMMENT")->setText("Bob's");
    form.button(OptionButton::Comment)->click();
    EXPECT_EQ(ui->messages, QStringList{"Nomalization complete!"});
    EXPECT_EQ(form.box("COMMENT")->text(), "Bob's");
    form.box("MAX_ROWS")->setText("1000");
    form.button(OptionButton::MaxRows)->click();
    EXPECT_EQ(form.box("MAX_ROWS")->text(), "1000");

    ui->messages.clear();
    form.box("AUTO_INCREMENT")->setText("x");
    form.button(OptionButton::AutoIncrement)->click();
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith("Some errors have occurred.  Please confirm.\n"));
    EXPECT_EQ(form.box("AUTO_INCREMENT")->text(), "x");  // the boxes stay as they are
}

// In today's session an unchanged Update (change field, structure editor) keeps what Shift_JIS
// lacks, and what is typed (a comment, a new field's name and default) is stored as typed.
TEST_F(SchemaFormTest, UpdatesInTodaysSessionKeepEveryCharacter) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_schema_form_unicode");
    Session session;
    ConnectParams params = test::adminParams();
    params.sessionText = SessionText::Automatic;
    ASSERT_TRUE(session.open(params));
    Connection& c = session.connection();
    ASSERT_TRUE(c.exec("CREATE TABLE " + db.name() +
                       ".u (v VARCHAR(10) NOT NULL DEFAULT '〜' COMMENT '値〜😀', e ENUM('〜','😀','−') "
                       "COMMENT '🍣') CHARACTER SET utf8mb4"));
    const std::string showCreate = "SHOW CREATE TABLE " + db.name() + ".u";
    Result before = c.query(showCreate);
    ASSERT_TRUE(before.next());
    const std::string created(before.text(1U));
    const auto expectUnchanged = [&](const std::string& what) {
        Result after = c.query(showCreate);
        ASSERT_TRUE(after.next());
        EXPECT_EQ(after.text(1U), created) << what;
        EXPECT_TRUE(ui->messages.isEmpty()) << what << ": " << ui->messages.join('\n').toStdString();
    };
    for (const char* column : {"v", "e"}) {
        ChangeFieldForm form(session, db.name(), "u", column);
        form.updateButton()->click();
        EXPECT_EQ(form.result(), QDialog::Accepted) << column;
        expectUnchanged(column);
    }
    StructureEditorForm editor(session, db.name(), "u");
    for (int row = 0; row < editor.fieldList()->rowCount(); ++row) {
        editor.selectFieldRow(row);
        editor.button(QStringLiteral("更新"))->click();
        expectUnchanged(editor.fieldList()->item(row, 0)->text().toStdString());
    }

    AddFieldForm add(session, db.name(), "u");
    fillPanel(*add.panel(), "メモ〜", "VARCHAR", "10");
    add.addButton()->click();
    EXPECT_EQ(
        test::scalar(c, "SELECT HEX(COLUMN_NAME) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '" +
                            db.name() + "' ORDER BY ORDINAL_POSITION DESC LIMIT 1"),
        QByteArray("メモ〜").toHex().toUpper().toStdString());
    TableOptionsForm options(session, db.name(), "u");
    // (MariaDB keeps table comments in utf8mb3: an emoji there is the server's "?".)
    const QString comment = QStringLiteral("範囲10〜20 it's −5 ①髙");
    options.box("COMMENT")->setText(comment);
    options.button(OptionButton::Comment)->click();
    EXPECT_EQ(
        test::scalar(c, "SELECT HEX(TABLE_COMMENT) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                            db.name() + "' AND TABLE_NAME = 'u'"),
        comment.toUtf8().toHex().toUpper().toStdString());
}

// The main window's entries: create a table from the tree, create a database, rename a table.
class SchemaEntryTest : public test::MainFrameFixture {
protected:
    void openTree() {
        doc.setLoginPrompt(test::loginPromptFor(test::adminParams()));
        frame->leftView()->initialUpdate();
        ui->messages.clear();
        frame->setFocusedPane(Pane::Tree);
    }
    CLeftView& tree() { return *frame->leftView(); }
    std::string selected() {
        return tree().selectedNode() ? CLeftView::nodeBytes(tree().selectedNode()) : "";
    }
};

TEST_F(SchemaEntryTest, CreateTableFromTheTreeSelectsTheNewTable) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_schema_entry_table");
    openTree();
    tree().selectNode(tree().databaseNode(db.name()));
    const std::string name = toShiftJis(QStringLiteral("新しい 表"));
    ScopedRunner runner([&](QDialog& dialog) {
        auto& form = dynamic_cast<CreateTableForm&>(dialog);
        fillPanel(*form.panel(), "番号", "INT", "");
        form.button("追加")->click();
        form.tableNameEdit()->setText(fromShiftJis(name));
        form.tableTypeList()->setCurrentIndex(form.tableTypeList()->findText("MyISAM"));
        form.button("作成")->click();
        return form.result();
    });
    QTest::keyClick(&tree(), Qt::Key_Insert);
    EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join(u'\n').toStdString();
    EXPECT_TRUE(tableExists(db.admin(), db.name(), name));
    EXPECT_EQ(selected(), name);
    EXPECT_EQ(CLeftView::databaseOf(tree().selectedNode()), db.name());
}

TEST_F(SchemaEntryTest, CreateDatabaseAndRenameTableFollowInTheTree) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_schema_entry_rename");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t1 (id INT)"));
    ASSERT_TRUE(db.admin().exec("CREATE TABLE taken (id INT)"));
    const std::string created = "dbk schema entry db";
    db.admin().exec("DROP DATABASE IF EXISTS `dbk schema entry db`");
    openTree();

    QString typed;
    ScopedRunner runner([&](QDialog& dialog) {
        if (auto* form = dynamic_cast<CreateDatabaseForm*>(&dialog)) {
            form->createButton()->click();  // empty: asked for a name
            form->nameEdit()->setText(fromShiftJis(created));
            form->createButton()->click();
        } else if (auto* rename = dynamic_cast<RenameTableForm*>(&dialog)) {
            EXPECT_EQ(rename->currentNameEdit()->text(), fromShiftJis(db.name() + ".t1"));
            rename->newNameEdit()->setText(typed);
            rename->okButton()->click();
        }
        return dialog.result();
    });
    ASSERT_TRUE(frame->runCommand(cmd::CreateDatabase, Pane::Tree));
    EXPECT_EQ(ui->messages, QStringList{"Please enter name for database."});
    EXPECT_EQ(selected(), created);
    Result made = db.admin().query("SHOW DATABASES LIKE 'dbk schema entry db'");
    EXPECT_TRUE(made.next());
    db.admin().exec("DROP DATABASE `dbk schema entry db`");

    tree().selectNode(tree().databaseNode(db.name()));
    tree().selectNode(tree().tableNode(db.name(), "t1"));
    ui->messages.clear();
    typed = "taken";  // refused: the node keeps its name
    ASSERT_TRUE(frame->runCommand(cmd::RenameTable, Pane::Tree));
    EXPECT_EQ(ui->messages, QStringList{"変更できませんでした！！"});
    EXPECT_EQ(ui->errorCaptions, QStringList{"Tolvane情報"});
    EXPECT_EQ(selected(), "t1");
    typed = "t2 new";
    ASSERT_TRUE(frame->runCommand(cmd::RenameTable, Pane::Tree));
    EXPECT_EQ(selected(), "t2 new");
    EXPECT_EQ(doc.context().currentTable, "t2 new");
    EXPECT_TRUE(tableExists(db.admin(), db.name(), "t2 new"));
}

// Every control a screen reader meets is named by its caption: a button by its text, a box by
// the label that is its buddy, other controls by the name they were given.
QStringList unnamedControls(QWidget& form) {
    QHash<const QWidget*, QString> captions;
    for (const QLabel* label : form.findChildren<QLabel*>()) {
        if (label->buddy())
            captions[label->buddy()] = label->text();
    }
    QStringList offenders;
    for (QWidget* w : form.findChildren<QWidget*>()) {
        bool inside = false;  // a part of a list or a combo box
        for (const QWidget* p = w->parentWidget(); p && !inside; p = p->parentWidget())
            inside = qobject_cast<const QAbstractItemView*>(p) || qobject_cast<const QComboBox*>(p);
        const bool control = qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
                             qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QAbstractItemView*>(w) ||
                             qobject_cast<QAbstractButton*>(w);
        if (!control || inside)
            continue;
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
        const QString name = iface ? iface->text(QAccessible::Name) : QString();
        QString caption = w->accessibleName();
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            caption = button->text();
        if (captions.contains(w))
            caption = captions[w];
        // On this platform a pick list is named by its choice and labelled by its caption.
        const bool labelledList = qobject_cast<QComboBox*>(w) && captions.contains(w);
        if (name.isEmpty() || (name != caption && !labelledList))
            offenders << QStringLiteral("%1 \"%2\" (caption \"%3\") in %4")
                             .arg(QString::fromLatin1(w->metaObject()->className()), name, caption,
                                  form.windowTitle());
    }
    return offenders;
}

TEST_F(SchemaFormTest, EveryControlIsNamedByItsCaption) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_schema_form_names");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT)"));
    Session& s = db.session();
    CreateTableForm create(s, db.name());
    AddFieldForm add(s, db.name(), "t");
    ChangeFieldForm change(s, db.name(), "t", "id");
    TableOptionsForm options(s, db.name(), "t");
    RenameTableForm rename(s, db.name(), "t");
    CreateDatabaseForm database(s);
    ValueListForm values("'a'");
    QStringList offenders;
    for (QWidget* form :
         std::initializer_list<QWidget*>{&create, &add, &change, &options, &rename, &database, &values})
        offenders << unnamedControls(*form);
    EXPECT_TRUE(offenders.isEmpty()) << offenders.join(u'\n').toStdString();
    chooseType(*create.panel(), "SET");  // the length box takes the caption of a value list
    EXPECT_EQ(QAccessible::queryAccessibleInterface(create.panel()->lengthEdit())->text(QAccessible::Name),
              "列挙");
}

}  // namespace
}  // namespace dbk
