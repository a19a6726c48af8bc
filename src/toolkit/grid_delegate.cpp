#include "toolkit/grid_delegate.h"

#include "toolkit/grid_model.h"
#include "toolkit/operator_box.h"

#include <QLineEdit>
#include <QPainter>
#include <QPixmap>

namespace toolkit {

namespace {

constexpr int kTextMargin = 2;

QColor tint(const QColor& colour, const QColor& base)
{
    // A light tint: a third of the colour over the cell background.
    const qreal share = 1.0 / 3.0;
    return QColor::fromRgbF(colour.redF() * share + base.redF() * (1 - share),
                            colour.greenF() * share + base.greenF() * (1 - share),
                            colour.blueF() * share + base.blueF() * (1 - share));
}

bool fewColours()
{
    return QPixmap::defaultDepth() <= 8;
}

}  // namespace

GridDelegate::GridDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

GridDelegate::Colours GridDelegate::coloursFor(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QPalette& palette = option.palette;
    const Colours plain{palette.color(QPalette::Base), palette.color(QPalette::Text)};
    if (!index.data(GridModel::CurrentRowRole).toBool())
        return plain;
    if (index.data(GridModel::CurrentCellRole).toBool()) {
        // The view gives the focus state to its current cell alone.
        if (option.state & QStyle::State_HasFocus)
            return {palette.color(QPalette::Active, QPalette::Highlight),
                    palette.color(QPalette::Active, QPalette::HighlightedText)};
        return plain;
    }
    const bool active = !option.widget || option.widget->isActiveWindow();
    if (fewColours()) {
        if (active)
            return {palette.color(QPalette::Active, QPalette::Highlight),
                    palette.color(QPalette::Active, QPalette::HighlightedText)};
        return {palette.color(QPalette::Button), palette.color(QPalette::Text)};
    }
    const QColor colour = active ? palette.color(QPalette::Active, QPalette::Highlight) : palette.color(QPalette::Dark);
    return {tint(colour, plain.background), plain.text};
}

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const Colours colours = coloursFor(option, index);
    painter->fillRect(option.rect, colours.background);
    const QString text = index.data(Qt::DisplayRole).toString();
    const Qt::Alignment alignment =
        Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()) | Qt::AlignVCenter;
    const QRect textRect = option.rect.adjusted(kTextMargin, 0, -kTextMargin, 0);
    painter->save();
    painter->setClipRect(option.rect);
    painter->setFont(option.font);
    painter->setPen(colours.text);
    painter->drawText(textRect, int(alignment) | Qt::TextSingleLine, text);
    const int mark = index.data(GridModel::SearchMarkRole).toInt();
    if (mark > 0)
        paintSearchMark(painter, textRect, alignment, text, mark);
    painter->restore();
}

void GridDelegate::paintSearchMark(QPainter* painter, const QRect& textRect, Qt::Alignment alignment,
                                   const QString& text, int length) const
{
    // The matched beginning, black on yellow, over the cell's own text.
    const QString mark = text.left(length);
    const QFontMetrics metrics(painter->font());
    int left = textRect.left();
    if (alignment & Qt::AlignRight)
        left = textRect.right() + 1 - metrics.horizontalAdvance(text);
    const QRect markRect(left, textRect.top(), metrics.horizontalAdvance(mark), textRect.height());
    painter->fillRect(markRect, Qt::yellow);
    painter->setPen(Qt::black);
    painter->drawText(markRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, mark);
}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const
{
    auto* editor = new QLineEdit(parent);
    editor->setFrame(false);
    editor->setAlignment(Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()));
    // A character the field cannot hold is never typed, rather than refused afterwards.
    const int length = index.data(GridModel::MaxLengthRole).toInt();
    if (length > 0)
        editor->setMaxLength(length);
    editor_ = editor;
    return editor;
}

void GridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    auto* line = static_cast<QLineEdit*>(editor);
    line->setText(index.data(Qt::EditRole).toString());
    line->selectAll();
}

void GridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    const QString text = static_cast<QLineEdit*>(editor)->text();
    if (text == index.data(Qt::EditRole).toString())
        return;   // an editor opened and left unchanged does not start editing the row
    // The grid's own model, so a refusal reaches the operator with its message.
    if (auto* grid = qobject_cast<GridModel*>(model))
        guarded([&] { grid->setCellText(index.row(), index.column(), text); });
    else
        model->setData(index, text, Qt::EditRole);
}

void GridDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const
{
    editor->setGeometry(option.rect);
}

}  // namespace toolkit
