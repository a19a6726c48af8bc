#include "grid_editing.h"

#include "toolkit/grid_view.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>

namespace testsupport {

void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

QLineEdit* cellEditor(QWidget* view)
{
    for (QLineEdit* line : view->findChildren<QLineEdit*>()) {
        if (line->isVisible())
            return line;
    }
    return nullptr;
}

QLineEdit* openCellEditor(toolkit::GridView* view)
{
    QTest::keyClick(view, Qt::Key_F2);
    QLineEdit* editor = cellEditor(view);
    EXPECT_NE(editor, nullptr) << "F2 opened no cell editor";
    return editor;
}

void editCell(toolkit::GridView* view, const QString& text)
{
    QLineEdit* editor = openCellEditor(view);
    if (!editor)
        return;
    editor->setText(text);
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
}

}  // namespace testsupport
