#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "app/main_frame.h"
#include "app/modal_runner.h"
#include "app/scripted_ui_services.h"
#include "conn/dbkeeper_doc.h"

namespace dbk {
class CDbkeeperView;
}  // namespace dbk

namespace dbk::test {

// Points the program's settings store at an empty folder for the lifetime of the object.
class IsolatedSettings {
public:
    IsolatedSettings();
    ~IsolatedSettings();
    IsolatedSettings(const IsolatedSettings&) = delete;
    IsolatedSettings& operator=(const IsolatedSettings&) = delete;
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QString previousOrganization_;
    QString previousApplication_;
};

// Shows a table in the main window's record list, as selecting its tree node does.
CDbkeeperView& showTable(CMainFrame& frame, const std::string& database, const std::string& table);

// A main window on a document of its own, messages recorded, settings in a folder of their
// own; forms opened through the modal runner are rejected unless a test installs its own.
class MainFrameFixture : public ::testing::Test {
protected:
    MainFrameFixture();
    ~MainFrameFixture() override;

    // Logs the document in as the administrator and forgets the messages of the login.
    void connectAsAdministrator();
    CDbkeeperView& show(const std::string& database, const std::string& table) {
        return showTable(*frame, database, table);
    }
    QString status(int pane) const;

    IsolatedSettings settings;
    ScopedScriptedUi ui;
    CDbkeeperDoc doc;
    std::unique_ptr<CMainFrame> frame;

private:
    ModalRunner previousRunner_;
};

}  // namespace dbk::test
