#pragma once
// Small Paradox tables for the import tests, written with pxlib itself.

#include "temp_dir.h"

#include <cstdint>
#include <functional>
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

// The same for `rowCount` rows made one at a time by `row(n)`, n from 0: a
// large table without holding all of its rows.
void writeTable(const std::string& path, const std::vector<Column>& columns, long rowCount,
                const std::function<std::vector<Cell>(long)>& row, int codePage = 1251);

std::vector<Column> resultColumns();

// A results table of `blocks` full data blocks, NN running 1, 2, ...: the
// rows of one block written through the library and repeated, since writing
// row by row takes far too long for a large table. Returns the rows.
long writeLargeResults(const std::string& path, int blocks);   // F, I, O, Dat, Tip1..Tip12, NN

std::vector<unsigned char> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// A row of resultColumns(): the scales not given are 5.
std::vector<Cell> resultRow(const std::string& f, const std::string& i, const std::string& o, Cell date,
                            std::vector<Cell> tips, long nn);

// A source directory with the three tables of an earlier installation.
struct OldInstallation {
    testsupport::TempDir dir;
    std::string path(const std::string& name) const { return dir.file(name); }

    void writeSubjects(const std::string& name = "TestFam.DB", int codePage = 866);
    void writeItems(const std::string& name = "FpiBd.db", int items = 114);
    void writeResults(const std::string& name = "Result.db");
    void writeAll();
};

}  // namespace paradox_test
