#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "app/messages.h"
#include "monitor/graph_pages.h"

namespace dbk {
namespace {

using namespace graph;

SpaceFigures figures(std::string name, uint64_t rows, uint64_t data, uint64_t index, uint64_t free = 0) {
    SpaceFigures f;
    f.name = std::move(name);
    f.rows = rows;
    f.data = data;
    f.index = index;
    f.free = free;
    return f;
}

// The bars of a page whose top edge is at y - 5: (left, width, colour) of each part.
struct BarPart {
    int left, width;
    Rgb colour;
    bool operator==(const BarPart&) const = default;
};
std::vector<BarPart> barAt(const DrawingList& d, int y) {
    std::vector<BarPart> parts;
    for (const DrawRect& r : d.all<DrawRect>()) {
        if (r.rect.top() == y - 5 && r.rect.height() == 10 && r.fill)
            parts.push_back({r.rect.left(), r.rect.width(), *r.fill});
    }
    return parts;
}

std::vector<DrawText> textsIn(const DrawingList& d, FontRole role) {
    std::vector<DrawText> out;
    for (const DrawText& t : d.all<DrawText>()) {
        if (t.font == role)
            out.push_back(t);
    }
    return out;
}

RightsRow rightsRow(std::string host, std::string db, std::string user, std::vector<bool> granted,
                    bool granting) {
    RightsRow row;
    row.host = std::move(host);
    row.db = std::move(db);
    row.user = std::move(user);
    row.granted = std::move(granted);
    row.granting = granting;
    return row;
}

RightsListing readListing(std::vector<RightsRow> rows) {
    RightsListing listing;
    listing.read = true;
    listing.rows = std::move(rows);
    return listing;
}

class GraphPagesTest : public ::testing::Test {
protected:
    void SetUp() override { setInterfaceLanguage(Language::English); }
};

TEST_F(GraphPagesTest, ServerPageShowsEachDatabaseShareAndBar) {
    SpaceListing listing;
    listing.listed = true;
    // 1000 bytes in all: shop 600 (60 %), logs 300, empty 0 + 100 free.
    listing.entries = {figures("shop", 12, 450, 150), figures("logs", 3, 300, 0),
                       figures("empty", 0, 0, 0, 100)};
    const Page page = serverPage(QStringLiteral("db1"), listing);
    const DrawingList& d = page.drawing;

    EXPECT_EQ(d.findText(QStringLiteral("Server： db1"))->position, QPoint(50, 10));
    EXPECT_EQ(d.findText(QStringLiteral("All (15)"))->position, QPoint(50, 60));
    EXPECT_EQ(d.findText(QStringLiteral("This server is using 1000 bytes."))->colour, colours::kBlue);
    EXPECT_EQ(d.findText(QStringLiteral("Add User"))->font, FontRole::PageSmallItalic);
    // index 150 of index + data 900: the summary bar is 17 of 100 blue
    EXPECT_EQ(barAt(d, 65),
              (std::vector<BarPart>{{550, 17, colour::kShareUsed}, {567, 83, colour::kShareRest}}));

    struct Row {
        QString label, share;
        Rgb colour;
        std::vector<BarPart> bar;
        QString data;
        int dataX;
    };
    const Row rows[] = {
        {"shop (12 Records)",
         "All 60.00%",
         colours::kBlue,
         {{550, 15, colour::kShareUsed}, {565, 45, colour::kShareRest}},
         "450 Byte",
         610},
        {"logs (3 Records)", "All 30.00%", colours::kBlack, {{550, 30, colour::kShareRest}}, "300 Byte", 580},
        {"empty (0 Records)", "All 10.00%", colours::kBlack, {{550, 10, colour::kShareRest}}, "0 Byte", 560},
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const int y = 65 + 50 * (i + 1);
        EXPECT_EQ(d.findText(rows[i].label)->position, QPoint(50, y));
        const DrawText share = *d.findText(rows[i].share);
        EXPECT_EQ(share.position, QPoint(660, y));
        EXPECT_EQ(share.colour, rows[i].colour);
        EXPECT_EQ(barAt(d, y + 10), rows[i].bar);
        const auto texts = d.all<DrawText>();
        const auto data = std::ranges::find_if(texts, [&](const DrawText& t) {
            return t.text == rows[i].data && t.position.y() == y + 22 && t.position.x() >= 550;
        });
        ASSERT_NE(data, texts.end());
        EXPECT_EQ(data->position.x(), rows[i].dataX);
        // the row is a link to its database page
        const Link* row = page.linkAt({300, y + 20});
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->kind, LinkKind::OpenDatabase);
        EXPECT_EQ(page.names[size_t(row->row)], listing.entries[size_t(i)].name);
        EXPECT_EQ(page.linkAt({401, y + 20}), nullptr);
    }
    EXPECT_EQ(page.linkAt({60, 95})->kind, LinkKind::AddUser);
    EXPECT_EQ(page.height, 60 + 152 + 50 * 4);

    // one database with 95 % is red
    listing.entries = {figures("big", 1, 950, 0), figures("small", 1, 50, 0)};
    EXPECT_EQ(serverPage("h", listing).drawing.findText(QStringLiteral("All 95.00%"))->colour, colours::kRed);
    // no bytes at all: empty bars and 0 %, never a division by zero
    listing.entries = {figures("a", 0, 0, 0)};
    const Page zero = serverPage("h", listing);
    EXPECT_EQ(barAt(zero.drawing, 65), (std::vector<BarPart>{{550, 100, colour::kShareRest}}));
    EXPECT_TRUE(barAt(zero.drawing, 125).empty());
    EXPECT_TRUE(zero.drawing.findText(QStringLiteral("All  0.00%")));
    EXPECT_EQ(serverPage("h", SpaceListing{}).height, 60 + 135);  // the databases could not be listed
}

TEST_F(GraphPagesTest, DatabasePageLinksAndTableRows) {
    SpaceListing tables;
    tables.listed = true;
    SpaceFigures t = figures("items", 7, 100, 50);
    t.type = "InnoDB";
    t.rowFormat = "Dynamic";
    t.updateTime = "2026-12-09 03:00:00";
    tables.entries = {t};

    const Page mysql = databasePage("mysql", tables, true);
    EXPECT_FALSE(mysql.drawing.findText(QStringLiteral("Limit Access")) ||
                 mysql.drawing.findText("Limit User"));
    EXPECT_TRUE(mysql.linkAt({60, 95}) == nullptr && mysql.linkAt({200, 95}) == nullptr);
    const Page shop = databasePage("shop", tables, true);
    EXPECT_EQ(shop.linkAt({60, 95})->kind, LinkKind::LimitAccess);
    EXPECT_EQ(shop.linkAt({200, 95})->kind, LinkKind::LimitUser);
    // today's servers have no host table to limit access with
    EXPECT_EQ(databasePage("shop", tables, false).linkAt({60, 95}), nullptr);

    const DrawingList& d = shop.drawing;
    EXPECT_TRUE(d.findText(QStringLiteral("Database： shop")));
    EXPECT_TRUE(d.findText(QStringLiteral("This database is using 150 bytes.")));
    EXPECT_EQ(d.findText(QStringLiteral("items (7 Records)"))->position, QPoint(50, 115));
    const DrawText update = *d.findText(QStringLiteral("Update 2026-12-09 03:00:00"));
    EXPECT_EQ(update.position, QPoint(200, 140));
    EXPECT_EQ(update.colour, colours::kBlue);
    EXPECT_EQ(d.findText(QStringLiteral("(InnoDB Dynamic)"))->position, QPoint(50, 140));
    EXPECT_EQ(shop.linkAt({20, 20})->kind, LinkKind::BackToServer);
    EXPECT_EQ(shop.linkAt({399, 120})->kind, LinkKind::TableStructure);
    EXPECT_EQ(shop.linkAt({400, 120})->kind, LinkKind::TableSize);

    EXPECT_EQ(databasePage("shop", SpaceListing{}, true).height, 110);
}

TEST_F(GraphPagesTest, RightsRowsWriteTheGrantedWordsInTheirColours) {
    RightsListing accounts;
    accounts.read = true;
    RightsRow none = rightsRow("localhost", "", "nobody", std::vector<bool>(14, false), false);
    RightsRow some = rightsRow("", "", "", std::vector<bool>(14, false), true);
    some.granted[0] = some.granted[2] = some.granted[7] = true;  // Select, Update, Shutdown
    accounts.rows = {none, some};
    const Page page = accountsPage(accounts);
    const DrawingList& d = page.drawing;
    EXPECT_EQ(d.findText(QStringLiteral("nobody  (localhost)"))->position, QPoint(50, 110));
    EXPECT_EQ(d.findText(QStringLiteral("No username.  (Specified host does not exist.)"))->position,
              QPoint(50, 160));
    // none of the first row; those of the second in its word line, in their columns
    std::vector<std::tuple<QString, Rgb, QPoint>> words;
    for (const DrawText& w : textsIn(d, FontRole::PageWord))
        words.emplace_back(w.text, w.colour, w.position);
    EXPECT_EQ(words, (decltype(words){{"Select", colours::kBlue, {50, 185}},
                                      {"Update", colours::kRed, {150, 185}},
                                      {"Stop", colour::kLaterWord, {400, 185}}}));
    EXPECT_EQ(page.height, 60 + 125 + 50 * 3);

    // the host rights of a database: the row of every host
    RightsListing hosts;
    hosts.read = true;
    hosts.rows = {rightsRow("%", "shop", "", {true}, true), rightsRow("%", "shop", "", {false}, false),
                  rightsRow("pc1", "shop", "", {false}, true), rightsRow("pc2", "shop", "", {false}, false)};
    const Page access = hostRightsPage("shop", hosts);
    EXPECT_TRUE(access.drawing.findText(QStringLiteral("Limit Access： Database shop")));
    const QString labels[] = {"All access permitted.", "All access denied.", "Access to pc1 permitted",
                              "Access to pc2 denied"};
    const QString icons[] = {icon::kHostRestricted, icon::kHostDenied, icon::kHostRestricted,
                             icon::kHostDenied};
    const auto rowIcons = access.drawing.all<DrawIcon>();
    ASSERT_EQ(rowIcons.size(), 5u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(access.drawing.findText(labels[i])->position, QPoint(50, 110 + 50 * i)) << i;
        EXPECT_EQ(rowIcons[size_t(i) + 1].resource, icons[i]) << i;
    }

    // all hosts: the wildcard and empty names in words, a denying row in red
    hosts.rows = {rightsRow("%", "", "", {true}, true), rightsRow("", "%", "", {false}, false)};
    const Page all = allHostsPage(hosts);
    EXPECT_TRUE(all.drawing.findText(QStringLiteral("All Hosts  (Specified database does not exist.)")));
    EXPECT_TRUE(all.drawing.findText(QStringLiteral("Specified host does not exist.  (All Databases)")));
    EXPECT_EQ(all.drawing.findText(QStringLiteral("Cannot access this host and database."))->position,
              QPoint(450, 185));

    // empty pages
    struct Empty {
        Page page;
        const char* text;
    };
    const Empty empties[] = {
        {hostRightsPage("shop", RightsListing{}), "No access limitations in place."},
        {userRightsPage("shop", RightsListing{}), "No user limitations in place."},
        {allHostsPage(RightsListing{}), "No host limitations in place."},
        {accountsPage(RightsListing{}), "No user limitations in place."},
        {databaseRightsPage(true, {{"shop", readListing({})}}), "There is no database."},
        {databaseRightsPage(false, {}), "There is no database."},
    };
    for (const Empty& e : empties) {
        const auto text = e.page.drawing.findText(QString::fromUtf8(e.text));
        ASSERT_TRUE(text) << e.text;
        EXPECT_EQ(text->colour, colours::kRed);
    }

    // every database: its name, the user of each row in italic, and the unreadable ones
    const RightsListing shopRows = readListing({rightsRow("%", "shop", "clerk", {true, true}, true)});
    const Page databases = databaseRightsPage(
        true, {{"empty", readListing({})}, {"shop", shopRows}, {"locked", RightsListing{}}});
    const DrawingList& dd = databases.drawing;
    EXPECT_FALSE(dd.findText(QStringLiteral("empty")));
    EXPECT_EQ(dd.findText(QStringLiteral("clerk"))->font, FontRole::PageSmallItalic);
    EXPECT_TRUE(dd.findText(QStringLiteral("locked")) && dd.findText(QStringLiteral("There is no data.")));
}

TEST_F(GraphPagesTest, MemoryPageShowsErrorsAndTheHitRateWithoutDividingByZero) {
    MemoryFigures f{"196608", "Error!", "16777216", "0", "400"};
    Page page = memoryPage(f);
    EXPECT_TRUE(page.drawing.findText(QStringLiteral("Error! Byte")));
    EXPECT_TRUE(page.drawing.findText(QStringLiteral("196608 Byte")));
    // an unknown buffer length counts 0: no dark red fill in the buffers
    for (const DrawRect& r : page.drawing.all<DrawRect>())
        EXPECT_FALSE(r.fill == colour::kBufferFill);
    // no key read missed: the whole face is the hit share
    EXPECT_EQ(page.drawing.findText(QStringLiteral("ヒット率: 100.000000%"))->position, QPoint(10, 200));
    auto faces = page.drawing.all<DrawPolygon>();
    ASSERT_EQ(faces.size(), 2u);  // side and one sector
    EXPECT_EQ(faces[1].fill, colours::kRed);
    EXPECT_TRUE(page.drawing.findText(QStringLiteral("Key_read_requests:400")));

    // half the buffer of the packet size, a quarter of the reads missed
    f = {"1", "8192", "16384", "100", "400"};
    page = memoryPage(f);
    int filled = 0;
    for (const DrawRect& r : page.drawing.all<DrawRect>()) {
        if (r.fill == colour::kBufferFill) {
            EXPECT_EQ(r.rect.width(), 100);
            ++filled;
        }
    }
    EXPECT_EQ(filled, 2);
    EXPECT_TRUE(page.drawing.findText(QStringLiteral("ヒット率: 75.000000%")));
    faces = page.drawing.all<DrawPolygon>();
    ASSERT_EQ(faces.size(), 3u);
    EXPECT_EQ(faces[1].fill, colours::kRed);
    EXPECT_EQ(faces[2].fill, colours::kBlue);

    // no key read requested at all
    f.keyReadRequests = "0";
    page = memoryPage(f);
    EXPECT_TRUE(page.drawing.findText(QStringLiteral("ヒット率: 0.000000%")));
    faces = page.drawing.all<DrawPolygon>();
    ASSERT_EQ(faces.size(), 2u);
    EXPECT_EQ(faces[1].fill, colours::kBlue);
}

TEST_F(GraphPagesTest, NumbersAndShares) {
    EXPECT_EQ(numberOf("123"), 123u);
    EXPECT_EQ(numberOf("18446744073709551615"), UINT64_MAX);
    for (const char* notANumber : {"", "Error!", "12a", "-1", " 7"})
        EXPECT_EQ(numberOf(notANumber), 0u) << notANumber;
    EXPECT_EQ(percentOf(5, 0), 0);
    EXPECT_EQ(percentOf(1, 4), 25);
    EXPECT_EQ(shareColour(90.01), colours::kRed);
    EXPECT_EQ(shareColour(90), colours::kBlue);
    EXPECT_EQ(shareColour(50.01), colours::kBlue);
    EXPECT_EQ(shareColour(50), colours::kBlack);
}

}  // namespace
}  // namespace dbk
