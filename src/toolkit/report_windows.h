#pragma once
// The report component's modal windows: the progress window of a build, the
// preview, and the box that names a text a build could not evaluate. The
// report reaches them only through reportWindows(); tests install a recorder
// in their place, as they do with the operator box, so no build or preview
// ever waits for a person.

#include "toolkit/report_build.h"

#include <QString>

class QWidget;

namespace toolkit {

class ReportWindows {
public:
    virtual ~ReportWindows() = default;
    // The progress of one build over `parent`: the build calls the returned
    // function with the pages done and the total, and stops when it returns
    // false (the operator cancelled). A window it opens closes when the
    // function is destroyed, that is when the build is over.
    virtual BuildProgress progress(QWidget* parent) = 0;
    // The modal preview over built pages, printing to the named printer
    // (empty: the system's default).
    virtual void preview(const BuiltReport& report, const QString& printerName, QWidget* parent) = 0;
    // The report's own error box: captioned "Ошибка", with an error icon, the
    // text as given.
    virtual void error(const QString& text, QWidget* parent) = 0;
};

// The windows in force: the real ones unless a test installed others.
ReportWindows& reportWindows();
// Installs windows (not owned); nullptr restores the real ones.
void setReportWindows(ReportWindows* windows);

}  // namespace toolkit
