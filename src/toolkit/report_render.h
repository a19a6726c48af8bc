#pragma once
// Drawing built pages: one function for the preview, the printer and PDF.

#include "toolkit/report_model.h"

class QIODevice;
class QPainter;
class QPrinter;

namespace toolkit {

// Draws one page with its top-left corner at `origin` (device pixels),
// `scale` device pixels per layout unit.
void renderPage(const BuiltReport& report, int page, QPainter& painter, double scale, QPointF origin = {});

// The rectangle (in layout units) of characters [from, from + length) of a run.
QRectF runRect(const TextRun& run, int from, int length);

// Every page, in its own size, as PDF with its fonts embedded. Raises
// std::runtime_error when the device cannot be written.
void writePdf(const BuiltReport& report, QIODevice& device);

// The pages in the printer's page range, as built (the printer's own page
// metrics do not change the layout).
void printReport(const BuiltReport& report, QPrinter& printer);

}  // namespace toolkit
