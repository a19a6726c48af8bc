#pragma once
// The fixed parts of a data grid around its cells: the title row (titles
// wrapped at spaces, two lines high unless set otherwise), the row indicator
// column, and the footer row under the columns.

#include <QHeaderView>
#include <QWidget>

namespace toolkit {

class GridModel;
class GridView;

// Title row (horizontal) or row indicator (vertical), both with a raised
// look. Both read the model alone: titles and the current row's state.
class GridHeader : public QHeaderView {
    Q_OBJECT
public:
    GridHeader(Qt::Orientation orientation, GridView* view);

    void setTitleFont(const QFont& font, const QColor& color);
    // How many text lines high the title row is.
    void setTitleLines(int lines);
    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    void paintTitle(QPainter* painter, const QRect& rect, int column) const;
    void paintIndicator(QPainter* painter, const QRect& rect, int row) const;

    QFont titleFont_;
    QColor titleColor_;
    int titleLines_ = 2;
};

// One row under the columns, scrolled sideways with them.
class GridFooter : public QWidget {
    Q_OBJECT
public:
    explicit GridFooter(GridView* view, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    GridView* view_;
};

}  // namespace toolkit
