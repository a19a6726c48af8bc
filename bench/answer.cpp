// One answer in the question window: scoring, the move to the next item and
// the memo painted with the new item's text. Each answer is timed on its own
// and the median is reported.
#include "toolkit/flat_button.h"
#include "toolkit/operator_box.h"
#include "ui/app_shell.h"
#include "ui/unit1.h"
#include "ui/unit2.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace {

class SilentBox : public toolkit::OperatorBox {
public:
    void message(const QString&) override {}
    void error(const QString&) override {}
    bool confirm(const QString&) override { return true; }
};

void execSql(const QString& file, const std::string& sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(file.toUtf8().constData(), &db);
    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// A data directory with a full-length questionnaire of demo texts.
std::string makeDataDirectory(const QTemporaryDir& root)
{
    QDir(root.path()).mkdir(QStringLiteral("Data"));
    const QString data = root.path() + QStringLiteral("/Data/");
    execSql(data + QStringLiteral("TestFam.DB"), "CREATE TABLE TestFam(F VARCHAR(15), I VARCHAR(15), O VARCHAR(15));");
    std::string items = "BEGIN; CREATE TABLE FpiBd(NumVopros INTEGER, Vopros TEXT);";
    for (int n = 1; n <= 114; ++n)
        items += "INSERT INTO FpiBd VALUES(" + std::to_string(n) + ", 'Демонстрационное утверждение номер " +
            std::to_string(n) + ": текст такой длины, какой бывает у настоящих утверждений опросника.');";
    execSql(data + QStringLiteral("FpiBd.db"), items + "COMMIT;");
    std::string results = "CREATE TABLE Result(NN INTEGER PRIMARY KEY AUTOINCREMENT, F VARCHAR(15), I VARCHAR(15), "
                          "O VARCHAR(15), Dat DATE";
    for (int s = 1; s <= 12; ++s)
        results += ", Tip" + std::to_string(s) + " SMALLINT";
    execSql(data + QStringLiteral("Result.db"), results + ");");
    return data.toStdString();
}

void BM_OneAnswer(benchmark::State& state)
{
    QTemporaryDir root;
    SilentBox box;
    toolkit::setOperatorBox(&box);
    ui::setProgramEndHook([] {});
    ui::createWindows(makeDataDirectory(root));
    MainForm->Edit1->setText(QStringLiteral("Иванов"));
    MainForm->Edit2->setText(QStringLiteral("Иван"));
    MainForm->Edit3->setText(QStringLiteral("Иванович"));
    MainForm->hide();
    Form2->show();
    QApplication::processEvents();
    auto* yes = Form2->findChild<toolkit::FlatButton*>(QStringLiteral("SpeedButton1"));
    auto* memo = Form2->findChild<QPlainTextEdit*>(QStringLiteral("DBMemo1"));
    store::Table& items = MainForm->tbVopros;

    std::vector<double> seconds;
    for (auto _ : state) {
        // The last item would complete the run: start the questionnaire over instead.
        if (items.recNo() == items.recordCount() - 1)
            items.first();
        const auto start = std::chrono::steady_clock::now();
        yes->click();
        memo->viewport()->repaint();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        seconds.push_back(took.count());
    }
    std::sort(seconds.begin(), seconds.end());
    state.counters["median_ms"] = seconds[seconds.size() / 2] * 1000;

    ui::destroyWindows();
    ui::setProgramEndHook(nullptr);
    toolkit::setOperatorBox(nullptr);
}

BENCHMARK(BM_OneAnswer)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
