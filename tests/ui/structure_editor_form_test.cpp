#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <functional>

#include "app/messages.h"
#include "app/modal_runner.h"
#include "app/scripted_ui_services.h"
#include "conn/text_codec.h"
#include "schema/add_key_form.h"
#include "schema/rename_table_form.h"
#include "schema/structure_editor_form.h"
#include "support/test_server.h"

namespace dbk {
namespace {

std::string sjis(const char* utf8) {
    return toShiftJis(QString::fromUtf8(utf8));
}

// The editor of a table with a blank and Japanese characters in its name; the forms it opens
// are handed to `onForm`.
class StructureEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        DBK_REQUIRE_SERVER();
        setInterfaceLanguage(Language::English);
        db.emplace("dbk_structure");
        table = sjis("構造 表");
        ASSERT_TRUE(db->admin().setCharacterSet("utf8mb4"));
        ASSERT_TRUE(db->admin().exec(
            "CREATE TABLE `構造 表`"
            " (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, a INT NOT NULL DEFAULT 7, "
            "b VARCHAR(10) CHARACTER SET cp932 NOT NULL DEFAULT 'x' COMMENT 'メモüé', c DATE NOT NULL, "
            "note TEXT, "
            "UNIQUE KEY by_b (b))"));
        ASSERT_TRUE(db->admin().setCharacterSet("cp932"));
        previousRunner = setModalRunner([this](QDialog& dialog) {
            formsOpened << dialog.windowTitle();
            if (onForm)
                onForm(dialog);
            else
                dialog.reject();
            return dialog.result();
        });
    }
    void TearDown() override { setModalRunner(previousRunner); }

    int fieldRow(const StructureEditorForm& form, const char* field) {
        for (size_t i = 0; i < form.fieldRows().size(); ++i) {
            if (form.fieldRows()[i].field == field)
                return int(i);
        }
        return -1;
    }
    int keyRow(const StructureEditorForm& form, const char* key) {
        for (size_t i = 0; i < form.keyListing().rows.size(); ++i) {
            if (form.keyListing().keyName(i) == key)
                return int(i);
        }
        return -1;
    }
    // The columns of a key in their order.
    std::string keyColumns(const char* key) {
        Result r = db->admin().query(
            "SELECT GROUP_CONCAT(COLUMN_NAME ORDER BY SEQ_IN_INDEX) FROM "
            "information_schema.STATISTICS WHERE TABLE_SCHEMA='dbk_structure' AND INDEX_NAME='" +
            std::string(key) + "'");
        return r.next() ? std::string(r.text(0U)) : std::string();
    }

    std::optional<test::ScratchDatabase> db;
    std::string table;
    ScopedScriptedUi ui;
    QStringList formsOpened;
    std::function<void(QDialog&)> onForm;
    ModalRunner previousRunner;
};

TEST_F(StructureEditorTest, ListsShowTheServersColumnsAndKeys) {
    StructureEditorForm form(db->session(), db->name(), table);
    EXPECT_EQ(form.windowTitle(),
              QStringLiteral("テーブルリスト  データベース:dbk_structure テーブル:構造 表"));
    QTableWidget* fields = form.fieldList();
    ASSERT_EQ(fields->rowCount(), 5);
    EXPECT_EQ(fields->horizontalHeaderItem(0)->text(), QStringLiteral("Field"));
    EXPECT_EQ(fields->horizontalHeaderItem(5)->text(), QStringLiteral("Other"));
    // A column without a default still shows what its Extra cell holds.
    EXPECT_EQ(fields->item(0, 0)->text(), QStringLiteral("id"));
    EXPECT_EQ(fields->item(0, 3)->text(), QStringLiteral("PRI"));
    EXPECT_EQ(fields->item(0, 5)->text(), QStringLiteral("auto_increment"));
    EXPECT_EQ(fields->item(1, 4)->text(), QStringLiteral("7"));
    EXPECT_EQ(fields->item(2, 3)->text(), QStringLiteral("UNI"));
    EXPECT_FALSE(fields->item(0, 0)->icon().isNull());

    QTableWidget* keys = form.keyList();
    EXPECT_EQ(keys->horizontalHeaderItem(2)->text(), QStringLiteral("Key_name"));
    EXPECT_EQ(keys->rowCount(), 2);

    form.selectFieldRow(fieldRow(form, "note"));
    EXPECT_EQ(form.selectedFieldEdit()->text(), QStringLiteral("note"));
    EXPECT_TRUE(form.nullBox()->isChecked());
    EXPECT_FALSE(form.primaryKeyBox()->isChecked());
    form.selectFieldRow(fieldRow(form, "id"));
    EXPECT_TRUE(form.primaryKeyBox()->isChecked());
    EXPECT_FALSE(form.nullBox()->isChecked());
    // A key row selects its column with the column's own state.
    form.selectKeyRow(keyRow(form, "by_b"));
    EXPECT_EQ(form.selectedFieldEdit()->text(), QStringLiteral("b"));
    EXPECT_FALSE(form.primaryKeyBox()->isChecked());
    EXPECT_FALSE(form.nullBox()->isChecked());
}

// What one column is now, as information_schema tells it.
std::string describe(Connection& c, const char* column) {
    c.setCharacterSet("utf8mb4");
    Result r =
        c.query(std::string("SELECT CONCAT_WS('|', IS_NULLABLE, COLUMN_DEFAULT, EXTRA, COLLATION_NAME, "
                            "COLUMN_COMMENT, COLUMN_KEY) FROM information_schema.COLUMNS WHERE "
                            "TABLE_SCHEMA='dbk_structure' AND COLUMN_NAME='") +
                column + "'");
    c.setCharacterSet("cp932");
    return r.next() ? std::string(r.text(0U)) : std::string("(none)");
}

TEST_F(StructureEditorTest, UpdateChangesNameAndNullAndKeepsTheRest) {
    StructureEditorForm form(db->session(), db->name(), table);
    Connection& c = db->admin();
    // Renaming the auto-increment primary key keeps both, and sends no second PRIMARY KEY.
    form.selectFieldRow(fieldRow(form, "id"));
    form.selectedFieldEdit()->setText(QStringLiteral("番号"));
    form.button(QStringLiteral("更新"))->click();
    EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join(u'|').toStdString();
    EXPECT_EQ(describe(c, "番号"), "NO|auto_increment||PRI");
    // NULL allowed: the default stays.
    form.selectFieldRow(fieldRow(form, "a"));
    form.nullBox()->setChecked(true);
    form.button(QStringLiteral("更新"))->click();
    EXPECT_EQ(describe(c, "a"), "YES|7|||");
    // The character set, default and comment of a column stay too, whichever list it was chosen in.
    form.selectKeyRow(keyRow(form, "by_b"));
    form.nullBox()->setChecked(true);
    form.button(QStringLiteral("更新"))->click();
    EXPECT_EQ(describe(c, "b"), "YES|'x'||cp932_japanese_ci|メモüé|UNI");
    form.nullBox()->setChecked(false);
    form.button(QStringLiteral("更新"))->click();
    EXPECT_EQ(describe(c, "b"), "NO|'x'||cp932_japanese_ci|メモüé|UNI");
    EXPECT_TRUE(ui->messages.isEmpty()) << ui->messages.join(u'|').toStdString();
    EXPECT_EQ(form.fieldList()->item(0, 0)->text(), QStringLiteral("番号"));
}

TEST_F(StructureEditorTest, TheColumnAndTableFormsOpenFromTheEditor) {
    StructureEditorForm form(db->session(), db->name(), table);
    onForm = [](QDialog& dialog) {
        auto* rename = qobject_cast<RenameTableForm*>(&dialog);
        ASSERT_NE(rename, nullptr);
        rename->newNameEdit()->setText(QStringLiteral("新 表"));
        rename->okButton()->click();
    };
    form.button(QStringLiteral("テーブル名変更"))->click();
    EXPECT_EQ(form.renamedTable(), sjis("新 表"));
    EXPECT_EQ(form.windowTitle(),
              QStringLiteral("テーブルリスト  データベース:dbk_structure テーブル:新 表"));

    // Every other form opens for the table under its new name; the lists follow it.
    onForm = nullptr;
    formsOpened.clear();
    for (const char* caption :
         {"フィールド追加", "テーブルオプション", "メンテナンス・修復", "テーブルの複製", "データ量の情報"})
        form.button(QString::fromUtf8(caption))->click();
    emit form.fieldList()->cellDoubleClicked(fieldRow(form, "a"), 0);
    EXPECT_EQ(formsOpened, (QStringList{"フィールドの追加", "テーブルオプション", "メンテナンス・修復",
                                        "テーブルの複製", "データ量の情報", "フィールドの変更"}));
    EXPECT_EQ(form.fieldList()->rowCount(), 5);
}

TEST_F(StructureEditorTest, DeleteFieldAndPrimaryKey) {
    StructureEditorForm form(db->session(), db->name(), table);
    form.selectFieldRow(fieldRow(form, "note"));
    ui->answers = {false};
    form.fieldMenu()->actions()[1]->trigger();
    EXPECT_EQ(ui->questions, QStringList{QStringLiteral("このフィールド(note)を削除してもよろしいですか？")});
    EXPECT_EQ(form.fieldList()->rowCount(), 5);
    form.fieldMenu()->actions()[1]->trigger();
    EXPECT_EQ(form.fieldList()->rowCount(), 4);
    EXPECT_EQ(fieldRow(form, "note"), -1);
    EXPECT_TRUE(form.selectedFieldEdit()->text().isEmpty());

    // The auto-increment column must be a key: the server refuses, and says why.
    form.selectKeyRow(keyRow(form, "PRIMARY"));
    ui->questions.clear();
    form.keyMenu()->actions().last()->trigger();
    EXPECT_EQ(ui->questions, QStringList{QStringLiteral("このキー名(PRIMARY)を削除してもよろしいですか？")});
    ASSERT_EQ(ui->messages.size(), 1);
    EXPECT_TRUE(ui->messages[0].startsWith(QStringLiteral("削除できませんでした\n1075:")))
        << ui->messages[0].toStdString();
    ASSERT_TRUE(db->admin().exec("ALTER TABLE " + test::sqlName(table) + " MODIFY id INT NOT NULL"));
    form.loadLists();
    form.selectKeyRow(keyRow(form, "PRIMARY"));
    form.keyMenu()->actions().last()->trigger();
    EXPECT_EQ(keyRow(form, "PRIMARY"), -1);
    EXPECT_EQ(form.fieldList()->item(0, 3)->text(), QString());
}

TEST_F(StructureEditorTest, AddKeysWithColumnsInTheOrderChosen) {
    StructureEditorForm form(db->session(), db->name(), table);
    // An index over c, a, b, moved across in that order.
    onForm = [](QDialog& dialog) {
        auto* keyForm = qobject_cast<AddKeyForm*>(&dialog);
        ASSERT_NE(keyForm, nullptr);
        EXPECT_EQ(keyForm->tableTypeEdit()->text(), QStringLiteral("InnoDB"));
        QListWidget* left = keyForm->candidateList();
        // note is nullable: an InnoDB index is not offered it.
        ASSERT_EQ(left->count(), 4);
        for (const char* column : {"c", "a", "b"}) {
            left->setCurrentItem(left->findItems(QString::fromLatin1(column), Qt::MatchExactly).value(0));
            keyForm->addButton()->click();
        }
        keyForm->removeButton()->click();  // nothing selected on the right: nothing moves
        EXPECT_EQ(keyForm->keyColumnList()->count(), 3);
        keyForm->keyNameEdit()->setText(QStringLiteral("by_cab"));
        keyForm->createButton()->click();
    };
    form.button(QStringLiteral("インデックス追加"))->click();
    EXPECT_EQ(formsOpened, QStringList{QStringLiteral("プライマリキー・インデックス追加")});
    EXPECT_EQ(keyColumns("by_cab"), "c,a,b");
    EXPECT_NE(keyRow(form, "by_cab"), -1);

    // A primary key over other columns replaces the old one in one statement; a refused one (the
    // auto-increment column must stay first in a key) leaves it in place.
    onForm = [this](QDialog& dialog) {
        auto* keyForm = qobject_cast<AddKeyForm*>(&dialog);
        EXPECT_FALSE(keyForm->keyNameEdit()->isEnabled());
        EXPECT_EQ(keyForm->keyNameEdit()->text(), QStringLiteral("PRIMARY"));
        QListWidget* left = keyForm->candidateList();
        const auto choose = [&](const char* column) {
            left->setCurrentItem(left->findItems(QString::fromLatin1(column), Qt::MatchExactly).value(0));
            keyForm->addButton()->click();
        };
        choose("c");
        keyForm->createButton()->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(keyColumns("PRIMARY"), "id");
        keyForm->removeAllButton()->click();
        keyForm->createButton()->click();  // no columns: nothing is sent
        EXPECT_EQ(keyColumns("PRIMARY"), "id");
        choose("id");
        choose("c");
        keyForm->createButton()->click();
    };
    form.keyMenu()->actions()[0]->trigger();
    ASSERT_EQ(ui->messages.size(), 1) << ui->messages.join(u'|').toStdString();
    EXPECT_TRUE(ui->messages[0].startsWith(QStringLiteral("更新が出来ませんでした\n1075:")))
        << ui->messages[0].toStdString();
    EXPECT_EQ(keyColumns("PRIMARY"), "id,c");
}

}  // namespace
}  // namespace dbk
