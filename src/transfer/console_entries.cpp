#include "app/form_entries.h"

#include <QFile>

#include "app/main_frame.h"
#include "app/modal_runner.h"
#include "browser/left_view.h"
#include "conn/dbkeeper_doc.h"
#include "conn/text_codec.h"
#include "transfer/sql_console.h"
#include "transfer/sql_console_form.h"

namespace dbk {

namespace {

// Opens the console; databases it created are added to the object tree afterwards, whichever
// pane sent the command.
void openSqlConsole(CMainFrame& frame) {
    CDbkeeperDoc& doc = frame.document();
    Connection& connection = doc.connection();
    const std::vector<std::string> before =
        sql_console::shownDatabases(connection).value_or(std::vector<std::string>{});

    SqlConsoleForm form(doc.session(), &frame);
    form.setWorkDirectory(QFile::decodeName(QByteArray::fromStdString(doc.startupDirectory())));
    runModal(form);

    const std::optional<std::vector<std::string>> after = sql_console::shownDatabases(connection);
    if (!after || !frame.leftView())
        return;
    for (const std::string& name : sql_console::addedNames(before, *after))
        frame.leftView()->addDatabaseNode(name);
}

}  // namespace

void installConsoleEntries(CMainFrame& frame) {
    frame.router().setHandler(
        cmd::ExecuteSql, [&frame] { openSqlConsole(frame); },
        [&frame] { return frame.document().connection().isOpen(); });
}

}  // namespace dbk
