#pragma once
// The report engine's data: a layout of free objects and the pages built from
// it. Positions and sizes are in layout units of 1.015/93 inch, measured from
// the sheet's top-left corner. Both are plain values, free of any device.

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <vector>

namespace toolkit {

constexpr double kUnitsPerInch = 93.0 / 1.015;
constexpr double kMmPerInch = 25.4;

inline double unitsFromMm(double mm) { return mm / kMmPerInch * kUnitsPerInch; }
inline double mmFromUnits(double units) { return units / kUnitsPerInch * kMmPerInch; }

struct ReportFont {
    QString family;
    double pointSize = 10;
    bool bold = false;
    bool italic = false;
    bool underline = false;

    bool operator==(const ReportFont& o) const
    {
        return family == o.family && pointSize == o.pointSize && bold == o.bold && italic == o.italic &&
               underline == o.underline;
    }
};

// Layout spacing shared by every text box.
constexpr double kTextInsetX = 2;
constexpr double kTextInsetY = 1;
constexpr double kExtraLineSpacing = 2;

// A text box: lines of text that may hold field references such as
// [table."Field"]. Lines wider than the box break at spaces, unless the box
// takes the width of its longest line (autoWidth).
struct ReportTextBox {
    QString name;
    QRectF frame;
    ReportFont font;
    QStringList lines;
    bool autoWidth = false;
};

// A straight line from one point to another, black and solid.
struct ReportLine {
    QString name;
    QPointF from;
    QPointF to;
    double thickness = 1;
};

struct ReportLayout {
    QSizeF pageSizeMm{210, 297};
    std::vector<ReportTextBox> texts;
    std::vector<ReportLine> lines;
};

// One line of text placed on a page; position is the line's top-left corner.
struct TextRun {
    QPointF position;
    QString text;
    ReportFont font;

    bool operator==(const TextRun& o) const
    {
        return position == o.position && text == o.text && font == o.font;
    }
};

struct LineRun {
    QPointF from;
    QPointF to;
    double thickness = 1;

    bool operator==(const LineRun& o) const
    {
        return from == o.from && to == o.to && thickness == o.thickness;
    }
};

struct BuiltPage {
    std::vector<TextRun> texts;
    std::vector<LineRun> lines;

    bool operator==(const BuiltPage& o) const { return texts == o.texts && lines == o.lines; }
};

// The built report: its pages, all of one size (in layout units).
struct BuiltReport {
    QSizeF pageSize;
    std::vector<BuiltPage> pages;

    bool empty() const { return pages.empty(); }
    bool operator==(const BuiltReport& o) const { return pageSize == o.pageSize && pages == o.pages; }
};

}  // namespace toolkit
