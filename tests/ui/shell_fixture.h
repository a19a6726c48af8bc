#pragma once
// Shared set-up of the window tests: a data directory in a temporary folder,
// a recorder in place of the operator's boxes, an observed end of the program,
// and the six windows created as at start-up.

#include "support/grid_editing.h"
#include "support/recording_box.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QStringList>
#include <QTemporaryDir>

#include <functional>

#include <string>
#include <vector>

class QWidget;

namespace uitest {

struct Item {
    int number;
    const char* text;
};

using testsupport::RecordingBox;

// A data directory of the three tables, written with SQLite directly.
class DataDirectory {
public:
    DataDirectory();
    std::string path() const;   // with the trailing separator, as the program builds it
    QString file(const char* name) const;

    void exec(const char* file, const std::string& sql) const;
    void createSubjects(const std::vector<std::vector<const char*>>& rows) const;   // nullptr: blank field
    void createQuestionnaire(const std::vector<Item>& items) const;
    void createResults(bool withTip7 = true) const;
    void createAll(const std::vector<Item>& items) const;

    // Rows of the results table as "F|I|O|Dat|Tip1,...,Tip12", in row order.
    std::vector<std::string> resultRows() const;

private:
    QTemporaryDir root_;
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the windows over the data directory and shows the main window.
    void startProgram();

    // Answers through the question window's buttons, after the subject has read
    // the item for a while.
    void answer(bool yes);
    void click(const char* window, const char* button);
    // "Пациент" on the registration window; `inside` runs while the patient
    // list is shown modally and must close it. A list that stays open is
    // closed (its edit cancelled) and the test fails.
    void withPatientList(const std::function<void()>& inside);
    QWidget* child(QWidget* window, const char* name);
    // The system close command of a window without a frame.
    void pressAltF4(QWidget* window);
    // Types text (Cyrillic included) into the widget with the focus' key events.
    static void typeText(QWidget* widget, const QString& text) { testsupport::typeText(widget, text); }
    void typeName(const QString& surname, const QString& firstName, const QString& patronymic);

    DataDirectory data;
    RecordingBox box;
    int programEnds = 0;
    // The clock the answer buttons read, in milliseconds; tests move it on.
    qint64 clickTime = 0;
};

}  // namespace uitest
