#pragma once
// A real PostgreSQL 15 server of the tests' own: made by initdb in a fresh
// temporary directory, listening only on a Unix socket in that directory (no
// TCP), trusting every local connection, and removed with its directory when
// it is destroyed.
//
// When the tests run as root, the server programs run as the system user
// `postgres` (the server refuses root); the test process stays root and
// connects through the socket. Otherwise everything runs as the current user.
//
// A watcher process started with each server stops it at once and removes its
// directory when the test program goes away without doing so itself (a crash,
// a kill by ctest's timeout), so no server outlives its test program.

#include <string>

namespace testsupport {

class PgServer {
public:
    // True when the PostgreSQL 15 server programs are installed (and, when
    // running as root, the user `postgres` exists to run them).
    static bool available();

    // The server shared by one test program: started on first use, stopped and
    // its directory removed when the program exits, also after failed tests.
    // Runs with fsync off. Throws std::runtime_error (with the server's log
    // tail) when it cannot start; a later call throws the same again.
    static PgServer& shared();

    // A started server of its own. A durable one keeps fsync,
    // synchronous_commit and full_page_writes on (for benchmarks); otherwise
    // they are off to be quick. Throws std::runtime_error with the end of the
    // server's log when initdb or the start fails; nothing is left behind then.
    explicit PgServer(bool durable);
    ~PgServer();   // stops the server and removes its directory
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    // A fresh, empty database owned by the superuser; its name is unique
    // within the server. A failure fails the calling test.
    std::string newDatabase();
    // The same, owned by `role`: the role may then create tables in its schema
    // `public` (a database owned by the superuser does not let other roles do so).
    std::string newDatabaseOwnedBy(const std::string& role);

    // Writes DIR/pg_service.conf (mode 0600) with the one section [fpi]:
    // host=<socket directory>, port=<port>, dbname=<database>,
    // user=<user, the superuser when empty>. No password line.
    void writeServiceFile(const std::string& dir, const std::string& database, const std::string& user = "") const;

    // Runs SQL statements (one or several, separated by ';') in the database as
    // the superuser and returns what `psql -At -q` prints for them: the values
    // of each row separated by '|' (NULL as nothing), rows separated by '\n',
    // without a final '\n'. A failure fails the calling test with the server's
    // message (ADD_FAILURE) and returns "".
    std::string sql(const std::string& database, const std::string& statements) const;

    // A new login role without superuser rights and without a password (the
    // server trusts the local socket); returns its name.
    std::string newRole();

    // Fast shutdown; returns when the server has gone. Stopping a stopped server does nothing.
    void stop();
    // Starts it again on the same socket and port, keeping its databases; returns
    // when it accepts connections. Throws std::runtime_error with the log's end
    // when it does not start. Starting a running server does nothing.
    void start();
    // True when the server accepts connections.
    bool running() const;

    const std::string& socketDirectory() const { return directory_; }
    int port() const { return port_; }
    const std::string& superuser() const { return superuser_; }
    // The server's data directory, inside the socket directory.
    std::string dataDirectory() const { return directory_ + "/data"; }
    // The last few kilobytes of the server's log, for a failing test's message.
    std::string logTail() const;

    struct ClientRun {
        int status = -1;   // the exit status of psql; -1 when it did not run or was killed
        std::string output;   // its standard output and error together
    };
    // Runs the installed psql with `-At -q -v ON_ERROR_STOP=1 -c statements` as
    // a client that knows only a service file: PGSERVICEFILE=serviceFile and
    // PGSERVICE=fpi in its environment, every other PG* variable removed.
    static ClientRun psqlWithServiceFile(const std::string& serviceFile, const std::string& statements);

private:
    void create();
    void writeConfiguration() const;
    void startWatcher();
    void removeEverything();

    bool durable_ = false;
    std::string directory_;   // the temporary directory: socket, log and data
    std::string superuser_;
    int port_ = 5432;
    int watcherPipe_ = -1;    // its end closing tells the watcher to clean up
    int databases_ = 0;
    int roles_ = 0;
};

}  // namespace testsupport
