#include "pg_server.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace testsupport {

namespace {

const char* const kServiceName = "fpi";

// Where Debian (and, second, the PGDG packages elsewhere) put the version's programs.
const std::string& binDirectory()
{
    static const std::string found = [] {
        for (const char* dir : {"/usr/lib/postgresql/15/bin", "/usr/pgsql-15/bin"}) {
            bool complete = true;
            for (const char* program : {"initdb", "pg_ctl", "postgres", "psql"})
                complete = complete && access((std::string(dir) + "/" + program).c_str(), X_OK) == 0;
            if (complete)
                return std::string(dir);
        }
        return std::string();
    }();
    return found;
}

std::string program(const char* name)
{
    return binDirectory() + "/" + name;
}

// The system account the server programs run as: `postgres` for a root test
// run (the server refuses root), the current user otherwise.
struct Account {
    bool switchUser = false;
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
    std::string name;
};

Account serverAccount()
{
    Account account;
    if (geteuid() != 0) {
        const passwd* self = getpwuid(geteuid());
        account.uid = geteuid();
        account.gid = getegid();
        account.name = self ? self->pw_name : "postgres";
        return account;
    }
    const passwd* pg = getpwnam("postgres");
    if (!pg)
        throw std::runtime_error("the tests run as root and there is no user postgres to run the server");
    account.switchUser = true;
    account.uid = pg->pw_uid;
    account.gid = pg->pw_gid;
    account.name = pg->pw_name;
    int count = 64;
    account.groups.resize(count);
    if (getgrouplist(pg->pw_name, pg->pw_gid, account.groups.data(), &count) < 0) {
        account.groups.resize(count);
        getgrouplist(pg->pw_name, pg->pw_gid, account.groups.data(), &count);
    }
    account.groups.resize(count);
    return account;
}

// A child's environment: ours without the PG* variables (a client's settings
// must not steer the server programs or psql), plus `extra`.
std::vector<std::string> childEnvironment(const std::vector<std::string>& extra)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string setting = *e;
        const std::string name = setting.substr(0, setting.find('='));
        bool overridden = name.rfind("PG", 0) == 0;
        for (const std::string& x : extra)
            overridden = overridden || x.substr(0, x.find('=')) == name;
        if (!overridden)
            env.push_back(setting);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings)
{
    std::vector<char*> result;
    for (std::string& s : strings)
        result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

std::string readAll(FILE* file)
{
    std::string bytes;
    if (!file)
        return bytes;
    std::rewind(file);
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, n);
    return bytes;
}

struct ChildRun {
    int status = -1;   // -1 when it did not run or died of a signal
    std::string out;
    std::string err;
};

// Runs a program with an argument vector (no shell) as `account`, in `cwd`,
// its input from /dev/null and its output captured; waits for it.
// Between fork and exec only async-signal-safe calls: the test program may have threads.
ChildRun runChild(std::vector<std::string> args, const Account* account, const std::string& cwd,
                  const std::vector<std::string>& extraEnvironment)
{
    ChildRun run;
    std::vector<std::string> env = childEnvironment(extraEnvironment);
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp = pointers(env);
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::tmpfile(), &std::fclose);
    std::unique_ptr<FILE, int (*)(FILE*)> err(std::tmpfile(), &std::fclose);
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (!out || !err || devNull < 0) {
        if (devNull >= 0)
            close(devNull);
        run.err = "no temporary file for the output of " + args[0];
        return run;
    }
    const int outFd = fileno(out.get());
    const int errFd = fileno(err.get());
    const long maxFd = sysconf(_SC_OPEN_MAX) > 0 ? sysconf(_SC_OPEN_MAX) : 1024;

    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGPIPE, SIG_DFL);
        if (dup2(devNull, 0) < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0)
            _exit(126);
        for (long fd = 3; fd < maxFd && fd < 65536; ++fd)
            close(static_cast<int>(fd));
        if (account && account->switchUser
            && (setgroups(account->groups.size(), account->groups.data()) != 0 || setgid(account->gid) != 0
                || setuid(account->uid) != 0))
            _exit(126);
        if (chdir(cwd.c_str()) != 0)
            _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(devNull);
    if (child < 0) {
        run.err = std::string("fork failed: ") + std::strerror(errno);
        return run;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readAll(out.get());
    run.err = readAll(err.get());
    return run;
}

// True when every folder from the root down to `dir` lets others pass through.
bool openToOthers(const fs::path& dir)
{
    fs::path path;
    for (const fs::path& part : fs::absolute(dir)) {
        path /= part;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0 || !(st.st_mode & S_IXOTH))
            return false;
    }
    return true;
}

std::string quoteIdentifier(const std::string& name)
{
    std::string quoted = "\"";
    for (char c : name)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string lastBytes(const std::string& text, size_t count)
{
    return text.size() <= count ? text : text.substr(text.size() - count);
}

// A connection that closes itself; connects as the superuser over the socket.
using Connection = std::unique_ptr<PGconn, void (*)(PGconn*)>;

Connection connect(const std::string& host, int port, const std::string& database, const std::string& user)
{
    const std::string portText = std::to_string(port);
    const char* keys[] = {"host", "port", "dbname", "user", "connect_timeout", nullptr};
    const char* values[] = {host.c_str(), portText.c_str(), database.c_str(), user.c_str(), "10", nullptr};
    Connection c(PQconnectdbParams(keys, values, 0), &PQfinish);
    if (c)
        PQsetNoticeProcessor(c.get(), [](void*, const char*) {}, nullptr);
    return c;
}

PgServer* sharedServer = nullptr;
std::string sharedFailure;

void stopShared()
{
    delete sharedServer;
    sharedServer = nullptr;
}

}  // namespace

bool PgServer::available()
{
    if (binDirectory().empty())
        return false;
    return geteuid() != 0 || getpwnam("postgres") != nullptr;
}

PgServer& PgServer::shared()
{
    if (sharedServer)
        return *sharedServer;
    if (!sharedFailure.empty())
        throw std::runtime_error(sharedFailure);
    try {
        sharedServer = new PgServer(false);
    } catch (const std::exception& e) {
        sharedFailure = e.what();
        throw;
    }
    // Runs when the test program returns from main, whether tests failed or not.
    std::atexit(&stopShared);
    return *sharedServer;
}

PgServer::PgServer(bool durable)
    : durable_(durable)
{
    try {
        create();
    } catch (...) {
        removeEverything();
        throw;
    }
}

PgServer::~PgServer()
{
    removeEverything();
}

void PgServer::create()
{
    if (binDirectory().empty())
        throw std::runtime_error("the PostgreSQL 15 server programs are not installed");
    const Account account = serverAccount();
    superuser_ = account.name;

    // The socket's path must fit a sockaddr_un, and the server's user must reach
    // it: a long TMPDIR, or one closed to others when the server runs as another user, falls back to /tmp.
    fs::path base = fs::temp_directory_path();
    if (base.string().size() > 60 || (account.switchUser && !openToOthers(base)))
        base = "/tmp";
    std::string pattern = (base / "fpi-pg-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("no temporary directory for the server under " + base.string() + ": "
                                 + std::strerror(errno));
    directory_ = pattern;
    // The server's user owns it; the test process (perhaps another user) reaches the socket.
    if (chmod(directory_.c_str(), 0755) != 0
        || (account.switchUser && chown(directory_.c_str(), account.uid, account.gid) != 0))
        throw std::runtime_error("cannot hand " + directory_ + " to user " + account.name + ": "
                                 + std::strerror(errno));
    startWatcher();

    const ChildRun init = runChild({program("initdb"), "-D", dataDirectory(), "-U", superuser_, "--auth=trust",
                                    "--encoding=UTF8", "--locale=C.UTF-8", "--no-sync", "--no-instructions"},
                                   &account, directory_, {"HOME=" + directory_});
    if (init.status != 0)
        throw std::runtime_error("initdb failed in " + directory_ + ":\n" + lastBytes(init.out + init.err, 3000));
    writeConfiguration();
    start();
}

void PgServer::writeConfiguration() const
{
    // Appended: the last setting of a name wins.
    std::ofstream conf(dataDirectory() + "/postgresql.conf", std::ios::app);
    conf << "\n# Test server: Unix socket only.\n"
         << "listen_addresses = ''\n"
         << "port = " << port_ << "\n"
         << "unix_socket_directories = '" << directory_ << "'\n"
         << "unix_socket_permissions = 0777\n"
         << "max_connections = 50\n"
         << "shared_buffers = 32MB\n"
         << "max_parallel_workers_per_gather = 0\n"
         << "fsync = " << (durable_ ? "on" : "off") << "\n"
         << "synchronous_commit = " << (durable_ ? "on" : "off") << "\n"
         << "full_page_writes = " << (durable_ ? "on" : "off") << "\n";
    conf.close();
    if (!conf)
        throw std::runtime_error("cannot write the configuration of the server in " + dataDirectory());
}

// A process outside the test program's process tree (ctest kills the tree on a
// timeout) waits for the end of a pipe only the test program holds; when it
// reads the end of input, the test program has gone, and it stops the server
// at once and removes the directory. After a normal clean-up it finds nothing to do.
void PgServer::startWatcher()
{
    int fds[2] = {-1, -1};
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("no pipe for the server's watcher: ") + std::strerror(errno));
    const Account account = serverAccount();
    std::vector<std::string> args = {
        "/bin/sh", "-c",
        "cat >/dev/null; \"$1\" stop -D \"$2\" -m immediate -w -t 30 >/dev/null 2>&1; rm -rf -- \"$3\"",
        "fpi-pg-watcher", program("pg_ctl"), dataDirectory(), directory_};
    std::vector<std::string> env = childEnvironment({"HOME=/"});
    std::vector<char*> argv = pointers(args);
    std::vector<char*> envp = pointers(env);
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull < 0) {
        close(fds[0]);
        close(fds[1]);
        throw std::runtime_error(std::string("cannot open /dev/null for the server's watcher: ") + std::strerror(errno));
    }
    const long maxFd = sysconf(_SC_OPEN_MAX) > 0 ? sysconf(_SC_OPEN_MAX) : 1024;

    const pid_t child = fork();
    if (child == 0) {
        if (fork() != 0)
            _exit(0);   // the grandchild goes on with no parent in the tree
        setsid();
        std::signal(SIGPIPE, SIG_DFL);
        std::signal(SIGINT, SIG_IGN);
        std::signal(SIGHUP, SIG_IGN);
        if (dup2(fds[0], 0) < 0 || dup2(devNull, 1) < 0 || dup2(devNull, 2) < 0)
            _exit(126);
        for (long fd = 3; fd < maxFd && fd < 65536; ++fd)
            close(static_cast<int>(fd));
        if (account.switchUser
            && (setgroups(account.groups.size(), account.groups.data()) != 0 || setgid(account.gid) != 0
                || setuid(account.uid) != 0))
            _exit(126);
        if (chdir("/") != 0)
            _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(fds[0]);
    close(devNull);
    if (child < 0) {
        close(fds[1]);
        throw std::runtime_error(std::string("cannot start the server's watcher: ") + std::strerror(errno));
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    watcherPipe_ = fds[1];
}

void PgServer::removeEverything()
{
    if (directory_.empty())
        return;
    stop();
    std::error_code ignored;
    fs::remove_all(directory_, ignored);
    if (watcherPipe_ >= 0)
        close(watcherPipe_);
    watcherPipe_ = -1;
}

std::string PgServer::logTail() const
{
    std::ostringstream log;
    log << std::ifstream(directory_ + "/server.log", std::ios::binary).rdbuf();
    return lastBytes(log.str(), 3000);
}

void PgServer::start()
{
    if (running())
        return;
    const Account account = serverAccount();
    const ChildRun run = runChild({program("pg_ctl"), "start", "-D", dataDirectory(), "-l", directory_ + "/server.log",
                                   "-w", "-t", "60", "-s"},
                                  &account, directory_, {"HOME=" + directory_});
    if (run.status != 0 || !running()) {
        const std::string message = "the PostgreSQL server in " + directory_ + " did not start:\n" + run.out + run.err
                                    + "\nend of its log:\n" + logTail();
        // Whatever half started must not stay behind.
        stop();
        throw std::runtime_error(message);
    }
}

void PgServer::stop()
{
    const std::string pidFile = dataDirectory() + "/postmaster.pid";
    if (directory_.empty() || !fs::exists(pidFile))
        return;
    const Account account = serverAccount();
    std::string failures;
    for (const char* mode : {"fast", "immediate"}) {
        const ChildRun run = runChild({program("pg_ctl"), "stop", "-D", dataDirectory(), "-m", mode, "-w", "-t", "60", "-s"},
                                      &account, directory_, {"HOME=" + directory_});
        if (!fs::exists(pidFile))
            return;
        failures += std::string("pg_ctl stop -m ") + mode + ": " + run.out + run.err + "\n";
    }
    ADD_FAILURE() << "the PostgreSQL server in " << directory_ << " does not stop:\n"
                  << failures << "end of its log:\n"
                  << logTail();
}

bool PgServer::running() const
{
    if (directory_.empty())
        return false;
    const std::string portText = std::to_string(port_);
    const char* keys[] = {"host", "port", "dbname", "user", "connect_timeout", nullptr};
    const char* values[] = {directory_.c_str(), portText.c_str(), "postgres", superuser_.c_str(), "10", nullptr};
    return PQpingParams(keys, values, 0) == PQPING_OK;
}

std::string PgServer::sql(const std::string& database, const std::string& statements) const
{
    const Connection c = connect(directory_, port_, database, superuser_);
    if (!c || PQstatus(c.get()) != CONNECTION_OK) {
        ADD_FAILURE() << "cannot connect to database " << database << " in " << directory_ << ": "
                      << (c ? PQerrorMessage(c.get()) : "out of memory");
        return "";
    }
    if (!PQsendQuery(c.get(), statements.c_str())) {
        ADD_FAILURE() << "cannot send SQL to " << database << ": " << PQerrorMessage(c.get()) << "\n" << statements;
        return "";
    }
    std::string output;
    std::string error;
    bool firstRow = true;
    while (PGresult* r = PQgetResult(c.get())) {
        const ExecStatusType status = PQresultStatus(r);
        if (status == PGRES_TUPLES_OK) {
            for (int row = 0; row < PQntuples(r); ++row) {
                if (!firstRow)
                    output += '\n';
                firstRow = false;
                for (int column = 0; column < PQnfields(r); ++column) {
                    if (column > 0)
                        output += '|';
                    output += PQgetvalue(r, row, column);
                }
            }
        } else if (status != PGRES_COMMAND_OK && status != PGRES_EMPTY_QUERY && error.empty()) {
            error = PQresultErrorMessage(r);
        }
        PQclear(r);
    }
    if (!error.empty()) {
        ADD_FAILURE() << "SQL failed in database " << database << ": " << error << statements;
        return "";
    }
    return output;
}

std::string PgServer::newDatabase()
{
    const std::string name = "fpi_" + std::to_string(++databases_);
    sql("postgres", "CREATE DATABASE " + quoteIdentifier(name));
    return name;
}

std::string PgServer::newDatabaseOwnedBy(const std::string& role)
{
    const std::string name = "fpi_" + std::to_string(++databases_);
    sql("postgres", "CREATE DATABASE " + quoteIdentifier(name) + " OWNER " + quoteIdentifier(role));
    return name;
}

std::string PgServer::newRole()
{
    const std::string name = "fpi_user_" + std::to_string(++roles_);
    sql("postgres", "CREATE ROLE " + quoteIdentifier(name) + " LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE");
    return name;
}

void PgServer::writeServiceFile(const std::string& dir, const std::string& database, const std::string& user) const
{
    const std::string path = dir + "/pg_service.conf";
    std::ostringstream text;
    text << "[" << kServiceName << "]\n"
         << "host=" << directory_ << "\n"
         << "port=" << port_ << "\n"
         << "dbname=" << database << "\n"
         << "user=" << (user.empty() ? superuser_ : user) << "\n";
    const std::string bytes = text.str();
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        ADD_FAILURE() << "cannot create " << path << ": " << std::strerror(errno);
        return;
    }
    // An existing file keeps its mode through O_TRUNC, and the umask may have narrowed a new one.
    bool ok = fchmod(fd, 0600) == 0 && write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ok = close(fd) == 0 && ok;
    if (!ok)
        ADD_FAILURE() << "cannot write " << path << ": " << std::strerror(errno);
}

PgServer::ClientRun PgServer::psqlWithServiceFile(const std::string& serviceFile, const std::string& statements)
{
    ClientRun result;
    if (binDirectory().empty())
        return result;
    const ChildRun run = runChild({program("psql"), "-X", "-At", "-q", "-v", "ON_ERROR_STOP=1", "-c", statements}, nullptr,
                                  "/", {"PGSERVICEFILE=" + serviceFile, std::string("PGSERVICE=") + kServiceName});
    result.status = run.status;
    result.output = run.out + run.err;
    return result;
}

}  // namespace testsupport
