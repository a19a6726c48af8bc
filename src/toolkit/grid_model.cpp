#include "toolkit/grid_model.h"

#include <exception>

namespace toolkit {

namespace {
// Blocks kept: a few screens of rows around the one shown.
constexpr int kCachedBlocks = 16;
}

GridModel::GridModel(QObject* parent)
    : QAbstractTableModel(parent)
{
    blocks_.setMaxCost(kCachedBlocks);
}

void GridModel::setColumns(const QVector<GridColumn>& columns)
{
    beginResetModel();
    columns_ = columns;
    resolveFields();
    endResetModel();
}

void GridModel::setSource(GridSource* source)
{
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    if (source_) {
        connect(source_, &GridSource::reset, this, &GridModel::reload);
        connect(source_, &GridSource::rowChanged, this, [this](int row) {
            blocks_.remove(row / kBlockRows);
            if (row >= 0 && row < rows_)
                emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        });
        connect(source_, &GridSource::cursorMoved, this, &GridModel::currentRowMoved);
    }
    reload();
}

void GridModel::reload()
{
    beginResetModel();
    blocks_.clear();
    resolveFields();
    rows_ = isOpen() ? source_->rowCount() : 0;
    endResetModel();
    emit currentRowMoved(isOpen() ? source_->currentRow() : -1);
}

void GridModel::resolveFields()
{
    fieldOfColumn_.clear();
    for (const GridColumn& column : columns_)
        fieldOfColumn_.append(isOpen() ? source_->fieldIndex(column.field) : -1);
}

int GridModel::storedRowCount() const
{
    if (!isOpen())
        return 0;
    const bool inserting = source_->state() == GridSource::State::Insert;
    return rows_ - (inserting ? 1 : 0);
}

QString GridModel::footerText(int column) const
{
    const GridColumn& c = columns_.at(column);
    switch (c.footer) {
    case GridColumn::Footer::Text:
        return c.footerText;
    case GridColumn::Footer::Count:
        return QString::number(storedRowCount());
    case GridColumn::Footer::None:
        break;
    }
    return QString();
}

const QStringList* GridModel::cachedRow(int row) const
{
    if (row < 0 || row >= rows_)
        return nullptr;
    const int block = row / kBlockRows;
    if (!blocks_.contains(block)) {
        const int first = block * kBlockRows;
        const int last = qMin(rows_, first + kBlockRows);
        auto* rows = new Block;
        rows->reserve(last - first);
        for (int r = first; r < last; ++r)
            rows->append(source_->rowTexts(r));
        blocks_.insert(block, rows);
    }
    return &blocks_.object(block)->at(row - block * kBlockRows);
}

QString GridModel::cellText(int row, int column) const
{
    const QStringList* texts = cachedRow(row);
    return texts ? texts->value(fieldOf(column)) : QString();
}

void GridModel::setCellText(int row, int column, const QString& text)
{
    if (!isOpen() || row != source_->currentRow() || fieldOf(column) < 0)
        return;
    source_->edit();
    source_->setText(fieldOf(column), text);
}

void GridModel::setCurrentColumn(int column)
{
    if (column == currentColumn_)
        return;
    currentColumn_ = column;
    currentRowChanged({CurrentCellRole, SearchMarkRole});
}

void GridModel::setSearchMark(int field, int length)
{
    if (field < 0 || length <= 0) {
        field = -1;
        length = 0;
    }
    if (field == markField_ && length == markLength_)
        return;
    markField_ = field;
    markLength_ = length;
    currentRowChanged({SearchMarkRole});
}

void GridModel::currentRowChanged(const QVector<int>& roles)
{
    const int row = currentRow();
    if (row >= 0 && row < rows_ && !columns_.isEmpty())
        emit dataChanged(index(row, 0), index(row, columnCount() - 1), roles);
}

int GridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int GridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return cellText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(columns_.at(index.column()).alignment | Qt::AlignVCenter);
    case CurrentRowRole:
        return index.row() == currentRow();
    case CurrentCellRole:
        return index.row() == currentRow() && index.column() == currentColumn_;
    case SearchMarkRole: {
        const bool marked = markField_ >= 0 && index.row() == currentRow() && index.column() == currentColumn_ &&
                            fieldOf(index.column()) == markField_;
        return marked ? markLength_ : 0;
    }
    case MaxLengthRole: {
        const int field = fieldOf(index.column());
        return isOpen() && field >= 0 ? source_->maxLength(field) : 0;
    }
    default:
        return QVariant();
    }
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    try {
        setCellText(index.row(), index.column(), value.toString());
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        if (role == RowStateRole && section >= 0 && section == currentRow())
            return int(source_->state());
        return QVariant();
    }
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return columns_.at(section).title;
    return QVariant();
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (fieldOf(index.column()) >= 0)
        f |= Qt::ItemIsEditable;
    return f;
}

}  // namespace toolkit
