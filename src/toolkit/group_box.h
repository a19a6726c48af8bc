#pragma once
// A group box drawn the classic way: an etched frame whose top line runs
// through the middle of the caption, the caption set into the line near its
// left end. Child controls keep the positions they are given, measured from
// the box's top-left corner, which is the top of the caption.

#include <QGroupBox>

namespace toolkit {

class ClassicGroupBox : public QGroupBox {
    Q_OBJECT
public:
    explicit ClassicGroupBox(const QString& caption, QWidget* parent = nullptr);

    // Where the frame's top line runs, and where the caption stands on it.
    int frameTop() const;
    QRect captionRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace toolkit
