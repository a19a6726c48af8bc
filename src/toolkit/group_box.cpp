#include "toolkit/group_box.h"

#include <QPainter>
#include <qdrawutil.h>

namespace toolkit {
namespace {

// The caption's distance from the box's left edge.
constexpr int kCaptionIndent = 8;

}  // namespace

ClassicGroupBox::ClassicGroupBox(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent)
{
}

int ClassicGroupBox::frameTop() const
{
    return fontMetrics().height() / 2;
}

QRect ClassicGroupBox::captionRect() const
{
    const QFontMetrics metrics = fontMetrics();
    return QRect(kCaptionIndent, 0, metrics.horizontalAdvance(title()), metrics.height());
}

void ClassicGroupBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int top = frameTop();
    qDrawShadeRect(&painter, 0, top, width(), height() - top, palette(), true, 1, 0);
    if (title().isEmpty())
        return;
    const QRect caption = captionRect();
    painter.fillRect(caption, palette().color(backgroundRole()));
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title());
}

}  // namespace toolkit
