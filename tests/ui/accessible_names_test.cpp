#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolBar>

#include "app/database_chooser_form.h"
#include "app/find_dialog.h"
#include "app/form_registry.h"
#include "browser/dbkeeper_view.h"
#include "browser/left_view.h"
#include "conn/folder_form.h"
#include "conn/host_form.h"
#include "conn/login_form.h"
#include "conn/session.h"
#include "schema/add_key_form.h"
#include "support/test_server.h"
#include "support/ui_support.h"
#include "transfer/console_history.h"
#include "transfer/console_history_dialog.h"

namespace dbk {
namespace {

// A control the user reads or fills: an input box, a list, a button. Parts of a composite
// control (the line edit inside a spin box, a list's scroll bars and headers) are left out.
bool isControl(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget()) {
        if (qobject_cast<const QAbstractItemView*>(p) || qobject_cast<const QComboBox*>(p) ||
            qobject_cast<const QAbstractSpinBox*>(p))
            return false;
    }
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
           qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
           qobject_cast<const QAbstractButton*>(w);
}

QString accessibleName(QWidget* w) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : QString();
}

// The controls of a window that a screen reader could not name, and the names that carry a
// shortcut label ("\tCtrl+N") instead of the caption alone.
QStringList unnamedControls(QWidget& window) {
    QStringList offenders;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!isControl(w))
            continue;
        const QString name = accessibleName(w);
        if (name.trimmed().isEmpty() || name.contains(u'\t')) {
            offenders << QStringLiteral("%1 %2 \"%3\" in %4")
                             .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(), name,
                                  window.windowTitle());
        }
    }
    return offenders;
}

class AccessibleNamesTest : public test::MainFrameFixture {
protected:
    // Checks every form shown through the modal runner, then closes it.
    void checkFormsAsTheyOpen() {
        setModalRunner([this](QDialog& dialog) {
            opened << dialog.windowTitle();
            offenders << unnamedControls(dialog);
            return int(QDialog::Rejected);
        });
        // Questions are answered No: nothing is dropped, stopped or deleted.
        ui->answers.assign(200, false);
    }

    QStringList opened;
    QStringList offenders;
};

TEST_F(AccessibleNamesTest, EveryFormAndTheMainWindowNameTheirControls) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_accessible");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE t (id INT PRIMARY KEY, v TEXT)"));
    ASSERT_TRUE(db.admin().exec("INSERT INTO t VALUES (1, 'a'), (2, 'b')"));
    doc.setLoginPrompt(test::loginPromptFor(test::adminParams()));
    frame->leftView()->initialUpdate();
    ui->messages.clear();
    CLeftView& tree = *frame->leftView();
    tree.selectNode(tree.databaseNode(db.name()));
    tree.selectNode(tree.tableNode(db.name(), "t"));
    ASSERT_NE(frame->recordList(), nullptr);
    frame->recordList()->setHotRow(0);
    checkFormsAsTheyOpen();

    // Every form an entry opens, from the pane that offers its command.
    FormRegistry& registry = FormRegistry::instance();
    for (int id : registry.commands()) {
        for (Pane pane : {Pane::List, Pane::Tree, Pane::Graph}) {
            if (frame->runCommand(id, pane))
                break;
        }
    }
    for (const object_tree::NodeKind kind :
         {object_tree::NodeKind::Table, object_tree::NodeKind::UserEntry, object_tree::NodeKind::HostEntry,
          object_tree::NodeKind::DatabaseEntry, object_tree::NodeKind::LimitAccess,
          object_tree::NodeKind::LimitUser}) {
        if (const FormEntry* entry = registry.forNode(kind))
            frame->runEntry(*entry, EntryTarget{"mysql", "user"});
    }
    for (const char* table : {"user", "db", "host"}) {
        if (const FormEntry* entry = registry.forGrantTable(table))
            frame->runEntry(*entry, EntryTarget{"mysql", table, 0});
    }
    EXPECT_GE(opened.size(), 8) << opened.join(u',').toStdString();

    // The forms that other forms open.
    QTemporaryDir dir;
    Session session(test::connectAdmin());
    LoginForm login(dir.path());
    HostForm host(dir.path(), "");
    FolderForm folder(QString{});
    DatabaseChooserForm chooser(session);
    AddKeyForm addKey(session, db.name(), "t", KeyKind::Index, "");
    const ConsoleHistory history;
    ConsoleHistoryDialog historyList(history);
    for (QWidget* form :
         std::initializer_list<QWidget*>{&login, &host, &folder, &chooser, &addKey, &historyList})
        offenders << unnamedControls(*form);
    frame->runCommand(cmd::Find, Pane::List);
    for (FindDialog* find : frame->findChildren<FindDialog*>())
        offenders << unnamedControls(*find);

    // The main window: tree, record list, toolbar buttons.
    offenders << unnamedControls(*frame);
    EXPECT_TRUE(offenders.isEmpty()) << offenders.join(u'\n').toStdString();
}

}  // namespace
}  // namespace dbk
