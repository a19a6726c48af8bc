#include "report/result_report.h"

#include "binding/display_text.h"
#include "engine/scales.h"
#include "store/table.h"
#include "toolkit/report_engine.h"

#include <stdexcept>

namespace report {
namespace {

const QString kTable = QStringLiteral("tbResult");

QString reference(const char* field) { return QStringLiteral("[tbResult.\"%1\"]").arg(QLatin1String(field)); }

toolkit::ReportFont arial(double size, bool bold, bool underline = false)
{
    return toolkit::ReportFont{QStringLiteral("Arial"), size, bold, false, underline};
}

// Eleven lines: the six rows of scales first..first+5 with a blank line between rows.
QStringList scoreBlock(int first, bool labels)
{
    QStringList lines;
    for (int number = first; number < first + 6; ++number) {
        if (number > first)
            lines << QString();
        const engine::Scale& s = engine::scale(number);
        lines << (labels ? QString::fromUtf8(s.reportLabel) : reference(s.field));
    }
    return lines;
}

}  // namespace

toolkit::ReportLayout resultLayout()
{
    toolkit::ReportLayout layout;
    layout.pageSizeMm = QSizeF(210.1, 297.1);
    const QString name = QStringLiteral("Тестируемый: ") + reference("F") + QLatin1Char(' ') + reference("I") +
                         QLatin1Char(' ') + reference("O");
    layout.texts = {
        {QStringLiteral("Memo1"), QRectF(28, 32, 512, 18), arial(12, true, true), {name}, true},
        {QStringLiteral("Memo2"), QRectF(28, 60, 324, 20), arial(10, true),
         {QStringLiteral("Дата тестирования: ") + reference("Dat")}, true},
        {QStringLiteral("Memo9"), QRectF(28, 100, 144, 174), arial(10, false), scoreBlock(1, true), false},
        {QStringLiteral("Memo3"), QRectF(173, 100, 120, 174), arial(10, true), scoreBlock(1, false), false},
        {QStringLiteral("Memo5"), QRectF(324, 100, 208, 174), arial(10, false), scoreBlock(7, true), false},
        {QStringLiteral("Memo4"), QRectF(541, 100, 152, 174), arial(10, true), scoreBlock(7, false), false},
    };
    layout.lines = {{QStringLiteral("Line1"), QPointF(16, 280), QPointF(736, 280), 2}};
    return layout;
}

toolkit::FieldResolver resultResolver(store::Table& results)
{
    return [&results](const QString& table, const QString& field) {
        if (table != kTable)
            throw std::runtime_error("Неизвестная таблица: " + table.toStdString());
        if (!results.active())
            results.open();
        return binding::displayText(results.field(field.toStdString()));
    };
}

toolkit::Report& resultReport()
{
    static toolkit::Report report = [] {
        toolkit::Report r(resultLayout());
        r.setPreferredPrinter(QStringLiteral("Fax"));
        return r;
    }();
    return report;
}

toolkit::BuiltReport buildResultPage(store::Table& results)
{
    // Without a progress callback the build cannot be cancelled.
    return *toolkit::buildReport(resultLayout(), resultResolver(results));
}

}  // namespace report
