#include "schema/table_options_form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/messages.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"

namespace dbk {

namespace {

using B = OptionButton;

struct OptionRow {
    const char* option;
    const char* description;
    bool editable;
    std::vector<std::pair<const char*, OptionButton>> buttons;
};

const std::vector<OptionRow>& optionRows() {
    static const std::vector<OptionRow> rows = {
        {"AUTO_INCREMENT", "AUTO_INCREMENTの値を変更します", true, {{"変更", B::AutoIncrement}}},
        {"AVG_ROW_LENGTH", "平均レコード長", true, {{"変更", B::AvgRowLength}}},
        {"CHECKSUM",
         "すべての列にチェックサムをつける",
         false,
         {{"有効", B::ChecksumOn}, {"無効", B::ChecksumOff}}},
        {"COMMENT", "６０文字のコメントを挿入します", true, {{"変更", B::Comment}}},
        {"MAX_ROWS", "最大の列を設定します", true, {{"変更", B::MaxRows}}},
        {"MIN_ROWS", "最小の列を設定します", true, {{"変更", B::MinRows}}},
        {"PASSWORD", "パスワードを設定します（現在は機能しません）", true, {{"変更", B::Password}}},
        {"PACK_KEYS",
         "インデックスを小さくします",
         false,
         {{"有効", B::PackKeysOn}, {"無効", B::PackKeysOff}}},
        {"DELAY_KEY_WRITE",
         "キー更新までテーブルを閉じないようにする",
         false,
         {{"有効", B::DelayKeyWriteOn}, {"無効", B::DelayKeyWriteOff}}},
        {"ROW_FORMAT",
         "ROW　FORMATを設定します",
         false,
         {{"default", B::RowFormatDefault},
          {"dynamic", B::RowFormatDynamic},
          {"static", B::RowFormatStatic},
          {"compressed", B::RowFormatCompressed}}},
    };
    return rows;
}

}  // namespace

TableOptionsForm::TableOptionsForm(Session& session, const std::string& database, const std::string& table,
                                   QWidget* parent)
    : QDialog(parent), session_(session), database_(database), table_(table) {
    setWindowTitle(QStringLiteral("テーブルオプション"));
    auto* databaseBox = new QLineEdit(fromServer(session_.connection(), database));
    auto* tableBox = new QLineEdit(fromServer(session_.connection(), table));
    databaseBox->setReadOnly(true);
    tableBox->setReadOnly(true);
    auto* close = new QPushButton(QStringLiteral("閉じる"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* top = new QHBoxLayout;
    top->addWidget(captionLabel(QStringLiteral("データベース"), databaseBox));
    top->addWidget(databaseBox);
    top->addWidget(captionLabel(QStringLiteral("テーブル"), tableBox));
    top->addWidget(tableBox);
    top->addStretch();
    top->addWidget(close);

    auto* grid = new QGridLayout;
    int r = 0;
    for (const OptionRow& row : optionRows()) {
        const QString option = QString::fromLatin1(row.option);
        auto* box = new QLineEdit;
        box->setReadOnly(!row.editable);
        boxes_[option] = box;
        grid->addWidget(captionLabel(option, box), r, 0);
        grid->addWidget(new QLabel(QString::fromUtf8(row.description)), r, 1);
        grid->addWidget(box, r, 2);
        auto* buttons = new QHBoxLayout;
        for (const auto& [caption, which] : row.buttons) {
            auto* b = new QPushButton(QString::fromUtf8(caption));
            b->setAutoDefault(false);
            buttons->addWidget(b);
            buttons_[which] = b;
            boxOfButton_[which] = box;
            connect(b, &QPushButton::clicked, this, [this, which] { press(which); });
        }
        buttons->addStretch();
        grid->addLayout(buttons, r, 3);
        ++r;
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(grid);
    load();
}

QLineEdit* TableOptionsForm::box(const QString& option) const {
    const auto it = boxes_.find(option);
    return it == boxes_.end() ? nullptr : it->second;
}

void TableOptionsForm::load() {
    TableOptionValues values;
    OptionsOutcome outcome;
    {
        WaitCursor wait;
        outcome = readTableOptions(session_.connection(), database_, table_, values);
    }
    switch (outcome) {
        case OptionsOutcome::QueryFailed:
            ui().message(msg(10110));
            return;
        case OptionsOutcome::NoResult:
            ui().message(msg(10055));
            return;
        case OptionsOutcome::NoRow:
            return;
        case OptionsOutcome::Read:
            display(values);
            return;
    }
}

void TableOptionsForm::display(const TableOptionValues& v) {
    const std::pair<const char*, const std::string*> shown[] = {
        {"AUTO_INCREMENT", &v.autoIncrement},
        {"AVG_ROW_LENGTH", &v.avgRowLength},
        {"CHECKSUM", &v.checksum},
        {"COMMENT", &v.comment},
        {"MAX_ROWS", &v.maxRows},
        {"MIN_ROWS", &v.minRows},
        {"PACK_KEYS", &v.packKeys},
        {"DELAY_KEY_WRITE", &v.delayKeyWrite},
        {"ROW_FORMAT", &v.rowFormat},
    };
    for (const auto& [option, value] : shown)
        box(QString::fromLatin1(option))->setText(fromServer(session_.connection(), *value));
}

void TableOptionsForm::press(OptionButton which) {
    Connection& connection = session_.connection();
    const std::string statement =
        optionStatement(connection, session_.generation(), which, database_, table_,
                        toServer(session_.connection(), boxOfButton_.at(which)->text()));
    if (statement.empty())
        return;
    bool done = false;
    std::string warnings;
    {
        WaitCursor wait;
        done = connection.exec(statement);
        // Options an engine does not support may be taken with a warning only.
        if (done)
            warnings = lastWarnings(connection);
    }
    if (!done) {
        ui().message(msgf(10090, fromServer(session_.connection(), connection.errorText())));
        return;
    }
    load();
    QString notice = msg(10109);
    if (!warnings.empty())
        notice += u'\n' + msgf(20601, fromServer(session_.connection(), warnings));
    ui().message(notice);
}

}  // namespace dbk
