#pragma once

#include <QGroupBox>

#include "conn/text_codec.h"
#include "schema/column_definition.h"
#include "schema/field_panel.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace dbk {

// The field settings of the create-table, add-field and change-field forms: name, type, data
// length (or value list, through the List button), default and the attribute boxes. The type
// decides which boxes are open when the type list loses the focus.
class FieldPanelWidget : public QGroupBox {
    Q_OBJECT
public:
    // `encoding`: that of the session whose columns the panel shows and writes.
    FieldPanelWidget(PanelForm form, ServerEncoding encoding, QWidget* parent = nullptr);

    // What the boxes hold; the key flags stay clear.
    ColumnDefinition definition() const;
    // Shows a column. BINARY and AUTO_INC are taken only with withBinaryAndAutoIncrement.
    void load(const ColumnDefinition& column, bool withBinaryAndAutoIncrement);
    // Empties the name, type, length and default boxes and unchecks every attribute box.
    void clear();
    // Opens and closes the boxes as the chosen type wants; moves the focus when asked to.
    void applyTypeRule(bool moveFocus);
    // Opens the value-list editor on the length box and takes its result on OK.
    void editValueList();

    // Room below the attribute boxes for a form's own controls.
    QGridLayout* extraArea() const { return extra_; }

    QLineEdit* nameEdit() const { return name_; }
    QComboBox* typeList() const { return type_; }
    QLineEdit* lengthEdit() const { return length_; }
    QLabel* lengthLabel() const { return lengthLabel_; }
    QPushButton* listButton() const { return list_; }
    QLineEdit* defaultEdit() const { return default_; }
    QCheckBox* unsignedBox() const { return unsigned_; }
    QCheckBox* zerofillBox() const { return zerofill_; }
    QCheckBox* binaryBox() const { return binary_; }
    QCheckBox* autoIncrementBox() const { return autoIncrement_; }  // nullptr in the change form
    QCheckBox* nullBox() const { return null_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ServerEncoding encoding_;
    void typeChosen();
    QString typeText() const;

    PanelForm form_;
    QLineEdit* name_;
    QComboBox* type_;
    QLabel* lengthLabel_;
    QLineEdit* length_;
    QPushButton* list_;
    QLineEdit* default_;
    QCheckBox* unsigned_;
    QCheckBox* zerofill_;
    QCheckBox* binary_;
    QCheckBox* autoIncrement_ = nullptr;
    QCheckBox* null_;
    QGridLayout* extra_;
};

}  // namespace dbk
