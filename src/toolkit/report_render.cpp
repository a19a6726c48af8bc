#include "toolkit/report_render.h"

#include "toolkit/report_build.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <stdexcept>

namespace toolkit {
namespace {

constexpr int kPdfResolution = 1200;

QPageSize pageSizeOf(const BuiltReport& report)
{
    // A size within a fraction of a millimetre of a standard sheet is that sheet.
    return QPageSize(QSizeF(mmFromUnits(report.pageSize.width()), mmFromUnits(report.pageSize.height())),
                     QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch);
}

void drawRun(const TextRun& run, QPainter& painter, double scale, QPointF origin)
{
    QFont font = qtFont(run.font);
    // Point size chosen so that one point is the same fraction of a layout unit on every device.
    const double pixels = run.font.pointSize / 72.0 * kUnitsPerInch * scale;
    font.setPointSizeF(pixels * 72.0 / painter.device()->logicalDpiY());
    painter.setFont(font);
    const double baseline = run.position.y() + UnitMetrics(run.font).ascent();
    painter.drawText(origin + QPointF(run.position.x(), baseline) * scale, run.text);
}

}  // namespace

void renderPage(const BuiltReport& report, int page, QPainter& painter, double scale, QPointF origin)
{
    if (page < 0 || page >= int(report.pages.size()))
        return;
    const BuiltPage& p = report.pages[page];
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Qt::black);
    for (const TextRun& run : p.texts)
        drawRun(run, painter, scale, origin);
    for (const LineRun& line : p.lines) {
        painter.setPen(QPen(Qt::black, line.thickness * scale, Qt::SolidLine, Qt::FlatCap));
        painter.drawLine(origin + line.from * scale, origin + line.to * scale);
    }
    painter.restore();
}

QRectF runRect(const TextRun& run, int from, int length)
{
    const UnitMetrics metrics(run.font);
    const double left = metrics.width(run.text.left(from));
    const double width = metrics.width(run.text.mid(from, length));
    return QRectF(run.position.x() + left, run.position.y(), width, metrics.lineHeight());
}

void writePdf(const BuiltReport& report, QIODevice& device)
{
    QPdfWriter writer(&device);
    writer.setResolution(kPdfResolution);
    writer.setPageSize(pageSizeOf(report));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&writer))
        throw std::runtime_error("Не удалось начать запись PDF");
    const double scale = kPdfResolution / kUnitsPerInch;
    for (int page = 0; page < int(report.pages.size()); ++page) {
        if (page > 0)
            writer.newPage();
        renderPage(report, page, painter, scale);
    }
    if (!painter.end())
        throw std::runtime_error("Не удалось записать PDF");
}

void printReport(const BuiltReport& report, QPrinter& printer)
{
    printer.setFullPage(true);
    printer.setPageSize(pageSizeOf(report));
    printer.setPageOrientation(QPageLayout::Portrait);
    const int count = int(report.pages.size());
    int first = 0;
    int last = count - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage() - 1;
        last = std::min(last, printer.toPage() - 1);
    }
    QPainter painter;
    if (first > last || !painter.begin(&printer))
        throw std::runtime_error("Не удалось начать печать");
    // Full-page mode: the painter's origin is the corner of the paper.
    const double scale = printer.resolution() / kUnitsPerInch;
    for (int page = first; page <= last; ++page) {
        if (page > first)
            printer.newPage();
        renderPage(report, page, painter, scale);
    }
    painter.end();
}

}  // namespace toolkit
