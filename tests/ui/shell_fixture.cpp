#include "shell_fixture.h"

#include "toolkit/early_click.h"
#include "ui/app_shell.h"
#include "ui/unit1.h"
#include "ui/unit2.h"
#include "ui/unit3.h"
#include "ui/unit6.h"

#include "support/modal_dialog.h"

#include <QDir>
#include <QLineEdit>
#include <QTest>

#include <stdexcept>

namespace uitest {

DataDirectory::DataDirectory()
{
    QDir(root_.path()).mkdir(QStringLiteral("Data"));
}

std::string DataDirectory::path() const
{
    return root_.path().toStdString() + "/Data/";
}

QString DataDirectory::file(const char* name) const
{
    return QString::fromStdString(path()) + QLatin1String(name);
}

void DataDirectory::exec(const char* file, const std::string& sql) const
{
    sqlite3* db = nullptr;
    const QByteArray name = this->file(file).toUtf8();
    if (sqlite3_open(name.constData(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot open " + name.toStdString());
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw std::runtime_error(message);
}

namespace {

std::string quoted(const char* text)
{
    if (!text)
        return "NULL";
    std::string out = "'";
    for (const char* c = text; *c; ++c)
        out += *c == '\'' ? std::string("''") : std::string(1, *c);
    return out + "'";
}

}  // namespace

void DataDirectory::createSubjects(const std::vector<std::vector<const char*>>& rows) const
{
    std::string sql = "CREATE TABLE TestFam(F VARCHAR(15), I VARCHAR(15), O VARCHAR(15));";
    for (const auto& row : rows)
        sql += "INSERT INTO TestFam VALUES(" + quoted(row[0]) + "," + quoted(row[1]) + "," + quoted(row[2]) + ");";
    exec("TestFam.DB", sql);
}

void DataDirectory::createQuestionnaire(const std::vector<Item>& items) const
{
    std::string sql = "CREATE TABLE FpiBd(NumVopros INTEGER, Vopros TEXT);";
    for (const Item& item : items)
        sql += "INSERT INTO FpiBd VALUES(" + (item.number ? std::to_string(item.number) : std::string("NULL")) + ","
            + quoted(item.text) + ");";
    exec("FpiBd.db", sql);
}

void DataDirectory::createResults(bool withTip7) const
{
    std::string sql = "CREATE TABLE Result(NN INTEGER PRIMARY KEY AUTOINCREMENT, F VARCHAR(15), I VARCHAR(15), "
                      "O VARCHAR(15), Dat DATE";
    for (int scale = 1; scale <= 12; ++scale)
        if (withTip7 || scale != 7)
            sql += ", Tip" + std::to_string(scale) + " SMALLINT";
    exec("Result.db", sql + ");");
}

void DataDirectory::createAll(const std::vector<Item>& items) const
{
    createSubjects({{"Петров", "Пётр", "Петрович"}});
    createQuestionnaire(items);
    createResults();
}

std::vector<std::string> DataDirectory::resultRows() const
{
    sqlite3* db = nullptr;
    const QByteArray name = file("Result.db").toUtf8();
    sqlite3_open(name.constData(), &db);
    sqlite3_stmt* statement = nullptr;
    std::string sql = "SELECT F, I, O, Dat";
    for (int scale = 1; scale <= 12; ++scale)
        sql += ", Tip" + std::to_string(scale);
    sqlite3_prepare_v2(db, (sql + " FROM Result ORDER BY rowid").c_str(), -1, &statement, nullptr);
    std::vector<std::string> rows;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        std::string row;
        for (int column = 0; column < 16; ++column) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
            row += text ? text : "";
            row += column < 3 ? "|" : column == 3 ? "|" : column < 15 ? "," : "";
        }
        rows.push_back(row);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

void ShellTest::SetUp()
{
    ui::setProgramEndHook([this] { ++programEnds; });
    toolkit::setClickClock([this] { return clickTime; });
}

void ShellTest::TearDown()
{
    ui::destroyWindows();
    ui::setProgramEndHook(nullptr);
    toolkit::setClickClock(nullptr);
}

void ShellTest::startProgram()
{
    ui::createWindows(data.path());
    MainForm->show();
}

QWidget* ShellTest::child(QWidget* window, const char* name)
{
    auto* widget = window->findChild<QWidget*>(QLatin1String(name));
    if (!widget)
        throw std::runtime_error(std::string("no control ") + name);
    return widget;
}

void ShellTest::click(const char* window, const char* button)
{
    QWidget* form = window == std::string("MainForm") ? static_cast<QWidget*>(MainForm)
        : window == std::string("Form2")              ? static_cast<QWidget*>(Form2)
                                                       : static_cast<QWidget*>(Form3);
    QTest::mouseClick(child(form, button), Qt::LeftButton);
}

void ShellTest::withPatientList(const std::function<void()>& inside)
{
    testsupport::closeExpectedModal([this] { click("MainForm", "SpeedButton3"); },
                                    [inside](QWidget*) { inside(); },
                                    [](QWidget*) {
                                        MainForm->tbFamil.cancel();
                                        Form6->reject();
                                    });
}

void ShellTest::answer(bool yes)
{
    clickTime += 1000;
    click("Form2", yes ? "SpeedButton1" : "SpeedButton2");
}

void ShellTest::pressAltF4(QWidget* window)
{
    // A window's shortcuts work while it is the active window.
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        throw std::runtime_error("the window did not become active");
    QTest::sendKeyEvent(QTest::Press, window, Qt::Key_F4, QString(), Qt::AltModifier);
    QTest::sendKeyEvent(QTest::Release, window, Qt::Key_F4, QString(), Qt::AltModifier);
}

void ShellTest::typeName(const QString& surname, const QString& firstName, const QString& patronymic)
{
    const QString texts[] = {surname, firstName, patronymic};
    QLineEdit* edits[] = {MainForm->Edit1, MainForm->Edit2, MainForm->Edit3};
    for (int i = 0; i < 3; ++i) {
        edits[i]->setFocus();
        typeText(edits[i], texts[i]);
    }
}

}  // namespace uitest
