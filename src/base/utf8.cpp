#include "base/utf8.h"

namespace base {

char32_t nextUtf8Char(std::string_view text, std::size_t& pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    const int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
    if (extra < 0 || pos + static_cast<std::size_t>(extra) >= text.size()) {
        ++pos;
        return kBadChar;
    }
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int i = 1; i <= extra; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) {
            ++pos;
            return kBadChar;
        }
        c = (c << 6) | (byte(pos + i) & 0x3F);
    }
    // The shortest encoding only, and only Unicode scalar values.
    static const char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (c < kLeast[extra] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
        ++pos;
        return kBadChar;
    }
    pos += extra + 1;
    return c;
}

bool validUtf8(std::string_view text)
{
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t at = pos;
        if (nextUtf8Char(text, pos) == kBadChar && !(pos - at == 3 && text.substr(at, 3) == "\xEF\xBF\xBD"))
            return false;
    }
    return true;
}

namespace {

bool continuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::size_t utf8Length(std::string_view text)
{
    std::size_t count = 0;
    for (const char c : text)
        count += !continuationByte(c);
    return count;
}

std::string_view utf8Prefix(std::string_view text, std::size_t count)
{
    std::size_t end = 0;
    for (std::size_t begun = 0; end < text.size(); ++end) {
        if (!continuationByte(text[end]) && begun++ == count)
            break;
    }
    return text.substr(0, end);
}

std::string utf8Char(char32_t c)
{
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

std::string_view withoutByteOrderMark(std::string_view text)
{
    constexpr std::string_view kMark = "\xEF\xBB\xBF";
    if (text.substr(0, kMark.size()) == kMark)
        text.remove_prefix(kMark.size());
    return text;
}

}  // namespace base
