#pragma once

#include <QDialog>
#include <string>

#include "browser/table_size.h"
#include "conn/text_codec.h"

class QLineEdit;
class QPushButton;

namespace dbk {

class Session;
class DrawingWidget;

// The storage figures of one table, as numbers and as three gauges.
class TableSizeForm : public QDialog {
    Q_OBJECT
public:
    TableSizeForm(Session& session, const std::string& database, const std::string& table,
                  QWidget* parent = nullptr);

    const TableStatus& status() const { return status_; }
    StatusOutcome outcome() const { return outcome_; }
    DrawingWidget* gauges() const { return gauges_; }
    // The field that shows a figure, by its label ("レコード数", "最大容量" …).
    QLineEdit* field(const QString& label) const;
    QPushButton* okButton() const { return okButton_; }

private:
    // The encoding of the session the form shows.
    ServerEncoding encoding_ = ServerEncoding::Utf8;
    void display(const TableStatus& status);

    TableStatus status_;
    StatusOutcome outcome_ = StatusOutcome::QueryFailed;
    DrawingWidget* gauges_;
    std::vector<std::pair<QString, QLineEdit*>> fields_;
    QPushButton* okButton_;
};

}  // namespace dbk
