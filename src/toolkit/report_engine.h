#pragma once
// A report component: a layout, the resolver of its field references, the
// store of built pages, the preferred printer, and the two operations a
// program asks of it: build (with the progress window) and preview. Its
// windows are the ones toolkit::reportWindows() gives.

#include "toolkit/report_build.h"

#include <QString>

#include <functional>

class QWidget;

namespace toolkit {

class Report {
public:
    explicit Report(ReportLayout layout = {});

    const ReportLayout& layout() const { return layout_; }
    void setResolver(FieldResolver resolver) { resolver_ = std::move(resolver); }

    // A printer of this name becomes the report's printer whenever it is
    // installed (now and at each build); otherwise the current one stays.
    void setPreferredPrinter(const QString& name);
    const QString& printerName() const { return printerName_; }

    // Clears the built pages, then builds them with the progress window
    // shown. A text that cannot be evaluated is shown in the "Ошибка" box;
    // after that or a cancel the store stays empty and the result is false.
    bool prepare(QWidget* parent = nullptr);
    // The modal preview over the built pages; nothing when there are none.
    void showPreview(QWidget* parent = nullptr);

    const BuiltReport& built() const { return built_; }

private:
    void selectPreferredPrinter();

    ReportLayout layout_;
    FieldResolver resolver_;
    QString preferredPrinter_;
    QString printerName_;
    BuiltReport built_;
};

}  // namespace toolkit
