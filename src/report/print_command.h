#pragma once
// The print command of the results summary window.

namespace store {
class Table;
}

namespace report {

// Previews and prints the current row of the results table: filters the table
// to that row, builds the one-page report, shows the modal preview, switches
// the filter off. Failures reach the operator as "Ошибка печати".
void printCurrentResult(store::Table& results);

}  // namespace report
