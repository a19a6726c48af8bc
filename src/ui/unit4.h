#pragma once
// The results journal window: every stored result in a grid bound to the
// results table, with a footer that counts them and a search by first letters.

#include <QDialog>

#include <memory>

class QLabel;

namespace store {
class Table;
}
namespace toolkit {
class DataGrid;
}
namespace binding {
class TableSource;
}

// Shown modally; closing hides it.
class TfmResult : public QDialog {
    Q_OBJECT
public:
    explicit TfmResult(QWidget* parent = nullptr);
    ~TfmResult() override;

    // The results table the grid shows; the registration window's tbResult
    // unless another is given (nullptr: an empty grid).
    void setTable(store::Table* table);

    toolkit::DataGrid* grResult;
    QLabel* Panel1;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    std::unique_ptr<binding::TableSource> dsResult;
};

extern TfmResult* fmResult;
