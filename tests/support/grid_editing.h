#pragma once
// Typing into windows and editing a grid's cells as the operator does.

#include <QString>

class QLineEdit;
class QWidget;

namespace toolkit {
class GridView;
}

namespace testsupport {

// Types the text key by key; Cyrillic letters have no key codes of their own,
// so each key carries only its text.
void typeText(QWidget* widget, const QString& text);

// The grid's open cell editor, or nullptr; a closed one may linger until
// deleted later, so only a visible one counts.
QLineEdit* cellEditor(QWidget* view);

// F2 on the current cell: the editor it opens (a test failure and nullptr
// when none opens).
QLineEdit* openCellEditor(toolkit::GridView* view);

// Opens the editor on the current cell, replaces its text and commits it with
// Enter; the editor hands its text over through a queued call, which has run
// on return.
void editCell(toolkit::GridView* view, const QString& text);

}  // namespace testsupport
