#pragma once

#include <QDialog>

class QLineEdit;

namespace dbk {

// Asks for a folder name; "" to create, the current name to rename.
class FolderForm : public QDialog {
    Q_OBJECT
public:
    explicit FolderForm(const QString& presetName, QWidget* parent = nullptr);
    QString name() const;
    QLineEdit* nameEdit() const { return nameEdit_; }

public slots:
    void accept() override;

private:
    QLineEdit* nameEdit_;
};

}  // namespace dbk
