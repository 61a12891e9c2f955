#pragma once

#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/drawing_list.h"
#include "conn/text_codec.h"

namespace dbk {

class Connection;
class Session;
class ServerGeneration;
struct DocumentContext;

// The pages of the picture pane: what the tree selected, drawn as a list of texts, bars,
// separators and icons 800 units wide. Reading the server and drawing are separate steps,
// so the drawings can be checked from plain figures.
namespace graph {

inline constexpr int kPageWidth = 800;
// The scroll size before anything is drawn.
inline constexpr int kInitialSize = 80;

enum Mode {
    kServerMode = 0,
    kDatabaseMode = 1,
    kHostRightsMode = 2,
    kUserRightsMode = 3,
    kAllHostsMode = 4,
    kDatabaseRightsMode = 5,
    kAccountsMode = 6,
    kMemoryMode = 7,
};

namespace colour {
inline constexpr Rgb kShareUsed{0x96, 0xBE, 0xFF};
inline constexpr Rgb kShareRest{0xF8, 0xCB, 0xF7};
inline constexpr Rgb kLaterWord{0x46, 0x32, 0x64};
inline constexpr Rgb kBufferFill{0xC8, 0x00, 0x00};
}  // namespace colour

namespace icon {
inline const QString kServer = QStringLiteral(":/icons/graph_server.svg");
inline const QString kDatabase = QStringLiteral(":/icons/graph_database.svg");
inline const QString kTable = QStringLiteral(":/icons/graph_table.svg");
inline const QString kUser = QStringLiteral(":/icons/graph_user.svg");
inline const QString kHost = QStringLiteral(":/icons/graph_host.svg");
inline const QString kHostRestricted = QStringLiteral(":/icons/graph_host_restricted.svg");
inline const QString kHostDenied = QStringLiteral(":/icons/graph_host_denied.svg");
}  // namespace icon

// What a click on a part of a page does.
enum class LinkKind {
    ProcessList,     // the server icon
    AddUser,         // the user form in add mode
    AddDatabase,     // the create-database form
    OpenDatabase,    // a database row: its page
    BackToServer,    // the database icon of a database page
    LimitAccess,     // the host access form of the database
    LimitUser,       // the database form of the database
    TableStructure,  // a table row left of 400: the structure editor
    TableSize,       // a table row right of 400: the table size form
};

struct Link {
    LinkKind kind;
    QRect area;
    int row = -1;       // index into Page::names for row links
    int textItem = -1;  // the drawing item drawn in blue while the pointer is on the link
};

struct Page {
    int mode = -1;
    DrawingList drawing;
    int height = kInitialSize;
    // The database or table names of the rows, in row order.
    std::vector<std::string> names;
    std::vector<Link> links;

    // The link under a point of the page, or nullptr.
    const Link* linkAt(QPoint point) const;
};

// ---- disk use of the server and of a database ----

// The summed table status of one database, or the status of one table.
struct SpaceFigures {
    std::string name;
    uint64_t rows = 0;
    uint64_t data = 0;
    uint64_t maximum = 0;
    uint64_t index = 0;
    uint64_t free = 0;
    // Tables only.
    std::string type;
    std::string rowFormat;
    std::string updateTime;

    uint64_t total() const { return data + index + free; }
};

struct SpaceListing {
    // The databases (or tables) could be listed; otherwise the page has no rows.
    bool listed = false;
    // The entries whose figures could be read, in list order.
    std::vector<SpaceFigures> entries;
    ServerEncoding encoding = ServerEncoding::Utf8;  // of the names
};

// The totals of every database: one grouped read of information_schema where the server has
// it, else the table status of each database in turn.
SpaceListing readServerSpace(Connection& connection, const ServerGeneration& generation);
// "SHOW DATABASES", then "SHOW TABLE STATUS FROM db" per database; a database whose status is
// refused is left out.
SpaceListing readServerSpaceByDatabase(Connection& connection);
// "SHOW DATABASES" and one statement over information_schema.TABLES grouped by schema; a
// database without tables has zeros.
SpaceListing readServerSpaceGrouped(Connection& connection);
inline constexpr const char* kGroupedSpaceStatement =
    "SELECT TABLE_SCHEMA, SUM(TABLE_ROWS), SUM(DATA_LENGTH), SUM(MAX_DATA_LENGTH), SUM(INDEX_LENGTH), "
    "SUM(DATA_FREE) FROM information_schema.TABLES GROUP BY TABLE_SCHEMA";
// The sums of one "SHOW TABLE STATUS FROM db"; nullopt when it is refused or has no result.
std::optional<SpaceFigures> readDatabaseTotals(Connection& connection, const std::string& database);
// "USE db", "SHOW TABLES" and the status of every table.
SpaceListing readDatabaseSpace(Connection& connection, const std::string& database);

// A number of the server's text; anything that is not a number counts 0.
uint64_t numberOf(std::string_view text);
// Red above 90 percent, blue above 50, else black.
Rgb shareColour(double percent);
// "All %5.2f%%" and friends: `part` of `whole` in percent, 0 when the whole is 0.
double percentOf(uint64_t part, uint64_t whole);

Page serverPage(const QString& host, const SpaceListing& databases);
// `hostTable`: the server has mysql.host (the "Limit Access" link).
Page databasePage(const std::string& database, const SpaceListing& tables, bool hostTable);

// ---- rights pages ----

enum class GrantTable { Host, Db, User };

// One row of a grant table, as the rights pages write it.
struct RightsRow {
    std::string host;
    std::string db;
    std::string user;
    // The privileges of the page's words, in word order.
    std::vector<bool> granted;
    // Any privilege column is set.
    bool granting = false;
};

struct RightsListing {
    bool read = false;
    std::vector<RightsRow> rows;
    ServerEncoding encoding = ServerEncoding::Utf8;  // of the names
};

// Runs the statement and reads every row of the grant table by column name.
RightsListing readRights(Connection& connection, const std::string& statement, GrantTable table);

// The rows of the grant tables of one database, for the page of every database.
struct DatabaseRights {
    std::string database;
    RightsListing rights;
};

Page hostRightsPage(const std::string& database, const RightsListing& rows);
Page userRightsPage(const std::string& database, const RightsListing& rows);
Page allHostsPage(const RightsListing& rows);
// `listed`: the databases could be listed.
Page databaseRightsPage(bool listed, const std::vector<DatabaseRights>& databases);
Page accountsPage(const RightsListing& rows);
// The page of a host-table mode on a server without mysql.host.
Page noHostTablePage(int mode);

// ---- thread memory and key cache ----

struct MemoryFigures {
    QString threadStack;
    QString netBufferLength;
    QString maxAllowedPacket;
    QString keyReads;
    QString keyReadRequests;
};

// The Value of the first row of the statement: "Error!!" when refused, "Error!!!" without a
// result, "Error!" without a row.
QString readSetting(Connection& connection, const std::string& statement);
MemoryFigures readMemoryFigures(Connection& connection);
Page memoryPage(const MemoryFigures& figures);

// The page of the context's display mode, read over the session; an empty page while the
// tree is not ready or for another mode.
Page drawPage(Session& session, const DocumentContext& context, const std::string& host);

}  // namespace graph
}  // namespace dbk
