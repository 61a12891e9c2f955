#include "app/caption_widget.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace dbk {

QLabel* captionLabel(const QString& text, QWidget* control) {
    auto* label = new QLabel(text);
    label->setBuddy(control);
    // Lists and trees do not take their name from a buddy.
    if (control->accessibleName().isEmpty())
        control->setAccessibleName(QString(text).remove(u'&'));
    return label;
}

QPushButton* namedButton(const QString& caption) {
    auto* button = new QPushButton(caption);
    button->setAccessibleName(QString(caption).remove(u'&'));
    return button;
}

QLineEdit* readOnlyField() {
    auto* edit = new QLineEdit;
    edit->setReadOnly(true);
    return edit;
}

}  // namespace dbk
