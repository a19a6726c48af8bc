#pragma once
// Keeps the second click of a double-click from acting on what its first click
// brought up. A press on a watched button that comes within the platform's
// double-click interval after the content the buttons answer was shown is
// swallowed: the button is neither pressed nor clicked. Later presses act as
// usual, so clicks at a reading pace are every one counted. Clicks made by the
// program itself (QAbstractButton::click) are not watched.

#include <QObject>

#include <functional>

class QAbstractButton;

namespace toolkit {

class EarlyClickGuard : public QObject {
    Q_OBJECT
public:
    explicit EarlyClickGuard(QObject* parent = nullptr);

    // Watches the presses of a button (not owned; it may go first).
    void watch(QAbstractButton* button);
    // The content the buttons answer has just been shown.
    void contentShown();
    // A press now would be swallowed.
    bool tooEarly() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    qint64 shownAt_;
};

// The clock the guards read, in milliseconds. Tests set their own; nullptr
// restores the steady clock.
void setClickClock(std::function<qint64()> clock);

}  // namespace toolkit
