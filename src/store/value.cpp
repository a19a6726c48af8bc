#include "store/value.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace store {
namespace {

bool leapYear(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leapYear(y) ? 29 : days[m - 1];
}

// Reads exactly `count` decimal digits at `pos`; -1 when they are not all digits.
int digitsAt(std::string_view text, size_t pos, size_t count)
{
    if (pos + count > text.size())
        return -1;
    int n = 0;
    for (size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        n = n * 10 + (text[i] - '0');
    }
    return n;
}

std::string_view trimmedSpaces(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

// A whole decimal number with an optional sign; nullopt for anything else.
std::optional<std::int64_t> parseWhole(std::string_view s)
{
    s = trimmedSpaces(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.size() > 18)
        return std::nullopt;
    std::int64_t n = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return negative ? -n : n;
}

[[noreturn]] void fail(const std::string& what, const std::string& problem)
{
    throw StoreError(what + ": " + problem);
}

std::int32_t checked32(std::int64_t n, const std::string& what)
{
    if (n < std::numeric_limits<std::int32_t>::min() || n > std::numeric_limits<std::int32_t>::max())
        fail(what, "число " + std::to_string(n) + " не помещается в 32 бита");
    return static_cast<std::int32_t>(n);
}

std::string realText(double r)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15g", r);
    return buffer;
}

}  // namespace

bool Date::valid() const
{
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month);
}

std::string Date::iso() const
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
    return buffer;
}

std::optional<Date> Date::fromIso(std::string_view text)
{
    if (text.size() < 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    // A time of day after the date (as date-time fields hold it) is ignored.
    if (text.size() > 10 && text[10] != ' ' && text[10] != 'T')
        return std::nullopt;
    const Date d{digitsAt(text, 0, 4), digitsAt(text, 5, 2), digitsAt(text, 8, 2)};
    if (!d.valid())
        return std::nullopt;
    return d;
}

std::string toText(const Value& v, const std::string& what)
{
    if (isNull(v))
        fail(what, "поле пусто, его нельзя преобразовать в текст");
    if (const auto* n = std::get_if<std::int64_t>(&v))
        return std::to_string(*n);
    if (const auto* r = std::get_if<double>(&v))
        return realText(*r);
    if (const auto* d = std::get_if<Date>(&v)) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d", d->day, d->month, d->year);
        return buffer;
    }
    return std::get<std::string>(v);
}

std::int32_t toInt32(const Value& v, const std::string& what)
{
    if (isNull(v))
        fail(what, "поле пусто, его нельзя преобразовать в число");
    if (const auto* n = std::get_if<std::int64_t>(&v))
        return checked32(*n, what);
    if (const auto* r = std::get_if<double>(&v)) {
        if (!std::isfinite(*r) || std::fabs(*r) > 4e9)
            fail(what, "число " + realText(*r) + " не помещается в 32 бита");
        // nearbyint rounds half to even in the default rounding mode.
        return checked32(static_cast<std::int64_t>(std::nearbyint(*r)), what);
    }
    if (const auto* s = std::get_if<std::string>(&v)) {
        if (const auto n = parseWhole(*s))
            return checked32(*n, what);
        fail(what, "текст «" + *s + "» не является целым числом");
    }
    fail(what, "дату нельзя преобразовать в число");
}

}  // namespace store
