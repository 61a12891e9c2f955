#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace dbk {

// The caption of a control: a label whose buddy is the control, so that its mnemonic moves the
// focus there, and whose text (without "&") is the control's accessible name.
QLabel* captionLabel(const QString& text, QWidget* control);

}  // namespace dbk
