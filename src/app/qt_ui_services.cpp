#include "app/qt_ui_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QMessageBox>
#include <QUrl>

#include "conn/cancel.h"

namespace dbk {

namespace {
QWidget* dialogParent() {
    return QApplication::activeWindow();
}
}  // namespace

void QtUiServices::message(const QString& text) {
    QMessageBox::information(dialogParent(), QString::fromUtf8(kApplicationTitle), text);
}

void QtUiServices::errorMessage(const QString& text, const QString& caption) {
    QMessageBox::critical(dialogParent(), caption, text);
}

bool QtUiServices::askYesNo(const QString& text) {
    return QMessageBox::question(dialogParent(), QString::fromUtf8(kApplicationTitle), text,
                                 QMessageBox::Yes | QMessageBox::No) != QMessageBox::No;
}

QString QtUiServices::chooseOpenFile(const QString& title, const QString& filter, const QString& directory) {
    return QFileDialog::getOpenFileName(dialogParent(), title, directory, filter);
}

QString QtUiServices::chooseSaveFile(const QString& title, const QString& filter, const QString& directory,
                                     bool confirmOverwrite) {
    return QFileDialog::getSaveFileName(
        dialogParent(), title, directory, filter, nullptr,
        confirmOverwrite ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite);
}

std::optional<LogicalFont> QtUiServices::chooseFont(const LogicalFont& initial) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, toQFont(initial), dialogParent());
    if (!ok)
        return std::nullopt;
    return toLogicalFont(chosen);
}

bool QtUiServices::openWithAssociatedProgram(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void QtUiServices::beginWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtUiServices::endWaitCursor() {
    QApplication::restoreOverrideCursor();
}

void QtUiServices::letEventsThrough() {
    // A form whose run can be cancelled takes the user's input too, so that Cancel is heard.
    QCoreApplication::processEvents(CancellableRun::active() ? QEventLoop::AllEvents
                                                             : QEventLoop::ExcludeUserInputEvents);
}

QFont toQFont(const LogicalFont& font) {
    QFont f(font.faceName);
    if (font.height != 0)
        f.setPixelSize(font.height < 0 ? -font.height : font.height);
    f.setWeight(font.weight >= 700 ? QFont::Bold : QFont::Normal);
    f.setItalic(font.italic);
    return f;
}

LogicalFont toLogicalFont(const QFont& font) {
    LogicalFont out;
    out.faceName = font.family();
    const int pixels = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    out.height = -pixels;
    out.width = 0;
    out.weight = font.weight() >= QFont::Bold ? 700 : 400;
    out.italic = font.italic();
    return out;
}

}  // namespace dbk
