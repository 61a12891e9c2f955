#include "app/caption_widget.h"

#include <QLabel>

namespace dbk {

QLabel* captionLabel(const QString& text, QWidget* control) {
    auto* label = new QLabel(text);
    label->setBuddy(control);
    // Lists and trees do not take their name from a buddy.
    if (control->accessibleName().isEmpty())
        control->setAccessibleName(QString(text).remove(u'&'));
    return label;
}

}  // namespace dbk
