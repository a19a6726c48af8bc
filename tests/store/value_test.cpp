// Dates and the conversions of field values.
#include "store/value.h"
#include "store/result_table.h"


#include <gtest/gtest.h>

using namespace store;

TEST(Dates, IsoTextBothWays)
{
    EXPECT_EQ((Date{987, 3, 5}).iso(), "0987-03-05");
    EXPECT_EQ(Date::fromIso("2024-02-29"), (Date{2024, 2, 29}));
    EXPECT_EQ(Date::fromIso("2024-02-29 13:45:00"), (Date{2024, 2, 29}));
    EXPECT_EQ(Date::fromIso("2024-02-29T13:45"), (Date{2024, 2, 29}));
    for (const char* bad : {"2023-02-29", "2024-13-01", "2024-1-01", "24-01-01", "2024-01-01x", "", "0000-01-01"})
        EXPECT_FALSE(Date::fromIso(bad)) << bad;
}

TEST(Conversions, NullFailsWithTheFieldNamed)
{
    try {
        toText(Value{}, "Таблица «T.db», поле «O»");
        FAIL();
    } catch (const StoreError& e) {
        EXPECT_STREQ(e.what(), "Таблица «T.db», поле «O»: поле пусто, его нельзя преобразовать в текст");
    }
    EXPECT_THROW(toInt32(Value{}, "x"), StoreError);
    EXPECT_THROW(toInt32(Date{2024, 1, 1}, "x"), StoreError);
    EXPECT_EQ(toText(Date{2024, 1, 2}, "x"), "02.01.2024");
    EXPECT_EQ(toText(std::int64_t{-7}, "x"), "-7");
    EXPECT_EQ(toInt32(std::string(" -12 "), "x"), -12);
    EXPECT_EQ(toInt32(0.5, "x"), 0);
    EXPECT_EQ(toInt32(1.5, "x"), 2);
    EXPECT_EQ(toInt32(std::int64_t{-2147483648LL}, "x"), -2147483648LL);
    EXPECT_THROW(toInt32(std::int64_t{2147483648LL}, "x"), StoreError);
    EXPECT_THROW(toInt32(std::string("12.0"), "x"), StoreError);
}

TEST(Names, FirstCharactersNeverSplitACharacter)
{
    EXPECT_EQ(firstChars("Ёжиков-Щербаков-Южный", 15), "Ёжиков-Щербаков");
    EXPECT_EQ(firstChars("abc", 15), "abc");
    EXPECT_EQ(firstChars("Я😀b", 2), "Я😀");
    EXPECT_EQ(firstChars("Яb", 0), "");
}

