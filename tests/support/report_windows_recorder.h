#pragma once
// The report's windows for tests: installed while it lives, it records every
// preview and error box instead of showing them and answers each build step
// itself, so no build or preview ever waits for a person.

#include "toolkit/report_windows.h"

#include <QStringList>

#include <functional>
#include <vector>

class ReportWindowsRecorder : public toolkit::ReportWindows {
public:
    ReportWindowsRecorder() { toolkit::setReportWindows(this); }
    ~ReportWindowsRecorder() override { toolkit::setReportWindows(nullptr); }
    ReportWindowsRecorder(const ReportWindowsRecorder&) = delete;
    ReportWindowsRecorder& operator=(const ReportWindowsRecorder&) = delete;

    toolkit::BuildProgress progress(QWidget*) override
    {
        return [this](int done, int total) {
            ++steps;
            if (onStep)
                onStep(done, total);
            return !cancel;
        };
    }
    void preview(const toolkit::BuiltReport& report, const QString& printerName, QWidget*) override
    {
        if (onPreview)
            onPreview(report);
        previews.push_back(report);
        printers << printerName;
    }
    void error(const QString& text, QWidget*) override { errors << text; }

    bool cancel = false;                                     // every build step answers "cancel"
    std::function<void(int done, int total)> onStep;         // runs at each step (may throw)
    std::function<void(const toolkit::BuiltReport&)> onPreview;   // runs as a preview would open
    int steps = 0;
    std::vector<toolkit::BuiltReport> previews;
    QStringList printers;
    QStringList errors;
};
