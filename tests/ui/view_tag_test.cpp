// viewWithTag: root first, then depth-first through child widgets in order,
// so a control screen reaches its mode buttons before the panels that reuse
// the same tag numbers.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QWidget>

#include "ui/view_tag.h"

namespace lightdeck {
namespace {

TEST(ViewTagTest, UntaggedWidgetsHaveTagZero)
{
    QWidget widget;
    EXPECT_EQ(tag(&widget), 0);
    EXPECT_EQ(tag(nullptr), 0);
    setTag(&widget, 1003);
    EXPECT_EQ(tag(&widget), 1003);
    setTag(nullptr, 4);  // ignored
}

TEST(ViewTagTest, SearchIsRootFirstThenDepthFirstInChildOrder)
{
    QWidget root;
    auto* header = new QWidget(&root);
    auto* modeButton = new QPushButton(header);
    setTag(modeButton, 10);
    auto* pages = new QWidget(&root);
    auto* panel = new QWidget(pages);
    auto* colourButton = new QPushButton(panel);
    setTag(colourButton, 10);
    auto* later = new QWidget(&root);
    setTag(later, 11);
    auto* deep = new QWidget(new QWidget(header));
    setTag(deep, 11);

    EXPECT_EQ(viewWithTag(&root, 10), modeButton);
    // A descendant of an earlier child comes before a later child.
    EXPECT_EQ(viewWithTag(&root, 11), deep);
    EXPECT_EQ(viewWithTag(pages, 10), colourButton);
    EXPECT_EQ(viewWithTag(&root, 99), nullptr);
    EXPECT_EQ(viewWithTag(nullptr, 10), nullptr);

    setTag(&root, 10);
    EXPECT_EQ(viewWithTag(&root, 10), &root);
    // Untagged widgets are tag 0: the root matches first.
    EXPECT_EQ(viewWithTag(pages, 0), pages);
}

TEST(ViewTagTest, HiddenWidgetsCountAndNonWidgetsDoNot)
{
    QWidget root;
    auto* helper = new QObject(&root);
    setTag(helper, 5);
    auto* hidden = new QWidget(&root);
    hidden->hide();
    setTag(hidden, 5);
    EXPECT_EQ(viewWithTag(&root, 5), hidden);
}

}  // namespace
}  // namespace lightdeck
