#pragma once

#include <QWidget>

namespace dbk {

class ViewHost;

// The picture pane that summarises the selected server, database or privilege node.
class CDbGraphView : public QWidget {
    Q_OBJECT
public:
    explicit CDbGraphView(ViewHost& host, QWidget* parent = nullptr);
    virtual void initialUpdate();
    virtual void updateView();

protected:
    ViewHost& host_;
};

}  // namespace dbk
