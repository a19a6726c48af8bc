#include "toolkit/report_build.h"

#include <QFontMetricsF>
#include <QImage>
#include <QRegularExpression>

#include <algorithm>

namespace toolkit {
namespace {

// Text is measured at eight device pixels per layout unit, fine enough that
// hinting does not move the line breaks.
constexpr int kMeasurePixelsPerUnit = 8;

const QImage& measuringDevice()
{
    static const QImage image = [] {
        QImage img(1, 1, QImage::Format_ARGB32);
        const int dotsPerMeter = qRound(kUnitsPerInch * kMeasurePixelsPerUnit / kMmPerInch * 1000);
        img.setDotsPerMeterX(dotsPerMeter);
        img.setDotsPerMeterY(dotsPerMeter);
        return img;
    }();
    return image;
}

QString rightTrimmed(const QString& s)
{
    int end = s.size();
    while (end > 0 && s.at(end - 1) == QLatin1Char(' '))
        --end;
    return s.left(end);
}

void buildText(const ReportTextBox& box, const FieldResolver& resolver, BuiltPage& page)
{
    QString text;
    try {
        text = expandFields(box.lines.join(QLatin1Char('\n')), resolver);
    } catch (const std::exception& e) {
        throw ReportError(box.name, QString::fromUtf8(e.what()));
    }
    const UnitMetrics metrics(box.font);
    const double available = box.frame.width() - 2 * kTextInsetX;
    const double pitch = metrics.linePitch();
    double y = box.frame.top() + kTextInsetY;
    for (const QString& source : text.split(QLatin1Char('\n'))) {
        const QStringList lines = box.autoWidth ? QStringList{source} : wrapLine(source, available, metrics);
        for (const QString& line : lines) {
            if (!line.isEmpty())
                page.texts.push_back({QPointF(box.frame.left() + kTextInsetX, y), line, box.font});
            y += pitch;
        }
    }
}

}  // namespace

ReportError::ReportError(const QString& object, const QString& message)
    : std::runtime_error((object + QStringLiteral(": ") + message).toStdString()), object_(object),
      message_(message)
{
}

QString ReportError::text() const { return object_ + QStringLiteral(": ") + message_; }

QString expandFields(const QString& text, const FieldResolver& resolver)
{
    static const QRegularExpression reference(QLatin1String(R"re(^\s*(\w+)\.(?:"([^"]+)"|(\w+))\s*$)re"),
                                                    QRegularExpression::UseUnicodePropertiesOption);
    QString out;
    int pos = 0;
    while (true) {
        const int open = text.indexOf(QLatin1Char('['), pos);
        if (open < 0)
            break;
        const int close = text.indexOf(QLatin1Char(']'), open);
        if (close < 0)
            throw std::runtime_error("Нет закрывающей скобки в выражении: " + text.mid(open).toStdString());
        const QString expression = text.mid(open + 1, close - open - 1);
        const QRegularExpressionMatch m = reference.match(expression);
        if (!m.hasMatch())
            throw std::runtime_error("Неизвестное выражение: [" + expression.toStdString() + "]");
        const QString field = m.captured(2).isEmpty() ? m.captured(3) : m.captured(2);
        out += text.mid(pos, open - pos);
        out += resolver(m.captured(1), field);
        pos = close + 1;
    }
    out += text.mid(pos);
    return out;
}

struct UnitMetrics::Impl {
    QFontMetricsF fm;
    double pointSize;
};

UnitMetrics::UnitMetrics(const ReportFont& font)
{
    QFont f = qtFont(font);
    f.setPointSizeF(font.pointSize);
    d.reset(new Impl{QFontMetricsF(f, &measuringDevice()), font.pointSize});
}

UnitMetrics::~UnitMetrics() = default;

double UnitMetrics::width(const QString& text) const
{
    return d->fm.horizontalAdvance(text) / kMeasurePixelsPerUnit;
}

double UnitMetrics::ascent() const { return d->fm.ascent() / kMeasurePixelsPerUnit; }

double UnitMetrics::lineHeight() const { return (d->fm.ascent() + d->fm.descent()) / kMeasurePixelsPerUnit; }

double UnitMetrics::linePitch() const { return d->pointSize / 72.0 * kUnitsPerInch + kExtraLineSpacing; }

QFont qtFont(const ReportFont& font)
{
    QFont f(font.family);
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setUnderline(font.underline);
    f.setKerning(false);
    // Metrics must not depend on the device's hinting, or breaks would move.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QStringList wrapLine(const QString& line, double width, const UnitMetrics& metrics)
{
    QStringList out;
    QString rest = line;
    while (metrics.width(rightTrimmed(rest)) > width) {
        // The last space at which the head still fits; else the first one after a word.
        int cut = -1;
        for (int i = rest.indexOf(QLatin1Char(' ')); i >= 0; i = rest.indexOf(QLatin1Char(' '), i + 1)) {
            const QString head = rightTrimmed(rest.left(i));
            if (head.isEmpty())
                continue;
            if (metrics.width(head) > width) {
                if (cut < 0)
                    cut = i;
                break;
            }
            cut = i;
        }
        if (cut < 0 || rightTrimmed(rest.mid(cut + 1)).isEmpty())
            break;
        out << rightTrimmed(rest.left(cut));
        rest = rest.mid(cut + 1);
    }
    out << rest;
    return out;
}

std::optional<BuiltReport> buildReport(const ReportLayout& layout, const FieldResolver& resolver,
                                       const BuildProgress& progress)
{
    BuiltReport report;
    report.pageSize = QSizeF(unitsFromMm(layout.pageSizeMm.width()), unitsFromMm(layout.pageSizeMm.height()));
    BuiltPage page;
    const int total = int(layout.texts.size() + layout.lines.size());
    int done = 0;
    for (const ReportTextBox& box : layout.texts) {
        if (progress && !progress(done++, total))
            return std::nullopt;
        buildText(box, resolver, page);
    }
    for (const ReportLine& line : layout.lines) {
        if (progress && !progress(done++, total))
            return std::nullopt;
        page.lines.push_back({line.from, line.to, line.thickness});
    }
    if (progress && !progress(total, total))
        return std::nullopt;
    report.pages.push_back(std::move(page));
    return report;
}

}  // namespace toolkit
