#pragma once

#include <QWidget>

namespace dbk {

class CLeftView;

// The object tree in a pane of its own, which also holds the tree's context menu while it is
// open. A popup menu is no child of any window for assistive technology; the pane lists it
// among its children, so that a screen reader (or a test driving the program from outside)
// finds its entries, named by their captions.
class TreePaneWidget : public QWidget {
    Q_OBJECT
public:
    explicit TreePaneWidget(CLeftView* tree, QWidget* parent = nullptr);
    CLeftView* tree() const { return tree_; }

private:
    CLeftView* tree_;
};

}  // namespace dbk
