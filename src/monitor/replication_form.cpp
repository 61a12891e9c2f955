#include "monitor/replication_form.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/messages.h"
#include "app/report_list_widget.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"

namespace dbk {

namespace {
constexpr int kStatusRefused = 20802;

// Read-only fields with their captions, added to a form layout.
template <size_t N>
void addFields(QFormLayout* form, std::array<QLineEdit*, N>& fields, const char* const (&captions)[N]) {
    for (size_t i = 0; i < N; ++i) {
        fields[i] = new QLineEdit;
        fields[i]->setReadOnly(true);
        const QString caption = QString::fromUtf8(captions[i]);
        fields[i]->setAccessibleName(caption);
        form->addRow(captionLabel(caption, fields[i]), fields[i]);
    }
}

QPushButton* button(const char* text) {
    auto* b = new QPushButton(QString::fromUtf8(text));
    b->setAccessibleName(b->text());
    return b;
}
}  // namespace

ReplicationForm::ReplicationForm(Session& session, QWidget* parent)
    : QDialog(parent),
      session_(session),
      slaveHosts_(new QTableWidget),
      startButton_(button("スタート")),
      stopButton_(button("ストップ")),
      refreshButton_(button("更新")),
      cancelButton_(button("ｷｬﾝｾﾙ")) {
    setWindowTitle(QStringLiteral("レプリケーション"));
    refreshButton_->setDefault(true);
    for (QPushButton* b : {startButton_, stopButton_, cancelButton_})
        b->setAutoDefault(false);
    auto* groups = new QHBoxLayout;
    groups->addWidget(buildMasterGroup());
    groups->addWidget(buildSlaveGroup());
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(refreshButton_);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addLayout(buttons);

    connect(startButton_, &QPushButton::clicked, this, &ReplicationForm::startClicked);
    connect(stopButton_, &QPushButton::clicked, this, &ReplicationForm::stopClicked);
    connect(refreshButton_, &QPushButton::clicked, this, &ReplicationForm::refresh);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    refresh();
}

QWidget* ReplicationForm::buildMasterGroup() {
    static const char* const captions[] = {"ログファイル", "ポジション",
                                           "レプリケーション許可しているデータベース",
                                           "レプリケーション無効になっているデータベース"};
    auto* group = new QGroupBox(QStringLiteral("マスタ"));
    auto* form = new QFormLayout;
    addFields(form, masterFields_, captions);
    slaveHosts_->setColumnCount(3);
    slaveHosts_->setHorizontalHeaderLabels(
        {QStringLiteral("ホスト名"), QStringLiteral("ユーザ名"), QStringLiteral("時間")});
    const int widths[] = {80, 100, 50};
    for (int c = 0; c < 3; ++c)
        slaveHosts_->setColumnWidth(c, widths[c]);
    setUpReportList(slaveHosts_, false);
    const QString hostsCaption = QStringLiteral("スレーブになっているホスト");
    slaveHosts_->setAccessibleName(hostsCaption);
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(form);
    layout->addWidget(captionLabel(hostsCaption, slaveHosts_));
    layout->addWidget(slaveHosts_, 1);
    return group;
}

QWidget* ReplicationForm::buildSlaveGroup() {
    static const char* const captions[kSlaveFieldCount] = {"マスタホスト",
                                                           "ユーザ",
                                                           "ポート番号",
                                                           "ログファイル",
                                                           "ポジション",
                                                           "動作確認",
                                                           "レプリケーション許可されているデータベース",
                                                           "レプリケーション無効になっているデータベース",
                                                           "最後のエラーNo",
                                                           "エラーメッセージ",
                                                           "スキップカウンタ"};
    auto* group = new QGroupBox(QStringLiteral("スレーブ"));
    auto* form = new QFormLayout;
    addFields(form, slaveFields_, captions);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(startButton_);
    buttons->addWidget(stopButton_);
    auto* layout = new QVBoxLayout(group);
    layout->addLayout(form);
    layout->addLayout(buttons);
    return group;
}

void ReplicationForm::refresh() {
    const ReplicationState state =
        readReplicationState(session_.connection(), session_.generation().replication());
    if (state.master) {
        const MasterStatus& m = *state.master;
        const std::string* values[] = {&m.file, &m.position, &m.doDb, &m.ignoreDb};
        for (size_t i = 0; i < masterFields_.size(); ++i)
            masterFields_[i]->setText(fromServer(session_.connection(), *values[i]));
    }
    if (state.slaves) {
        slaveHosts_->setRowCount(static_cast<int>(state.slaves->size()));
        for (size_t r = 0; r < state.slaves->size(); ++r) {
            const SlaveHost& host = (*state.slaves)[r];
            slaveHosts_->setItem(int(r), 0,
                                 new QTableWidgetItem(fromServer(session_.connection(), host.host)));
            slaveHosts_->setItem(int(r), 1,
                                 new QTableWidgetItem(fromServer(session_.connection(), host.user)));
            slaveHosts_->setItem(int(r), 2,
                                 new QTableWidgetItem(fromServer(session_.connection(), host.time)));
        }
    }
    if (state.slave) {
        for (size_t i = 0; i < kSlaveFieldCount; ++i)
            slaveFields_[i]->setText(fromServer(session_.connection(), (*state.slave)[i]));
    }
    // A user without the right to read the status is told once, not at every refresh.
    if (state.refusal && !refusalShown_) {
        refusalShown_ = true;
        ui().message(msgf(kStatusRefused, fromServer(session_.connection(), *state.refusal)));
    }
}

void ReplicationForm::startClicked() {
    if (!startSlave(session_.connection(), session_.generation().replication()))
        ui().message(QStringLiteral("スレーブをスタートできませんでした"));
    refresh();
}

void ReplicationForm::stopClicked() {
    if (!stopSlave(session_.connection(), session_.generation().replication()))
        ui().message(QStringLiteral("スレーブを停止できませんでした"));
    refresh();
}

}  // namespace dbk
