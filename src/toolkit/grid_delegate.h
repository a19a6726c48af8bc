#pragma once
// Paints the cells of a data grid (the current row's highlighting and the
// search mark) and edits a cell in place with a line editor. It knows only
// the index, its GridModel roles and the style option, never the view.

#include <QPointer>
#include <QStyledItemDelegate>

namespace toolkit {

class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit GridDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The cell editor last opened, while it exists.
    QWidget* openEditor() const { return editor_; }

private:
    struct Colours {
        QColor background;
        QColor text;
    };
    Colours coloursFor(const QStyleOptionViewItem& option, const QModelIndex& index) const;
    void paintSearchMark(QPainter* painter, const QRect& textRect, Qt::Alignment alignment, const QString& text,
                         int length) const;

    mutable QPointer<QWidget> editor_;
};

}  // namespace toolkit
