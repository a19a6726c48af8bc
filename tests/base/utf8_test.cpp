// Counting and cutting UTF-8 text by characters, as field limits and the
// stored name parts need it.
#include "base/utf8.h"

#include <gtest/gtest.h>

using base::utf8Length;
using base::utf8Prefix;

TEST(Utf8, LengthCountsCharactersNotBytes)
{
    EXPECT_EQ(utf8Length(""), 0u);
    EXPECT_EQ(utf8Length("abc"), 3u);
    EXPECT_EQ(utf8Length("Ёжиков"), 6u);
    EXPECT_EQ(utf8Length("Я😀b"), 3u) << "a four-byte character is one";
    EXPECT_EQ(utf8Length("a\x80\x80"), 1u) << "stray continuation bytes begin nothing";
}

TEST(Utf8, PrefixNeverCutsACharacter)
{
    EXPECT_EQ(utf8Prefix("Ёжиков-Щербаков-Южный", 15), "Ёжиков-Щербаков");
    EXPECT_EQ(utf8Prefix("Я😀b", 2), "Я😀");
    EXPECT_EQ(utf8Prefix("Я😀b", 3), "Я😀b");
    EXPECT_EQ(utf8Prefix("abc", 15), "abc");
    EXPECT_EQ(utf8Prefix("Яb", 0), "");
    EXPECT_EQ(utf8Prefix("", 3), "");
    EXPECT_EQ(utf8Length(utf8Prefix("Щербаков", 4)), 4u);
}
