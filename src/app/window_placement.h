#pragma once

#include <QRect>
#include <QSettings>

namespace dbk {

// The main window's placement in the settings store ("WindowPosition" section).
struct WindowPlacement {
    bool maximized = false;  // "Zoom"
    bool minimized = false;  // "Icon"
    QRect rect{0, 0, 640, 480};

    static WindowPlacement read(QSettings& settings, const QString& className);
    // Writes the values in order; stops at the first that cannot be written.
    void write(QSettings& settings, const QString& className) const;
};

// "SQLDLG"/"PageLength": rows per page of the record list; 0 and unreadable values are 100.
int readPageLength(QSettings& settings);
void writePageLength(QSettings& settings, int rows);

// The settings store of the program; also what tests redirect.
inline constexpr const char* kSettingsOrganization = "Local AppWizard-Generated Applications";
inline constexpr const char* kSettingsApplication = "TolvaneDbkeeper";

}  // namespace dbk
