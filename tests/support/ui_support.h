#pragma once

#include <QString>
#include <QTemporaryDir>
#include <string>

namespace dbk {
class CDbkeeperView;
class CMainFrame;
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

}  // namespace dbk::test
