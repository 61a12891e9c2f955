#include "app/commands.h"
#include "app/form_entry.h"
#include "schema/structure_editor_form.h"

namespace dbk {

namespace {

// The table's node takes the name the table got in the editor.
FollowUp openStructureEditor(EntrySite& site, const EntryTarget& target) {
    StructureEditorForm form(site.document().session(), target.database, target.table, site.formParent());
    runModal(form);
    FollowUp followUp;
    followUp.renamedTable = form.renamedTable();
    return followUp;
}

[[maybe_unused]] const int registered = FormRegistry::instance().addAll({
    {.command = cmd::EditTable, .needs = Needs::Table, .run = openStructureEditor},
    {.node = object_tree::NodeKind::Table, .needs = Needs::Connection, .run = openStructureEditor},
});

}  // namespace
}  // namespace dbk
