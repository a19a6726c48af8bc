#include "paradox_maker.h"

extern "C" {
#include <paradox.h>
}

#include <iconv.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace paradox_test {

namespace {

std::string encode(const std::string& utf8, int codePage, int length)
{
    iconv_t cd = iconv_open(("CP" + std::to_string(codePage)).c_str(), "UTF-8");
    if (cd == iconv_t(-1))
        throw std::runtime_error("no converter");
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == std::size_t(-1))
        throw std::runtime_error("text not representable in the code page");
    out.resize(out.size() - outLeft);
    if (out.size() > std::size_t(length))
        out.resize(std::size_t(length));
    return out;
}

void put(pxdoc_t* doc, char* at, const Column& c, const Cell& cell, int codePage)
{
    if (std::holds_alternative<std::monostate>(cell)) {
        std::memset(at, 0, std::size_t(c.length));
    } else if (const auto* text = std::get_if<std::string>(&cell)) {
        if (c.type == pxfBCD) {
            PX_put_data_bcd(doc, at, c.decimals, const_cast<char*>(text->c_str()));
        } else if (c.type == pxfMemoBLOb) {
            std::string bytes = encode(*text, codePage, 1 << 20);
            PX_put_data_blob(doc, at, c.length, bytes.data(), int(bytes.size()));
        } else {
            std::string bytes = encode(*text, codePage, c.length);
            PX_put_data_alpha(doc, at, c.length, bytes.data());
        }
    } else if (const auto* day = std::get_if<Day>(&cell)) {
        PX_put_data_long(doc, at, 4, int(PX_GregorianToSdn(day->year, day->month, day->day) - 1721425));
    } else if (const auto* number = std::get_if<double>(&cell)) {
        // Numbers, currency and timestamps (milliseconds) share one encoding.
        PX_put_data_double(doc, at, 8, *number);
    } else {
        const long v = std::get<long>(cell);
        if (c.type == pxfShort)
            PX_put_data_short(doc, at, 2, short(v));
        else if (c.type == pxfLogical)
            PX_put_data_byte(doc, at, 1, char(v));
        else
            PX_put_data_long(doc, at, 4, int(v));
    }
}

void writeRows(const std::string& path, const std::vector<Column>& columns, long rowCount,
               const std::function<std::vector<Cell>(long)>& row, int codePage, const std::string& memoPath)
{
    pxdoc_t* doc = PX_new();
    // pxlib takes over the field array and frees it with the document.
    auto* fields = static_cast<pxfield_t*>(std::malloc(columns.size() * sizeof(pxfield_t)));
    int recordSize = 0;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        fields[i].px_fname = strdup(columns[i].name.c_str());
        fields[i].px_ftype = char(columns[i].type);
        fields[i].px_flen = columns[i].length;
        fields[i].px_fdc = columns[i].decimals;
        recordSize += columns[i].length;
    }
    if (PX_create_file(doc, fields, int(columns.size()), path.c_str(), pxfFileTypNonIndexDB) < 0)
        throw std::runtime_error("PX_create_file failed");
    PX_set_value(doc, "codepage", float(codePage));
    if (!memoPath.empty() && PX_set_blob_file(doc, memoPath.c_str()) < 0)
        throw std::runtime_error("PX_set_blob_file failed");
    std::vector<char> record(static_cast<std::size_t>(recordSize));
    for (long n = 0; n < rowCount; ++n) {
        const std::vector<Cell> cells = row(n);
        int offset = 0;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            put(doc, record.data() + offset, columns[i], cells[i], codePage);
            offset += columns[i].length;
        }
        if (PX_put_record(doc, record.data()) < 0)
            throw std::runtime_error("PX_put_record failed");
    }
    PX_close(doc);
    PX_delete(doc);
}

}  // namespace

void writeTable(const std::string& path, const std::vector<Column>& columns,
                const std::vector<std::vector<Cell>>& rows, int codePage, const std::string& memoPath)
{
    writeRows(path, columns, long(rows.size()), [&](long n) { return rows[std::size_t(n)]; }, codePage, memoPath);
}

void writeTable(const std::string& path, const std::vector<Column>& columns, long rowCount,
                const std::function<std::vector<Cell>(long)>& row, int codePage)
{
    writeRows(path, columns, rowCount, row, codePage, {});
}

std::vector<Column> resultColumns()
{
    std::vector<Column> c = {{"F", pxfAlpha, 15}, {"I", pxfAlpha, 15}, {"O", pxfAlpha, 15}, {"Dat", pxfDate, 4}};
    for (int k = 1; k <= 12; ++k)
        c.push_back({"Tip" + std::to_string(k), pxfShort, 2});
    c.push_back({"NN", pxfAutoInc, 4});
    return c;
}

long writeLargeResults(const std::string& path, int blocks)
{
    const auto row = [](long n) {
        std::vector<Cell> r = {std::string("Фамилия") + std::to_string(n), std::string("Имя"), std::string("Отчество"),
                               Day{2020, 1, 1 + int(n % 28)}};
        for (int k = 0; k < 12; ++k)
            r.push_back(long(1 + (n + k) % 9));
        r.push_back(n + 1);
        return r;
    };
    writeTable(path, resultColumns(), 1, row);
    std::vector<unsigned char> one = readBytes(path);
    const auto u16 = [&](std::size_t at) { return std::size_t(one[at] | (one[at + 1] << 8)); };
    const std::size_t recordSize = u16(0x00);
    const std::size_t headerSize = u16(0x02);
    const std::size_t blockSize = std::size_t(one[0x05]) * 1024;
    const long perBlock = long((blockSize - 6) / recordSize);

    writeTable(path, resultColumns(), perBlock, row);
    std::vector<unsigned char> full = readBytes(path);
    std::vector<unsigned char> out(full.begin(), full.begin() + long(headerSize));
    const std::vector<unsigned char> block(full.begin() + long(headerSize), full.begin() + long(headerSize + blockSize));
    const auto put16 = [](unsigned char* p, unsigned v) { p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; };
    const auto put32 = [](unsigned char* p, std::uint32_t v) { for (int i = 0; i < 4; ++i) p[i] = (v >> (8 * i)) & 0xFF; };
    for (int b = 1; b <= blocks; ++b) {
        std::vector<unsigned char> copy = block;
        put16(copy.data(), b < blocks ? unsigned(b + 1) : 0);
        put16(copy.data() + 2, unsigned(b - 1));
        for (long r = 0; r < perBlock; ++r) {
            // NN, the last field: big-endian with the sign bit flipped.
            const std::uint32_t nn = std::uint32_t((b - 1) * perBlock + r + 1) ^ 0x80000000u;
            unsigned char* at = copy.data() + 6 + std::size_t(r + 1) * recordSize - 4;
            for (int i = 0; i < 4; ++i)
                at[i] = (nn >> (24 - 8 * i)) & 0xFF;
        }
        out.insert(out.end(), copy.begin(), copy.end());
    }
    const long rows = long(blocks) * perBlock;
    put32(out.data() + 0x06, std::uint32_t(rows));
    put16(out.data() + 0x0A, unsigned(blocks));
    put16(out.data() + 0x0C, unsigned(blocks));
    put16(out.data() + 0x0E, 1);
    put16(out.data() + 0x10, unsigned(blocks));
    put32(out.data() + 0x49, std::uint32_t(rows));
    writeBytes(path, out);
    return rows;
}

std::vector<unsigned char> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<Cell> resultRow(const std::string& f, const std::string& i, const std::string& o, Cell date,
                            std::vector<Cell> tips, long nn)
{
    std::vector<Cell> row = {f, i, o, date};
    tips.resize(12, 5L);
    row.insert(row.end(), tips.begin(), tips.end());
    row.push_back(nn);
    return row;
}

void OldInstallation::writeSubjects(const std::string& name, int codePage)
{
    paradox_test::writeTable(path(name),
                             {{"F", pxfAlpha, 20}, {"I", pxfAlpha, 20}, {"O", pxfAlpha, 20},
                              {"Born", pxfDate, 4}, {"Weight", pxfNumber, 8}, {"Active", pxfLogical, 1}},
                             {{std::string("Иванов"), std::string("Пётр"), std::string("Ильич"), Day{1961, 2, 28}, 72.5, 1L},
                              {std::string("Щукина-Ёлкина Анастасия"), std::string("Ая"), Cell{}, Cell{}, Cell{}, 0L}},
                             codePage);
}

void OldInstallation::writeItems(const std::string& name, int items)
{
    std::vector<std::vector<Cell>> rows;
    for (int k = 1; k <= items; ++k)
        rows.push_back({long(k), "Демонстрационный вопрос № " + std::to_string(k)});
    paradox_test::writeTable(path(name), {{"NumVopros", pxfShort, 2}, {"Vopros", pxfAlpha, 250}}, rows);
}

void OldInstallation::writeResults(const std::string& name)
{
    paradox_test::writeTable(
        path(name), paradox_test::resultColumns(),
        {resultRow("Сидоров", "Иван", "Петрович", Day{2003, 4, 17}, {1L, 9L, -32767L, 32767L}, 3),
         resultRow("Ёжикова", "Мария", "", Cell{}, {Cell{}, -32768L}, 7),
         resultRow("Очень-длинная-фамилия", "А", "Б", Day{1999, 12, 31}, {}, 12)});
}

void OldInstallation::writeAll()
{
    writeSubjects();
    writeItems();
    writeResults();
}

}  // namespace paradox_test
