// Start-up of the program, from process start to the registration window shown
// and the event loop idle, against a minimal Qt Widgets program that shows one
// window, both measured in the same run on the offscreen platform.
//
// The program itself has no way to end on its own, so this executable plays it:
// run with --program it starts exactly as fpi does (ui::startUp, the same
// libraries, the sample data directory beside it in bin/), with messages on the
// standard error instead of boxes, and ends as soon as its event loop is idle.
//
// Last figures (RelWithDebInfo build, 2 shared cores, 30 runs each, medians):
// program 78.1 ms, minimal Qt Widgets program 52.8 ms, ratio 1.48; on the same
// machine under load 254.8 ms against 169.5 ms, ratio 1.50.
#include "toolkit/operator_box.h"
#include "ui/app_shell.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

const char* const kMinimalWindow = "--minimal-window";
const char* const kProgram = "--program";
std::string selfPath;
double minimalSeconds = 0;
double programSeconds = 0;

// The reference: one window shown, ended as soon as the loop is idle.
int runMinimalWindow(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(750, 288);
    window.show();
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}

// Messages would wait for an operator: they go to the standard error instead.
class StderrBox : public toolkit::OperatorBox {
public:
    void message(const QString& text) override { std::fprintf(stderr, "%s\n", qPrintable(text)); }
    void error(const QString& text) override { message(text); }
    bool confirm(const QString& text) override
    {
        message(text);
        return false;
    }
};

// The program's own start-up, ended as soon as the loop is idle.
int runProgram(int argc, char** argv)
{
    QApplication app(argc, argv);
    StderrBox box;
    toolkit::setOperatorBox(&box);
    ui::startUp();
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    const int code = app.exec();
    ui::destroyWindows();
    return code;
}

// Runs the command to its end and returns the seconds it took; negative when it failed.
double timedRun(const std::vector<std::string>& command)
{
    std::vector<std::string> environment;
    environment.push_back("QT_QPA_PLATFORM=offscreen");
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0)
            environment.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = command;
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? took.count() : -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The two programs are started in turn, so a change of load on the machine
// weighs on both alike. The iteration time is the program's own start-up.
void BM_StartupAgainstMinimalProgram(benchmark::State& state)
{
    const QString dataFile = QFileInfo(QString::fromStdString(selfPath)).absolutePath() + "/Data/FpiBd.db";
    if (!QFileInfo::exists(dataFile)) {
        state.SkipWithError("no sample data directory beside the program: build the sample_data target first");
        return;
    }
    std::vector<double> minimal;
    std::vector<double> ours;
    for (auto _ : state) {
        const double reference = timedRun({selfPath, kMinimalWindow});
        const double seconds = timedRun({selfPath, kProgram});
        if (reference < 0 || seconds < 0) {
            state.SkipWithError("a program did not start and end cleanly");
            return;
        }
        minimal.push_back(reference);
        ours.push_back(seconds);
        state.SetIterationTime(seconds);
    }
    minimalSeconds = median(minimal);
    programSeconds = median(ours);
    state.counters["minimal_ms"] = minimalSeconds * 1000;
    state.counters["program_ms"] = programSeconds * 1000;
    state.counters["ratio"] = programSeconds / minimalSeconds;
}

BENCHMARK(BM_StartupAgainstMinimalProgram)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], kMinimalWindow) == 0)
        return runMinimalWindow(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], kProgram) == 0)
        return runProgram(argc, argv);
    selfPath = QFileInfo(QString::fromLocal8Bit(argv[0])).absoluteFilePath().toStdString();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (minimalSeconds > 0 && programSeconds > 0)
        std::printf("start-up medians: program %.1f ms, minimal Qt Widgets program %.1f ms, ratio %.2f (target at most 1.50)\n",
                    programSeconds * 1000, minimalSeconds * 1000, programSeconds / minimalSeconds);
    return 0;
}
