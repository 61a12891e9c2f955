#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>

#include "app/drawing_widget.h"
#include "app/main_frame.h"
#include "app/modal_runner.h"
#include "app/scripted_ui_services.h"
#include "browser/left_view.h"
#include "conn/dbkeeper_doc.h"
#include "monitor/db_graph_view.h"
#include "support/test_server.h"
#include "support/ui_support.h"

namespace dbk {
namespace {

using graph::LinkKind;

// A main window logged in with an account, the forms its links open recorded by class name.
class GraphViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        setInterfaceLanguage(Language::English);
        previousRunner_ = setModalRunner([this](QDialog& dialog) {
            opened << QString::fromLatin1(dialog.metaObject()->className());
            dialog.reject();
            return dialog.result();
        });
    }
    void TearDown() override {
        frame.reset();
        setModalRunner(previousRunner_);
    }

    void open(const ConnectParams& p) {
        doc.setLoginPrompt(test::loginPromptFor(p));
        frame = std::make_unique<CMainFrame>(doc);
        frame->resize(1200, 900);
        frame->show();
        frame->leftView()->initialUpdate();
        ASSERT_TRUE(doc.connection().isOpen());
        ui->messages.clear();
        frame->leftView()->setCurrentItem(frame->leftView()->databasesRoot());
    }

    CDbGraphView* view() const { return qobject_cast<CDbGraphView*>(frame->rightView()); }

    const graph::Link* find(LinkKind kind, const std::string& name = {}) const {
        const graph::Page& page = view()->page();
        for (const graph::Link& link : page.links) {
            if (link.kind == kind && (name.empty() || page.names.at(size_t(link.row)) == name))
                return &link;
        }
        return nullptr;
    }

    // Scrolls the link into the pane and clicks it, at page x `x` when given.
    void click(LinkKind kind, const std::string& name = {}, int x = -1) {
        const graph::Link* link = find(kind, name);
        ASSERT_NE(link, nullptr) << int(kind) << " " << name;
        CDbGraphView* v = view();
        const QPoint target(x >= 0 ? x : link->area.center().x(), link->area.center().y());
        v->verticalScrollBar()->setValue(link->area.top() - 5);
        v->horizontalScrollBar()->setValue(std::max(0, target.x() - v->viewport()->width() + 5));
        const QPoint at = target - QPoint(v->horizontalScrollBar()->value(), v->verticalScrollBar()->value());
        ASSERT_TRUE(v->viewport()->rect().contains(at));
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, at);
    }

    test::IsolatedSettings settings;
    ScopedScriptedUi ui;
    CDbkeeperDoc doc;
    std::unique_ptr<CMainFrame> frame;
    QStringList opened;

private:
    ModalRunner previousRunner_;
};

TEST_F(GraphViewTest, DatabaseRowDrillsDownAndTheDatabaseIconComesBack) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_graph_view_drill");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE items (id INT) ENGINE=MyISAM"));
    open(test::adminParams());
    ASSERT_NE(view(), nullptr);
    EXPECT_EQ(view()->page().mode, graph::kServerMode);
    EXPECT_EQ(view()->verticalScrollBar()->maximum(),
              std::max(0, view()->page().height - view()->viewport()->height()));

    // the pointer over a link: the hand, and its text in blue
    const graph::Link* row = find(LinkKind::OpenDatabase, db.name());
    ASSERT_NE(row, nullptr);
    view()->verticalScrollBar()->setValue(row->area.top() - 5);
    const QPoint over = row->area.center() - QPoint(0, view()->verticalScrollBar()->value());
    QTest::mouseMove(view()->viewport(), over);
    EXPECT_EQ(view()->viewport()->cursor().shape(), Qt::PointingHandCursor);

    click(LinkKind::OpenDatabase, db.name());
    EXPECT_EQ(view()->page().mode, graph::kDatabaseMode);
    EXPECT_EQ(doc.context().currentDatabase, db.name());
    EXPECT_TRUE(view()->page().drawing.findText(QStringLiteral("Database： dbk_graph_view_drill")));
    EXPECT_EQ(view()->page().names, std::vector<std::string>{"items"});
    EXPECT_EQ(view()->verticalScrollBar()->value(), 0);

    click(LinkKind::BackToServer);
    EXPECT_EQ(view()->page().mode, graph::kServerMode);
    EXPECT_EQ(doc.context().displayMode, graph::kServerMode);

    // the server page's own links open their forms
    click(LinkKind::ProcessList);
    click(LinkKind::AddUser);
    click(LinkKind::AddDatabase);
    EXPECT_EQ(opened, (QStringList{"dbk::ProcessForm", "dbk::UserInfoForm", "dbk::CreateDatabaseForm"}));
    EXPECT_TRUE(ui->messages.isEmpty());
}

TEST_F(GraphViewTest, AddUserAsANormalUserSaysNoAuthorization) {
    DBK_REQUIRE_SERVER();
    const ConnectParams normal = test::normalUserParams();
    if (normal.user.empty())
        GTEST_SKIP() << "no normal user account";
    open(normal);
    ASSERT_NE(view(), nullptr);
    click(LinkKind::AddUser);
    EXPECT_EQ(ui->messages, QStringList{"No authorization"});
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(GraphViewTest, TableRowOpensTheStructureEditorAndRightOf400TheTableSize) {
    DBK_REQUIRE_SERVER();
    test::ScratchDatabase db("dbk_graph_view_rows");
    ASSERT_TRUE(db.admin().exec("CREATE TABLE first (id INT) ENGINE=MyISAM"));
    ASSERT_TRUE(db.admin().exec("CREATE TABLE second (id INT) ENGINE=MyISAM"));
    open(test::adminParams());
    frame->leftView()->setCurrentItem(frame->leftView()->databaseNode(db.name()));
    ASSERT_NE(view(), nullptr);
    ASSERT_EQ(view()->page().mode, graph::kDatabaseMode);

    click(LinkKind::TableStructure, "second", 100);
    click(LinkKind::TableSize, "second", 600);
    click(LinkKind::LimitUser);
    EXPECT_EQ(opened, (QStringList{"dbk::StructureEditorForm", "dbk::TableSizeForm", "dbk::DatabaseForm"}));
    // this server has no host table to limit access with
    EXPECT_EQ(find(LinkKind::LimitAccess), nullptr);
    EXPECT_EQ(view()->page().mode, graph::kDatabaseMode);
}

// The rights pages with every right granted, each text in the box the painter gives it.
TEST(GraphPagesDrawing, NoTwoTextsOfTheRightsPagesOverlap) {
    for (const Language language : {Language::English, Language::Japanese}) {
        setInterfaceLanguage(language);
        const graph::RightsRow account{"localhost", "shop", "dbk_user", std::vector<bool>(14, true), true};
        graph::RightsRow database = account;
        database.granted.assign(10, true);
        const graph::RightsListing accounts{true, {account, account}};
        const graph::RightsListing rows{true, {database, database}};
        const std::pair<const char*, graph::Page> pages[] = {
            {"accounts", graph::accountsPage(accounts)},
            {"host rights", graph::hostRightsPage("shop", rows)},
            {"user rights", graph::userRightsPage("shop", rows)},
            {"all hosts", graph::allHostsPage(rows)},
            {"database rights", graph::databaseRightsPage(true, {{"shop", rows}})},
        };
        const QFont base = QApplication::font();
        for (const auto& [name, page] : pages) {
            const std::vector<DrawText> texts = page.drawing.all<DrawText>();
            for (size_t i = 0; i < texts.size(); ++i) {
                const QRect box = DrawingWidget::textBox(texts[i], base);
                EXPECT_LE(box.right(), graph::kPageWidth) << name << ": " << texts[i].text.toStdString();
                for (size_t j = i + 1; j < texts.size(); ++j) {
                    EXPECT_FALSE(box.intersects(DrawingWidget::textBox(texts[j], base)))
                        << name << ": \"" << texts[i].text.toStdString() << "\" and \""
                        << texts[j].text.toStdString() << "\"";
                }
            }
        }
    }
}

}  // namespace
}  // namespace dbk
