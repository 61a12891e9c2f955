#pragma once

#include <QDialog>

#include "browser/open_with.h"

class QRadioButton;

namespace dbk {

// Asks what TEMP.CSV gets before the rows are opened with the associated program.
class OpenWithOptionsForm : public QDialog {
    Q_OBJECT
public:
    explicit OpenWithOptionsForm(QWidget* parent = nullptr);

    OpenWithOptions options() const;

    QRadioButton* fromListButton() const { return fromList_; }
    QRadioButton* fromTableButton() const { return fromTable_; }
    QRadioButton* fieldsAndDataButton() const { return fieldsAndData_; }
    QRadioButton* dataOnlyButton() const { return dataOnly_; }

private:
    QRadioButton* fromList_;
    QRadioButton* fromTable_;
    QRadioButton* fieldsAndData_;
    QRadioButton* dataOnly_;
};

}  // namespace dbk
