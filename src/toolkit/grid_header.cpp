#include "toolkit/grid_header.h"

#include "toolkit/grid_view.h"

#include <QPainter>
#include <QPolygon>
#include <qdrawutil.h>

namespace toolkit {

namespace {

constexpr int kIndicatorWidth = 12;
constexpr int kTextMargin = 2;

void paintRaised(QPainter* painter, const QRect& rect, const QPalette& palette)
{
    painter->fillRect(rect, palette.color(QPalette::Button));
    qDrawShadePanel(painter, rect, palette, false, 1);
}

}  // namespace

GridHeader::GridHeader(Qt::Orientation orientation, GridView* view)
    : QHeaderView(orientation, view)
    , titleFont_(view->font())
    , titleColor_(view->palette().color(QPalette::WindowText))
{
    setSectionsClickable(false);
    setHighlightSections(false);
    setSectionsMovable(false);
    if (orientation == Qt::Vertical) {
        // Every row has the same height, which keeps a million rows cheap.
        setSectionResizeMode(QHeaderView::Fixed);
    } else {
        setSectionResizeMode(QHeaderView::Interactive);
        setStretchLastSection(false);
    }
}

void GridHeader::setTitleFont(const QFont& font, const QColor& color)
{
    titleFont_ = font;
    titleColor_ = color;
    updateGeometry();
    viewport()->update();
}

void GridHeader::setTitleLines(int lines)
{
    titleLines_ = lines;
    updateGeometry();
    viewport()->update();
}

QSize GridHeader::sizeHint() const
{
    if (orientation() == Qt::Vertical)
        return QSize(kIndicatorWidth, 0);
    const QFontMetrics metrics(titleFont_);
    return QSize(length(), titleLines_ * metrics.lineSpacing() + 4);
}

void GridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    painter->save();
    paintRaised(painter, rect, palette());
    if (orientation() == Qt::Horizontal)
        paintTitle(painter, rect, logicalIndex);
    else
        paintIndicator(painter, rect, logicalIndex);
    painter->restore();
}

void GridHeader::paintTitle(QPainter* painter, const QRect& rect, int column) const
{
    // Titles wrap at spaces, left-aligned and centred vertically.
    const QString title = model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    painter->setFont(titleFont_);
    painter->setPen(titleColor_);
    painter->setClipRect(rect.adjusted(1, 1, -1, -1));
    painter->drawText(rect.adjusted(kTextMargin, 1, -kTextMargin, -1),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, title);
}

void GridHeader::paintIndicator(QPainter* painter, const QRect& rect, int row) const
{
    // Only the current row has a state.
    const QVariant state = model()->headerData(row, Qt::Vertical, GridModel::RowStateRole);
    if (!state.isValid())
        return;
    painter->setPen(palette().color(QPalette::ButtonText));
    painter->setBrush(palette().color(QPalette::ButtonText));
    const QPoint centre = rect.center();
    switch (GridSource::State(state.toInt())) {
    case GridSource::State::Browse: {
        const QPolygon arrow({QPoint(centre.x() - 2, centre.y() - 4), QPoint(centre.x() + 2, centre.y()),
                              QPoint(centre.x() - 2, centre.y() + 4)});
        painter->drawPolygon(arrow);
        break;
    }
    case GridSource::State::Edit:
        painter->drawText(rect, Qt::AlignCenter, QStringLiteral("I"));
        break;
    case GridSource::State::Insert:
        painter->drawText(rect, Qt::AlignCenter, QStringLiteral("*"));
        break;
    }
}

GridFooter::GridFooter(GridView* view, QWidget* parent)
    : QWidget(parent)
    , view_(view)
{
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize GridFooter::sizeHint() const
{
    return QSize(0, view_->rowHeight());
}

void GridFooter::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const GridModel* model = view_->gridModel();
    const QHeaderView* titles = view_->horizontalHeader();
    // The indicator column's part stays raised like the indicator itself.
    const int left = view_->verticalHeader()->width();
    paintRaised(&painter, QRect(0, 0, left, height()), palette());
    painter.setClipRect(QRect(left, 0, width() - left, height()));
    painter.fillRect(QRect(left, 0, width() - left, height()), Qt::yellow);
    painter.setPen(palette().color(QPalette::WindowText));
    for (int c = 0; c < model->columnCount(); ++c) {
        const QRect cell(left + titles->sectionViewportPosition(c), 0, titles->sectionSize(c), height());
        if (cell.right() < left || cell.left() > width())
            continue;
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(cell.topRight(), cell.bottomRight());
        painter.setPen(palette().color(QPalette::WindowText));
        const Qt::Alignment alignment = model->columns().at(c).footerAlignment | Qt::AlignVCenter;
        painter.drawText(cell.adjusted(kTextMargin, 0, -kTextMargin, 0), int(alignment) | Qt::TextSingleLine,
                         model->footerText(c));
    }
}

}  // namespace toolkit
