#include "app/window_placement.h"

namespace dbk {

namespace {
int readInt(QSettings& settings, const QString& key, int fallback) {
    bool ok = false;
    const int value = settings.value(key, fallback).toInt(&ok);
    return ok ? value : fallback;
}
}  // namespace

WindowPlacement WindowPlacement::read(QSettings& settings, const QString& className) {
    WindowPlacement p;
    settings.beginGroup(QStringLiteral("WindowPosition"));
    p.maximized = readInt(settings, QStringLiteral("Zoom"), 0) != 0;
    p.minimized = readInt(settings, QStringLiteral("Icon"), 0) != 0;
    p.rect = QRect(readInt(settings, className + QStringLiteral("_X"), 0),
                   readInt(settings, className + QStringLiteral("_Y"), 0),
                   readInt(settings, className + QStringLiteral("_W"), 640),
                   readInt(settings, className + QStringLiteral("_H"), 480));
    settings.endGroup();
    return p;
}

void WindowPlacement::write(QSettings& settings, const QString& className) const {
    if (!settings.isWritable())
        return;
    settings.beginGroup(QStringLiteral("WindowPosition"));
    settings.setValue(QStringLiteral("Zoom"), maximized ? 1 : 0);
    settings.setValue(QStringLiteral("Icon"), minimized ? 1 : 0);
    settings.setValue(className + QStringLiteral("_X"), rect.x());
    settings.setValue(className + QStringLiteral("_Y"), rect.y());
    settings.setValue(className + QStringLiteral("_W"), rect.width());
    settings.setValue(className + QStringLiteral("_H"), rect.height());
    settings.endGroup();
    settings.sync();
}

int readPageLength(QSettings& settings) {
    const int rows = readInt(settings, QStringLiteral("SQLDLG/PageLength"), 100);
    return rows <= 0 ? 100 : rows;
}

void writePageLength(QSettings& settings, int rows) {
    settings.setValue(QStringLiteral("SQLDLG/PageLength"), rows <= 0 ? 100 : rows);
}

}  // namespace dbk
