#include "modal_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace testsupport {

namespace {

constexpr int kPollMilliseconds = 10;
constexpr int kPollsBeforeGivingUp = 500;

}  // namespace

bool closeExpectedModal(const std::function<void()>& open, const std::function<void(QWidget*)>& inside,
                        const std::function<void(QWidget*)>& giveUp)
{
    bool seen = false;
    bool gaveUp = false;
    int polls = 0;
    QTimer poll;
    poll.setInterval(kPollMilliseconds);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (!seen) {
            seen = true;   // before `inside`, which may run the event loop itself
            inside(modal);
            return;
        }
        if (++polls < kPollsBeforeGivingUp)
            return;
        polls = 0;   // watchdog: and again for whatever modal window comes next
        if (!gaveUp) {
            gaveUp = true;
            ADD_FAILURE() << "a modal window stayed open: " << modal->windowTitle().toStdString();
            if (giveUp) {
                giveUp(modal);
                return;
            }
        }
        modal->close();
    });
    poll.start();
    open();
    poll.stop();
    return seen;
}

}  // namespace testsupport
