#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "app/drawing_widget.h"
#include "app/scripted_ui_services.h"
#include "browser/table_size_form.h"
#include "support/test_server.h"

namespace dbk {
namespace {

TEST(TableSizeFormTest, ShowsTheFiguresAndGaugesOfATable) {
    DBK_REQUIRE_SERVER();
    setInterfaceLanguage(Language::English);
    ScopedScriptedUi ui;
    test::ScratchDatabase db("dbk_size_form");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY, v TEXT) ENGINE=InnoDB"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO t SELECT seq, 'z' FROM seq_1_to_100"));
    TableSizeForm form(db.session(), db.name(), "t");
    EXPECT_TRUE(ui->messages.isEmpty());
    EXPECT_EQ(form.field("テーブル")->text(), "t");
    EXPECT_EQ(form.field("テーブルの種類")->text(), "InnoDB");
    EXPECT_EQ(form.field("最大容量")->text(), "Unclear.");
    EXPECT_TRUE(form.field("データ")->text().endsWith(" Byte"));
    EXPECT_TRUE(form.field("チェックされた時刻")->text().isEmpty());
    // no secondary index: the third gauge is full
    EXPECT_TRUE(form.gauges()->drawing().findText("100.00%"));
    EXPECT_TRUE(form.gauges()->drawing().findText("0.00 %"));
    form.okButton()->click();  // draws again from the values read
    EXPECT_TRUE(form.gauges()->drawing().findText("100.00%"));
}

TEST(TableSizeFormTest, ATableThatIsNotThereIsSaidSo) {
    DBK_REQUIRE_SERVER();
    setInterfaceLanguage(Language::English);
    ScopedScriptedUi ui;
    Session c(test::connectAdmin());
    TableSizeForm missing(c, "mysql", "no_such_table");
    EXPECT_EQ(ui->messages, QStringList{"This cannot utilize this functionality."});
    EXPECT_EQ(missing.field("レコード数")->text(), QStringLiteral("0 件"));
    ui->messages.clear();
    TableSizeForm failing(c, "no such db", "t");
    EXPECT_EQ(ui->messages, QStringList{"Error executing query."});
}

}  // namespace
}  // namespace dbk
