#pragma once

#include <QDialog>

// Shown modally; closing hides it.
class TFormDesc : public QDialog {
    Q_OBJECT
public:
    explicit TFormDesc(QWidget* parent = nullptr);
};

extern TFormDesc* FormDesc;
