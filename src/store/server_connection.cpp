#include "store/server_connection.h"

#include "base/system_error.h"
#include "store/server.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <exception>
#include <fstream>
#include <sstream>
#include <poll.h>
#include <sys/stat.h>

namespace store::detail {

namespace {

// What the program sets unless the service file says otherwise: a server that
// does not answer is given up in seconds, not minutes, so a result waiting to
// be stored stays pending instead of hanging the window.
const std::array<std::pair<const char*, const char*>, 7> kDefaults = {{
    {"connect_timeout", "10"},
    {"keepalives", "1"},
    {"keepalives_idle", "10"},
    {"keepalives_interval", "5"},
    {"keepalives_count", "3"},
    {"tcp_user_timeout", "15000"},
    {"application_name", "fpi"},
}};

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string serviceFilePath(const std::string& directory)
{
    std::string path = directory;
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path + kServiceFileName;
}

std::string fileLabel(const std::string& path)
{
    return "Файл службы сервера «" + path + "»";
}

// The lines of the service file; a directory, a device or a file that cannot be read fails.
std::string readServiceFile(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw StoreError(fileLabel(path) + ": " + base::systemErrorText(errno));
    if (!S_ISREG(st.st_mode))
        throw StoreError(fileLabel(path) + ": это не обычный файл");
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in && !in.eof())
        throw StoreError(fileLabel(path) + ": файл не удаётся прочитать");
    return text.str();
}

bool contains(const std::string& text, const char* part)
{
    return text.find(part) != std::string::npos;
}

std::string firstLine(const std::string& text)
{
    return trimmed(text.substr(0, text.find('\n')));
}

}  // namespace

std::vector<std::pair<std::string, std::string>> serviceSettings(const std::string& directory)
{
    const std::string path = serviceFilePath(directory);
    std::istringstream lines(readServiceFile(path));
    std::vector<std::pair<std::string, std::string>> settings;
    std::string section;
    bool found = false;
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        line = trimmed(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']')
                throw StoreError(fileLabel(path) + ", строка " + std::to_string(number) +
                                 ": название службы должно быть в квадратных скобках");
            section = line.substr(1, line.size() - 2);
            found = found || section == "fpi";
            continue;
        }
        if (section != "fpi")
            continue;
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            throw StoreError(fileLabel(path) + ", строка " + std::to_string(number) +
                             ": ожидается «параметр=значение»");
        const std::string key = trimmed(line.substr(0, equals));
        if (key == "password")
            throw StoreError(fileLabel(path) + ": в нём записан пароль. Пароль в каталоге данных не хранится: "
                             "уберите строку password и запишите пароль в файл ~/.pgpass пользователя "
                             "или настройте вход на сервере");
        if (key == "service")
            continue;
        settings.emplace_back(key, trimmed(line.substr(equals + 1)));
    }
    if (!found)
        throw StoreError(fileLabel(path) + ": в нём нет службы [fpi]");
    for (const auto& [key, value] : kDefaults)
        if (std::none_of(settings.begin(), settings.end(), [&](const auto& s) { return s.first == key; }))
            settings.emplace_back(key, value);
    return settings;
}

std::string connectionFailureText(const std::string& libpqMessage)
{
    const std::string& m = libpqMessage;
    std::string reason;
    if (contains(m, "password authentication failed") || contains(m, "no password supplied") ||
        contains(m, "fe_sendauth"))
        reason = "сервер отказал во входе: неверное имя пользователя или пароль "
                 "(пароль берётся из файла ~/.pgpass пользователя)";
    else if (contains(m, "no pg_hba.conf entry") || contains(m, "authentication failed"))
        reason = "сервер не разрешает этому пользователю вход с этого компьютера";
    else if (contains(m, "role \"") && contains(m, "does not exist"))
        reason = "на сервере нет пользователя, указанного в службе fpi";
    else if (contains(m, "database \"") && contains(m, "does not exist"))
        reason = "на сервере нет базы данных, указанной в службе fpi";
    else if (contains(m, "could not translate host name"))
        reason = "имя сервера базы данных не найдено в сети";
    else if (contains(m, "timeout expired"))
        reason = "сервер базы данных не ответил вовремя";
    else if (contains(m, "SSL") || contains(m, "certificate"))
        reason = "не удалось установить защищённое соединение (TLS) с сервером базы данных";
    else if (contains(m, "the database system is shutting down") || contains(m, "the database system is starting up"))
        reason = "сервер базы данных запускается или останавливается";
    else if (contains(m, "terminating connection") || contains(m, "server closed the connection") ||
             contains(m, "no connection to the server") || contains(m, "connection to server was lost"))
        reason = "связь с сервером базы данных прервана";
    else if (contains(m, "Connection refused") || contains(m, "No such file or directory") ||
             contains(m, "could not connect") || contains(m, "Is the server running") ||
             contains(m, "No route to host") || contains(m, "Network is unreachable"))
        reason = "сервер базы данных не отвечает: он не запущен или недоступен по сети";
    else if (contains(m, "invalid connection option") || contains(m, "invalid") || contains(m, "missing"))
        reason = "в службе fpi неверный параметр подключения";
    else
        reason = "не удаётся подключиться к серверу базы данных";
    const std::string detail = firstLine(m);
    return detail.empty() ? reason : reason + " (" + detail + ")";
}

std::string statementFailureText(const PGresult* result, const std::string& libpqMessage)
{
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    const std::string code = state ? state : "";
    const std::string detail = primary ? primary : firstLine(libpqMessage);
    std::string reason;
    if (code.empty() || code.compare(0, 2, "08") == 0 || code.compare(0, 3, "57P") == 0)
        return connectionFailureText(libpqMessage);
    if (code == "42P01")
        reason = "на сервере нет этой таблицы; создайте таблицы командой fpi-data server-init";
    else if (code == "42703")
        reason = "в таблице на сервере нет нужного поля";
    else if (code == "42501")
        reason = "у пользователя нет прав на эту таблицу на сервере";
    else if (code == "23505")
        reason = "такой номер строки уже есть в таблице";
    else if (code.compare(0, 2, "23") == 0)
        reason = "значение не допускается таблицей на сервере";
    else if (code == "22001")
        reason = "текст длиннее поля";
    else if (code == "22003")
        reason = "число не помещается в поле";
    else if (code.compare(0, 2, "22") == 0)
        reason = "значение не подходит полю";
    else if (code == "55P03" || code == "40001" || code == "40P01")
        reason = "строку сейчас меняет другое рабочее место; повторите попытку";
    else if (code == "53100")
        reason = "на сервере нет места на диске";
    else if (code.compare(0, 2, "53") == 0)
        reason = "серверу не хватает ресурсов";
    else if (code == "25006")
        reason = "сервер сейчас принимает только чтение";
    else
        reason = "сервер базы данных отказал";
    return detail.empty() ? reason : reason + " (" + detail + ")";
}

Param paramOf(const Value& value)
{
    if (const auto* n = std::get_if<std::int64_t>(&value))
        return std::to_string(*n);
    if (const auto* r = std::get_if<double>(&value)) {
        std::array<char, 64> buffer{};
        const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), *r).ptr;
        return std::string(buffer.data(), end);
    }
    if (const auto* s = std::get_if<std::string>(&value))
        return s->empty() ? Param() : Param(*s);
    if (const auto* d = std::get_if<Date>(&value))
        return d->iso();
    return std::nullopt;
}

ServerConnection::ServerConnection(const std::string& directory, std::string label)
    : settings_(serviceSettings(directory)), label_(std::move(label))
{
    connect();
}

ServerConnection::~ServerConnection()
{
    PQfinish(conn_);
}

std::string describeService(const std::vector<std::pair<std::string, std::string>>& settings)
{
    std::string host = "localhost";
    std::string port;
    std::string database;
    for (const auto& [key, value] : settings) {
        if (key == "host" || key == "hostaddr")
            host = value;
        else if (key == "port")
            port = value;
        else if (key == "dbname")
            database = value;
    }
    return "сервер «" + host + (port.empty() ? "" : ":" + port) + "»" +
           (database.empty() ? "" : ", база «" + database + "»");
}

void ServerConnection::fail(const std::string& problem) const
{
    throw StoreError(label_ + ": " + problem);
}

void ServerConnection::connect()
{
    std::vector<const char*> keys;
    std::vector<const char*> values;
    for (const auto& [key, value] : settings_) {
        keys.push_back(key.c_str());
        values.push_back(value.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PQfinish(conn_);
    conn_ = PQconnectdbParams(keys.data(), values.data(), 0);
    if (!conn_)
        fail("не хватает памяти для подключения к серверу базы данных");
    if (PQstatus(conn_) != CONNECTION_OK)
        fail(connectionFailureText(PQerrorMessage(conn_)));
    // A post returns only once the server has made it durable, whatever the server's default.
    run("SET synchronous_commit TO on; SET client_encoding TO 'UTF8'; SET DateStyle TO ISO");
    for (const auto& [name, value] : session_)
        run("SET " + name + " TO " + value);
    for (const std::string& channel : channels_)
        run("LISTEN \"" + channel + "\"");
}

void ServerConnection::readWhatArrived()
{
    // A server that goes away sends its farewell and then closes the
    // connection: libpq notices the end only on a read after the farewell's.
    for (int reads = 0; reads < 16 && conn_ && PQstatus(conn_) == CONNECTION_OK; ++reads) {
        pollfd waiting{PQsocket(conn_), POLLIN, 0};
        if (::poll(&waiting, 1, 0) <= 0 || !PQconsumeInput(conn_))
            return;
    }
}

void ServerConnection::requireConnection()
{
    readWhatArrived();   // notices a server that has gone away while the connection was idle
    if (conn_ && PQstatus(conn_) == CONNECTION_OK)
        return;
    if (inTransaction_)
        fail(connectionFailureText(conn_ ? PQerrorMessage(conn_) : ""));
    ++reconnections_;
    connect();
}

ResultPtr ServerConnection::run(const std::string& sql, const std::vector<Param>& params)
{
    requireConnection();
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const Param& p : params)
        values.push_back(p ? p->c_str() : nullptr);
    ResultPtr result(params.empty() ? PQexec(conn_, sql.c_str())
                                    : PQexecParams(conn_, sql.c_str(), static_cast<int>(params.size()), nullptr,
                                                   values.data(), nullptr, nullptr, 0),
                     PQclear);
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_COPY_IN && status != PGRES_COPY_OUT)
        fail(statementFailureText(result.get(), PQerrorMessage(conn_)));
    return result;
}

void ServerConnection::inTransaction(const std::function<void()>& body)
{
    run("BEGIN");
    inTransaction_ = true;
    try {
        body();
        inTransaction_ = false;
        run("COMMIT");
    } catch (...) {
        inTransaction_ = false;
        if (PQstatus(conn_) == CONNECTION_OK && PQtransactionStatus(conn_) != PQTRANS_IDLE)
            PQclear(PQexec(conn_, "ROLLBACK"));
        throw;
    }
}

void ServerConnection::copyIn(const std::string& sql, const std::function<void(const LineSink&)>& produce)
{
    run(sql);
    std::string data;
    const auto send = [&] {
        if (!data.empty() && PQputCopyData(conn_, data.data(), static_cast<int>(data.size())) != 1)
            fail(connectionFailureText(PQerrorMessage(conn_)));
        data.clear();
    };
    try {
        produce([&](const std::string& line) {
            data += line;
            if (data.size() >= (1u << 16))
                send();
        });
        send();
    } catch (...) {
        PQputCopyEnd(conn_, "cancelled");
        while (PGresult* r = PQgetResult(conn_))
            PQclear(r);
        throw;
    }
    if (PQputCopyEnd(conn_, nullptr) != 1)
        fail(connectionFailureText(PQerrorMessage(conn_)));
    for (PGresult* r; (r = PQgetResult(conn_)) != nullptr;) {
        ResultPtr result(r, PQclear);
        if (PQresultStatus(r) != PGRES_COMMAND_OK)
            fail(statementFailureText(r, PQerrorMessage(conn_)));
    }
}

void ServerConnection::copyOut(const std::string& sql, const std::function<void(std::string_view)>& take)
{
    run(sql);
    std::exception_ptr raised;
    char* line = nullptr;
    int length = 0;
    while ((length = PQgetCopyData(conn_, &line, 0)) > 0) {
        const std::unique_ptr<char, void (*)(void*)> held(line, PQfreemem);
        if (!raised) {
            try {
                take(std::string_view(line, static_cast<size_t>(length)));
            } catch (...) {
                raised = std::current_exception();   // the rest is still read, so the connection stays usable
            }
        }
    }
    std::string failure = length == -2 ? connectionFailureText(PQerrorMessage(conn_)) : "";
    for (PGresult* r; (r = PQgetResult(conn_)) != nullptr;) {
        ResultPtr result(r, PQclear);
        if (PQresultStatus(r) != PGRES_COMMAND_OK && failure.empty())
            failure = statementFailureText(r, PQerrorMessage(conn_));
    }
    if (raised)
        std::rethrow_exception(raised);
    if (!failure.empty())
        fail(failure);
}

void ServerConnection::setSession(const std::string& name, const std::string& value)
{
    run("SET " + name + " TO " + value);
    const auto kept = std::find_if(session_.begin(), session_.end(), [&](const auto& s) { return s.first == name; });
    if (kept != session_.end())
        kept->second = value;
    else
        session_.emplace_back(name, value);
}

void ServerConnection::listen(const std::string& channel)
{
    run("LISTEN \"" + channel + "\"");
    channels_.push_back(channel);
}

void ServerConnection::takeNotifications(const std::function<void(bool own, const char* payload)>& take)
{
    readWhatArrived();
    if (!conn_ || PQstatus(conn_) != CONNECTION_OK)
        return;
    const int own = PQbackendPID(conn_);
    while (PGnotify* n = PQnotifies(conn_)) {
        const std::unique_ptr<PGnotify, void (*)(void*)> held(n, PQfreemem);
        take(n->be_pid == own, n->extra ? n->extra : "");
    }
}

bool ServerConnection::reconnectIfLost()
{
    try {
        requireConnection();
        return true;
    } catch (const StoreError&) {
        return false;
    }
}

}  // namespace store::detail
