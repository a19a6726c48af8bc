#pragma once
// Paints the cells of a data grid (the current row's highlighting and the
// search mark) and edits a cell in place with a line editor.

#include <QStyledItemDelegate>

namespace toolkit {

class GridView;

class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit GridDelegate(GridView* view);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    struct Colours {
        QColor background;
        QColor text;
    };
    Colours coloursFor(const QStyleOptionViewItem& option, const QModelIndex& index) const;
    void paintSearchMark(QPainter* painter, const QRect& textRect, Qt::Alignment alignment, const QString& text) const;

    GridView* view_;
};

}  // namespace toolkit
