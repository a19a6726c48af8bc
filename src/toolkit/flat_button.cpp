#include "toolkit/flat_button.h"

#include <QMouseEvent>
#include <QPainter>
#include <qdrawutil.h>

namespace toolkit {
namespace {
constexpr int kPictureGap = 4;
}

FlatButton::FlatButton(const QString& caption, QWidget* parent)
    : QAbstractButton(parent)
    , captionColor_(palette().color(QPalette::WindowText))
{
    setText(caption);
    setMouseTracking(true);
    // Repaints on entering and leaving, for the raised edge.
    setAttribute(Qt::WA_Hover);
}

void FlatButton::setPicture(const QPixmap& picture)
{
    picture_ = picture;
    update();
}

void FlatButton::setCaptionColor(const QColor& color)
{
    if (color == captionColor_)
        return;
    captionColor_ = color;
    update();
}

QSize FlatButton::sizeHint() const
{
    const QSize textSize = fontMetrics().size(Qt::TextSingleLine, text());
    const int pictureWidth = picture_.isNull() ? 0 : picture_.width() + kPictureGap;
    return {textSize.width() + pictureWidth + 12, qMax(textSize.height(), picture_.height()) + 10};
}

void FlatButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool sunken = isDown() || isChecked();
    if (sunken || underMouse())
        qDrawShadePanel(&painter, rect(), palette(), sunken, 1);

    // Picture and caption form one centred group, shifted by a pixel when pressed.
    const QSize textSize = fontMetrics().size(Qt::TextSingleLine, text());
    const int pictureWidth = picture_.isNull() ? 0 : picture_.width() + kPictureGap;
    const int offset = sunken ? 1 : 0;
    int x = (width() - textSize.width() - pictureWidth) / 2 + offset;
    if (!picture_.isNull()) {
        painter.drawPixmap(x, (height() - picture_.height()) / 2 + offset, picture_);
        x += pictureWidth;
    }
    painter.setPen(isEnabled() ? captionColor_ : palette().color(QPalette::Disabled, QPalette::WindowText));
    painter.drawText(QRect(x, offset, textSize.width(), height()), Qt::AlignVCenter | Qt::AlignLeft, text());
}

void FlatButton::mouseMoveEvent(QMouseEvent* event)
{
    emit mouseMoved();
    QAbstractButton::mouseMoveEvent(event);
    // The window behind must not take this movement as one over its background.
    event->accept();
}

}  // namespace toolkit
