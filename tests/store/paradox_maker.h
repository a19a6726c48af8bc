#pragma once
// Small Paradox tables for the import tests, written with pxlib itself.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace paradox_test {

struct Column {
    std::string name;   // ASCII
    int type;           // pxf... of paradox.h
    int length;
    int decimals = 0;   // BCD numbers only
};

struct Day {
    int year, month, day;
};

// Null, an integer (short, long, autoincrement, logical), a number, a text
// in UTF-8, or a date.
using Cell = std::variant<std::monostate, long, double, std::string, Day>;

// Writes a table in `codePage` (text converted to it and cut to the field's
// length in bytes, since pxlib does neither). Memo values go to the memo file
// `memoPath` when given. A BCD number is given as text ("-12.50").
void writeTable(const std::string& path, const std::vector<Column>& columns,
                const std::vector<std::vector<Cell>>& rows, int codePage = 1251,
                const std::string& memoPath = {});

std::vector<Column> resultColumns();   // F, I, O, Dat, Tip1..Tip12, NN

std::vector<unsigned char> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);

}  // namespace paradox_test
