#pragma once

#include <QDialog>

#include "app/row_search.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace dbk {

class CMainFrame;

// The modeless find dialog of the record list (find only). Each "find next" searches the
// record list in the main window's right pane from its hot row and moves the hot row to the
// match. One dialog per main window, hidden and shown again rather than rebuilt.
class FindDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kNoFurtherText = "これ以上検索できません";
    static constexpr const char* kNotFoundText = "Can't No String in Empty";

    explicit FindDialog(CMainFrame& frame);

    // Shows the main window's dialog, creating it on first use, and brings it to the front.
    static FindDialog* showFor(CMainFrame& frame);

    // The controls' state as a search request.
    RowSearchRequest request() const;
    // Searches once; nothing happens while the right pane is not a record list.
    void findNext();

    QLineEdit* textEdit() const { return textEdit_; }
    QCheckBox* wholeWordBox() const { return wholeWordBox_; }
    QCheckBox* matchCaseBox() const { return matchCaseBox_; }
    QRadioButton* upButton() const { return upButton_; }
    QRadioButton* downButton() const { return downButton_; }
    QPushButton* findNextButton() const { return findNextButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

private:
    CMainFrame& frame_;
    QLineEdit* textEdit_;
    QCheckBox* wholeWordBox_;
    QCheckBox* matchCaseBox_;
    QRadioButton* upButton_;
    QRadioButton* downButton_;
    QPushButton* findNextButton_;
    QPushButton* cancelButton_;
};

}  // namespace dbk
