#include "store/paradox_values.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace store::paradox {

namespace {

constexpr std::int64_t kMsPerDay = 86400000;

std::uint64_t bigEndian(const unsigned char* p, int n)
{
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i)
        v = (v << 8) | p[i];
    return v;
}

std::uint32_t littleEndian32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

std::optional<std::string> slice(const std::vector<unsigned char>& bytes, std::size_t start, std::uint32_t size)
{
    if (start + size > bytes.size())
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(bytes.data() + start), size);
}

}  // namespace

bool allZero(const unsigned char* p, int n)
{
    return std::all_of(p, p + n, [](unsigned char b) { return b == 0; });
}

std::int64_t storedInteger(const unsigned char* p, int n)
{
    const std::uint64_t signBit = std::uint64_t(1) << (8 * n - 1);
    const std::uint64_t raw = bigEndian(p, n) ^ signBit;
    return (raw & signBit) ? std::int64_t(raw) - std::int64_t(signBit << 1) : std::int64_t(raw);
}

double storedNumber(const unsigned char* p)
{
    unsigned char b[8];
    std::copy(p, p + 8, b);
    if (b[0] & 0x80)
        b[0] &= 0x7F;
    else
        for (unsigned char& x : b)
            x = static_cast<unsigned char>(~x);
    const std::uint64_t bits = bigEndian(b, 8);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

std::optional<std::string> isoDate(std::int64_t day)
{
    constexpr std::int64_t kLastDay = 3652059;   // 31 December 9999
    if (day < 1 || day > kLastDay)
        return std::nullopt;
    // The civil date from the days since 1 March of year 0, of which 1 January 0001 is day 306.
    const std::int64_t z = day - 1 + 306;
    const std::int64_t era = z / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = int(doy - (153 * mp + 2) / 5 + 1);
    const int m = int(mp < 10 ? mp + 3 : mp - 9);
    const int y = int(yoe + era * 400 + (m <= 2 ? 1 : 0));
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
    return std::string(text);
}

std::optional<std::string> isoTime(std::int64_t ms)
{
    if (ms < 0 || ms >= kMsPerDay)
        return std::nullopt;
    const int seconds = int(ms / 1000);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    std::string result = text;
    if (ms % 1000 != 0) {
        std::snprintf(text, sizeof text, ".%03d", int(ms % 1000));
        result += text;
    }
    return result;
}

std::optional<std::string> isoTimestamp(double ms)
{
    if (!std::isfinite(ms) || ms < 0 || ms >= 3652060.0 * kMsPerDay)
        return std::nullopt;
    const std::int64_t whole = std::llround(ms);
    const auto date = isoDate(whole / kMsPerDay);
    if (!date)
        return std::nullopt;
    return *date + " " + *isoTime(whole % kMsPerDay);
}

// Byte 0 holds the sign (bit 7 set for positive) and the number of decimals;
// 32 digits follow, complemented for negative numbers.
std::optional<std::string> decimalText(const unsigned char* p, int decimals)
{
    if ((p[0] & 0x3F) != decimals)
        return std::nullopt;
    const bool negative = !(p[0] & 0x80);
    const unsigned flip = negative ? 0x0F : 0x00;
    std::string whole;
    std::string fraction;
    for (int i = 2; i < 34; ++i) {
        const unsigned nibble = ((i % 2) ? (p[i / 2] & 0x0F) : (p[i / 2] >> 4)) ^ flip;
        if (nibble > 9)
            return std::nullopt;
        (i < 34 - decimals ? whole : fraction) += char('0' + nibble);
    }
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    if (whole.empty())
        whole = "0";
    return (negative ? "-" : "") + whole + (fraction.empty() ? "" : "." + fraction);
}

std::uint32_t memoLength(const unsigned char* locator) { return littleEndian32(locator + 4); }

// The locator holds the value's offset in the memo file (in 4 KB blocks) with
// an index in its low byte. A block of type 2 holds one value after a 9-byte
// header; a block of type 3 holds up to 64 small values listed in a table
// after its 12-byte header, 5 bytes per entry (start and length in 16-byte units).
std::optional<std::string> memoValue(const std::vector<unsigned char>& memoFile, const unsigned char* locator)
{
    const std::uint32_t pointer = littleEndian32(locator);
    const std::uint32_t size = memoLength(locator);
    const std::size_t offset = pointer & 0xFFFFFF00u;
    const unsigned index = pointer & 0xFFu;
    if (offset == 0 || offset + 12 > memoFile.size())
        return std::nullopt;
    const unsigned blockType = memoFile[offset];
    if (blockType == 2 && index == 0xFF) {
        if (littleEndian32(&memoFile[offset + 3]) != size)
            return std::nullopt;
        return slice(memoFile, offset + 9, size);
    }
    if (blockType == 3 && index < 64) {
        const std::size_t entry = offset + 12 + index * 5;
        if (entry + 5 > memoFile.size())
            return std::nullopt;
        const std::int64_t stored = (std::int64_t(memoFile[entry + 1]) - 1) * 16 + memoFile[entry + 4];
        if (stored != std::int64_t(size))
            return std::nullopt;
        return slice(memoFile, offset + std::size_t(memoFile[entry]) * 16, size);
    }
    return std::nullopt;
}

TextDecoder::TextDecoder(int codePage)
    : codePage_(codePage == 0 ? 866 : codePage),
      cd_(iconv_open("UTF-8", ("CP" + std::to_string(codePage_)).c_str()))
{
}

TextDecoder::~TextDecoder()
{
    if (valid())
        iconv_close(cd_);
}

std::string TextDecoder::decode(const char* data, std::size_t length) const
{
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    char* in = const_cast<char*>(data);
    std::size_t inLeft = length;
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t result = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, std::size_t(outPtr - buffer));
        if (result == std::size_t(-1) && errno != E2BIG) {
            out += "\xEF\xBF\xBD";
            ++in;
            --inLeft;
        }
    }
    return out;
}

}  // namespace store::paradox
