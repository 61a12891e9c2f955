#pragma once

#include "app/commands.h"
#include "app/form_registry.h"

namespace dbk {

class CDbkeeperDoc;
class CommandRouter;
class StatusPanes;

// What the panes ask of the main window: swap the right pane, update the views, run
// commands and form entries, write to the status bar.
class ViewHost {
public:
    virtual ~ViewHost() = default;

    virtual CDbkeeperDoc& document() = 0;
    virtual StatusPanes& statusPanes() = 0;
    virtual CommandRouter& router() = 0;
    // Replace the right pane by a new graphic view (command 113) or record list (114).
    virtual void showGraphView() = 0;
    virtual void showRecordList() = 0;
    // Tell the right pane that the document's context changed.
    virtual void updateAllViews() = 0;
    // Runs a command as if sent from `pane`; nothing happens when it is disabled there.
    virtual bool runCommand(int id, Pane pane) = 0;
    virtual bool isCommandEnabled(int id, Pane pane) = 0;
    // Runs an entry of the form registry for a target, then its follow-up; false (and nothing
    // runs) when the entry cannot run now.
    virtual bool runEntry(const FormEntry& entry, const EntryTarget& target) = 0;
};

}  // namespace dbk
