#include "app/form_registry.h"

#include <algorithm>
#include <set>

#include "conn/dbkeeper_doc.h"

namespace dbk {

bool needsHold(Needs needs, const CDbkeeperDoc& doc) {
    const DocumentContext& context = doc.context();
    switch (needs) {
        case Needs::Nothing:
            return true;
        case Needs::Connection:
            return doc.session().isOpen();
        case Needs::Database:
            return doc.session().isOpen() && !context.currentDatabase.empty();
        case Needs::Table:
            return doc.session().isOpen() && !context.currentDatabase.empty() &&
                   !context.currentTable.empty();
    }
    return false;
}

bool FormEntry::canRun(EntrySite& site) const {
    return run && needsHold(needs, site.document()) && (!alsoNeeds || alsoNeeds(site));
}

FormRegistry& FormRegistry::instance() {
    static FormRegistry registry;
    return registry;
}

int FormRegistry::add(FormEntry entry) {
    slots_.push_back(Slot{nextHandle_, std::move(entry)});
    return nextHandle_++;
}

int FormRegistry::addAll(std::vector<FormEntry> entries) {
    for (FormEntry& entry : entries)
        add(std::move(entry));
    return static_cast<int>(entries.size());
}

void FormRegistry::remove(int handle) {
    std::erase_if(slots_, [handle](const Slot& slot) { return slot.handle == handle; });
}

template <class Match>
const FormEntry* FormRegistry::latest(Match match) const {
    const auto it =
        std::find_if(slots_.rbegin(), slots_.rend(), [&](const Slot& s) { return match(s.entry); });
    return it == slots_.rend() ? nullptr : &it->entry;
}

const FormEntry* FormRegistry::forCommand(int command) const {
    return command == 0 ? nullptr : latest([command](const FormEntry& e) { return e.command == command; });
}

const FormEntry* FormRegistry::forNode(object_tree::NodeKind kind) const {
    return latest([kind](const FormEntry& e) { return e.node == kind; });
}

const FormEntry* FormRegistry::forGrantTable(std::string_view table) const {
    return table.empty() ? nullptr : latest([table](const FormEntry& e) { return e.grantTable == table; });
}

std::vector<int> FormRegistry::commands() const {
    std::set<int> ids;
    for (const Slot& slot : slots_) {
        if (slot.entry.command != 0)
            ids.insert(slot.entry.command);
    }
    return {ids.begin(), ids.end()};
}

ScopedFormEntries::ScopedFormEntries(std::vector<FormEntry> entries) {
    for (FormEntry& entry : entries)
        handles_.push_back(FormRegistry::instance().add(std::move(entry)));
}

ScopedFormEntries::~ScopedFormEntries() {
    for (int handle : handles_)
        FormRegistry::instance().remove(handle);
}

}  // namespace dbk
