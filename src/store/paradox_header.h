#pragma once
// The header and block chain of a Paradox table file, read and checked from
// the file's bytes before any library sees them: a damaged header must give a
// clear error, never a wild read or an endless loop.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace store::paradox {

// Field types as the file stores them.
enum FieldType : std::uint8_t {
    Alpha = 0x01,
    Date = 0x02,
    Short = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Number = 0x06,
    Logical = 0x09,
    Memo = 0x0C,
    Blob = 0x0D,
    FormattedMemo = 0x0E,
    Ole = 0x0F,
    Graphic = 0x10,
    Time = 0x14,
    Timestamp = 0x15,
    AutoInc = 0x16,
    Bcd = 0x17,
    Bytes = 0x18,
};

struct Field {
    std::string rawName;     // in the table's code page
    FieldType type = Alpha;
    int length = 0;          // bytes in the record
    int offset = 0;          // from the start of the record
    int decimals = 0;        // digits after the point of a BCD number
};

struct Header {
    int recordSize = 0;
    int headerSize = 0;
    int blockSize = 0;                 // bytes per data block
    std::int64_t recordCount = 0;
    int codePage = 0;                  // 0 when the file names none
    std::int64_t autoIncrement = 0;    // the table's last automatic number
    std::vector<Field> fields;
};

// Reads and checks the header and the chain of data blocks (each block once,
// each within the file, their records adding up to the header's count); raises
// ImportError (a damaged table) naming `fileLabel` and what is wrong.
Header readHeader(const std::vector<unsigned char>& file, const std::string& fileLabel);

}  // namespace store::paradox
