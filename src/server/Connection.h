#pragma once
// One connection to the department's PostgreSQL server through libpq, and the few ways the
// program talks over it: commands, queries with text parameters, and COPY in and out.
// Messages for the user are Japanese; libpq's own reason is translated where it is a known one
// and shown as it is otherwise.

#include "framework/String.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct pg_conn;
struct pg_result;

namespace server {

// A result of a query, owned.
class Result {
public:
    Result() = default;
    explicit Result(pg_result* result) : m_result(result) {}
    Result(Result&& other) noexcept;
    Result& operator=(Result&& other) noexcept;
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    ~Result();

    int Rows() const;
    int Columns() const;
    bool IsNull(int row, int column) const;
    // The value as the server sent it (text, or binary for a binary result).
    std::string_view Value(int row, int column) const;
    long long Int(int row, int column) const;
    pg_result* Raw() const noexcept { return m_result; }

private:
    pg_result* m_result = nullptr;
};

// A parameter of a query: text, or the binary form of its type; no value is NULL.
struct Param {
    std::optional<std::string> value;
    bool binary = false;

    static Param Text(std::string text) { return {std::move(text), false}; }
    static Param Null() { return {std::nullopt, false}; }
    static Param Int4(std::int32_t v);
    static Param Int8(std::int64_t v);
    static Param Float4(float v);
    static Param Bytes(std::string bytes) { return {std::move(bytes), true}; }
};

// What went wrong on the server side, for callers that tell some failures apart.
struct ServerError {
    std::string sqlState; // five characters, empty when the server sent none
    CString message;      // for the user
    bool connectionLost = false;
};

// Who logs in: a role of the registry with its password, or (role empty) whoever the
// connection string and libpq's files name.
struct Login {
    std::string role;
    std::string password; // UTF-8
};

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The program's own settings around the user's connection string: short waits for a dead
    // connection, keep-alives, UTF-8, and application_name "vora HOST USER", which names the
    // workstation in the change log and in the server's views.
    static std::string ApplicationName();

    // Connects with conninfo (a connection string, a URI or "service=NAME"), waiting for it.
    // A password goes to a server on another machine only over an encrypted connection: the
    // connection then asks for TLS unless conninfo asks for a stricter check. False with error
    // for the user; authFailed tells a wrong password or an unknown role from other failures.
    bool Open(const std::string& conninfo, CString& error, const Login& login = {},
              bool* authFailed = nullptr);
    void Close();

    bool IsOpen() const;
    int Socket() const;
    // Whether the connection is encrypted (TLS).
    bool IsEncrypted() const;
    // The role the connection is logged in as.
    std::string Role() const;
    // A password as the server keeps it (a SCRAM-SHA-256 verifier), made here so that the
    // password itself never goes over the connection; empty when it could not be made.
    std::string HashedPassword(const std::string& password, const std::string& role) const;
    // An identifier or a literal quoted for SQL text.
    std::string QuoteIdentifier(const std::string& name) const;
    std::string QuoteLiteral(const std::string& text) const;
    // Where this connection goes, for the status bar: "HOST/DBNAME" or "SOCKET/DBNAME".
    std::string Describe() const;

    // Runs sql (which may hold several commands and no parameters); false with error.
    bool Exec(const std::string& sql, ServerError& error);
    // Runs one command with parameters ($1, $2, ...). The result is in text format unless
    // binaryResult.
    std::optional<Result> Query(const std::string& sql, const std::vector<Param>& params,
                                ServerError& error, bool binaryResult = false);
    // COPY ... TO STDOUT: each row's bytes to row, which returns false to stop with error
    // (it then sets it).
    bool CopyOut(const std::string& sql, const std::function<bool(std::string_view)>& row,
                 ServerError& error);
    // COPY ... FROM STDIN: write calls put once per piece of data until it returns false.
    bool CopyIn(const std::string& sql,
                const std::function<bool(const std::function<bool(std::string_view)>& put)>& write,
                ServerError& error);

    // Reads what arrived and says whether a notification came; false in connected when the
    // connection is gone.
    bool TakeNotifications(bool& connected);
    // Whether notifications came in with the replies to commands (so the socket will not say
    // so again); takes them.
    bool TakeQueuedNotifications();

    pg_conn* Raw() const noexcept { return m_conn; }

    // Whether a server answers at conninfo, without logging in; false with error (why not).
    static bool Reachable(const std::string& conninfo, CString& error);
    // Whether every host conninfo names (with libpq's service file and environment) is this
    // machine: a Unix socket, localhost or a loopback address. Also the sslmode it asks for.
    static bool OnThisMachine(const std::string& conninfo, std::string* sslmode = nullptr);

private:
    bool begin(const std::string& conninfo, const Login& login, CString& error, bool* authFailed);
    ServerError errorOf(pg_result* result) const;
    bool beginCopy(const std::string& sql, bool toClient, ServerError& error);
    void drainResults();

    pg_conn* m_conn = nullptr;
};

// The user's reason for a failed connection or command, from libpq's message (English, as the
// connection has libpq write it).
CString TranslateMessage(std::string_view libpqMessage);

} // namespace server
