#include "transfer/database_copy_form.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/caption_widget.h"
#include "app/messages.h"
#include "app/ui_services.h"
#include "conn/cancel.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "transfer/database_copy.h"

namespace dbk {

DatabaseCopyForm::DatabaseCopyForm(Session& session, const std::string& database, QWidget* parent)
    : QDialog(parent), session_(session), database_(database) {
    source_ = new QLineEdit(fromServer(session_.connection(), database));
    source_->setReadOnly(true);
    name_ = new QLineEdit;
    create_ = namedButton(QStringLiteral("作成"));
    create_->setDefault(true);
    cancel_ = namedButton(QStringLiteral("ｷｬﾝｾﾙ"));
    cancel_->setAutoDefault(false);

    auto* fields = new QGridLayout;
    fields->addWidget(captionLabel(QStringLiteral("データベース"), source_), 0, 0);
    fields->addWidget(source_, 0, 1);
    fields->addWidget(captionLabel(QStringLiteral("新しいデータベース"), name_), 1, 0);
    fields->addWidget(name_, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(create_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(create_, &QPushButton::clicked, this, &DatabaseCopyForm::create);
    connect(cancel_, &QPushButton::clicked, this, &DatabaseCopyForm::reject);
}

void DatabaseCopyForm::create() {
    if (copying_)
        return;
    const std::string name = toServer(session_.connection(), name_->text());
    if (name.empty()) {
        ui().message(QStringLiteral("新しいデータベースを入力してください"));
        return;
    }
    if (!ui().askYesNo(QStringLiteral("複製を行ってもよろしいですか？")))
        return;
    Connection& connection = session_.connection();
    // Asked before anything is written: the tables would go into a database that holds others.
    if (databaseExists(connection, name) &&
        !ui().askYesNo(msgf(DatabaseCopy::kExistsQuestion, name_->text())))
        return;

    DatabaseCopyOutcome outcome;
    {
        copying_ = true;
        for (QWidget* control : std::initializer_list<QWidget*>{name_, create_})
            control->setEnabled(false);
        // Cancel stays live: it stops the copy before its next table, or the table's statement.
        cancelRequest_.reset();
        const CancellableRun cancellable;
        WaitCursor wait;
        DatabaseCopy copy(connection);
        copy.setCancelToken(&cancelRequest_);
        outcome = copy.run(database_, name);
        for (QWidget* control : std::initializer_list<QWidget*>{name_, create_})
            control->setEnabled(true);
        copying_ = false;
    }
    ui().message(DatabaseCopy::completionText(outcome));
    if (outcome.status == DatabaseCopyOutcome::Status::CreateRefused)
        return;
    newDatabase_ = name;
    accept();
}

void DatabaseCopyForm::reject() {
    // Closing while the copy runs stops it instead.
    if (copying_)
        cancelRequest_.cancel();
    else
        QDialog::reject();
}

}  // namespace dbk
