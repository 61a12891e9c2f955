#include "browser/table_size_form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/drawing_widget.h"
#include "app/messages.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"

namespace dbk {

namespace {
// Labels in the order of the form, two columns.
const char* const kLabels[] = {"データベース",
                               "テーブル",
                               "テーブル作成時刻 ",
                               "更新された時刻 ",
                               "チェックされた時刻 ",
                               "拡張オプション ",
                               "テーブルの種類 ",
                               "レコードの保存形式 ",
                               "レコード数",
                               "平均レコード長",
                               "現在のデータ量",
                               "使用領域",
                               "データ",
                               "インデックス",
                               "未使用領域",
                               "最大容量"};
}  // namespace

TableSizeForm::TableSizeForm(Session& session, const std::string& database, const std::string& table,
                             QWidget* parent)
    : QDialog(parent), gauges_(new DrawingWidget), okButton_(new QPushButton(QStringLiteral("OK"))) {
    setWindowTitle(QStringLiteral("データ量の情報"));
    auto* grid = new QGridLayout;
    int i = 0;
    for (const char* label : kLabels) {
        auto* edit = new QLineEdit;
        edit->setReadOnly(true);
        const int row = i / 2, column = (i % 2) * 2;
        grid->addWidget(captionLabel(QString::fromUtf8(label).trimmed(), edit), row, column);
        grid->addWidget(edit, row, column + 1);
        fields_.emplace_back(QString::fromUtf8(label).trimmed(), edit);
        ++i;
    }
    gauges_->setMinimumSize(640, 330);
    gauges_->setClip(QRect(80, 50, 550, 270));
    auto* close = new QPushButton(QStringLiteral("閉じる"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(gauges_);
    layout->addLayout(buttons);
    connect(okButton_, &QPushButton::clicked, this, [this] { display(status_); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    encoding_ = serverEncoding(session.connection());
    field(QStringLiteral("データベース"))->setText(fromServer(encoding_, database));
    field(QStringLiteral("テーブル"))->setText(fromServer(encoding_, table));
    outcome_ = readTableStatus(session.connection(), database, table, status_);
    switch (outcome_) {
        case StatusOutcome::QueryFailed:
            ui().message(msg(10054));
            return;
        case StatusOutcome::NoResult:
            ui().message(msg(10055));
            return;
        case StatusOutcome::NoRow:
            ui().message(msg(10056));
            break;
        case StatusOutcome::Read:
            break;
    }
    display(status_);
}

QLineEdit* TableSizeForm::field(const QString& label) const {
    for (const auto& [text, edit] : fields_) {
        if (text == label.trimmed())
            return edit;
    }
    return nullptr;
}

void TableSizeForm::display(const TableStatus& s) {
    gauges_->setDrawing(tableSizeDrawing(s));
    const TableSizeTexts t = tableSizeTexts(s);
    const std::pair<const char*, QString> values[] = {
        {"テーブル作成時刻", fromServer(encoding_, s.createTime)},
        {"更新された時刻", fromServer(encoding_, s.updateTime)},
        {"チェックされた時刻", fromServer(encoding_, s.checkTime)},
        {"拡張オプション", fromServer(encoding_, s.createOptions)},
        {"テーブルの種類", fromServer(encoding_, s.type)},
        {"レコードの保存形式", fromServer(encoding_, s.rowFormat)},
        {"レコード数", t.rows},
        {"平均レコード長", t.averageRowLength},
        {"現在のデータ量", t.current},
        {"使用領域", t.used},
        {"データ", t.data},
        {"インデックス", t.index},
        {"未使用領域", t.unused},
        {"最大容量", t.maximum},
    };
    for (const auto& [label, value] : values)
        field(QString::fromUtf8(label))->setText(value);
}

}  // namespace dbk
