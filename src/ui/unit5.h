#pragma once
// The scale explanation window: the short and the full explanation of the
// scales in the same place, switched by two grouped toggle buttons.

#include <QDialog>

class QButtonGroup;
class QFrame;
class QPushButton;
class QTextEdit;

// Shown modally; closing hides it, so the chosen pane, its scroll position and
// selection are there again at the next showing.
class TFormDesc : public QDialog {
    Q_OBJECT
public:
    explicit TFormDesc(QWidget* parent = nullptr);

    QTextEdit* RichEdit1;      // short explanation
    QTextEdit* RichEdit2;      // full explanation
    QFrame* Bevel1;
    QPushButton* SpeedButton1; // "Краткое пояснение"
    QPushButton* SpeedButton2; // "Полное пояснение"

private:
    QTextEdit* createPane(const char* name, const QStringList& lines);
    QPushButton* createToggle(const char* name, const QString& caption, int left);
    // Both toggles: each pane is visible exactly when its button is pressed.
    void SpeedButton1Click();

    QButtonGroup* group_;
};

extern TFormDesc* FormDesc;
