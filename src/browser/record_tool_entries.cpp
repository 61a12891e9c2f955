#include <QDialog>

#include "app/commands.h"
#include "app/form_registry.h"
#include "app/messages.h"
#include "app/modal_runner.h"
#include "app/ui_services.h"
#include "browser/dbkeeper_view.h"
#include "browser/filter_form.h"
#include "browser/open_with.h"
#include "browser/open_with_options_form.h"
#include "browser/record_details_form.h"
#include "conn/dbkeeper_doc.h"
#include "transfer/csv_export.h"

namespace dbk {

namespace {

constexpr int kTempCsvNotCreated = 20230;
constexpr int kTempCsvNotRead = 20231;
constexpr int kTempCsvNotWritten = 20232;

bool listShown(EntrySite& site) {
    return site.recordList() != nullptr;
}

bool listHasRows(EntrySite& site) {
    return site.recordList() && site.recordList()->rowCount() > 0;
}

FollowUp openFilter(EntrySite& site, const EntryTarget& target) {
    CDbkeeperView* list = site.recordList();
    CDbkeeperDoc& doc = site.document();
    FilterForm form(doc.session(), target.database, target.table, list->filter(), site.formParent());
    if (runModal(form) != QDialog::Accepted)
        return {};
    doc.context().filterFlag = 1;
    list->filter() = form.conditions();
    return FollowUp{.refillList = true};
}

FollowUp openRecordDetails(EntrySite& site, const EntryTarget& target) {
    CDbkeeperView* list = site.recordList();
    const int row = list->lastChangedRow();
    if (row < 0 || row >= static_cast<int>(list->rows().size()))
        return {};
    RecordDetailsForm form(site.document().session(), target.database, target.table,
                           list->rows()[size_t(row)], site.formParent());
    runModal(form);
    // The list keeps its page; only this row follows what the form did.
    if (form.deleted()) {
        list->removeListRow(row);
    } else if (form.updated()) {
        list->setRowValues(row, form.values());
    }
    return {};
}

FollowUp openWithApplication(EntrySite& site, const EntryTarget& target) {
    CDbkeeperView* list = site.recordList();
    OpenWithOptionsForm options(site.formParent());
    if (runModal(options) != QDialog::Accepted)
        return {};

    CDbkeeperDoc& doc = site.document();
    Connection& connection = doc.connection();
    const QString path = tempCsvPath(doc.startupDirectory());
    TempCsvOutcome outcome;
    {
        WaitCursor wait;
        connection.discardPendingResults();
        // The table is named alone in the statements: read it from its own database.
        if (!connection.selectDb(target.database)) {
            reportServerError(kTempCsvNotRead, connection);
            return {};
        }
        outcome = writeTempCsv(connection, target.table, list->rows(), options.options(), path);
    }
    switch (outcome.status) {
        case TempCsvOutcome::CannotCreate:
            ui().message(msgf(kTempCsvNotCreated, path));
            return {};
        case TempCsvOutcome::ReadFailed:
            reportServerError(kTempCsvNotRead, connection);
            return {};
        case TempCsvOutcome::WriteFailed:
            ui().message(msgf(kTempCsvNotWritten, path));
            return {};
        case TempCsvOutcome::Written:
            break;
    }
    if (outcome.unmappableValues > 0)
        ui().message(msgf(CsvExporter::kUnmappableMessage, outcome.unmappableValues));
    if (!ui().openWithAssociatedProgram(path)) {
        ui().message(QStringLiteral("プログラムの実行に失敗しました。\n\nFile = TEMP.CSV"));
    }
    return {};
}

// A list command: runs on the record list and needs nothing else from the target.
template <void (CDbkeeperView::*Step)()>
FollowUp onList(EntrySite& site, const EntryTarget&) {
    (site.recordList()->*Step)();
    return {};
}

bool pagesCounted(EntrySite& site) {
    return listShown(site) && site.document().context().recordCount != 0;
}

// The record details edit any table but the grant tables, which belong to the privilege forms.
bool notAGrantTable(EntrySite& site) {
    const DocumentContext& c = site.document().context();
    return listShown(site) && !object_tree::isGrantTable(c.currentDatabase, c.currentTable);
}

// clang-format off
[[maybe_unused]] const int registered = FormRegistry::instance().addAll({
    {.command = cmd::Copy,                .needs = Needs::Table, .alsoNeeds = listHasRows,    .run = onList<&CDbkeeperView::copySelection>},
    {.command = cmd::NextPage,            .needs = Needs::Table, .alsoNeeds = listShown,      .run = onList<&CDbkeeperView::nextPage>},
    {.command = cmd::PreviousPage,        .needs = Needs::Table, .alsoNeeds = listShown,      .run = onList<&CDbkeeperView::previousPage>},
    {.command = cmd::PageDialog,          .needs = Needs::Table, .alsoNeeds = pagesCounted,   .run = onList<&CDbkeeperView::openPageDialog>},
    {.command = cmd::Filter,              .needs = Needs::Table, .alsoNeeds = listShown,      .run = openFilter},
    {.command = cmd::RecordDetails,       .needs = Needs::Table, .alsoNeeds = notAGrantTable, .run = openRecordDetails},
    {.command = cmd::OpenWithApplication, .needs = Needs::Table, .alsoNeeds = listHasRows,    .run = openWithApplication},
});
// clang-format on

}  // namespace
}  // namespace dbk
