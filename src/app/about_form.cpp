#include "app/about_form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/messages.h"
#include "app/qt_ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"

namespace dbk {

namespace {
QString inLanguage(const char* english, const char* japanese) {
    return QString::fromUtf8(interfaceLanguage() == Language::Japanese ? japanese : english);
}
}  // namespace

QString AboutForm::programVersion() {
    return QStringLiteral(DBK_VERSION);
}

AboutForm::AboutForm(const Session& session, QWidget* parent)
    : QDialog(parent),
      versionLabel_(new QLabel(inLanguage("Version %1", "バージョン %1").arg(programVersion()))),
      clientLabel_(new QLabel(QString::fromStdString(Connection::clientInfo()))),
      okButton_(new QPushButton(QStringLiteral("OK"))) {
    setWindowTitle(inLanguage("About Tolvane Dbkeeper", "バージョン情報"));

    auto* icon = new QLabel;
    icon->setPixmap(QIcon(QStringLiteral(":/icons/dbkeeper.svg")).pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);
    auto* name = new QLabel(QString::fromUtf8(kApplicationTitle));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);

    auto* details = new QGridLayout;
    details->addWidget(name, 0, 0, 1, 2);
    details->addWidget(versionLabel_, 1, 0, 1, 2);
    details->addWidget(new QLabel(inLanguage("Client library:", "クライアント ライブラリ:")), 2, 0);
    details->addWidget(clientLabel_, 2, 1);
    const Connection& connection = session.connection();
    if (connection.isOpen()) {
        serverLabel_ = new QLabel(fromServer(connection, connection.serverInfo()));
        protocolLabel_ = new QLabel(QString::number(connection.protocolInfo()));
        details->addWidget(new QLabel(inLanguage("Server:", "サーバー:")), 3, 0);
        details->addWidget(serverLabel_, 3, 1);
        details->addWidget(new QLabel(inLanguage("Protocol version:", "プロトコル バージョン:")), 4, 0);
        details->addWidget(protocolLabel_, 4, 1);
    }

    okButton_->setDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &AboutForm::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(details, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace dbk
