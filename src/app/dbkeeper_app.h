#pragma once

#include <memory>

#include "app/qt_ui_services.h"
#include "conn/dbkeeper_doc.h"

namespace dbk {

class CMainFrame;

// The application object: starts the client library, creates the main window with its
// panes (the tree connects at its first update) and shows it.
class CDbkeeperApp {
public:
    CDbkeeperApp();
    ~CDbkeeperApp();

    // Runs the start-up steps; false when the program cannot start.
    bool start();

    static CDbkeeperApp* instance();
    CDbkeeperDoc& document() { return doc_; }
    CMainFrame* mainFrame() const { return frame_.get(); }

private:
    void registerCommands();
    void reconnect();

    QtUiServices services_;
    UiServices* previousServices_ = nullptr;
    CDbkeeperDoc doc_;
    std::unique_ptr<CMainFrame> frame_;
    bool libraryStarted_ = false;
};

}  // namespace dbk
