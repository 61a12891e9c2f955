#pragma once

#include <QDialog>
#include <string>

#include "conn/host_file.h"
#include "conn/host_security.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace dbk {

// Creates a saved host ("" as preset name) or changes the one with the preset name. Writes
// the host file itself when it ends with OK, and the host's security setting to the settings
// store (moved along when the host is renamed).
class HostForm : public QDialog {
    Q_OBJECT
public:
    HostForm(const QString& directory, const std::string& presetName, QWidget* parent = nullptr);

    bool isEditMode() const { return !openedName_.empty(); }
    // The five texts as they were saved (bytes).
    HostRecord record() const;
    HostSecurity security() const;
    void setSecurity(const HostSecurity& security);

    QLineEdit* nameEdit() const { return nameEdit_; }
    QLineEdit* userEdit() const { return userEdit_; }
    QLineEdit* passwordEdit() const { return passwordEdit_; }
    QLineEdit* hostEdit() const { return hostEdit_; }
    QLineEdit* portEdit() const { return portEdit_; }
    QPushButton* createButton() const { return createButton_; }
    QComboBox* securityCombo() const { return securityCombo_; }
    QComboBox* characterSetCombo() const { return characterSetCombo_; }
    QLineEdit* caFileEdit() const { return caFileEdit_; }
    QPushButton* caFileButton() const { return caFileButton_; }

public slots:
    void accept() override;

private:
    void fillFromRecord(const std::string& name);
    void chooseCaFile();
    void updateCaFileState();

    HostFile file_;
    std::string openedName_;
    QLineEdit* nameEdit_;
    QLineEdit* userEdit_;
    QLineEdit* passwordEdit_;
    QLineEdit* hostEdit_;
    QLineEdit* portEdit_;
    QPushButton* createButton_;
    QComboBox* securityCombo_;
    QComboBox* characterSetCombo_;
    QLineEdit* caFileEdit_;
    QPushButton* caFileButton_;
};

}  // namespace dbk
