#include "app/dbkeeper_app.h"

#include <mysql.h>
#include <QApplication>
#include <QIcon>

#include "app/main_frame.h"
#include "app/messages.h"
#include "app/qt_translations.h"
#include "app/window_placement.h"
#include "browser/left_view.h"
#include "conn/login_form.h"

namespace dbk {

namespace {
CDbkeeperApp*& current() {
    static CDbkeeperApp* app = nullptr;
    return app;
}
}  // namespace

CDbkeeperApp::CDbkeeperApp() {
    current() = this;
    previousServices_ = setUiServices(&services_);
}

CDbkeeperApp::~CDbkeeperApp() {
    frame_.reset();
    if (libraryStarted_)
        mysql_library_end();
    setUiServices(previousServices_);
    current() = nullptr;
}

CDbkeeperApp* CDbkeeperApp::instance() {
    return current();
}

bool CDbkeeperApp::start() {
    // Before the first message box: its buttons speak the interface language too.
    useQtTranslations(interfaceLanguage());
    if (mysql_library_init(0, nullptr, nullptr) != 0) {
        ui().message(msg(104));
        return false;
    }
    libraryStarted_ = true;
    QCoreApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganization));
    QCoreApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/dbkeeper.svg")));

    doc_.setLoginPrompt(&LoginForm::prompt);
    frame_ = std::make_unique<CMainFrame>(doc_);
    frame_->restorePlacement();
    registerCommands();
    frame_->leftView()->initialUpdate();
    frame_->show();
    frame_->leftView()->setFocus();
    return true;
}

void CDbkeeperApp::reconnect() {
    // A new document: the views start over, the tree with a new login.
    frame_->showGraphView();
    frame_->leftView()->initialUpdate();
}

void CDbkeeperApp::registerCommands() {
    CommandRouter& router = frame_->router();
    router.setHandler(cmd::Connect, [this] { reconnect(); });
    router.setHandler(cmd::Quit, [this] { frame_->close(); });
}

}  // namespace dbk
