#pragma once
// Values of table fields as the program sees them.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

namespace store {

// Every failure of the store: a Russian message that names the file and,
// where it applies, the field.
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A calendar date without time.
struct Date {
    int year = 0;
    int month = 0;
    int day = 0;

    bool valid() const;
    std::string iso() const;                                  // "YYYY-MM-DD"
    static std::optional<Date> fromIso(std::string_view text);  // also accepts "YYYY-MM-DD hh:mm:ss"
    bool operator==(const Date& o) const { return year == o.year && month == o.month && day == o.day; }
};

// Null (blank field, or no current row), an integer, a real, a text (UTF-8) or a date.
using Value = std::variant<std::monostate, std::int64_t, double, std::string, Date>;

inline bool isNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

// Conversions that fail on null as the program requires: `what` names the
// field and file in the error message.
std::string toText(const Value& v, const std::string& what);
// Whole numbers keep their value, reals round half to even, text holding a
// whole number is parsed; anything else, or a value outside 32 bits, fails.
std::int32_t toInt32(const Value& v, const std::string& what);

}  // namespace store
