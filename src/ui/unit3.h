#pragma once
// The results summary window: the twelve scale scores of the examination just
// finished, stored as one result row when the window follows that examination.

#include <QWidget>

#include <array>
#include <cstdint>

class QFrame;
class QLabel;

namespace toolkit {
class FlatButton;
}

class TForm3 : public QWidget {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    // Re-opens the results table by the data directory's path.
    void FormCreate();
    // Writes a scale score (scale 1 to 12) into its value label.
    void showScore(int scale, std::int32_t score);
    // Shows the window after a completed examination: this showing stores the
    // result row. Any other showing only shows the last scores.
    void showCompletedExamination();

    // Value labels of scales 1 to 12.
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;
    std::array<QLabel*, 12> valueLabels{};

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildScoreRows();
    void buildButtons();
    toolkit::FlatButton* addButton(const char* name, const QString& caption, const QPixmap& picture, int x);

    void FormShow();
    void FormClose();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButtonMouseMove(toolkit::FlatButton* button);
    void Panel1MouseMove();

    QFrame* Panel1 = nullptr;
    QLabel* Label25 = nullptr;
    std::array<QLabel*, 12> captionLabels{};   // Label13 .. Label24
    toolkit::FlatButton* SpeedButton1 = nullptr;
    toolkit::FlatButton* SpeedButton2 = nullptr;
    toolkit::FlatButton* SpeedButton3 = nullptr;
    toolkit::FlatButton* SpeedButton4 = nullptr;
    toolkit::FlatButton* SpeedButton5 = nullptr;
};

extern TForm3* Form3;
