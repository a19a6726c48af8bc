#pragma once
// The registration window: the subject's name and the test date, "Старт",
// "Результаты" and the pick from the patient list. It is the main window and
// owns the connection and the three tables.

#include "exam/examination.h"
#include "store/table.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace toolkit {
class DateEdit;
class FlatButton;
}  // namespace toolkit

class TMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Connects to the data directory, opens the three tables and sets the test date.
    void FormCreate();

    store::Database DBase;
    // The data sources are the tables themselves: bound controls subscribe to them.
    store::Table tbFamil{"TestFam.DB"};
    store::Table tbVopros{"FpiBd.db"};
    store::Table tbResult{"Result.db"};
    // The examination run over the questionnaire and the results table.
    exam::Examination examination{tbVopros, tbResult};

    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QLineEdit* Edit3 = nullptr;
    toolkit::DateEdit* deDateReg = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void buildGroupBox();
    void buildInstruction();
    void buildButtons();
    void buildLinks();

    void FormShow();
    void SpeedButton1Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void Label5Click();
    void Label7Click();
    void SpeedButton1MouseMove(toolkit::FlatButton* button);
    void FormMouseMove();

    QLabel* Label1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label6 = nullptr;
    QPushButton* SpeedButton3 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    toolkit::FlatButton* SpeedButton4 = nullptr;
    toolkit::FlatButton* SpeedButton1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label7 = nullptr;
};

extern TMainForm* MainForm;
