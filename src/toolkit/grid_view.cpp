#include "toolkit/grid_view.h"

#include "toolkit/grid_delegate.h"
#include "toolkit/grid_header.h"
#include "toolkit/operator_box.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QScrollBar>

namespace toolkit {

GridView::GridView(QWidget* parent)
    : QTableView(parent)
    , model_(new GridModel(this))
    , titles_(new GridHeader(Qt::Horizontal, this))
    , indicator_(new GridHeader(Qt::Vertical, this))
    , delegate_(new GridDelegate(this))
    , search_(nullptr)
{
    setHorizontalHeader(titles_);
    setVerticalHeader(indicator_);
    setModel(model_);
    setItemDelegate(delegate_);
    // One current cell and nothing else: no multi-row or block selection.
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::DoubleClicked);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);

    connect(model_, &GridModel::currentRowMoved, this, &GridView::showCurrent);
    connect(model_, &GridModel::modelReset, this, &GridView::syncFromSource);
    connect(model_, &QAbstractItemModel::dataChanged, indicator_->viewport(), qOverload<>(&QWidget::update));
    connect(&search_, &IncrementalSearch::changed, this, [this] {
        const bool marked = search_.active() && !search_.text().isEmpty();
        model_->setSearchMark(marked ? search_.field() : -1, int(search_.text().size()));
        viewport()->update();
    });
    // Scrolling is a cursor move of its own: it ends a search, unless the search scrolled.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (!search_.moving())
            search_.end();
    });
    applyMetrics();
}

void GridView::setSearchEnabled(bool enabled)
{
    searchEnabled_ = enabled;
    if (!enabled)
        search_.end();
}

void GridView::setTitleFont(const QFont& font, const QColor& color)
{
    titles_->setTitleFont(font, color);
    updateGeometries();
}

void GridView::setTitleLines(int lines)
{
    titles_->setTitleLines(lines);
    updateGeometries();
}

int GridView::rowHeight() const
{
    return fontMetrics().height() + 4;
}

void GridView::applyMetrics()
{
    indicator_->setDefaultSectionSize(rowHeight());
    indicator_->setMinimumSectionSize(rowHeight());
    const int digit = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const QVector<GridColumn>& columns = model_->columns();
    for (int c = 0; c < columns.size(); ++c)
        titles_->resizeSection(c, columns.at(c).widthDigits * digit + 4);
}

void GridView::syncFromSource()
{
    const GridSource* source = model_->source();
    showCurrent(model_->isOpen() ? source->currentRow() : -1);
}

void GridView::showCurrent(int row)
{
    const QScopedValueRollback<bool> guard(syncing_, true);
    if (row < 0 || row >= model_->rowCount()) {
        setCurrentIndex(QModelIndex());
    } else {
        const QModelIndex index = model_->index(row, qBound(0, column_, model_->columnCount() - 1));
        setCurrentIndex(index);
        scrollTo(index);
    }
    viewport()->update();
    indicator_->viewport()->update();
}

void GridView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    model_->setCurrentColumn(current.isValid() ? current.column() : -1);
    if (syncing_ || !current.isValid())
        return;
    if (current.column() != column_) {
        column_ = current.column();
        search_.end();
    }
    if (model_->isOpen() && current.row() != model_->source()->currentRow())
        guarded([&] { moveSourceTo(current.row()); });
    // The cursor may have stayed (a row that could not be stored); show where it is.
    if (model_->isOpen() && currentIndex().row() != model_->source()->currentRow())
        syncFromSource();
    indicator_->viewport()->update();
}

void GridView::moveSourceTo(int row)
{
    GridSource* source = model_->source();
    // A new row leaves its place when stored (it goes to the end) or dropped,
    // so the rows below it move up by one.
    const bool inserting = source->state() == GridSource::State::Insert;
    const int newRow = source->currentRow();
    leaveRow();
    if (inserting && row > newRow)
        --row;
    source->setCurrentRow(row);
}

void GridView::leaveRow()
{
    GridSource* source = model_->source();
    if (emptyNewRow())
        source->cancel();
    else if (source->state() != GridSource::State::Browse)
        source->post();
}

void GridView::finishRow()
{
    QWidget* editor = delegate_->openEditor();
    if (state() == QAbstractItemView::EditingState && editor) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    if (model_->isOpen())
        guarded([&] { leaveRow(); });
}

bool GridView::emptyNewRow() const
{
    const GridSource* source = model_->source();
    return model_->isOpen() && source->state() == GridSource::State::Insert && !source->modified();
}

bool GridView::onLastRow() const
{
    return currentIndex().isValid() && currentIndex().row() == model_->rowCount() - 1;
}

bool GridView::emptyTable() const
{
    return model_->isOpen() && model_->rowCount() == 0;
}

bool GridView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // While a search is active no cell can be edited.
    if (search_.active())
        return false;
    return QTableView::edit(index, trigger, event);
}

void GridView::keyboardSearch(const QString&)
{
    // Typing is handled by the incremental search alone.
}

void GridView::keyPressEvent(QKeyEvent* event)
{
    if (search_.active() && handleSearchKey(event))
        return;
    if (handleEditingKey(event))
        return;
    const QString text = event->text();
    const bool command = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    if (!text.isEmpty() && text.at(0).unicode() >= 32 && text.at(0).unicode() != 127 && !command) {
        if (searchEnabled_)
            typeSearch(text);
        else
            typeIntoCell(event);
        return;
    }
    QTableView::keyPressEvent(event);
}

bool GridView::handleSearchKey(QKeyEvent* event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Backspace:
        search_.backspace();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (ctrl) {
            guarded([&] { search_.findNext(shift ? -1 : 1); });
            return true;
        }
        search_.end();
        openEditor();
        return true;
    case Qt::Key_F2:
        search_.end();
        openEditor();
        return true;
    case Qt::Key_Escape:
        search_.end();
        return true;
    default:
        return false;
    }
}

bool GridView::handleEditingKey(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_F:
        if (modifiers != Qt::ControlModifier || !searchEnabled_)
            return false;
        search_.startEmpty(model_->fieldOf(currentIndex().column()));
        return true;
    case Qt::Key_F2:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (modifiers != Qt::NoModifier)
            return false;
        openEditor();
        return true;
    case Qt::Key_Insert:
        if (modifiers != Qt::NoModifier)
            return false;
        guarded([&] { insertRow(); });
        return true;
    case Qt::Key_Delete:
        if (modifiers != Qt::ControlModifier)
            return false;
        guarded([&] { deleteRow(); });
        return true;
    case Qt::Key_Down:
        if (modifiers != Qt::NoModifier || !(onLastRow() || emptyTable()))
            return false;
        guarded([&] { appendRow(); });
        return true;
    case Qt::Key_Tab:
        moveByTab(1);
        return true;
    case Qt::Key_Backtab:
        moveByTab(-1);
        return true;
    case Qt::Key_Escape:
        if (!model_->isOpen() || model_->source()->state() == GridSource::State::Browse) {
            event->ignore();   // the window decides what Esc means to it
            return true;
        }
        cancelRow();
        return true;
    default:
        return false;
    }
}

void GridView::typeIntoCell(QKeyEvent* event)
{
    if (state() == QAbstractItemView::EditingState || !currentIndex().isValid())
        return;
    // The editor opens with the cell's text selected, so the key replaces it.
    if (edit(currentIndex(), QAbstractItemView::EditKeyPressed, nullptr) && delegate_->openEditor())
        QCoreApplication::sendEvent(delegate_->openEditor(), event);
}

void GridView::typeSearch(const QString& text)
{
    if (!searchEnabled_ || state() == QAbstractItemView::EditingState || !currentIndex().isValid())
        return;
    guarded([&] { search_.type(model_->fieldOf(currentIndex().column()), text); });
}

void GridView::openEditor()
{
    if (currentIndex().isValid())
        edit(currentIndex(), QAbstractItemView::EditKeyPressed, nullptr);
}

void GridView::insertRow()
{
    if (!model_->isOpen())
        return;
    leaveRow();
    model_->source()->insertRow();
}

void GridView::appendRow()
{
    // Moving down from a new row without input appends no second one.
    if (!model_->isOpen() || emptyNewRow())
        return;
    leaveRow();
    model_->source()->appendRow();
}

void GridView::deleteRow()
{
    if (!model_->isOpen() || model_->rowCount() == 0)
        return;
    if (!operatorBox().confirm(QStringLiteral("Delete record?")))
        return;
    model_->source()->deleteCurrentRow();
}

void GridView::cancelRow()
{
    if (model_->isOpen())
        guarded([&] { model_->source()->cancel(); });
}

void GridView::moveByTab(int step)
{
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    const int column = current.column() + step;
    const int lastColumn = model_->columnCount() - 1;
    if (column >= 0 && column <= lastColumn) {
        setCurrentIndex(model_->index(current.row(), column));
        return;
    }
    if (step > 0 && onLastRow()) {
        if (!emptyNewRow()) {
            column_ = 0;
            guarded([&] { appendRow(); });
        }
        return;
    }
    const int row = current.row() + step;
    if (row >= 0 && row < model_->rowCount())
        setCurrentIndex(model_->index(row, step > 0 ? 0 : lastColumn));
}

void GridView::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    // A new row without input is dropped when the grid loses the focus, but
    // not when the focus only went to the grid's own cell editor.
    const QWidget* focus = QApplication::focusWidget();
    if (emptyNewRow() && !(focus && isAncestorOf(focus)))
        cancelRow();
    viewport()->update();
}

void GridView::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::ActivationChange)
        viewport()->update();
    if (event->type() == QEvent::FontChange)
        applyMetrics();
}

}  // namespace toolkit
