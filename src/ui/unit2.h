#pragma once
// The question window: shows the current item of the questionnaire table and
// hands each answer to the examination run; after the last item it shows the
// scale scores and hands over to the results summary window.

#include <QWidget>

class QPlainTextEdit;

namespace toolkit {
class EarlyClickGuard;
class FlatButton;
}

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void bindMemo();
    void showCurrentItem();

    void FormShow();
    void FormClose();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void ScoreAnswer(bool yes);
    void ShowScores();
    void AbandonChangedQuestionnaire();

    QPlainTextEdit* DBMemo1 = nullptr;
    toolkit::FlatButton* SpeedButton1 = nullptr;
    toolkit::FlatButton* SpeedButton2 = nullptr;
    // The second click of a double-click never answers an item the subject has not seen.
    toolkit::EarlyClickGuard* answerGuard_ = nullptr;
    int vopros_subscription_ = -1;
};

extern TForm2* Form2;
