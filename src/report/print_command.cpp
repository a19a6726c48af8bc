#include "report/print_command.h"

#include "report/result_report.h"
#include "store/result_table.h"
#include "toolkit/operator_box.h"
#include "toolkit/report_engine.h"

#include <QApplication>

namespace report {

void printCurrentResult(store::Table& results)
{
    try {
        // The filter is off again before any message, whatever happened inside.
        store::withOneRowFilter(results, [&results] {
            toolkit::Report& report = resultReport();
            report.setResolver(resultResolver(results));
            report.prepare(QApplication::activeWindow());
            report.showPreview(QApplication::activeWindow());
        });
    } catch (...) {
        toolkit::operatorBox().message(QStringLiteral("Ошибка печати"));
    }
}

}  // namespace report
