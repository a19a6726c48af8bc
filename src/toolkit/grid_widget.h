#pragma once
// A data grid: titles, row indicator, the rows of a grid source with
// highlighting, incremental search and in-place editing, and an optional
// footer row that scrolls sideways with the columns.

#include "toolkit/grid_model.h"

#include <QFrame>

class QScrollBar;

namespace toolkit {

class GridFooter;
class GridView;
class IncrementalSearch;

class DataGrid : public QFrame {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);

    void setColumns(const QVector<GridColumn>& columns);
    // Not owned; nullptr (or a source that is not open) shows an empty grid.
    void setSource(GridSource* source);
    void setFooterVisible(bool visible);
    void setSearchEnabled(bool enabled);
    void setTitleFont(const QFont& font, const QColor& color);
    // How many text lines high the title row is (two unless set).
    void setTitleLines(int lines);

    GridView* view() const { return view_; }
    GridModel* model() const;
    IncrementalSearch* search() const;
    GridFooter* footer() const { return footer_; }

    // Stores the row being edited, e.g. before the window closes.
    void finishRow();

private:
    void followScrollBar();

    GridView* view_;
    GridFooter* footer_;
    QScrollBar* sideways_;
};

}  // namespace toolkit
