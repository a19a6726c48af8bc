#include "fpi_data_run.h"

#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fpi_data_run {

const std::string& program()
{
    static const std::string path = FPI_BINARY_DIR "/bin/fpi-data";
    return path;
}

std::string readWhole(const std::string& path)
{
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

Run run(const std::vector<std::string>& args, const Options& options)
{
    QTemporaryDir scratch;
    const std::string in = scratch.filePath("in").toStdString();
    const std::string out = scratch.filePath("out").toStdString();
    const std::string err = scratch.filePath("err").toStdString();
    std::ofstream(in, std::ios::binary) << options.input;

    int pipeEnds[2] = {-1, -1};
    if (options.output == Output::BrokenPipe) {
        if (pipe(pipeEnds) != 0)
            return {};
        close(pipeEnds[0]);   // nobody will ever read
    }
    std::vector<char*> argv;
    for (const std::string& a : options.runAs)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(const_cast<char*>(program().c_str()));
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGPIPE, SIG_DFL);   // as a shell starts it: the program itself must cope
        std::signal(SIGXFSZ, SIG_DFL);
        dup2(open(in.c_str(), O_RDONLY), 0);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        switch (options.output) {
        case Output::Captured: dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1); break;
        case Output::DevFull: dup2(open("/dev/full", O_WRONLY), 1); break;
        case Output::Closed: close(1); break;
        case Output::BrokenPipe: dup2(pipeEnds[1], 1); break;
        case Output::AppendedToFile: dup2(open(options.appendTo.c_str(), O_WRONLY | O_APPEND), 1); break;
        }
        if (options.fileSizeLimit > 0) {
            const rlimit limit{rlim_t(options.fileSizeLimit), rlim_t(options.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        for (const std::string& setting : options.environment)
            putenv(const_cast<char*>(setting.c_str()));
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pipeEnds[1] >= 0)
        close(pipeEnds[1]);
    Run result;
    int status = 0;
    // Watchdog: a run that blocks (say, on a FIFO) is killed instead of hanging the test.
    for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; ++waited) {
        if (waited == options.watchdogSeconds * 100) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            result.hung = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!result.hung && WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    result.out = readWhole(out);
    result.err = readWhole(err);
    return result;
}

Run runArgs(const QStringList& args, const Options& options)
{
    std::vector<std::string> strings;
    for (const QString& a : args)
        strings.push_back(a.toStdString());
    return run(strings, options);
}

}  // namespace fpi_data_run
