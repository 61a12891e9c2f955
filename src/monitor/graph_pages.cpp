#include "monitor/graph_pages.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <numbers>

#include "app/messages.h"
#include "conn/connection.h"
#include "conn/dbkeeper_doc.h"
#include "conn/session.h"
#include "conn/text_codec.h"
#include "conn/text_format.h"
#include "privileges/grant_tables.h"

namespace dbk::graph {

namespace {

// Texts of the pages.
enum Text {
    kDatabaseWord = 10000,
    kHostWord = 10002,
    kUserWord = 10016,
    kDatabaseUsing = 10154,
    kLimitAccessWord = 10171,
    kLimitUserWord = 10172,
    kNoData = 20702,
    kNoHostTable = 20722,
    kServerWord = 21100,
    kAllRows = 21102,
    kAddUser = 21103,
    kAddDatabase = 21104,
    kIndexWord = 21105,
    kDataWord = 21106,
    kServerUsing = 21107,
    kRecords = 21108,
    kAllShare = 21109,
    kUpdated = 21110,
    kAllPermitted = 21111,
    kAllDenied = 21112,
    kHostPermitted = 21113,
    kHostDenied = 21114,
    kAllHosts = 21115,
    kNoHost = 21116,
    kAllDatabases = 21117,
    kNoDatabaseName = 21118,
    kCannotAccess = 21119,
    kNoUserName = 21120,
    kNoAccessLimits = 21121,
    kNoUserLimits = 21122,
    kNoHostLimits = 21123,
    kNoDatabase = 21124,
};

constexpr int kIconSize = 48;
constexpr int kRowStep = 50;
constexpr int kFirstRightsRow = 60 + kRowStep;
constexpr int kBarLeft = 550;
constexpr int kBarWidth = 100;
constexpr int kRowLinkHeight = 43;

int addText(Page& page, QPoint at, QString text, FontRole font, Rgb colour = colours::kBlack) {
    page.drawing.text(at, std::move(text), colour, font);
    return int(page.drawing.items.size()) - 1;
}

void separator(DrawingList& d, int y) {
    d.line({50, y}, {750, y}, colours::kBlack, 3);
}

// A bar 10 units high centred on y: the first `percent` of it light blue, the rest pink.
void shareBar(DrawingList& d, int x1, int x2, int y, double percent) {
    const int width = x2 - x1;
    if (width <= 0)
        return;
    const int used = int(std::lround(width * std::clamp(percent, 0.0, 100.0) / 100.0));
    if (used > 0)
        d.rect(QRect(x1, y - 5, used, 10), colour::kShareUsed, std::nullopt);
    if (used < width)
        d.rect(QRect(x1 + used, y - 5, width - used, 10), colour::kShareRest, std::nullopt);
}

QString bytesText(uint64_t n) {
    return formatUi(QStringLiteral("%lu Byte"), n);
}

Page startPage(int mode, const QString& iconResource, const QString& title) {
    Page page;
    page.mode = mode;
    page.drawing.background = colours::kWhite;
    page.drawing.icon({5, 5}, iconResource, kIconSize);
    addText(page, {50, 10}, title, FontRole::PageTitle);
    return page;
}

void link(Page& page, LinkKind kind, QRect area, int textItem, int row = -1) {
    page.links.push_back(Link{kind, area, row, textItem});
}

struct Totals {
    uint64_t rows = 0, data = 0, index = 0, free = 0;
    uint64_t total() const { return data + index + free; }
};

Totals sum(const SpaceListing& listing) {
    Totals t;
    for (const SpaceFigures& f : listing.entries) {
        t.rows += f.rows;
        t.data += f.data;
        t.index += f.index;
        t.free += f.free;
    }
    return t;
}

void summary(Page& page, const Totals& t, const QString& usingLine) {
    DrawingList& d = page.drawing;
    addText(page, {50, 60}, msgf(kAllRows, t.rows), FontRole::PageLabel);
    shareBar(d, kBarLeft, kBarLeft + kBarWidth, 65, percentOf(t.index, t.index + t.data));
    addText(page, {450, 45}, msg(kIndexWord), FontRole::PageTiny);
    addText(page, {655, 45}, msg(kDataWord), FontRole::PageTiny);
    addText(page, {450, 75}, bytesText(t.index), FontRole::PageTiny);
    addText(page, {655, 75}, bytesText(t.data), FontRole::PageTiny);
    separator(d, 110);
    addText(page, {450, 95}, usingLine, FontRole::PageSmallItalic, colours::kBlue);
}

struct SpaceRow {
    int top;
    int nameItem;
    int shareItem;
};

// One database or table row: name and records, its share of the whole, the bar of its index
// against its bytes, and the byte counts.
SpaceRow spaceRow(Page& page, int i, const SpaceFigures& f, uint64_t whole, const QString& iconResource,
                  ServerEncoding encoding) {
    DrawingList& d = page.drawing;
    const int y = 65 + kRowStep * i;
    d.icon({5, y}, iconResource, kIconSize);
    const int nameItem =
        addText(page, {50, y}, msgf(kRecords, fromServer(encoding, f.name), f.rows), FontRole::PageLabel);
    const double share = percentOf(f.total(), whole);
    const int shareItem =
        addText(page, {660, y}, msgf(kAllShare, share), FontRole::PageLabel, shareColour(share));
    const int end = kBarLeft + int(std::lround(kBarWidth * std::clamp(share, 0.0, 100.0) / 100.0));
    shareBar(d, kBarLeft, end, y + 10, percentOf(f.index, f.total()));
    addText(page, {450, y + 22}, bytesText(f.index), FontRole::PageTiny);
    addText(page, {end, y + 22}, bytesText(f.data), FontRole::PageTiny);
    separator(d, y + 45);
    page.names.push_back(f.name);
    return SpaceRow{y, nameItem, shareItem};
}

int spacePageHeight(int rows) {
    return 60 + 152 + kRowStep * (rows + 1);
}

// The value of a column found by name, else at its legacy position; "" for NULL.
std::string column(const Result& r, const char* name, unsigned legacyPosition) {
    const int found = r.columnIndex(name);
    const unsigned at = found >= 0 ? unsigned(found) : legacyPosition;
    if (at >= r.fieldCount() || r.isNull(at))
        return {};
    return std::string(r.text(at));
}

void addStatus(SpaceFigures& f, const Result& r) {
    f.rows += numberOf(column(r, "Rows", 3));
    f.data += numberOf(column(r, "Data_length", 5));
    f.maximum += numberOf(column(r, "Max_data_length", 6));
    f.index += numberOf(column(r, "Index_length", 7));
    f.free += numberOf(column(r, "Data_free", 8));
}

// The first column of every row; nullopt when the statement is refused or has no result.
std::optional<std::vector<std::string>> firstColumn(Connection& c, std::string_view statement) {
    Result r = c.query(statement);
    if (!r.ok() || !r.hasRows())
        return std::nullopt;
    std::vector<std::string> names;
    while (r.next())
        names.emplace_back(r.text(0u));
    return names;
}

// The privilege words of a page and where their columns begin.
struct WordSet {
    std::vector<QString> words;
    int step;
};

WordSet databaseWords(const char* references) {
    return {{"Select", "Insert", "Update", "Delete", "Create", "Drop", "Grant", references, "Index", "Alter"},
            66};
}

WordSet accountWords() {
    return {{"Select", "Insert", "Update", "Delete", "Create", "Drop", "Reload", "Stop", "Process", "File",
             "Grant", "References", "Index", "Alter"},
            50};
}

Rgb wordColour(size_t position) {
    if (position == 0)
        return colours::kBlue;
    if (position <= 3)
        return colours::kRed;
    return colour::kLaterWord;
}

// The words are drawn small and italic; a column is at least `step` wide and wider for a long
// word, at a width per character no face of that size exceeds for these words, so that no word
// runs into the next whichever face the system gives.
constexpr int kWordCharWidth = 7;
constexpr int kWordGap = 6;

void privilegeWords(Page& page, const WordSet& set, const std::vector<bool>& granted, int x, int y) {
    for (size_t k = 0; k < set.words.size() && k < granted.size(); ++k) {
        if (granted[k])
            addText(page, {x, y}, set.words[k], FontRole::PageWord, wordColour(k));
        x += std::max(set.step, int(set.words[k].size()) * kWordCharWidth + kWordGap);
    }
}

int rightsPageHeight(int rows) {
    return 60 + 125 + kRowStep * (rows + 1);
}

// Title, icon and separator, then one row per grant-table row: an icon, a label, the words.
template <class Label, class RowIcon>
Page rightsPage(int mode, const QString& title, const QString& titleIcon, const RightsListing& listing,
                const WordSet& words, int emptyText, Label label, RowIcon rowIcon) {
    Page page = startPage(mode, titleIcon, title);
    separator(page.drawing, 55);
    if (listing.rows.empty())
        addText(page, {50, kFirstRightsRow}, msg(emptyText), FontRole::PageLabel, colours::kRed);
    int y = kFirstRightsRow;
    for (const RightsRow& row : listing.rows) {
        const QString resource = rowIcon(row);
        if (!resource.isEmpty())
            page.drawing.icon({5, y}, resource, kIconSize);
        addText(page, {50, y}, label(row), FontRole::PageLabel);
        privilegeWords(page, words, row.granted, 50, y + 25);
        if (mode == kAllHostsMode && !row.granting)
            addText(page, {450, y + 25}, msg(kCannotAccess), FontRole::PageTiny, colours::kRed);
        separator(page.drawing, y + 45);
        y += kRowStep;
    }
    page.height = rightsPageHeight(int(listing.rows.size()));
    return page;
}

QString hostRowIcon(const RightsRow& row) {
    return row.granting ? icon::kHostRestricted : icon::kHostDenied;
}

QString userAndHost(const RightsRow& row, ServerEncoding encoding) {
    return formatUi(QStringLiteral("%s  (%s)"), fromServer(encoding, row.user),
                    fromServer(encoding, row.host));
}

// A point of the ellipse around (cx, cy) at `degrees`, counted anticlockwise from the right.
QPoint ellipsePoint(double cx, double cy, double rx, double ry, double degrees) {
    const double a = degrees * std::numbers::pi / 180.0;
    return QPoint(int(std::lround(cx + rx * std::cos(a))), int(std::lround(cy - ry * std::sin(a))));
}

// The pie face between two angles, as a polygon from the centre.
std::vector<QPoint> sector(double cx, double cy, double rx, double ry, double from, double to) {
    std::vector<QPoint> points{QPoint(int(cx), int(cy))};
    for (double a = from; a < to; a += 3)
        points.push_back(ellipsePoint(cx, cy, rx, ry, a));
    points.push_back(ellipsePoint(cx, cy, rx, ry, to));
    return points;
}

// The flat cylinder of the hit rate: the side, then the face divided like a pie.
void pieCylinder(DrawingList& d, double hitPercent) {
    constexpr double left = 100, top = 250, right = 300, bottom = 300, depth = 12;
    const double cx = (left + right) / 2, cy = (top + bottom) / 2, rx = (right - left) / 2,
                 ry = (bottom - top) / 2;
    std::vector<QPoint> side;
    for (double a = 180; a <= 360; a += 3)
        side.push_back(ellipsePoint(cx, cy + depth, rx, ry, a));
    for (double a = 360; a >= 180; a -= 3)
        side.push_back(ellipsePoint(cx, cy, rx, ry, a));
    d.polygon(side, Rgb{0x80, 0x80, 0x80}, colours::kBlack);
    const double hit = std::clamp(hitPercent, 0.0, 100.0) * 3.6;
    if (hit > 0)
        d.polygon(sector(cx, cy, rx, ry, 0, hit), colours::kRed, colours::kBlack);
    if (hit < 360)
        d.polygon(sector(cx, cy, rx, ry, hit, 360), colours::kBlue, colours::kBlack);
}

}  // namespace

const Link* Page::linkAt(QPoint point) const {
    for (const Link& l : links) {
        if (l.area.contains(point))
            return &l;
    }
    return nullptr;
}

uint64_t numberOf(std::string_view text) {
    uint64_t n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (error != std::errc() || end != text.data() + text.size())
        return 0;
    return n;
}

Rgb shareColour(double percent) {
    if (percent > 90)
        return colours::kRed;
    if (percent > 50)
        return colours::kBlue;
    return colours::kBlack;
}

double percentOf(uint64_t part, uint64_t whole) {
    if (whole == 0)
        return 0;
    return double(part) / double(whole) * 100.0;
}

// ---- disk use ----

std::optional<SpaceFigures> readDatabaseTotals(Connection& c, const std::string& database) {
    Result r = c.query(format("SHOW TABLE STATUS FROM %s", c.ident(database)));
    if (!r.ok() || !r.hasRows())
        return std::nullopt;
    SpaceFigures f;
    f.name = database;
    while (r.next())
        addStatus(f, r);
    return f;
}

SpaceListing readServerSpaceByDatabase(Connection& c) {
    SpaceListing listing;
    listing.encoding = serverEncoding(c);
    const auto names = firstColumn(c, "SHOW DATABASES");
    if (!names)
        return listing;
    listing.listed = true;
    for (const std::string& name : *names) {
        if (std::optional<SpaceFigures> f = readDatabaseTotals(c, name))
            listing.entries.push_back(std::move(*f));
    }
    return listing;
}

SpaceListing readServerSpaceGrouped(Connection& c) {
    const auto names = firstColumn(c, "SHOW DATABASES");
    if (!names)
        return {};
    Result r = c.query(kGroupedSpaceStatement);
    if (!r.ok() || !r.hasRows())
        return readServerSpaceByDatabase(c);
    std::map<std::string, SpaceFigures> bySchema;
    while (r.next()) {
        SpaceFigures& f = bySchema[std::string(r.text(0u))];
        const auto at = [&](unsigned position) {
            return r.isNull(position) ? 0 : numberOf(r.text(position));
        };
        f.rows = at(1);
        f.data = at(2);
        f.maximum = at(3);
        f.index = at(4);
        f.free = at(5);
    }
    SpaceListing listing;
    listing.encoding = serverEncoding(c);
    listing.listed = true;
    for (const std::string& name : *names) {
        SpaceFigures f = bySchema[name];
        f.name = name;
        listing.entries.push_back(std::move(f));
    }
    return listing;
}

SpaceListing readServerSpace(Connection& c, const ServerGeneration& generation) {
    return generation.hasInformationSchema() ? readServerSpaceGrouped(c) : readServerSpaceByDatabase(c);
}

SpaceListing readDatabaseSpace(Connection& c, const std::string& database) {
    SpaceListing listing;
    listing.encoding = serverEncoding(c);
    // Without the database selected, SHOW TABLES would list another one.
    if (!c.exec(format("USE %s", c.ident(database))))
        return listing;
    const auto names = firstColumn(c, "SHOW TABLES");
    if (!names)
        return listing;
    listing.listed = true;
    // One status statement for the whole database instead of one per table.
    std::map<std::string, SpaceFigures> byName;
    Result r = c.query(format("SHOW TABLE STATUS FROM %s", c.ident(database)));
    if (r.ok() && r.hasRows()) {
        while (r.next()) {
            SpaceFigures f;
            f.name = column(r, "Name", 0);
            addStatus(f, r);
            f.type = r.columnIndex("Engine") >= 0 ? column(r, "Engine", 1) : column(r, "Type", 1);
            f.rowFormat = column(r, "Row_format", 2);
            f.updateTime = column(r, "Update_time", 11);
            byName[f.name] = std::move(f);
        }
    }
    for (const std::string& name : *names) {
        if (auto found = byName.find(name); found != byName.end())
            listing.entries.push_back(found->second);
    }
    return listing;
}

Page serverPage(const QString& host, const SpaceListing& databases) {
    Page page =
        startPage(kServerMode, icon::kServer, formatUi(QStringLiteral("%s： %s"), msg(kServerWord), host));
    link(page, LinkKind::ProcessList, QRect(5, 5, kIconSize, kIconSize), -1);
    link(page, LinkKind::AddUser, QRect(50, 90, 80, 20),
         addText(page, {50, 90}, msg(kAddUser), FontRole::PageSmallItalic));
    link(page, LinkKind::AddDatabase, QRect(150, 90, 110, 20),
         addText(page, {150, 90}, msg(kAddDatabase), FontRole::PageSmallItalic));

    const Totals totals = sum(databases);
    summary(page, totals, msgf(kServerUsing, totals.total()));
    if (!databases.listed) {
        page.height = 60 + 135;
        return page;
    }
    int i = 0;
    for (const SpaceFigures& f : databases.entries) {
        const SpaceRow row = spaceRow(page, ++i, f, totals.total(), icon::kDatabase, databases.encoding);
        link(page, LinkKind::OpenDatabase, QRect(5, row.top, 395, kRowLinkHeight), row.nameItem, i - 1);
    }
    page.height = spacePageHeight(i);
    return page;
}

Page databasePage(const std::string& database, const SpaceListing& tables, bool hostTable) {
    Page page = startPage(
        kDatabaseMode, icon::kDatabase,
        formatUi(QStringLiteral("%s： %s"), msg(kDatabaseWord), fromServer(tables.encoding, database)));
    link(page, LinkKind::BackToServer, QRect(5, 5, kIconSize, kIconSize), -1);
    // The grant database is administered through its own nodes.
    if (database != "mysql") {
        if (hostTable) {
            link(page, LinkKind::LimitAccess, QRect(50, 90, 80, 20),
                 addText(page, {50, 90}, msg(kLimitAccessWord), FontRole::PageSmallItalic));
        }
        link(page, LinkKind::LimitUser, QRect(150, 90, 110, 20),
             addText(page, {150, 90}, msg(kLimitUserWord), FontRole::PageSmallItalic));
    }

    const Totals totals = sum(tables);
    summary(page, totals, msgf(kDatabaseUsing, totals.total()));
    if (!tables.listed) {
        page.height = 110;
        return page;
    }
    int i = 0;
    for (const SpaceFigures& f : tables.entries) {
        const SpaceRow row = spaceRow(page, ++i, f, totals.total(), icon::kTable, tables.encoding);
        addText(page, {200, row.top + 25}, msgf(kUpdated, fromServer(tables.encoding, f.updateTime)),
                FontRole::PageTiny, colours::kBlue);
        addText(page, {50, row.top + 25},
                formatUi(QStringLiteral("(%s %s)"), fromServer(tables.encoding, f.type),
                         fromServer(tables.encoding, f.rowFormat)),
                FontRole::PageTiny);
        link(page, LinkKind::TableStructure, QRect(5, row.top, 395, kRowLinkHeight), row.nameItem, i - 1);
        link(page, LinkKind::TableSize, QRect(400, row.top, 400, kRowLinkHeight), row.shareItem, i - 1);
    }
    page.height = spacePageHeight(i);
    return page;
}

// ---- rights ----

RightsListing readRights(Connection& c, const std::string& statement, GrantTable table) {
    RightsListing listing;
    listing.encoding = serverEncoding(c);
    Result r = c.query(statement);
    if (!r.ok() || !r.hasRows())
        return listing;
    listing.read = true;
    while (r.next()) {
        RightsRow row;
        row.host = grants::cell(r, "Host", 0);
        switch (table) {
            case GrantTable::Host: {
                row.db = grants::cell(r, "Db", 1);
                const auto rights = grants::hostRightsOf(r);
                row.granted.assign(rights.begin(), rights.end());
                row.granting = grants::grantsAnything(r, 2);
                break;
            }
            case GrantTable::Db: {
                row.db = grants::cell(r, "Db", 1);
                row.user = grants::cell(r, "User", 2);
                const auto rights = grants::databaseRightsOf(r);
                row.granted.assign(rights.begin(), rights.end());
                row.granting = grants::grantsAnything(r, 3);
                break;
            }
            case GrantTable::User: {
                row.user = grants::cell(r, "User", 1);
                const auto rights = grants::globalRightsOf(r);
                row.granted.assign(rights.begin(), rights.end());
                row.granting = grants::grantsAnything(r, 3);
                break;
            }
        }
        listing.rows.push_back(std::move(row));
    }
    return listing;
}

Page hostRightsPage(const std::string& database, const RightsListing& rows) {
    const QString title = formatUi(QStringLiteral("%s： %s %s"), msg(kLimitAccessWord), msg(kDatabaseWord),
                                   fromServer(rows.encoding, database));
    return rightsPage(
        kHostRightsMode, title, icon::kHost, rows, databaseWords("References"), kNoAccessLimits,
        [&rows](const RightsRow& row) {
            if (row.host == "%")
                return msg(row.granting ? kAllPermitted : kAllDenied);
            return msgf(row.granting ? kHostPermitted : kHostDenied, fromServer(rows.encoding, row.host));
        },
        hostRowIcon);
}

Page userRightsPage(const std::string& database, const RightsListing& rows) {
    const QString title = formatUi(QStringLiteral("%s： %s %s"), msg(kLimitUserWord), msg(kDatabaseWord),
                                   fromServer(rows.encoding, database));
    return rightsPage(
        kUserRightsMode, title, icon::kUser, rows, databaseWords("References"), kNoUserLimits,
        [&rows](const RightsRow& row) { return userAndHost(row, rows.encoding); },
        [](const RightsRow&) { return QString(); });
}

Page allHostsPage(const RightsListing& rows) {
    return rightsPage(
        kAllHostsMode, msg(kHostWord), icon::kHost, rows, databaseWords("Refere"), kNoHostLimits,
        [&rows](const RightsRow& row) {
            const QString host = row.host == "%"    ? msg(kAllHosts)
                                 : row.host.empty() ? msg(kNoHost)
                                                    : fromServer(rows.encoding, row.host);
            const QString db = row.db == "%"    ? msg(kAllDatabases)
                               : row.db.empty() ? msg(kNoDatabaseName)
                                                : fromServer(rows.encoding, row.db);
            return formatUi(QStringLiteral("%s  (%s)"), host, db);
        },
        hostRowIcon);
}

Page databaseRightsPage(bool listed, const std::vector<DatabaseRights>& databases) {
    Page page = startPage(kDatabaseRightsMode, icon::kDatabase, msg(kDatabaseWord));
    separator(page.drawing, 55);
    const WordSet words = databaseWords("Refer");
    constexpr int lineStep = 20, wordsLeft = 200;
    int y = kFirstRightsRow;
    for (const DatabaseRights& database : databases) {
        if (!listed || (database.rights.read && database.rights.rows.empty()))
            continue;
        page.drawing.icon({5, y}, icon::kDatabase, kIconSize);
        addText(page, {50, y}, fromServer(database.rights.encoding, database.database), FontRole::PageLabel);
        int line = y + 25;
        if (!database.rights.read) {
            addText(page, {60, line}, msg(kNoData), FontRole::PageTiny, colours::kRed);
            line += lineStep;
        }
        for (const RightsRow& row : database.rights.rows) {
            addText(page, {60, line}, fromServer(database.rights.encoding, row.user),
                    FontRole::PageSmallItalic);
            privilegeWords(page, {words.words, 55}, row.granted, wordsLeft, line + 2);
            line += lineStep;
        }
        const int bottom = std::max(y + 45, line + 2);
        separator(page.drawing, bottom);
        y = bottom + 10;
    }
    if (y == kFirstRightsRow) {
        addText(page, {50, y}, msg(kNoDatabase), FontRole::PageLabel, colours::kRed);
        y += kRowStep;
    }
    page.height = y + 75;
    return page;
}

Page accountsPage(const RightsListing& rows) {
    return rightsPage(
        kAccountsMode, msg(kUserWord), icon::kUser, rows, accountWords(), kNoUserLimits,
        [&rows](const RightsRow& row) {
            return formatUi(QStringLiteral("%s  (%s)"),
                            row.user.empty() ? msg(kNoUserName) : fromServer(rows.encoding, row.user),
                            row.host.empty() ? msg(kNoHost) : fromServer(rows.encoding, row.host));
        },
        [](const RightsRow&) { return QString(); });
}

Page noHostTablePage(int mode) {
    Page page = startPage(mode, icon::kHost, msg(kHostWord));
    separator(page.drawing, 55);
    addText(page, {50, kFirstRightsRow}, msg(kNoHostTable), FontRole::PageLabel, colours::kRed);
    page.height = rightsPageHeight(0);
    return page;
}

// ---- thread memory and key cache ----

QString readSetting(Connection& c, const std::string& statement) {
    Result r = c.query(statement);
    if (!r.ok())
        return QStringLiteral("Error!!");
    if (!r.hasRows())
        return QStringLiteral("Error!!!");
    if (!r.next())
        return QStringLiteral("Error!");
    return fromServer(c, column(r, "Value", 1));
}

MemoryFigures readMemoryFigures(Connection& c) {
    auto variable = [&](const char* name) {
        return readSetting(c, format("SHOW VARIABLES LIKE '%s'", c.escape(name)));
    };
    auto status = [&](const char* name) {
        return readSetting(c, format("SHOW Status LIKE '%s'", c.escape(name)));
    };
    return MemoryFigures{variable("thread_stack"), variable("net_buffer_length"),
                         variable("max_allowed_packet"), status("Key_reads"), status("Key_read_requests")};
}

Page memoryPage(const MemoryFigures& f) {
    Page page;
    page.mode = kMemoryMode;
    page.drawing.background = colours::kWhite;
    DrawingList& d = page.drawing;
    addText(page, {10, 10}, QStringLiteral("スレッド空間:"), FontRole::PageHeading);

    const auto number = [](const QString& s) { return numberOf(s.toStdString()); };
    const QString byte = QStringLiteral(" Byte");
    constexpr int top = 100, height = 20, labelY = 125, valueY = 140;
    d.rect(QRect(100, top, 70, height), colours::kBlue);
    addText(page, {103, labelY}, QStringLiteral("64KB"), FontRole::PageTiny);
    d.rect(QRect(170, top, 130, height), colours::kRed);
    addText(page, {173, labelY}, QStringLiteral("Thread Stack"), FontRole::PageTiny);
    addText(page, {173, valueY}, f.threadStack + byte, FontRole::PageTiny);

    // The buffers fill in proportion to the largest packet the server takes.
    const uint64_t buffer = number(f.netBufferLength), packet = number(f.maxAllowedPacket);
    const int filled =
        packet == 0 ? 0 : int(std::min<double>(200.0, double(buffer) / double(packet) * 200.0));
    const QString captions[2] = {QStringLiteral("  接続バッファ"), QStringLiteral("結果バッファ")};
    for (int k = 0; k < 2; ++k) {
        const int left = 300 + 200 * k;
        if (filled > 0)
            d.rect(QRect(left, top, filled, height), colour::kBufferFill, std::nullopt);
        d.rect(QRect(left, top, 200, height), std::nullopt);
        addText(page, {left + 3, labelY}, captions[k], FontRole::PageTiny);
        addText(page, {left + 3, valueY}, f.netBufferLength + byte, FontRole::PageTiny);
    }
    addText(page, {450, 50}, QStringLiteral("有効なパケットサイズ ") + f.maxAllowedPacket + byte,
            FontRole::PageTiny);
    d.line({300, 75}, {700, 75});
    d.line({300, 70}, {300, top});
    d.line({700, 70}, {700, top});

    // No key read requested yet: no hit rate to speak of.
    const uint64_t reads = number(f.keyReads), requests = number(f.keyReadRequests);
    const double hit =
        requests == 0 ? 0 : std::clamp(100.0 - double(reads) / double(requests) * 100.0, 0.0, 100.0);
    addText(page, {10, 200}, formatUi(QStringLiteral("ヒット率: %f%%"), hit), FontRole::PageLabel);
    pieCylinder(d, hit);
    addText(page, {300, 210}, formatUi(QStringLiteral("Key_reads:%d"), static_cast<long long>(reads)),
            FontRole::PageTiny);
    addText(page, {300, 225},
            formatUi(QStringLiteral("Key_read_requests:%d"), static_cast<long long>(requests)),
            FontRole::PageTiny);
    page.height = 340;
    return page;
}

// ---- the page of the display mode ----

Page drawPage(Session& session, const DocumentContext& context, const std::string& host) {
    if (context.treeReady == 0 || !session.isOpen())
        return Page{};
    Connection& c = session.connection();
    const ServerGeneration& generation = session.generation();
    const std::string& database = context.currentDatabase;
    switch (context.displayMode) {
        case kServerMode:
            return serverPage(fromServer(c, host), readServerSpace(c, generation));
        case kDatabaseMode:
            return databasePage(database, readDatabaseSpace(c, database), generation.hasHostTable());
        case kHostRightsMode:
            if (!generation.hasHostTable())
                return noHostTablePage(kHostRightsMode);
            return hostRightsPage(
                database,
                readRights(c, format("select * from mysql.host where Db = '%s'", c.escape(database)),
                           GrantTable::Host));
        case kUserRightsMode:
            return userRightsPage(
                database, readRights(c, format("select * from mysql.db where Db = '%s'", c.escape(database)),
                                     GrantTable::Db));
        case kAllHostsMode:
            if (!generation.hasHostTable())
                return noHostTablePage(kAllHostsMode);
            return allHostsPage(readRights(c, "select * from mysql.host", GrantTable::Host));
        case kDatabaseRightsMode: {
            const auto names = firstColumn(c, "SHOW DATABASES");
            std::vector<DatabaseRights> databases;
            for (const std::string& name : names.value_or(std::vector<std::string>{})) {
                databases.push_back(DatabaseRights{
                    name, readRights(c, format("select * from mysql.db where Db = '%s'", c.escape(name)),
                                     GrantTable::Db)});
            }
            return databaseRightsPage(names.has_value(), databases);
        }
        case kAccountsMode:
            return accountsPage(readRights(c, "select * from mysql.user", GrantTable::User));
        case kMemoryMode:
            return memoryPage(readMemoryFigures(c));
        default:
            return Page{};
    }
}

}  // namespace dbk::graph
