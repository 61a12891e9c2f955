#include <algorithm>
#include <cctype>

#include "app/commands.h"
#include "app/form_entry.h"
#include "app/messages.h"
#include "app/ui_services.h"
#include "browser/dbkeeper_view.h"
#include "conn/dbkeeper_doc.h"
#include "privileges/database_form.h"
#include "privileges/database_list_form.h"
#include "privileges/database_user_form.h"
#include "privileges/grant_access.h"
#include "privileges/host_access_form.h"
#include "privileges/host_details_form.h"
#include "privileges/host_list_form.h"
#include "privileges/user_info_form.h"
#include "privileges/user_list_form.h"

namespace dbk {

namespace {

using object_tree::NodeKind;

bool hostTable(EntrySite& site) {
    return privileges::hostTableOffered(site.document().session());
}

FollowUp openHostList(EntrySite& site, const EntryTarget&) {
    if (hostTable(site))
        openForm<HostListForm>(site);
    return {};
}

// "Limit User" under the database mysql: the users of that database.
FollowUp openMysqlUsers(EntrySite& site, const EntryTarget&) {
    openForm<DatabaseForm>(site, std::string("mysql"));
    return {};
}

FollowUp openHostAccess(EntrySite& site, const EntryTarget& target) {
    if (hostTable(site))
        openForm<HostAccessForm>(site, target.database);
    return {};
}

FollowUp registerUser(EntrySite& site, const EntryTarget&) {
    if (site.document().adminFlag() != 1) {
        ui().message(msg(privileges::kNoAuthorization));
        return {};
    }
    openForm<UserInfoForm>(site, UserInfoForm::Mode::Add, std::string(), std::string(), std::string());
    return FollowUp{.reloadGrants = true};
}

// The values of a record list row, by column name, else at the position of the table's layout.
class ListRow {
public:
    ListRow(EntrySite& site, int row) {
        if (const CDbkeeperView* list = site.recordList();
            list && row >= 0 && size_t(row) < list->rows().size()) {
            names_ = &list->fieldNames();
            row_ = &list->rows()[size_t(row)];
        }
    }
    bool valid() const { return row_ != nullptr; }
    std::string operator()(std::string_view column, size_t position) const {
        size_t at = position;
        for (size_t i = 0; i < names_->size(); ++i) {
            const std::string& name = (*names_)[i];
            if (name.size() == column.size() &&
                std::equal(name.begin(), name.end(), column.begin(), [](char a, char b) {
                    return std::tolower((unsigned char)a) == std::tolower((unsigned char)b);
                })) {
                at = i;
                break;
            }
        }
        return at < row_->size() ? (*row_)[at].value_or(std::string()) : std::string();
    }

private:
    const std::vector<std::string>* names_ = nullptr;
    const Row* row_ = nullptr;
};

FollowUp openUserRow(EntrySite& site, const EntryTarget& target) {
    const ListRow row(site, target.row);
    if (!row.valid())
        return {};
    const std::string host = row("Host", 0);
    const std::string user = row("User", 1);
    const std::string password = row("Password", 2);
    if (host.empty() && user.empty() && password.empty())
        return {};
    openForm<UserInfoForm>(site, UserInfoForm::Mode::Change, host, user, password);
    return FollowUp{.refillList = true, .reloadGrants = true};
}

FollowUp openDbRow(EntrySite& site, const EntryTarget& target) {
    const ListRow row(site, target.row);
    if (!row.valid())
        return {};
    openForm<DatabaseUserForm>(site, row("Host", 0), row("Db", 1), row("User", 2));
    return FollowUp{.refillList = true};
}

FollowUp openHostRow(EntrySite& site, const EntryTarget& target) {
    const ListRow row(site, target.row);
    if (!row.valid() || !hostTable(site))
        return {};
    openForm<HostDetailsForm>(site, row("Host", 0), row("Db", 1));
    return FollowUp{.refillList = true};
}

// clang-format off
[[maybe_unused]] const int registered = FormRegistry::instance().addAll({
    {.node = NodeKind::UserEntry,     .needs = Needs::Connection, .run = justOpen<UserListForm>},
    {.node = NodeKind::HostEntry,     .needs = Needs::Connection, .run = openHostList},
    {.node = NodeKind::DatabaseEntry, .needs = Needs::Connection, .run = justOpen<DatabaseListForm>},
    {.node = NodeKind::LimitUser,     .needs = Needs::Connection, .run = openMysqlUsers},
    {.node = NodeKind::LimitAccess,   .needs = Needs::Connection, .run = openHostAccess},
    {.command = cmd::UserRegistration, .needs = Needs::Connection, .run = registerUser},
    {.grantTable = "user", .needs = Needs::Connection, .run = openUserRow},
    {.grantTable = "db",   .needs = Needs::Connection, .run = openDbRow},
    {.grantTable = "host", .needs = Needs::Connection, .run = openHostRow},
});
// clang-format on

}  // namespace
}  // namespace dbk
