#include "monitor/process_form.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/caption_widget.h"
#include "app/messages.h"
#include "app/modal_runner.h"
#include "app/report_list_widget.h"
#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "monitor/line_chart_widget.h"
#include "monitor/process_details_form.h"

namespace dbk {

namespace {
constexpr int kFlushFailed = 10090;

// A caption label for a control that also names the control.
QLabel* caption(const QString& text, QWidget* control) {
    control->setAccessibleName(text);
    return captionLabel(text, control);
}
}  // namespace

ProcessForm::ProcessForm(Session& session, QWidget* parent)
    : QDialog(parent),
      session_(session),
      list_(new QTableWidget),
      chart_(new LINE_CHART_CTRL(kChartSize)),
      refreshButton_(new QPushButton(QStringLiteral("更新"))),
      closeButton_(new QPushButton(QStringLiteral("閉じる"))) {
    setWindowTitle(QStringLiteral("プロセス表示"));
    setUpReportList(list_, false);
    list_->setAccessibleName(windowTitle());
    list_->setMinimumHeight(150);

    auto* versions = new QGridLayout;
    const char* const versionCaptions[] = {"サーババージョン", "クライアントバージョン",
                                           "プロトコルバージョン"};
    for (size_t i = 0; i < versions_.size(); ++i) {
        versions_[i] = readOnlyField();
        versions->addWidget(caption(QString::fromUtf8(versionCaptions[i]), versions_[i]), int(i), 0);
        versions->addWidget(versions_[i], int(i), 1);
    }
    for (QPushButton* button : {refreshButton_, closeButton_})
        button->setAccessibleName(button->text());
    refreshButton_->setDefault(true);
    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    buttons->addWidget(refreshButton_);
    buttons->addWidget(closeButton_);
    auto* bottom = new QHBoxLayout;
    bottom->addLayout(versions, 1);
    bottom->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addWidget(buildStatusGroup());
    layout->addWidget(buildResetGroup());
    layout->addLayout(bottom);

    connect(refreshButton_, &QPushButton::clicked, this, &ProcessForm::refillThreads);
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { openDetails(row); });
    connect(&timer_, &QTimer::timeout, this, &ProcessForm::tick);
    connect(this, &QDialog::finished, &timer_, &QTimer::stop);

    Connection& connection = session_.connection();
    const std::optional<std::vector<std::string>> fields = threadListFields(connection);
    if (!fields) {
        ui().message(QStringLiteral("プロセス情報が参照できませんでした"));
        return;
    }
    list_->setColumnCount(static_cast<int>(fields->size()));
    for (size_t c = 0; c < fields->size(); ++c) {
        list_->setHorizontalHeaderItem(int(c),
                                       new QTableWidgetItem(fromServer(session_.connection(), (*fields)[c])));
        list_->setColumnWidth(int(c), threadColumnWidth(c));
    }
    for (size_t trace = 0; trace < traceColours().size(); ++trace) {
        chart_->addTrace(traceColours()[trace], 100, 0);
        ranges_[trace]->setText(QStringLiteral("100"));
    }
    timer_.start(kTickMs);
    versions_[0]->setText(fromServer(session_.connection(), connection.serverInfo()));
    versions_[1]->setText(fromServer(session_.connection(), Connection::clientInfo()));
    versions_[2]->setText(QString::number(connection.protocolInfo()));
}

QWidget* ProcessForm::buildStatusGroup() {
    auto* group = new QGroupBox(QStringLiteral("サーバ状態"));
    chart_->setAccessibleName(group->title());
    auto* grid = new QGridLayout;
    for (size_t i = 0; i < counters_.size(); ++i) {
        const CounterField& field = counterFields()[i];
        counters_[i] = readOnlyField();
        counters_[i]->setAlignment(Qt::AlignRight);
        counters_[i]->setMinimumWidth(100);
        const int row = int(i);
        grid->addWidget(caption(QString::fromUtf8(field.caption).trimmed(), counters_[i]), row, 0);
        grid->addWidget(counters_[i], row, 1);
        if (field.trace < 0)
            continue;
        auto* range = new QLineEdit;
        range->setMaximumWidth(70);
        ranges_[size_t(field.trace)] = range;
        grid->addWidget(caption(QStringLiteral("レンジ"), range), row, 2);
        grid->addWidget(range, row, 3);
        connect(range, &QLineEdit::textChanged, this, [this, trace = field.trace](const QString& text) {
            chart_->setBounds(trace, rangeFromText(toServer(session_.connection(), text)), 0);
        });
    }
    auto* layout = new QHBoxLayout(group);
    layout->addWidget(chart_, 0, Qt::AlignTop);
    layout->addLayout(grid, 1);
    return group;
}

QWidget* ProcessForm::buildResetGroup() {
    auto* group = new QGroupBox(QStringLiteral("リセット"));
    auto* layout = new QHBoxLayout(group);
    for (size_t i = 0; i < flushes_.size(); ++i) {
        flushes_[i] = new QPushButton(QString::fromUtf8(flushButtons()[i].caption));
        flushes_[i]->setAccessibleName(flushes_[i]->text());
        flushes_[i]->setAutoDefault(false);
        layout->addWidget(flushes_[i]);
        connect(flushes_[i], &QPushButton::clicked, this, [this, i] { flushClicked(i); });
    }
    return group;
}

void ProcessForm::tick() {
    // Skipped while another operation has the connection; the reading itself keeps the
    // connection busy, so no other timer sends a statement in the middle of it.
    const std::optional<MonitorReading> reading = readMonitor(session_.connection());
    if (!reading)
        return;
    if (reading->counters)
        showCounters(*reading->counters);
    if (reading->threads)
        fillThreads(*reading->threads);
}

void ProcessForm::showCounters(const StatusCounters& counters) {
    for (const CounterField& field : counterFields()) {
        if (field.trace >= 0)
            chart_->setValue(field.trace, (counters.*field.value).value_or(0));
    }
    chart_->step();
    for (size_t i = 0; i < counters_.size(); ++i) {
        const std::optional<uint64_t>& value = counters.*counterFields()[i].value;
        counters_[i]->setText(value ? QString::number(*value) : QString());
    }
}

void ProcessForm::refillThreads() {
    Connection& connection = session_.connection();
    if (connection.busy())
        return;
    if (const std::optional<std::vector<ThreadRow>> threads = readThreadList(connection))
        fillThreads(*threads);
}

void ProcessForm::fillThreads(const std::vector<ThreadRow>& threads) {
    // Rows are updated in place and matched by thread id: the selected thread stays selected,
    // and a double-click whose first click landed before the refill still finds its row.
    const QString selectedId = selectedThreadId();
    std::vector<QString> ids;
    for (const ThreadRow& thread : threads)
        ids.push_back(!thread.empty() && thread[0] ? fromServer(session_.connection(), *thread[0])
                                                   : QString());
    for (int r = list_->rowCount() - 1; r >= 0; --r) {
        if (std::find(ids.begin(), ids.end(), threadIdAt(r)) == ids.end())
            list_->removeRow(r);
    }
    const int columns = list_->columnCount();
    for (int r = 0; r < int(threads.size()); ++r) {
        int found = r;
        while (found < list_->rowCount() && threadIdAt(found) != ids[size_t(r)])
            ++found;
        if (found != r || r == list_->rowCount()) {
            if (found < list_->rowCount())
                list_->removeRow(found);  // the server lists it elsewhere now
            list_->insertRow(r);
        }
        const ThreadRow& thread = threads[size_t(r)];
        for (int c = 0; c < columns; ++c) {
            const bool null = size_t(c) >= thread.size() || !thread[size_t(c)];
            const QString text = null ? QString() : fromServer(session_.connection(), *thread[size_t(c)]);
            if (QTableWidgetItem* item = list_->item(r, c)) {
                if (item->text() != text)
                    item->setText(text);
            } else if (!null) {
                list_->setItem(r, c, new QTableWidgetItem(text));
            }
        }
    }
    if (!selectedId.isEmpty() && selectedThreadId() != selectedId) {
        const auto at = std::find(ids.begin(), ids.end(), selectedId);
        if (at != ids.end())
            list_->selectRow(int(at - ids.begin()));
    }
}

QString ProcessForm::threadIdAt(int row) const {
    const QTableWidgetItem* item = list_->item(row, 0);
    return item ? item->text() : QString();
}

QString ProcessForm::selectedThreadId() const {
    const QList<QTableWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? QString() : threadIdAt(selected.first()->row());
}

void ProcessForm::flushClicked(size_t index) {
    const FlushButton& flush = flushButtons()[index];
    Connection& connection = session_.connection();
    if (connection.exec(flush.statement)) {
        ui().message(msg(flush.notice));
    } else {
        ui().message(msgf(kFlushFailed, fromServer(session_.connection(), connection.errorText())));
    }
}

void ProcessForm::openDetails(int row) {
    const QTableWidgetItem* id = list_->item(row, 0);
    if (!id)
        return;
    ProcessDetailsForm details(session_, leadingInteger(toServer(session_.connection(), id->text())), this);
    runModal(details);
}

}  // namespace dbk
