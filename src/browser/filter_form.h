#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "browser/filter_model.h"
#include "conn/text_codec.h"

class QLineEdit;
class QTableWidget;

namespace dbk {

class Session;

// Up to three conditions per field of the shown table; OK hands them back to the record list.
class FilterForm : public QDialog {
    Q_OBJECT
public:
    FilterForm(Session& session, const std::string& database, const std::string& table,
               const FilterConditions& conditions, QWidget* parent = nullptr);

    // After OK: the conditions the record list filters with.
    FilterConditions conditions() const { return model_.conditions(); }

    QTableWidget* fieldList() const { return list_; }
    QLineEdit* fieldNameEdit() const { return nameEdit_; }
    // which: 0 to 2 for condition 1 to 3.
    QLineEdit* conditionEdit(int which) const { return conditionEdits_.at(size_t(which)); }
    void selectField(int row);

private:
    // The encoding of the session the form shows.
    ServerEncoding encoding_ = ServerEncoding::Utf8;
    void showSelectedRow(int row);
    void conditionEdited(int which, const QString& text);

    FilterModel model_;
    int selectedRow_ = -1;
    QTableWidget* list_;
    QLineEdit* nameEdit_;
    std::array<QLineEdit*, 3> conditionEdits_{};
};

}  // namespace dbk
