#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace dbk {

// The caption of a control: a label whose buddy is the control, so that screen readers name
// the control by it and its mnemonic moves the focus there.
QLabel* captionLabel(const QString& text, QWidget* control);

}  // namespace dbk
