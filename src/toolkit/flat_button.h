#pragma once
// A flat push button with an optional picture left of its caption. It draws
// a raised edge only while the pointer is over it (sunken while pressed), and
// its caption colour is the window's to set, so windows can colour captions
// as the pointer moves.

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>

namespace toolkit {

class FlatButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit FlatButton(const QString& caption, QWidget* parent = nullptr);

    void setPicture(const QPixmap& picture);
    void setCaptionColor(const QColor& color);
    QColor captionColor() const { return captionColor_; }
    QSize sizeHint() const override;

signals:
    // Every pointer movement over the button, pressed or not.
    void mouseMoved();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
    QColor captionColor_;
};

}  // namespace toolkit
