#include "app/caption_widget.h"

#include <QLabel>

namespace dbk {

QLabel* captionLabel(const QString& text, QWidget* control) {
    auto* label = new QLabel(text);
    label->setBuddy(control);
    return label;
}

}  // namespace dbk
