#include "toolkit/grid_widget.h"

#include "toolkit/grid_header.h"
#include "toolkit/grid_view.h"

#include <QScrollBar>
#include <QVBoxLayout>

namespace toolkit {

DataGrid::DataGrid(QWidget* parent)
    : QFrame(parent)
    , view_(new GridView(this))
    , footer_(new GridFooter(view_, this))
    , sideways_(new QScrollBar(Qt::Horizontal, this))
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    view_->setFrameStyle(QFrame::NoFrame);
    // The footer sits between the rows and the sideways scroll bar, so the
    // view's own bar is replaced by one under the footer that follows it.
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusProxy(view_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(frameWidth(), frameWidth(), frameWidth(), frameWidth());
    layout->setSpacing(0);
    layout->addWidget(view_);
    layout->addWidget(footer_);
    layout->addWidget(sideways_);

    QScrollBar* own = view_->horizontalScrollBar();
    connect(own, &QScrollBar::rangeChanged, this, &DataGrid::followScrollBar);
    connect(own, &QScrollBar::valueChanged, sideways_, &QScrollBar::setValue);
    connect(sideways_, &QScrollBar::valueChanged, own, &QScrollBar::setValue);
    connect(own, &QScrollBar::valueChanged, footer_, qOverload<>(&QWidget::update));
    QHeaderView* titles = view_->horizontalHeader();
    connect(titles, &QHeaderView::sectionResized, footer_, qOverload<>(&QWidget::update));
    connect(titles, &QHeaderView::geometriesChanged, footer_, qOverload<>(&QWidget::update));
    GridModel* gridModel = view_->gridModel();
    connect(gridModel, &QAbstractItemModel::modelReset, footer_, qOverload<>(&QWidget::update));
    connect(gridModel, &QAbstractItemModel::dataChanged, footer_, qOverload<>(&QWidget::update));
    connect(gridModel, &GridModel::currentRowMoved, footer_, qOverload<>(&QWidget::update));
    followScrollBar();
}

GridModel* DataGrid::model() const
{
    return view_->gridModel();
}

IncrementalSearch* DataGrid::search() const
{
    return view_->search();
}

void DataGrid::setColumns(const QVector<GridColumn>& columns)
{
    model()->setColumns(columns);
    view_->applyMetrics();
}

void DataGrid::setSource(GridSource* source)
{
    search()->setSource(source);
    model()->setSource(source);
}

void DataGrid::setFooterVisible(bool visible)
{
    footer_->setVisible(visible);
}

void DataGrid::setSearchEnabled(bool enabled)
{
    view_->setSearchEnabled(enabled);
}

void DataGrid::setTitleFont(const QFont& font, const QColor& color)
{
    view_->setTitleFont(font, color);
}

void DataGrid::setTitleLines(int lines)
{
    view_->setTitleLines(lines);
}

void DataGrid::finishRow()
{
    view_->finishRow();
}

void DataGrid::followScrollBar()
{
    const QScrollBar* own = view_->horizontalScrollBar();
    sideways_->setRange(own->minimum(), own->maximum());
    sideways_->setPageStep(own->pageStep());
    sideways_->setSingleStep(own->singleStep());
    sideways_->setValue(own->value());
    sideways_->setVisible(own->maximum() > own->minimum());
    footer_->update();
}

}  // namespace toolkit
