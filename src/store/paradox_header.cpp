#include "store/paradox_header.h"

#include "store/paradox_import.h"

#include <set>

namespace store::paradox {

namespace {

// Offsets in the fixed part of the header.
constexpr std::size_t kFixedHeaderSize = 0x58;
constexpr std::size_t kDataHeaderSize = 0x20;   // follows the fixed part in tables of version 4 and later
constexpr std::size_t kBlockHeaderSize = 6;
constexpr int kMaxFieldNameLength = 25;

class Damaged {
public:
    explicit Damaged(std::string label) : label_(std::move(label)) {}
    [[noreturn]] void operator()(const std::string& what) const
    {
        throw ImportError(ImportError::Cause::DamagedTable,
                          "Файл «" + label_ + "» повреждён или не является таблицей Paradox: " + what);
    }

private:
    std::string label_;
};

unsigned u8(const std::vector<unsigned char>& f, std::size_t at) { return f[at]; }
unsigned u16(const std::vector<unsigned char>& f, std::size_t at) { return f[at] | (f[at + 1] << 8); }
std::uint32_t u32(const std::vector<unsigned char>& f, std::size_t at)
{
    return std::uint32_t(u16(f, at)) | (std::uint32_t(u16(f, at + 2)) << 16);
}

// The record length a field of this type takes, or 0 when `stored` (the
// length byte of the header) does not fit the type.
int fieldLength(unsigned type, unsigned stored)
{
    switch (type) {
    case Alpha:
    case Bytes:
        return stored >= 1 ? int(stored) : 0;
    case Date:
    case Long:
    case Time:
    case AutoInc:
        return stored == 4 ? 4 : 0;
    case Short:
        return stored == 2 ? 2 : 0;
    case Currency:
    case Number:
    case Timestamp:
        return stored == 8 ? 8 : 0;
    case Logical:
        return stored == 1 ? 1 : 0;
    case Memo:
    case Blob:
    case FormattedMemo:
    case Ole:
    case Graphic:
        // Ten bytes locate the value in the memo file; the rest holds its start.
        return stored >= 10 && stored <= 250 ? int(stored) : 0;
    case Bcd:
        // The length byte holds the number of decimals; the value takes 17 bytes.
        return stored <= 32 ? 17 : 0;
    default:
        return 0;
    }
}

bool validBlockSizeCode(unsigned code)
{
    return code == 1 || code == 2 || code == 3 || code == 4 || code == 8 || code == 16 || code == 32;
}

void readFields(const std::vector<unsigned char>& file, Header& h, unsigned fieldCount, std::size_t fieldInfoAt,
                std::size_t tableNameLength, const Damaged& damaged)
{
    const std::size_t headerEnd = std::size_t(h.headerSize);
    if (fieldInfoAt + 2 * fieldCount > headerEnd)
        damaged("описания полей не помещаются в заголовок");
    int offset = 0;
    for (unsigned i = 0; i < fieldCount; ++i) {
        const unsigned type = u8(file, fieldInfoAt + 2 * i);
        const unsigned stored = u8(file, fieldInfoAt + 2 * i + 1);
        const int length = fieldLength(type, stored);
        if (length == 0)
            damaged("поле № " + std::to_string(i + 1) + " имеет недопустимый тип или длину");
        h.fields.push_back(Field{{}, FieldType(type), length, offset, type == Bcd ? int(stored) : 0});
        offset += length;
    }
    if (offset != h.recordSize)
        damaged("сумма длин полей (" + std::to_string(offset) + ") не равна длине записи ("
                + std::to_string(h.recordSize) + ")");

    // Then a pointer to the table name, one pointer per field name, the table
    // name in a fixed-size area, and the field names, each ending in a zero byte.
    std::size_t at = fieldInfoAt + 2 * fieldCount + 4 + 4 * fieldCount;
    if (at + tableNameLength > headerEnd)
        damaged("имя таблицы не помещается в заголовок");
    bool tableNameEnds = false;
    for (std::size_t i = 0; i < tableNameLength && !tableNameEnds; ++i)
        tableNameEnds = file[at + i] == 0;
    if (!tableNameEnds)
        damaged("имя таблицы не завершено");
    at += tableNameLength;
    for (unsigned i = 0; i < fieldCount; ++i) {
        std::string name;
        while (at < headerEnd && file[at] != 0 && name.size() <= std::size_t(kMaxFieldNameLength))
            name.push_back(char(file[at++]));
        if (at >= headerEnd || file[at] != 0 || name.empty())
            damaged("имя поля № " + std::to_string(i + 1) + " повреждено");
        ++at;
        h.fields[i].rawName = name;
    }
}

void readBlockChain(const std::vector<unsigned char>& file, Header& h, unsigned blockCount, unsigned firstBlock,
                    const Damaged& damaged)
{
    const std::int64_t capacity = (h.blockSize - std::int64_t(kBlockHeaderSize)) / h.recordSize;
    std::set<unsigned> visited;
    std::int64_t total = 0;
    for (unsigned block = firstBlock; block != 0;) {
        if (block > blockCount || !visited.insert(block).second)
            damaged("нарушена цепочка блоков данных (блок " + std::to_string(block) + ")");
        const std::size_t at = std::size_t(h.headerSize) + std::size_t(block - 1) * std::size_t(h.blockSize);
        const int lastRecordOffset = std::int16_t(u16(file, at + 4));
        if (lastRecordOffset < -h.recordSize || lastRecordOffset % h.recordSize != 0)
            damaged("неверный размер данных в блоке " + std::to_string(block));
        const std::int64_t records = lastRecordOffset / h.recordSize + 1;
        if (records > capacity)
            damaged("блок " + std::to_string(block) + " переполнен");
        total += records;
        block = u16(file, at);
    }
    if (total != h.recordCount)
        damaged("в заголовке " + std::to_string(h.recordCount) + " записей, а в блоках " + std::to_string(total));
}

}  // namespace

Header readHeader(const std::vector<unsigned char>& file, const std::string& fileLabel)
{
    const Damaged damaged(fileLabel);
    if (file.size() < kFixedHeaderSize)
        damaged("файл слишком короткий");

    Header h;
    h.recordSize = int(u16(file, 0x00));
    h.headerSize = int(u16(file, 0x02));
    const unsigned fileType = u8(file, 0x04);
    const unsigned blockSizeCode = u8(file, 0x05);
    h.recordCount = u32(file, 0x06);
    const unsigned blockCount = u16(file, 0x0C);
    const unsigned firstBlock = u16(file, 0x0E);
    const unsigned fieldCount = u16(file, 0x21);
    const std::uint32_t encryption = u32(file, 0x25);
    const unsigned version = u8(file, 0x39);
    h.autoIncrement = u32(file, 0x49);

    // Types 0 and 2 are the data files of keyed and unkeyed tables; the rest are indexes.
    if (fileType != 0 && fileType != 2)
        damaged("это не файл данных таблицы (тип файла " + std::to_string(fileType) + ")");
    if (version < 3 || version > 12)
        damaged("неизвестная версия формата (" + std::to_string(version) + ")");
    if (!validBlockSizeCode(blockSizeCode))
        damaged("недопустимый размер блока");
    h.blockSize = int(blockSizeCode) * 1024;
    if (h.recordSize == 0 || h.recordSize > h.blockSize - int(kBlockHeaderSize))
        damaged("недопустимая длина записи (" + std::to_string(h.recordSize) + ")");
    if (fieldCount == 0 || fieldCount > 255)
        damaged("недопустимое число полей (" + std::to_string(fieldCount) + ")");
    if (std::size_t(h.headerSize) < kFixedHeaderSize || std::size_t(h.headerSize) > file.size())
        damaged("недопустимый размер заголовка");
    if (std::uint64_t(h.headerSize) + std::uint64_t(blockCount) * std::uint64_t(h.blockSize) > file.size())
        damaged("файл короче, чем указано в заголовке (обрезан?)");
    if (std::uint64_t(h.recordCount) * std::uint64_t(h.recordSize) > file.size())
        damaged("число записей в заголовке (" + std::to_string(h.recordCount) + ") больше, чем помещается в файле");

    const bool hasDataHeader = version >= 5;
    if (hasDataHeader && std::size_t(h.headerSize) < kFixedHeaderSize + kDataHeaderSize)
        damaged("недопустимый размер заголовка");
    const std::uint32_t encryption2 = hasDataHeader ? u32(file, 0x5C) : 0;
    if ((encryption != 0 && encryption != 0xFF00FF00u) || (encryption == 0xFF00FF00u && encryption2 != 0))
        throw ImportError(ImportError::Cause::DamagedTable,
                          "Таблица «" + fileLabel + "» защищена паролем: снимите пароль в прежней программе и повторите перенос");
    h.codePage = hasDataHeader ? int(u16(file, 0x6A)) : 0;

    const std::size_t fieldInfoAt = hasDataHeader ? kFixedHeaderSize + kDataHeaderSize : kFixedHeaderSize;
    const std::size_t tableNameLength = version >= 12 ? 261 : 79;
    readFields(file, h, fieldCount, fieldInfoAt, tableNameLength, damaged);
    readBlockChain(file, h, blockCount, firstBlock, damaged);
    return h;
}

}  // namespace store::paradox
