#pragma once
// The values of Paradox record fields, decoded from their bytes. Each
// decoder says "no value" for bytes that no valid table holds.

#include <iconv.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace store::paradox {

// A field whose bytes are all zero is blank.
bool allZero(const unsigned char* p, int n);

// Integers (n = 1, 2 or 4 bytes) and numbers are stored big-endian with the
// sign bit flipped. A blank short has the bytes -32768 would have, so that
// value cannot be stored; the same holds for INT_MIN in a long.
std::int64_t storedInteger(const unsigned char* p, int n);
double storedNumber(const unsigned char* p);   // 8 bytes

std::optional<std::string> isoDate(std::int64_t day);        // day 1 is 1 January 0001: "YYYY-MM-DD"
std::optional<std::string> isoTime(std::int64_t ms);         // since midnight: "hh:mm:ss[.zzz]"
std::optional<std::string> isoTimestamp(double ms);          // since day 0: "YYYY-MM-DD hh:mm:ss[.zzz]"
std::optional<std::string> decimalText(const unsigned char* p, int decimals);   // 17-byte BCD: "-12.50"

// A memo or blob value that does not fit in its record, found in the bytes of
// the memo file through the ten-byte locator at the end of the field.
std::optional<std::string> memoValue(const std::vector<unsigned char>& memoFile, const unsigned char* locator);
// The value's length as the locator gives it; 0 for a blank value.
std::uint32_t memoLength(const unsigned char* locator);

// Text in a table's code page to UTF-8.
class TextDecoder {
public:
    explicit TextDecoder(int codePage);   // 0: a table of DOS times, Russian text in 866
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    int codePage() const { return codePage_; }
    bool valid() const { return cd_ != iconv_t(-1); }   // false: the code page is not known here
    // A byte that the code page does not define becomes U+FFFD, so the rest of the text survives.
    std::string decode(const char* data, std::size_t length) const;

private:
    int codePage_;
    iconv_t cd_;
};

}  // namespace store::paradox
