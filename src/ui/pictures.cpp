#include "ui/pictures.h"

#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace ui::pictures {
namespace {

constexpr int kSize = 16;

QPixmap drawn(const std::function<void(QPainter&)>& draw)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QPen(Qt::black, 1));
    draw(painter);
    return pixmap;
}

void sheet(QPainter& p, int x, int y, int w, int h)
{
    p.setBrush(Qt::white);
    p.drawRect(x, y, w, h);
}

void textLines(QPainter& p, int x, int y, int w, int count)
{
    p.setPen(QColor(0, 0, 128));
    for (int i = 0; i < count; ++i)
        p.drawLine(x, y + 2 * i, x + w, y + 2 * i);
    p.setPen(Qt::black);
}

}  // namespace

QPixmap stackOfPages()
{
    return drawn([](QPainter& p) {
        sheet(p, 5, 1, 9, 11);
        sheet(p, 3, 2, 9, 11);
        sheet(p, 1, 3, 9, 11);
        textLines(p, 3, 6, 5, 4);
    });
}

QPixmap openBook()
{
    return drawn([](QPainter& p) {
        p.setBrush(QColor(0, 128, 128));
        p.drawRect(0, 3, 15, 11);
        p.setBrush(Qt::white);
        p.drawRect(1, 2, 6, 10);
        p.drawRect(8, 2, 6, 10);
        textLines(p, 2, 4, 4, 4);
        textLines(p, 9, 4, 4, 4);
    });
}

QPixmap pointingHand()
{
    return drawn([](QPainter& p) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(255, 224, 189));
        QPainterPath hand;
        hand.moveTo(1, 6);
        hand.lineTo(13, 6);
        hand.quadTo(15, 7.5, 13, 9);
        hand.lineTo(8, 9);
        hand.lineTo(8, 13);
        hand.quadTo(8, 14, 7, 14);
        hand.lineTo(3, 14);
        hand.quadTo(1, 14, 1, 12);
        hand.closeSubpath();
        p.drawPath(hand);
        p.setBrush(QColor(0, 0, 160));
        p.drawRect(0, 5, 2, 9);
    });
}

QPixmap printer()
{
    return drawn([](QPainter& p) {
        sheet(p, 4, 1, 8, 5);
        p.setBrush(QColor(192, 192, 192));
        p.drawRect(1, 6, 14, 6);
        p.setBrush(Qt::white);
        p.drawRect(4, 10, 8, 5);
        p.setPen(QColor(0, 160, 0));
        p.drawPoint(13, 8);
    });
}

QPixmap door()
{
    return drawn([](QPainter& p) {
        p.setBrush(QColor(128, 128, 128));
        p.drawRect(3, 0, 10, 15);
        p.setBrush(QColor(160, 96, 32));
        p.drawPolygon(QPolygon({{4, 1}, {10, 3}, {10, 15}, {4, 15}}));
        p.setPen(QColor(255, 215, 0));
        p.drawPoint(9, 9);
    });
}

QPixmap documentSheet()
{
    return drawn([](QPainter& p) {
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygon({{2, 0}, {10, 0}, {13, 3}, {13, 15}, {2, 15}}));
        p.drawPolyline(QPolygon({{10, 0}, {10, 3}, {13, 3}}));
        textLines(p, 4, 5, 7, 5);
    });
}

}  // namespace ui::pictures
