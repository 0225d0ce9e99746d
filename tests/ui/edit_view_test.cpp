// EditView, the popup list: where its list goes, and what taps inside and
// outside the list do.
#include <gtest/gtest.h>

#include <QListWidget>
#include <QPointer>

#include <memory>
#include <vector>

#include "support/ui_test_support.h"
#include "ui/edit_view.h"

namespace lightdeck {
namespace {

using lightdeck::testing::click;
using lightdeck::testing::clickListRow;
using lightdeck::testing::processEvents;

class EditViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        panel = std::make_unique<QWidget>();
        ASSERT_TRUE(lightdeck::testing::showWindow(panel.get(), QSize(390, 600)));
        popup = new EditView(QRect(0, 15, 390, 600), panel.get());
        popup->setArrayTitle({"添加", "长按进行操作"});
        popup->setTablePoint(QPoint(195, 60));
        popup->show();
    }

    std::unique_ptr<QWidget> panel;
    QPointer<EditView> popup;
};

TEST_F(EditViewTest, ListIsHalfTheViewWideAndTwoRowsHigh)
{
    EXPECT_EQ(popup->geometry(), QRect(0, 15, 390, 600));
    EXPECT_EQ(popup->tableView()->geometry(), QRect(195, 60, 195, 88));
    EXPECT_EQ(popup->tableView()->count(), 2);
    EXPECT_EQ(popup->tableView()->item(1)->text(), "长按进行操作");
    EXPECT_EQ(popup->tableView()->visualItemRect(popup->tableView()->item(1)).height(), 44);
    EXPECT_EQ(popup->tableView()->selectionMode(), QAbstractItemView::NoSelection);

    popup->setArrayTitle({"修改组名", "删除该组"});
    EXPECT_EQ(popup->arrayTitle(), (QStringList{"修改组名", "删除该组"}));
    EXPECT_EQ(popup->tableView()->item(0)->text(), "修改组名");
}

TEST_F(EditViewTest, TablePointIsKeptWithinTwoThirdsOfTheScreen)
{
    popup->setTablePoint(QPoint(300, 40));  // main screen 390 wide: at most 260
    EXPECT_EQ(popup->tableView()->pos(), QPoint(260, 40));
    popup->setTablePoint(QPoint(260, 40));
    EXPECT_EQ(popup->tableView()->pos(), QPoint(260, 40));
    popup->setTablePoint(QPoint(10, 400));
    EXPECT_EQ(popup->tableView()->pos(), QPoint(10, 400));
}

TEST_F(EditViewTest, RowTapCallsBackThenRemovesThePopup)
{
    std::vector<int> rows;
    bool visibleDuringCallback = false;
    popup->setGetIndex([&](int row) {
        rows.push_back(row);
        visibleDuringCallback = popup->isVisible();
    });
    ASSERT_TRUE(clickListRow(popup->tableView(), 1));
    EXPECT_EQ(rows, std::vector<int>{1});
    EXPECT_TRUE(visibleDuringCallback);  // the entry's action starts first
    EXPECT_FALSE(popup && popup->isVisible());
    processEvents();
    EXPECT_TRUE(popup.isNull());
}

TEST_F(EditViewTest, RowTapWithoutCallbackDoesNothing)
{
    ASSERT_TRUE(clickListRow(popup->tableView(), 0));
    processEvents();
    ASSERT_FALSE(popup.isNull());
    EXPECT_TRUE(popup->isVisible());
}

TEST_F(EditViewTest, TapOutsideTheListRemovesWithoutCalling)
{
    int calls = 0;
    popup->setGetIndex([&](int) { ++calls; });
    click(popup, QPoint(20, 300));
    processEvents();
    EXPECT_TRUE(popup.isNull());
    EXPECT_EQ(calls, 0);
}

TEST_F(EditViewTest, CallbackMayDeleteThePanel)
{
    popup->setGetIndex([&](int) { panel.reset(); });
    ASSERT_TRUE(clickListRow(popup->tableView(), 0));
    processEvents();
    EXPECT_TRUE(popup.isNull());
}

}  // namespace
}  // namespace lightdeck
