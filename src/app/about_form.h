#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace dbk {

class Session;

// The About box: the program's name, icon and version, the client library's version and,
// while connected, the server's version and protocol.
class AboutForm : public QDialog {
    Q_OBJECT
public:
    explicit AboutForm(const Session& session, QWidget* parent = nullptr);

    // The program's version as the build gives it.
    static QString programVersion();

    QLabel* versionLabel() const { return versionLabel_; }
    QLabel* clientLabel() const { return clientLabel_; }
    // nullptr while not connected.
    QLabel* serverLabel() const { return serverLabel_; }
    QLabel* protocolLabel() const { return protocolLabel_; }
    QPushButton* okButton() const { return okButton_; }

private:
    QLabel* versionLabel_;
    QLabel* clientLabel_;
    QLabel* serverLabel_ = nullptr;
    QLabel* protocolLabel_ = nullptr;
    QPushButton* okButton_;
};

}  // namespace dbk
