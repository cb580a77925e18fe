#include "graphics/Bounds.h"

#include <gtest/gtest.h>

TEST(Bounds, EmptyOnlyWhenAllZero)
{
    EXPECT_TRUE(Bounds{}.Empty());
    EXPECT_FALSE((Bounds{0, 0, 0, 1}.Empty()));
    EXPECT_FALSE((Bounds{5, 5, 5, 5}.Empty()));
    EXPECT_FALSE(Bounds{}.Contains(0, 0));
}

TEST(Bounds, UnionOfTwoDirtyRectangles)
{
    EXPECT_EQ(Union({10, 10, 20, 20}, {50, 5, 60, 15}), (Bounds{10, 5, 60, 20}));
    EXPECT_EQ(Union({}, {1, 2, 3, 4}), (Bounds{1, 2, 3, 4}));
    EXPECT_EQ(Union({1, 2, 3, 4}, {}), (Bounds{1, 2, 3, 4}));
}

TEST(Bounds, TouchingAtTheRightOrBottomEdgeIntersects)
{
    const Bounds redraw{10, 10, 20, 20};
    // A control whose left edge equals the redraw rectangle's right edge is asked...
    EXPECT_TRUE(Intersects(redraw, {20, 10, 30, 20}));
    // ...one whose right edge equals its left edge is not.
    EXPECT_FALSE(Intersects(redraw, {0, 10, 10, 20}));
    EXPECT_TRUE(Intersects(redraw, {10, 20, 20, 30}));
    EXPECT_FALSE(Intersects(redraw, {}));
    EXPECT_EQ(Clip(redraw, {15, 5, 40, 12}), (Bounds{15, 10, 20, 12}));
    EXPECT_EQ(Clip(redraw, {0, 10, 10, 20}), Bounds{});
}
