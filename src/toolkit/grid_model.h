#pragma once
// The model of a data grid: the rows of a grid source in the source's order,
// read by position and cached a block at a time, so only the rows on screen
// are ever read.

#include "toolkit/grid_source.h"

#include <QAbstractTableModel>
#include <QCache>
#include <QPointer>
#include <QVector>

namespace toolkit {

struct GridColumn {
    enum class Footer { None, Text, Count };

    QString field;
    QString title;
    int widthDigits = 10;   // width: digits × width of "0" in the data font, plus 4 pixels
    Qt::Alignment alignment = Qt::AlignLeft;
    Footer footer = Footer::None;
    QString footerText;     // for Footer::Text
    Qt::Alignment footerAlignment = Qt::AlignLeft;
};

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // What the grid's delegate and headers read besides the texts, so they
    // need nothing of the view.
    enum Role {
        // Cell, bool: on the source's current row.
        CurrentRowRole = Qt::UserRole + 1,
        // Cell, bool: the cursor's cell (current row, current column).
        CurrentCellRole,
        // Cell, int: how many leading characters of its text the incremental
        // search has matched; 0 everywhere but the cursor's cell of the
        // searched field.
        SearchMarkRole,
        // Cell, int: the most characters its field holds; 0 for no limit.
        MaxLengthRole,
        // Row indicator (vertical header), int: the source's GridSource::State
        // on the current row; no value on the other rows.
        RowStateRole,
    };

    explicit GridModel(QObject* parent = nullptr);

    void setColumns(const QVector<GridColumn>& columns);
    const QVector<GridColumn>& columns() const { return columns_; }
    // Not owned; nullptr shows an empty grid.
    void setSource(GridSource* source);
    GridSource* source() const { return source_; }
    bool isOpen() const { return source_ && source_->isOpen(); }

    // The source's field behind a column; -1 when the source lacks it.
    int fieldOf(int column) const { return fieldOfColumn_.value(column, -1); }
    // Stored rows: a new row counts only once it is stored.
    int storedRowCount() const;
    QString footerText(int column) const;
    QString cellText(int row, int column) const;
    // Sets a cell of the current row from text, starting to edit the row;
    // raises with the operator's message when the text does not fit.
    void setCellText(int row, int column, const QString& text);

    // The view's current column, which with the source's current row makes
    // the cursor's cell; -1 for none.
    void setCurrentColumn(int column);
    // The incremental search's mark: `length` characters of the cursor's
    // cell when its column shows `field`; a field of -1 or a length of 0
    // shows none.
    void setSearchMark(int field, int length);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // The source's current row changed; -1 when there is none.
    void currentRowMoved(int row);

private:
    static constexpr int kBlockRows = 64;
    using Block = QVector<QStringList>;

    void reload();
    void resolveFields();
    const QStringList* cachedRow(int row) const;
    int currentRow() const { return isOpen() ? source_->currentRow() : -1; }
    void currentRowChanged(const QVector<int>& roles);

    QVector<GridColumn> columns_;
    QVector<int> fieldOfColumn_;
    QPointer<GridSource> source_;
    int rows_ = 0;
    int currentColumn_ = -1;
    int markField_ = -1;
    int markLength_ = 0;
    mutable QCache<int, Block> blocks_;
};

}  // namespace toolkit
