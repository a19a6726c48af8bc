#pragma once
// Private helpers of the store around libpq: the data directory's service
// file, a connection that comes back after the server has gone away, and
// the server's failures in Russian.

#include "store/value.h"

#include <libpq-fe.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace store::detail {

// The connection settings of the service "fpi" in the directory's service
// file, with the program's own defaults (timeouts, keep-alives) where the
// file names none. Fails, in Russian, when the file cannot be read, has no
// such service, or holds a password.
std::vector<std::pair<std::string, std::string>> serviceSettings(const std::string& directory);

// Where the settings lead, for messages: "сервер «host:port», база «db»".
std::string describeService(const std::vector<std::pair<std::string, std::string>>& settings);

// What a failed connection or statement means, in Russian, with the server's
// own words after it.
std::string connectionFailureText(const std::string& libpqMessage);
std::string statementFailureText(const PGresult* result, const std::string& libpqMessage);

// A statement's result, cleared when it goes out of scope.
using ResultPtr = std::unique_ptr<PGresult, void (*)(PGresult*)>;

// A parameter of a statement in text form; no value is NULL.
using Param = std::optional<std::string>;
Param paramOf(const Value& value);

// A connection to the directory's server, opened at construction. When the
// server has gone away, the next statement connects again first; a failure
// raises StoreError starting with the label.
class ServerConnection {
public:
    ServerConnection(const std::string& directory, std::string label);
    ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    const std::string& label() const { return label_; }
    void setLabel(std::string label) { label_ = std::move(label); }
    // See describeService.
    std::string where() const { return describeService(settings_); }

    // Runs one statement (its own transaction unless one is open) and gives
    // its result, in text form.
    ResultPtr run(const std::string& sql, const std::vector<Param>& params = {});
    // Runs `body` in one transaction: committed when it returns, rolled back
    // when it or the commit fails (and the failure raised again).
    void inTransaction(const std::function<void()>& body);
    // Runs COPY ... FROM STDIN with the lines `produce` hands to its sink,
    // sent to the server in large pieces.
    using LineSink = std::function<void(const std::string&)>;
    void copyIn(const std::string& sql, const std::function<void(const LineSink&)>& produce);
    // Runs COPY ... TO STDOUT and hands `take` each line the server sends, with
    // its final '\n': a large result comes several times quicker so than as the
    // rows of a statement's result. Every line is read, whatever `take` raises.
    void copyOut(const std::string& sql, const std::function<void(std::string_view)>& take);

    // Sets a server setting of the connection (a trusted name and value,
    // "lock_timeout", "100"), set again whenever it connects again.
    void setSession(const std::string& name, const std::string& value);

    // Asks to be told of the notifications sent on the channel, also after
    // connecting again.
    void listen(const std::string& channel);
    // Hands each notification that has arrived (reading nothing but what the
    // server has already sent): whether this connection sent it, and its text.
    void takeNotifications(const std::function<void(bool own, const char* payload)>& take);
    // Connects again when the server has gone away meanwhile; true when
    // connected. Raises nothing.
    bool reconnectIfLost();
    // How many times the connection has been made again since it was opened:
    // notifications sent meanwhile were not heard.
    std::int64_t reconnections() const { return reconnections_; }

    [[noreturn]] void fail(const std::string& problem) const;

private:
    void connect();
    // Reads, without waiting, what the server has sent since the last statement.
    void readWhatArrived();
    void requireConnection();

    std::vector<std::pair<std::string, std::string>> settings_;
    std::string label_;
    PGconn* conn_ = nullptr;
    std::vector<std::pair<std::string, std::string>> session_;
    std::vector<std::string> channels_;
    std::int64_t reconnections_ = 0;
    bool inTransaction_ = false;
};

}  // namespace store::detail
