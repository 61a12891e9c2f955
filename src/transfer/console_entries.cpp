#include <QFile>

#include "app/commands.h"
#include "app/form_registry.h"
#include "app/modal_runner.h"
#include "conn/dbkeeper_doc.h"
#include "transfer/sql_console.h"
#include "transfer/sql_console_form.h"

namespace dbk {

namespace {

// Opens the console; databases it created join the object tree afterwards, whichever pane
// sent the command.
FollowUp openSqlConsole(EntrySite& site, const EntryTarget&) {
    CDbkeeperDoc& doc = site.document();
    Connection& connection = doc.connection();
    const std::vector<std::string> before =
        sql_console::shownDatabases(connection).value_or(std::vector<std::string>{});

    SqlConsoleForm form(doc.session(), site.formParent());
    form.setWorkDirectory(QFile::decodeName(QByteArray::fromStdString(doc.startupDirectory())));
    runModal(form);

    const std::optional<std::vector<std::string>> after = sql_console::shownDatabases(connection);
    if (!after)
        return {};
    // The tree keeps the node the user was on.
    return FollowUp{.addedDatabases = sql_console::addedNames(before, *after), .selectAdded = false};
}

[[maybe_unused]] const int registered =
    FormRegistry::instance().add({.command = cmd::ExecuteSql, .run = openSqlConsole});

}  // namespace
}  // namespace dbk
