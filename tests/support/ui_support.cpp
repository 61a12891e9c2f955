#include "support/ui_support.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>

#include "app/main_frame.h"
#include "app/status_bar_panes.h"
#include "app/window_placement.h"
#include "browser/dbkeeper_view.h"
#include "conn/dbkeeper_doc.h"
#include "support/test_server.h"

namespace dbk::test {

IsolatedSettings::IsolatedSettings()
    : previousOrganization_(QCoreApplication::organizationName()),
      previousApplication_(QCoreApplication::applicationName()) {
    QCoreApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganization));
    QCoreApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
}

IsolatedSettings::~IsolatedSettings() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    QCoreApplication::setOrganizationName(previousOrganization_);
    QCoreApplication::setApplicationName(previousApplication_);
}

CDbkeeperView& showTable(CMainFrame& frame, const std::string& database, const std::string& table) {
    DocumentContext& c = frame.document().context();
    c.currentDatabase = database;
    c.currentTable = table;
    c.nodeImage = 2;
    c.pageIndex = 0;
    c.filterFlag = 0;
    frame.showRecordList();
    frame.updateAllViews();
    frame.setFocusedPane(Pane::List);
    return *frame.recordList();
}

MainFrameFixture::MainFrameFixture()
    : frame(std::make_unique<CMainFrame>(doc)), previousRunner_(setModalRunner({})) {
    setInterfaceLanguage(Language::English);
}

MainFrameFixture::~MainFrameFixture() {
    frame.reset();
    setModalRunner(previousRunner_);
}

void MainFrameFixture::connectAsAdministrator() {
    doc.setLoginPrompt(loginPromptFor(adminParams()));
    ASSERT_EQ(doc.connect(), CDbkeeperDoc::kAdministrator);
    ui->messages.clear();
}

QString MainFrameFixture::status(int pane) const {
    return frame->statusBarPanes().paneText(pane);
}

}  // namespace dbk::test
