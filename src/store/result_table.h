#pragma once
// The three tables' records: the results table's sixteen fields, appending a
// result row, and the one-row filter used for printing.

#include "store/table.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace store {

constexpr int kNameLength = 15;

// F, I, O, Dat, Tip1..Tip12, NN with kinds, sizes and display labels; the
// scale scores Tip1..Tip12 with the range 1 to 9 that a correction may enter.
std::vector<FieldDef> resultFields();

// The first n characters of a UTF-8 text (never splitting a character).
std::string firstChars(const std::string& utf8, int n);

// Appends a row, sets F, I, O (untrimmed, cut to 15 characters), Tip1..Tip12
// and Dat in that order, then posts it. The stored row becomes current.
void appendResultRow(Table& results, const std::string& surname, const std::string& firstName,
                     const std::string& patronymic, const std::array<std::int32_t, 12>& scores, const Date& date);

// Reads NN of the current row (raising when there is none), filters the table
// to that row, runs `body`, and switches filtering off whatever happened.
// Afterwards the filtered row is current again when it still exists.
void withOneRowFilter(Table& results, const std::function<void()>& body);

// The column list that creates a results table file (see createTableFile).
std::string resultColumnsSql();

// Subjects and questionnaire: the item number of the current row (NumVopros).
std::int32_t itemNumber(const Table& questionnaire);

}  // namespace store
