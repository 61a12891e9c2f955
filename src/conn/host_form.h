#pragma once

#include <QDialog>
#include <string>

#include "conn/host_file.h"

class QLineEdit;
class QPushButton;

namespace dbk {

// Creates a saved host ("" as preset name) or changes the one with the preset name. Writes
// the host file itself when it ends with OK.
class HostForm : public QDialog {
    Q_OBJECT
public:
    HostForm(const QString& directory, const std::string& presetName, QWidget* parent = nullptr);

    bool isEditMode() const { return !openedName_.empty(); }
    // The five texts as they were saved (bytes).
    HostRecord record() const;

    QLineEdit* nameEdit() const { return nameEdit_; }
    QLineEdit* userEdit() const { return userEdit_; }
    QLineEdit* passwordEdit() const { return passwordEdit_; }
    QLineEdit* hostEdit() const { return hostEdit_; }
    QLineEdit* portEdit() const { return portEdit_; }
    QPushButton* createButton() const { return createButton_; }

public slots:
    void accept() override;

private:
    void fillFromRecord(const std::string& name);

    HostFile file_;
    std::string openedName_;
    QLineEdit* nameEdit_;
    QLineEdit* userEdit_;
    QLineEdit* passwordEdit_;
    QLineEdit* hostEdit_;
    QLineEdit* portEdit_;
    QPushButton* createButton_;
};

}  // namespace dbk
