#include "core/TextBuffer.h"

#include <gtest/gtest.h>

#include <cstring>

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

TEST(CopyText, TruncatesToTheFieldAndAlwaysTerminates)
{
    struct Case
    {
        const char* src;
        int size;
        const char* expected;
        int copied;
    };
    const Case cases[] = {
        {"Gain", 8, "Gain", 4}, {"Frequency", 8, "Frequen", 7},
        {"abc", 4, "abc", 3},   {"abcd", 4, "abc", 3},
        {nullptr, 8, "", 0},    {"x", 1, "", 0},
    };
    for (const Case& c : cases)
    {
        char field[12];
        std::memset(field, '#', sizeof field);
        EXPECT_EQ(CopyText(field, c.size, c.src), c.copied) << c.expected;
        EXPECT_STREQ(field, c.expected);
        // Nothing past the field was touched.
        for (int i = c.size; i < static_cast<int>(sizeof field); ++i)
            EXPECT_EQ(field[i], '#') << "byte " << i << " of a " << c.size << "-byte field";
    }
    char untouched = '#';
    EXPECT_EQ(CopyText(&untouched, 0, "abc"), 0);
    EXPECT_EQ(untouched, '#');
    EXPECT_EQ(CopyText(nullptr, 8, "abc"), 0);
}
