#include "toolkit/report_engine.h"

#include "toolkit/report_windows.h"

#include <QPrinterInfo>

namespace toolkit {

Report::Report(ReportLayout layout) : layout_(std::move(layout)) {}

void Report::setPreferredPrinter(const QString& name)
{
    preferredPrinter_ = name;
    selectPreferredPrinter();
}

void Report::selectPreferredPrinter()
{
    if (!preferredPrinter_.isEmpty() && !QPrinterInfo::printerInfo(preferredPrinter_).isNull())
        printerName_ = preferredPrinter_;
}

bool Report::prepare(QWidget* parent)
{
    built_ = {};
    selectPreferredPrinter();
    // The progress window closes with this function, when the build is over.
    const BuildProgress progress = reportWindows().progress(parent);
    try {
        std::optional<BuiltReport> report = buildReport(layout_, resolver_, progress);
        if (!report)
            return false;
        built_ = std::move(*report);
        return true;
    } catch (const ReportError& e) {
        reportWindows().error(e.text(), parent);
        return false;
    }
}

void Report::showPreview(QWidget* parent)
{
    if (built_.empty())
        return;
    reportWindows().preview(built_, printerName_, parent);
}

}  // namespace toolkit
