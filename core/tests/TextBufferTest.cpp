#include "core/TextBuffer.h"

#include <gtest/gtest.h>

TEST(TextBuffer, EmptyReadsAsEmptyText)
{
    TextBuffer t;
    EXPECT_STREQ(t.Get(), "");
    EXPECT_EQ(t.SizeBytes(), 0);
    EXPECT_TRUE(t.Empty());
}

TEST(TextBuffer, TextOfLengthNTakesNPlusOneBytes)
{
    TextBuffer t;
    ASSERT_TRUE(t.Set("Grovane"));
    EXPECT_EQ(t.SizeBytes(), 8);
    EXPECT_STREQ(t.Get(), "Grovane");
    ASSERT_TRUE(t.Set(""));
    EXPECT_EQ(t.SizeBytes(), 1);
    EXPECT_STREQ(t.Get(), "");
    ASSERT_TRUE(t.Set(nullptr));
    EXPECT_STREQ(t.Get(), "");
}

TEST(TextBuffer, BoundedSetStopsAtNulAndCopiesFromItself)
{
    TextBuffer t;
    const char bytes[] = {'a', 'b', '\0', 'c'};
    ASSERT_TRUE(t.Set(bytes, 4));
    EXPECT_STREQ(t.Get(), "ab");
    ASSERT_TRUE(t.Set("hello world"));
    ASSERT_TRUE(t.Set(t.Get() + 6));
    EXPECT_STREQ(t.Get(), "world");
}
