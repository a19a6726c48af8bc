#include "base/csv.h"

namespace base {
namespace {

bool startsLikeFormula(std::string_view text)
{
    return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

}  // namespace

std::string csvField(std::string_view text, char separator)
{
    const bool formula = startsLikeFormula(text);
    const bool needsQuotes = formula || text.find_first_of("\"\r\n") != std::string_view::npos ||
                             text.find(separator) != std::string_view::npos ||
                             (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!needsQuotes)
        return std::string(text);
    std::string out = formula ? "\"'" : "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

}  // namespace base
