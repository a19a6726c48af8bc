#pragma once
// Built reports saved to and opened from files ("Файл отчета", *.frp): a magic
// header, a format version, then the pages.

#include "toolkit/report_model.h"

#include <stdexcept>

class QIODevice;

namespace toolkit {

// A file that cannot be written, read, or is not a built report; the message
// is ready for the operator.
class ReportFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

extern const char* const kReportFileFilter;   // "Файл отчета (*.frp)"

void writeReport(const BuiltReport& report, QIODevice& device);
BuiltReport readReport(QIODevice& device);   // raises ReportFileError

// Whole files. Saving refuses a path that exists and is not a regular file,
// writes a temporary file beside it, readable and writable by its owner only,
// and replaces the file only once everything is written and flushed; after a
// failure the previous file is unchanged. Opening refuses anything but a
// regular file. Failures raise ReportFileError with a Russian message naming
// the file.
void saveReportFile(const BuiltReport& report, const QString& path);
BuiltReport openReportFile(const QString& path);

}  // namespace toolkit
