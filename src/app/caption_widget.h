#pragma once

#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace dbk {

// The caption of a control: a label whose buddy is the control, so that its mnemonic moves the
// focus there, and whose text (without "&") is the control's accessible name.
QLabel* captionLabel(const QString& text, QWidget* control);

// A push button named by its caption.
QPushButton* namedButton(const QString& caption);

// A field that shows a value the user does not edit (named by the caption label beside it).
QLineEdit* readOnlyField();

}  // namespace dbk
