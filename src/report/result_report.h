#pragma once
// The one-page result report: its layout, the values of its field
// references, and the program's report component that holds them.

#include "toolkit/report_build.h"

namespace store {
class Table;
}
namespace toolkit {
class Report;
}

namespace report {

// Seven free objects on an A4 portrait sheet: the name line, the date line,
// the score block (labels and scores, scales 1-6 and 7-12) and the rule.
toolkit::ReportLayout resultLayout();

// References to tbResult read the results table's current row (opening the
// table first when needed): text as stored (blank as nothing), dates in the
// short date format, whole numbers as plain digits. Raises for another
// table or an unknown field.
toolkit::FieldResolver resultResolver(store::Table& results);

// The report component: the layout loaded once, "Fax" as preferred printer.
toolkit::Report& resultReport();

// The page for the current row, without windows. Raises toolkit::ReportError.
toolkit::BuiltReport buildResultPage(store::Table& results);

}  // namespace report
