#pragma once

#include <QDialog>
#include <string>

#include "schema/change_field.h"

class QLineEdit;
class QPushButton;

namespace dbk {

class FieldPanelWidget;
class Session;

// Redefines one column of a table with MODIFY. The column is shown as it is now, so that an
// Update without a change changes nothing; what the form does not show is kept.
class ChangeFieldForm : public QDialog {
    Q_OBJECT
public:
    ChangeFieldForm(Session& session, const std::string& database, const std::string& table,
                    const std::string& field, QWidget* parent = nullptr);

    // The statement Update sends for the boxes as they are.
    std::string statement() const;
    const PresentColumn& present() const { return present_; }

    QLineEdit* originalNameEdit() const { return originalName_; }
    QLineEdit* originalTypeEdit() const { return originalType_; }
    QLineEdit* originalDefaultEdit() const { return originalDefault_; }
    FieldPanelWidget* panel() const { return panel_; }
    QPushButton* updateButton() const { return update_; }

    void updateClicked();

private:
    Session& session_;
    std::string database_;
    std::string table_;
    std::string field_;
    PresentColumn present_;
    QLineEdit* originalName_;
    QLineEdit* originalType_;
    QLineEdit* originalDefault_;
    FieldPanelWidget* panel_;
    QPushButton* update_;
};

}  // namespace dbk
