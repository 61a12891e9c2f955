#include "monitor/process_details_form.h"

#include <QFormLayout>
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
#include "monitor/process_list.h"

namespace dbk {

namespace {
constexpr int kOwnConnection = 20800;
constexpr int kKillRefused = 20801;

const char* const kCaptions[ProcessDetailsForm::kFieldCount] = {
    "プロセスID", "ユーザ名", "ホスト", "データベース", "コマンド", "時間", "状態", "情報"};
}  // namespace

ProcessDetailsForm::ProcessDetailsForm(Session& session, long long processId, QWidget* parent)
    : QDialog(parent),
      session_(session),
      closeButton_(new QPushButton(QStringLiteral("閉じる"))),
      stopButton_(new QPushButton(QStringLiteral("プロセス停止"))) {
    setWindowTitle(QStringLiteral("プロセス"));
    auto* form = new QFormLayout;
    for (size_t i = 0; i < kFieldCount; ++i) {
        auto* edit = new QLineEdit;
        edit->setReadOnly(true);
        const QString caption = QString::fromUtf8(kCaptions[i]);
        edit->setAccessibleName(caption);
        form->addRow(captionLabel(caption, edit), edit);
        fields_[i] = edit;
    }
    fields_[7]->setMinimumWidth(360);
    for (QPushButton* button : {closeButton_, stopButton_})
        button->setAccessibleName(button->text());
    closeButton_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(closeButton_);
    buttons->addWidget(stopButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(stopButton_, &QPushButton::clicked, this, &ProcessDetailsForm::stopClicked);

    if (const std::optional<ThreadRow> thread = findThread(session_.connection(), processId)) {
        for (size_t i = 0; i < kFieldCount && i < thread->size(); ++i)
            fields_[i]->setText(fromServer(session_.connection(), (*thread)[i].value_or(std::string())));
    }
}

void ProcessDetailsForm::stopClicked() {
    Connection& connection = session_.connection();
    switch (killThread(connection, leadingInteger(toServer(session_.connection(), fields_[0]->text())))) {
        case KillOutcome::Killed:
        case KillOutcome::Ended:
            break;
        case KillOutcome::OwnConnection:
            ui().message(msg(kOwnConnection));
            break;
        case KillOutcome::Refused:
            reportServerError(kKillRefused, connection);
            break;
    }
    accept();
}

}  // namespace dbk
