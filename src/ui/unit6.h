#pragma once
// The patient list window: the registered subjects in a grid bound to the
// registration window's subjects table, where the operator picks a subject and
// keeps the register. Esc anywhere in the window closes it.

#include <QDialog>

#include <memory>

namespace store {
class Table;
}
namespace toolkit {
class DataGrid;
}
namespace binding {
class TableSource;
}

// Shown modally; closing hides it. The grid's current row is the subjects
// table's, so it stays where it was left from one opening to the next.
class TForm6 : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(QWidget* parent = nullptr);
    ~TForm6() override;

    // The subjects table the grid shows; the registration window's tbFamil
    // unless another is given (nullptr: an empty grid).
    void setTable(store::Table* table);

    toolkit::DataGrid* DBGrid1;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    // Sees every key pressed in the window before its controls do.
    void FormKeyPress(const QKeyEvent* event);
    void closeAfterEsc();

    std::unique_ptr<binding::TableSource> dsFamil;
    bool escPending_ = false;
};

extern TForm6* Form6;
