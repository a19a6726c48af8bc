// The one display text of stored values: every kind, in the locale the
// windows use and in another one, so no window or report can show a value
// its own way.
#include "binding/display_text.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <cstdint>
#include <limits>

using binding::displayText;

namespace {

// The default locale for one test, restored afterwards.
class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) : saved_(QLocale()) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(saved_); }

private:
    QLocale saved_;
};

}  // namespace

TEST(DisplayText, EveryKindOfValueInTheProgramsLocale)
{
    EXPECT_TRUE(displayText(store::Value()).isNull());

    EXPECT_EQ(displayText(std::int64_t(-12)), QStringLiteral("-12"));
    EXPECT_EQ(displayText(std::int64_t(1234567)), QStringLiteral("1234567")) << "no digit grouping";
    EXPECT_EQ(displayText(std::numeric_limits<std::int64_t>::min()), QStringLiteral("-9223372036854775808"));

    // Reals: the locale's decimal comma, every digit that tells the value
    // apart, no grouping and no exponent for an ordinary score.
    EXPECT_EQ(displayText(2.5), QStringLiteral("2,5"));
    EXPECT_EQ(displayText(-0.125), QStringLiteral("-0,125"));
    EXPECT_EQ(displayText(1234567.5), QStringLiteral("1234567,5"));
    EXPECT_EQ(displayText(0.1 + 0.2), QStringLiteral("0,30000000000000004"));
    EXPECT_EQ(displayText(7.0), QStringLiteral("7"));

    EXPECT_EQ(displayText(std::string("Ёж")), QStringLiteral("Ёж"));
    EXPECT_EQ(displayText(std::string()), QString());
    EXPECT_EQ(displayText(std::string("  Иванов ")), QStringLiteral("  Иванов ")) << "stored text is shown as stored";

    EXPECT_EQ(displayText(store::Date{2024, 3, 1}), QStringLiteral("01.03.2024"));
    EXPECT_EQ(displayText(store::Date{1999, 12, 31}), QStringLiteral("31.12.1999"));
    EXPECT_TRUE(displayText(store::Date{2023, 2, 29}).isEmpty()) << "an impossible date shows nothing";
    EXPECT_TRUE(displayText(store::Date{}).isEmpty());
}

TEST(DisplayText, RealsAndDatesFollowTheLocale)
{
    const LocaleScope english(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(displayText(2.5), QStringLiteral("2.5"));
    EXPECT_EQ(displayText(1234567.5), QStringLiteral("1234567.5"));
    EXPECT_EQ(displayText(store::Date{2024, 3, 1}), QStringLiteral("3/1/24"));
    EXPECT_EQ(displayText(std::int64_t(1234567)), QStringLiteral("1234567"));
}
