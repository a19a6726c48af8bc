#pragma once

#include <QDialog>

// Shown modally; closing hides it.
class TfmResult : public QDialog {
    Q_OBJECT
public:
    explicit TfmResult(QWidget* parent = nullptr);
};

extern TfmResult* fmResult;
