#pragma once
// Closing the modal windows a test expects, with a watchdog so that a window
// nobody closes fails the test instead of holding it in its modal loop.

#include <functional>

class QWidget;

namespace testsupport {

// Runs `open`, which is expected to show a modal window. As soon as a modal
// window is up, `inside` runs once in that window's own loop with the window;
// it is expected to close it. A modal window still up after a few seconds of
// polling is closed by `giveUp` (by default: its close()) and the test fails.
// True when a modal window came up while `open` ran.
bool closeExpectedModal(const std::function<void()>& open, const std::function<void(QWidget*)>& inside,
                        const std::function<void(QWidget*)>& giveUp = {});

}  // namespace testsupport
