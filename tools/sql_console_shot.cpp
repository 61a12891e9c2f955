// dbk_sql_console_shot HOST PORT USER PASSWORD SECONDS
//
// Shows the SQL console on the sandbox's database shop with a coloured statement that has run
// and a second one being typed, its completion list open, for SECONDS seconds; then exits. The
// script tools/sql_console_screenshot.sh takes its picture with ImageMagick's import under Xvfb.

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>

#include "app/scripted_ui_services.h"
#include "conn/session.h"
#include "shot_session.h"
#include "transfer/sql_completer_widget.h"
#include "transfer/sql_console_form.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    dbk::Session session;
    if (const int status = shot::openSession(session, argc, argv, "dbk_sql_console_shot"))
        return status;
    dbk::ScopedScriptedUi ui;  // a message would wait for an answer
    dbk::SqlConsoleForm form(session);
    form.resize(1150, 760);
    form.move(0, 0);
    form.show();
    QTreeWidgetItem* root = form.tree()->topLevelItem(0);
    for (int i = 0; root && i < root->childCount(); ++i) {
        if (root->child(i)->text(0) == QStringLiteral("shop"))
            form.tree()->setCurrentItem(root->child(i));  // USE shop
    }

    const QString ran = QStringLiteral(
        "-- 出荷済みの注文が多い顧客\n"
        "SELECT c.name, COUNT(*) AS `注文数`, SUM(p.price * 1.10) AS total\n"
        "FROM customers AS c JOIN orders o ON o.customer_id = c.id\n"
        "JOIN products p ON p.id = o.product_id /* 税込 */\n"
        "WHERE o.shipped_at IS NOT NULL AND c.email LIKE '%@example.jp'\n"
        "GROUP BY c.id ORDER BY total DESC LIMIT 10;");
    QPlainTextEdit* edit = form.statementEdit();
    edit->setPlainText(ran);
    form.runButton()->click();
    const QString typing = QStringLiteral("\nSELECT `在庫数`, p.");
    edit->setPlainText(ran + typing + QStringLiteral(" FROM `商品在庫` s JOIN products p"));
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(static_cast<int>(ran.size() + typing.size()));
    edit->setTextCursor(cursor);
    edit->setFocus();
    QTimer::singleShot(500, [&] { form.completer()->complete(); });
    QTimer::singleShot(shot::showMilliseconds(argv), &app, &QApplication::quit);
    return app.exec();
}
