#include "app/database_chooser_form.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ui_services.h"
#include "conn/session.h"
#include "conn/text_codec.h"

namespace dbk {

namespace {
constexpr int kIconSize = 32;
}  // namespace

DatabaseChooserForm::DatabaseChooserForm(Session& session, QWidget* parent)
    : QDialog(parent), list_(new QListWidget), cancelButton_(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"))) {
    setWindowTitle(QStringLiteral("データベース選択"));
    list_->setAccessibleName(windowTitle());
    list_->setViewMode(QListView::IconMode);
    list_->setIconSize(QSize(kIconSize, kIconSize));
    list_->setGridSize(QSize(kIconSize * 3, kIconSize * 2 + 8));
    list_->setMovement(QListView::Static);
    list_->setResizeMode(QListView::Adjust);
    list_->setWordWrap(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(list_, &QListWidget::itemDoubleClicked, this, &DatabaseChooserForm::choose);
    connect(cancelButton_, &QPushButton::clicked, this, &DatabaseChooserForm::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(buttons);
    resize(420, 300);

    fill(session.connection());
}

void DatabaseChooserForm::fill(Connection& connection) {
    Result databases = connection.listDbs();
    if (!databases) {
        std::string error = connection.errorText();
        // A handle that was already closed reports no error of its own.
        if (error.empty())
            error = "Not connected to a server.";
        ui().message(fromServer(connection, error));
        return;
    }
    const QIcon icon(QStringLiteral(":/icons/tree_database.svg"));
    while (databases.next()) {
        const std::string name(databases.text(0));
        auto* item = new QListWidgetItem(icon, fromServer(connection, name), list_);
        item->setData(kBytesRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    }
}

void DatabaseChooserForm::choose(QListWidgetItem* item) {
    if (!item)
        return;
    const QByteArray bytes = item->data(kBytesRole).toByteArray();
    chosen_ = std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
    accept();
}

}  // namespace dbk
