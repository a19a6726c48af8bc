#pragma once
// Building a report: field references replaced by their values, text boxes
// broken into lines and placed, all in layout units.

#include "toolkit/report_model.h"

#include <QFont>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

namespace toolkit {

// The value of a field of a table's current row, as text. May raise.
using FieldResolver = std::function<QString(const QString& table, const QString& field)>;

// Called before each object is built; returning false cancels the build.
using BuildProgress = std::function<bool(int done, int total)>;

// A text of the layout that cannot be evaluated: names the object and the error.
class ReportError : public std::runtime_error {
public:
    ReportError(const QString& object, const QString& message);
    const QString& object() const { return object_; }
    const QString& message() const { return message_; }
    QString text() const;   // "Memo1: ..."

private:
    QString object_;
    QString message_;
};

// The text with every [table."Field"] (or [table.Field]) replaced by the
// resolver's value. Raises std::runtime_error for a malformed reference;
// the resolver's own errors pass through.
QString expandFields(const QString& text, const FieldResolver& resolver);

// Text measurement in layout units, the same on every device.
class UnitMetrics {
public:
    explicit UnitMetrics(const ReportFont& font);
    ~UnitMetrics();
    double width(const QString& text) const;
    double ascent() const;
    double lineHeight() const;   // ascent plus descent
    // Top of one line to the top of the next: the font's size plus the
    // layout's extra line spacing. A face's ascent plus descent is taller than
    // its size, so a pitch built on them would not let a box hold the lines
    // its height was made for.
    double linePitch() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// A QFont for the report font (size set by the caller).
QFont qtFont(const ReportFont& font);

// One line broken at spaces into lines no wider than `width` where possible;
// a single word wider than that stays whole.
QStringList wrapLine(const QString& line, double width, const UnitMetrics& metrics);

// Builds the single page of a layout of free objects. Raises ReportError when
// a text cannot be evaluated; nullopt when the progress callback cancels.
std::optional<BuiltReport> buildReport(const ReportLayout& layout, const FieldResolver& resolver,
                                       const BuildProgress& progress = {});

}  // namespace toolkit
