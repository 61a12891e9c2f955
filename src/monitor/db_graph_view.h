#pragma once

#include <QAbstractScrollArea>

#include "monitor/graph_pages.h"

namespace dbk {

class ViewHost;

// The picture pane that summarises the selected server, database or privilege node. It draws
// the page of the document's display mode, 800 units wide and as high as the page, and acts
// on the links of the server and database pages.
class CDbGraphView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CDbGraphView(ViewHost& host, QWidget* parent = nullptr);
    virtual void initialUpdate();
    // Reads and draws the page of the current display mode.
    virtual void updateView();

    const graph::Page& page() const { return page_; }
    // The link under a point of the pane (viewport coordinates), or nullptr.
    const graph::Link* linkAt(QPoint viewportPoint) const;
    // Acts on a link as a left click does.
    void follow(const graph::Link& link);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void updateScrollRange();
    void setHovered(const graph::Link* link);
    QPoint toPage(QPoint viewportPoint) const;

    ViewHost& host_;
    graph::Page page_;
    int hoveredText_ = -1;
    bool hovering_ = false;
};

}  // namespace dbk
