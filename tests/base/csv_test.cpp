// CSV fields as the exports write them: quoting, and texts a spreadsheet would run.
#include "base/csv.h"

#include <gtest/gtest.h>

using base::csvField;

TEST(CsvField, Quoting)
{
    EXPECT_EQ(csvField("Петров"), "Петров");
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(csvField(" lead"), "\" lead\"");
    EXPECT_EQ(csvField(""), "");
    EXPECT_EQ(csvField("a;b"), "a;b");
    EXPECT_EQ(csvField("a;b", ';'), "\"a;b\"");
    EXPECT_EQ(csvField("a,b", ';'), "a,b");
}

TEST(CsvField, TextsThatLookLikeFormulasStayText)
{
    EXPECT_EQ(csvField("=1+2"), "\"'=1+2\"");
    EXPECT_EQ(csvField("+7 900"), "\"'+7 900\"");
    EXPECT_EQ(csvField("-5"), "\"'-5\"");
    EXPECT_EQ(csvField("@SUM(A1)"), "\"'@SUM(A1)\"");
    EXPECT_EQ(csvField("\tx"), "\"'\tx\"");
    EXPECT_EQ(csvField("\rx"), "\"'\rx\"");
    EXPECT_EQ(csvField("=HYPERLINK(\"http://x\";\"y\")", ';'), "\"'=HYPERLINK(\"\"http://x\"\";\"\"y\"\")\"");
    EXPECT_EQ(csvField("a=b"), "a=b") << "only the first character makes a formula";
    EXPECT_EQ(csvField("Иванов-Петров"), "Иванов-Петров");
}
