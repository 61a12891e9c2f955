#pragma once

#include <utility>

#include "app/form_registry.h"
#include "app/modal_runner.h"
#include "conn/dbkeeper_doc.h"

namespace dbk {

// Shows a form of the session modally over the main window: Form(session, args..., parent).
template <class Form, class... Args>
int openForm(EntrySite& site, Args&&... args) {
    Form form(site.document().session(), std::forward<Args>(args)..., site.formParent());
    return runModal(form);
}

// An entry that only shows its form, with nothing to do afterwards.
template <class Form>
FollowUp justOpen(EntrySite& site, const EntryTarget&) {
    openForm<Form>(site);
    return {};
}

// The same for a form of one table.
template <class Form>
FollowUp justOpenForTable(EntrySite& site, const EntryTarget& target) {
    openForm<Form>(site, target.database, target.table);
    return {};
}

}  // namespace dbk
