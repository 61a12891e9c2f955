#include "app/form_entries.h"

#include "app/main_frame.h"
#include "app/messages.h"
#include "app/modal_runner.h"
#include "app/ui_services.h"
#include "browser/dbkeeper_view.h"
#include "browser/filter_form.h"
#include "browser/open_with.h"
#include "browser/open_with_options_form.h"
#include "browser/record_details_form.h"
#include "conn/dbkeeper_doc.h"

namespace dbk {

namespace {

constexpr int kTempCsvNotCreated = 20230;
constexpr int kTempCsvNotRead = 20231;
constexpr int kTempCsvNotWritten = 20232;

bool tableShown(CMainFrame& frame) {
    const DocumentContext& c = frame.document().context();
    return frame.recordList() && !c.currentDatabase.empty() && !c.currentTable.empty();
}

void openFilter(CMainFrame& frame) {
    CDbkeeperView* list = frame.recordList();
    CDbkeeperDoc& doc = frame.document();
    DocumentContext& context = doc.context();
    FilterForm form(doc.session(), context.currentDatabase, context.currentTable, list->filter(), &frame);
    if (runModal(form) != QDialog::Accepted)
        return;
    context.filterFlag = 1;
    list->filter() = form.conditions();
    list->fill();
}

void openRecordDetails(CMainFrame& frame) {
    CDbkeeperView* list = frame.recordList();
    const int row = list->lastChangedRow();
    if (row < 0 || row >= static_cast<int>(list->rows().size()))
        return;
    CDbkeeperDoc& doc = frame.document();
    const DocumentContext& context = doc.context();
    RecordDetailsForm form(doc.session(), context.currentDatabase, context.currentTable,
                           list->rows()[size_t(row)], &frame);
    runModal(form);
    // The list keeps its page; only this row follows what the form did.
    if (form.deleted()) {
        list->removeListRow(row);
    } else if (form.updated()) {
        list->setRowValues(row, form.values());
    }
}

void openWithApplication(CMainFrame& frame) {
    CDbkeeperView* list = frame.recordList();
    if (!list || list->rowCount() == 0)
        return;
    OpenWithOptionsForm options(&frame);
    if (runModal(options) != QDialog::Accepted)
        return;

    CDbkeeperDoc& doc = frame.document();
    Connection& connection = doc.connection();
    const QString path = tempCsvPath(doc.startupDirectory());
    TempCsvOutcome outcome;
    {
        WaitCursor wait;
        connection.discardPendingResults();
        // The table is named alone in the statements: read it from its own database.
        if (!connection.selectDb(doc.context().currentDatabase)) {
            reportServerError(kTempCsvNotRead, connection);
            return;
        }
        outcome = writeTempCsv(connection, doc.context().currentTable, list->rows(), options.options(), path);
    }
    switch (outcome.status) {
        case TempCsvOutcome::CannotCreate:
            ui().message(msgf(kTempCsvNotCreated, path));
            return;
        case TempCsvOutcome::ReadFailed:
            reportServerError(kTempCsvNotRead, connection);
            return;
        case TempCsvOutcome::WriteFailed:
            ui().message(msgf(kTempCsvNotWritten, path));
            return;
        case TempCsvOutcome::Written:
            break;
    }
    if (!ui().openWithAssociatedProgram(path)) {
        ui().message(QStringLiteral("プログラムの実行に失敗しました。\n\nFile = TEMP.CSV"));
    }
}

}  // namespace

void installRecordToolEntries(CMainFrame& frame) {
    CommandRouter& router = frame.router();
    router.setHandler(
        cmd::Filter, [&frame] { openFilter(frame); }, [&frame] { return tableShown(frame); });
    router.setHandler(
        cmd::RecordDetails, [&frame] { openRecordDetails(frame); }, [&frame] { return tableShown(frame); });
    router.setHandler(
        cmd::OpenWithApplication, [&frame] { openWithApplication(frame); },
        [&frame] { return frame.recordList() && frame.recordList()->rowCount() > 0; });
}

}  // namespace dbk
