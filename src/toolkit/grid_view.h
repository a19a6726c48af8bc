#pragma once
// The view of a data grid: draws the rows of a GridModel and turns keys into
// cursor moves, searches and edits of the grid source. The cursor is the
// source's current row: moving one moves the other.

#include "toolkit/grid_model.h"
#include "toolkit/incremental_search.h"

#include <QTableView>

namespace toolkit {

class GridDelegate;
class GridHeader;

class GridView : public QTableView {
    Q_OBJECT
public:
    explicit GridView(QWidget* parent = nullptr);

    GridModel* gridModel() const { return model_; }
    IncrementalSearch* search() { return &search_; }
    // Typing searches the focused column; without it a printable key opens the
    // current cell's editor holding that character.
    void setSearchEnabled(bool enabled);
    void setTitleFont(const QFont& font, const QColor& color);
    void setTitleLines(int lines);
    // Recomputes the row height and column widths from the data font.
    void applyMetrics();
    int rowHeight() const;

    // Stores the row being edited or inserted, or drops a new row without
    // input, e.g. before the window closes. Failures go to the error box.
    void finishRow();
    // The row the cursor stands on, with its current column.
    void syncFromSource();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyboardSearch(const QString& search) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool handleSearchKey(QKeyEvent* event);
    bool handleEditingKey(QKeyEvent* event);
    void typeSearch(const QString& text);
    void typeIntoCell(QKeyEvent* event);
    void openEditor();
    void moveSourceTo(int row);
    void leaveRow();
    void insertRow();
    void appendRow();
    void deleteRow();
    void moveByTab(int step);
    void cancelRow();
    void showCurrent(int row);
    bool onLastRow() const;
    bool emptyTable() const;
    bool emptyNewRow() const;

    GridModel* model_;
    GridHeader* titles_;
    GridHeader* indicator_;
    GridDelegate* delegate_;
    IncrementalSearch search_;
    bool searchEnabled_ = true;
    bool syncing_ = false;
    int column_ = 0;
};

}  // namespace toolkit
