#include "server/Connection.h"

#include <libpq-fe.h>

#include <array>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <pwd.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace server {
namespace {

// libpq writes its own messages in the language of the program's locale; the program
// recognises them in English and says them in Japanese, whatever the desktop's language.
class EnglishMessages {
public:
    // For this thread alone, so that a connection made on another thread changes nothing here.
    EnglishMessages() {
        if (locale_t base = ::duplocale(LC_GLOBAL_LOCALE)) {
            m_english = ::newlocale(LC_MESSAGES_MASK, "C", base);
            if (!m_english) {
                ::freelocale(base);
            }
        }
        if (m_english) {
            m_saved = ::uselocale(m_english);
        }
    }
    ~EnglishMessages() {
        if (m_english) {
            ::uselocale(m_saved);
            ::freelocale(m_english);
        }
    }
    EnglishMessages(const EnglishMessages&) = delete;
    EnglishMessages& operator=(const EnglishMessages&) = delete;

private:
    locale_t m_english = nullptr;
    locale_t m_saved = nullptr;
};

CString fromUtf8(std::string_view utf8) {
    CString text;
    if (!CString::FromUtf8(utf8, text)) {
        // A message with a character Shift-JIS lacks: the rest is still worth showing.
        std::string plain;
        for (unsigned char c : utf8) {
            plain += c < 0x80 ? char(c) : '?';
        }
        text = CString(plain);
    }
    return text;
}

// The first line of libpq's message, without the trailing line break.
std::string_view firstLine(std::string_view message) {
    const std::size_t end = message.find('\n');
    return end == std::string_view::npos ? message : message.substr(0, end);
}

// The text between the first pair of double quotes after prefix, if message has it.
std::string quotedAfter(std::string_view message, std::string_view prefix) {
    const std::size_t at = message.find(prefix);
    if (at == std::string_view::npos) {
        return {};
    }
    const std::size_t open = message.find('"', at + prefix.size());
    const std::size_t close = open == std::string_view::npos ? open : message.find('"', open + 1);
    if (close == std::string_view::npos) {
        return {};
    }
    return std::string(message.substr(open + 1, close - open - 1));
}

// A message of libpq's or the server's that holds contains (and also, when given), told in
// Japanese; "%s" takes the name quoted after namePrefix, else the first quoted one.
struct KnownMessage {
    std::string_view contains;
    const char* japanese; // UTF-8
    std::string_view namePrefix;
    std::string_view also = {};
};

constexpr KnownMessage kKnownMessages[] = {
    {"does not match host name",
     "サーバーの証明書の名前「%s」が接続先の名前と合いません。接続文字列の host "
     "を証明書の名前にするか、"
     "管理者に確かめてください",
     "certificate for"},
    {"root certificate file",
     "病院の認証局の証明書ファイル（sslrootcert）が見つかりません。接続文字列の sslrootcert "
     "を確かめて"
     "ください",
     ""},
    {"certificate verify failed",
     "サーバーの証明書を確かめられません（病院の認証局が発行したものではありません）。sslrootcert "
     "の"
     "認証局の証明書と、サーバーの証明書を確かめてください",
     ""},
    {"could not translate host name",
     "サーバー名「%s」が見つかりません。名前とネットワークを確かめてください", "host name"},
    {"Connection refused", "サーバーが接続を受け付けません。サーバーが動いているか確かめてください",
     ""},
    {"No such file or directory", "このコンピューターのサーバーが動いていません", ""},
    {"timeout expired", "サーバーから決められた時間内に応答がありません", ""},
    {"No route to host", "サーバーまでのネットワークがつながっていません", ""},
    {"Network is unreachable", "サーバーまでのネットワークがつながっていません", ""},
    {"password authentication failed", "ユーザー「%s」のパスワードが違います", "for user"},
    {"no password supplied", "サーバーがパスワードを求めていますが、与えられていません", ""},
    {"role \"", "ユーザー（ロール）「%s」がサーバーにありません", "role", "does not exist"},
    {"database \"", "データベース「%s」がサーバーにありません", "database", "does not exist"},
    {"no pg_hba.conf entry",
     "サーバーがこのコンピューターからの接続を許可していません（pg_hba.conf）", ""},
    {"definition of service", "接続サービス「%s」が pg_service.conf にありません", "service"},
    {"invalid connection option", "接続文字列に知らない項目「%s」があります", "option"},
    {"missing \"=\"", "接続文字列が正しくありません（「=」がありません）", ""},
    {"invalid URI", "接続文字列の URI が正しくありません", ""},
    {"server closed the connection", "サーバーとの接続が切れました", ""},
    {"terminating connection", "サーバーとの接続が切れました", ""},
    {"could not receive data", "サーバーとの接続が切れました", ""},
    {"could not send data", "サーバーとの接続が切れました", ""},
    {"no connection to the server", "サーバーに接続していません", ""},
    {"too many connections", "サーバーの接続数が上限に達しています", ""},
    {"the database system is starting up", "サーバーが起動しているところです", ""},
    {"the database system is shutting down", "サーバーが停止しているところです", ""},
    {"the database system is in recovery mode", "サーバーが復旧しているところです", ""},
    {"read-only", "サーバーが読み取り専用です（予備のサーバーにつながっています）", ""},
    {"during recovery",
     "サーバーが読み取り専用です（予備のサーバーにつながっています）。接続文字列に "
     "target_session_attrs=read-write を加えてください",
     ""},
};

// The server's notices (a DROP that found nothing, say) are not for the user's terminal.
void ignoreNotice(void*, const char*) {}

std::string hostName() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0') {
        return "?";
    }
    return host;
}

std::string userName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) {
        return pw->pw_name;
    }
    return std::to_string(::geteuid());
}

} // namespace

CString TranslateMessage(std::string_view message) {
    const std::string_view line = firstLine(message);
    for (const KnownMessage& known : kKnownMessages) {
        if (message.find(known.contains) == std::string_view::npos ||
            (!known.also.empty() && message.find(known.also) == std::string_view::npos)) {
            continue;
        }
        std::string text = known.japanese;
        if (const std::size_t at = text.find("%s"); at != std::string::npos) {
            std::string name =
                known.namePrefix.empty() ? std::string() : quotedAfter(message, known.namePrefix);
            if (name.empty()) {
                name = quotedAfter(message, "");
            }
            text.replace(at, 2, name.empty() ? "?" : name);
        }
        return fromUtf8(text);
    }
    return fromUtf8(line.empty() ? std::string_view("(libpq)") : line);
}

// ---------------------------------------------------------------------------------------------

namespace {

template <typename T> std::string bigEndian(T value) {
    std::string out(sizeof value, '\0');
    for (std::size_t i = 0; i < sizeof value; ++i) {
        out[sizeof value - 1 - i] = char(std::uint64_t(value) >> (8 * i) & 0xff);
    }
    return out;
}

} // namespace

Param Param::Int4(std::int32_t v) {
    return {bigEndian(std::uint32_t(v)), true};
}

Param Param::Int8(std::int64_t v) {
    return {bigEndian(std::uint64_t(v)), true};
}

Param Param::Float4(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return {bigEndian(bits), true};
}

Result::Result(Result&& other) noexcept : m_result(std::exchange(other.m_result, nullptr)) {}

Result& Result::operator=(Result&& other) noexcept {
    std::swap(m_result, other.m_result);
    return *this;
}

Result::~Result() {
    if (m_result) {
        PQclear(m_result);
    }
}

int Result::Rows() const {
    return m_result ? PQntuples(m_result) : 0;
}

int Result::Columns() const {
    return m_result ? PQnfields(m_result) : 0;
}

bool Result::IsNull(int row, int column) const {
    return PQgetisnull(m_result, row, column) != 0;
}

std::string_view Result::Value(int row, int column) const {
    return {PQgetvalue(m_result, row, column), std::size_t(PQgetlength(m_result, row, column))};
}

long long Result::Int(int row, int column) const {
    return std::strtoll(PQgetvalue(m_result, row, column), nullptr, 10);
}

// ---------------------------------------------------------------------------------------------

Connection::Connection() = default;

Connection::~Connection() {
    Close();
}

std::string Connection::ApplicationName() {
    // application_name holds at most 63 bytes and only printable ASCII.
    std::string name = "vora " + hostName() + " " + userName();
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) {
            c = '?';
        }
    }
    return name.substr(0, 63);
}

bool Connection::Reachable(const std::string& conninfo, CString& error) {
    const std::string application = ApplicationName();
    const char* keys[] = {"connect_timeout", "dbname", "application_name", nullptr};
    const char* values[] = {"10", conninfo.c_str(), application.c_str(), nullptr};
    EnglishMessages english;
    switch (PQpingParams(keys, values, 1)) {
    case PQPING_OK:
        return true;
    case PQPING_REJECT:
        error = "サーバーが接続を受け付けていません（起動中か停止中です）"_sj;
        return false;
    case PQPING_NO_ATTEMPT: {
        char* why = nullptr;
        PQconninfoOption* parsed = PQconninfoParse(conninfo.c_str(), &why);
        error = why ? TranslateMessage(why) : "接続文字列が正しくありません"_sj;
        PQconninfoFree(parsed);
        PQfreemem(why);
        return false;
    }
    case PQPING_NO_RESPONSE:
        break;
    }
    // No answer: the reason of a connection that logs in with nothing tells why.
    PGconn* conn = PQconnectdbParams(keys, values, 1);
    error = TranslateMessage(conn ? PQerrorMessage(conn) : "");
    PQfinish(conn);
    return false;
}

bool Connection::OnThisMachine(const std::string& conninfo, std::string* sslmode) {
    // libpq resolves the service file and the environment when it starts a connection; what
    // it resolved is read before anything was sent.
    const char* keys[] = {"dbname", nullptr};
    const char* values[] = {conninfo.c_str(), nullptr};
    PGconn* probe = PQconnectStartParams(keys, values, 1);
    if (!probe) {
        return false;
    }
    std::string hosts, addresses;
    if (PQconninfoOption* options = PQconninfo(probe)) {
        for (PQconninfoOption* o = options; o->keyword; ++o) {
            const std::string value = o->val ? o->val : "";
            if (std::strcmp(o->keyword, "host") == 0) {
                hosts = value;
            } else if (std::strcmp(o->keyword, "hostaddr") == 0) {
                addresses = value;
            } else if (std::strcmp(o->keyword, "sslmode") == 0 && sslmode) {
                *sslmode = value;
            }
        }
        PQconninfoFree(options);
    }
    PQfinish(probe);
    auto local = [](const std::string& list, bool paths) {
        std::size_t at = 0;
        do {
            const std::size_t end = list.find(',', at);
            const std::string one = list.substr(at, end == std::string::npos ? end : end - at);
            const bool here = one.empty() || one == "localhost" || one == "::1" ||
                              one.rfind("127.", 0) == 0 || (paths && one[0] == '/');
            if (!here) {
                return false;
            }
            at = end == std::string::npos ? end : end + 1;
        } while (at != std::string::npos);
        return true;
    };
    return addresses.empty() ? local(hosts, true) : local(addresses, false);
}

bool Connection::begin(const std::string& conninfo, const Login& login, CString& error,
                       bool* authFailed) {
    Close();
    if (authFailed) {
        *authFailed = false;
    }
    const std::string application = ApplicationName();
    std::string sslmode;
    const bool here = OnThisMachine(conninfo, &sslmode);
    const bool checked = sslmode == "require" || sslmode == "verify-ca" || sslmode == "verify-full";
    // Before the user's string, so that it may choose otherwise; after it, what the program
    // depends on: a password for another machine goes encrypted, or not at all.
    std::vector<const char*> keys = {
        "connect_timeout",  "keepalives",       "keepalives_idle", "keepalives_interval",
        "keepalives_count", "tcp_user_timeout", "dbname",          "application_name",
        "client_encoding"};
    std::vector<const char*> values = {
        "10", "1", "10", "5", "3", "15000", conninfo.c_str(), application.c_str(), "UTF8"};
    // PGCONNECT_TIMEOUT, when set, is the user's choice.
    if (const char* timeout = std::getenv("PGCONNECT_TIMEOUT"); timeout && *timeout) {
        keys.erase(keys.begin());
        values.erase(values.begin());
    }
    const bool sendsPassword = !login.role.empty();
    if (sendsPassword) {
        keys.insert(keys.end(), {"user", "password"});
        values.insert(values.end(), {login.role.c_str(), login.password.c_str()});
        if (!here && !checked) {
            keys.push_back("sslmode");
            values.push_back("require");
        }
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    EnglishMessages english;
    m_conn = PQconnectdbParams(keys.data(), values.data(), 1);
    if (!m_conn) {
        error = "サーバーに接続するためのメモリが足りません"_sj;
        return false;
    }
    if (PQstatus(m_conn) == CONNECTION_BAD) {
        const std::string reason = PQerrorMessage(m_conn);
        if (authFailed) {
            *authFailed = reason.find("password authentication failed") != std::string::npos ||
                          (reason.find("role \"") != std::string::npos &&
                           reason.find("does not exist") != std::string::npos);
        }
        error = reason.find("SSL was required") != std::string::npos
                    ? "サーバーとの接続を暗号化できないため、パスワードを送りませんでした。サーバー"
                      "で TLS（ssl = on）を使えるようにするよう、管理者に依頼してください"_sj
                    : TranslateMessage(reason);
        Close();
        return false;
    }
    PQsetNoticeProcessor(m_conn, ignoreNotice, nullptr);
    return true;
}

bool Connection::Open(const std::string& conninfo, CString& error, const Login& login,
                      bool* authFailed) {
    return begin(conninfo, login, error, authFailed);
}

bool Connection::IsEncrypted() const {
    return m_conn && PQsslInUse(m_conn) == 1;
}

std::string Connection::Role() const {
    const char* user = m_conn ? PQuser(m_conn) : nullptr;
    return user ? user : "";
}

std::string Connection::HashedPassword(const std::string& password, const std::string& role) const {
    if (!m_conn) {
        return {};
    }
    char* hashed = PQencryptPasswordConn(m_conn, password.c_str(), role.c_str(), "scram-sha-256");
    if (!hashed) {
        return {};
    }
    std::string result = hashed;
    PQfreemem(hashed);
    return result;
}

std::string Connection::QuoteIdentifier(const std::string& name) const {
    char* quoted = m_conn ? PQescapeIdentifier(m_conn, name.data(), name.size()) : nullptr;
    std::string result = quoted ? quoted : "";
    PQfreemem(quoted);
    return result;
}

std::string Connection::QuoteLiteral(const std::string& text) const {
    char* quoted = m_conn ? PQescapeLiteral(m_conn, text.data(), text.size()) : nullptr;
    std::string result = quoted ? quoted : "";
    PQfreemem(quoted);
    return result;
}

void Connection::Close() {
    if (m_conn) {
        PQfinish(m_conn);
        m_conn = nullptr;
    }
}

bool Connection::IsOpen() const {
    return m_conn && PQstatus(m_conn) == CONNECTION_OK;
}

int Connection::Socket() const {
    return m_conn ? PQsocket(m_conn) : -1;
}

std::string Connection::Describe() const {
    if (!m_conn) {
        return {};
    }
    const char* host = PQhost(m_conn);
    const char* db = PQdb(m_conn);
    std::string where = host && *host ? host : "localhost";
    if (const char* port = PQport(m_conn); port && *port && std::strcmp(port, "5432") != 0) {
        where += ":" + std::string(port);
    }
    return where + "/" + (db ? db : "");
}

void Connection::drainResults() {
    while (PGresult* more = PQgetResult(m_conn)) {
        PQclear(more);
    }
}

ServerError Connection::errorOf(pg_result* result) const {
    ServerError error;
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    error.sqlState = state ? state : "";
    error.connectionLost = !m_conn || PQstatus(m_conn) != CONNECTION_OK;
    if (result && PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)) {
        const std::string primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
        error.message = TranslateMessage(primary);
    } else {
        error.message = TranslateMessage(m_conn ? PQerrorMessage(m_conn) : "");
    }
    if (error.connectionLost && error.message.IsEmpty()) {
        error.message = "サーバーとの接続が切れました"_sj;
    }
    return error;
}

bool Connection::Exec(const std::string& sql, ServerError& error) {
    if (!m_conn) {
        error = {"", "サーバーに接続していません"_sj, true};
        return false;
    }
    EnglishMessages english;
    Result result(PQexec(m_conn, sql.c_str()));
    const ExecStatusType status = result.Raw() ? PQresultStatus(result.Raw()) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        return true;
    }
    error = errorOf(result.Raw());
    return false;
}

std::optional<Result> Connection::Query(const std::string& sql, const std::vector<Param>& params,
                                        ServerError& error, bool binaryResult) {
    if (!m_conn) {
        error = {"", "サーバーに接続していません"_sj, true};
        return std::nullopt;
    }
    std::vector<const char*> values;
    std::vector<int> lengths;
    std::vector<int> formats;
    for (const Param& p : params) {
        values.push_back(p.value ? p.value->data() : nullptr);
        lengths.push_back(p.value ? int(p.value->size()) : 0);
        formats.push_back(p.binary ? 1 : 0);
    }
    EnglishMessages english;
    Result result(PQexecParams(m_conn, sql.c_str(), int(values.size()), nullptr, values.data(),
                               lengths.data(), formats.data(), binaryResult ? 1 : 0));
    const ExecStatusType status = result.Raw() ? PQresultStatus(result.Raw()) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        return result;
    }
    error = errorOf(result.Raw());
    return std::nullopt;
}

// Sends a COPY statement; true when the server is ready to send (toClient) or to take the rows.
bool Connection::beginCopy(const std::string& sql, bool toClient, ServerError& error) {
    if (!m_conn) {
        error = {"", "サーバーに接続していません"_sj, true};
        return false;
    }
    Result start(PQexec(m_conn, sql.c_str()));
    if (start.Raw() && PQresultStatus(start.Raw()) == (toClient ? PGRES_COPY_OUT : PGRES_COPY_IN)) {
        return true;
    }
    error = errorOf(start.Raw());
    return false;
}

bool Connection::CopyOut(const std::string& sql, const std::function<bool(std::string_view)>& row,
                         ServerError& error) {
    EnglishMessages english;
    if (!beginCopy(sql, true, error)) {
        return false;
    }
    bool stopped = false;
    for (;;) {
        char* buffer = nullptr;
        const int n = PQgetCopyData(m_conn, &buffer, 0);
        if (n < 0) {
            break;
        }
        if (!stopped && !row({buffer, std::size_t(n)})) {
            stopped = true;
        }
        PQfreemem(buffer);
    }
    Result end(PQgetResult(m_conn));
    drainResults();
    if (stopped) {
        return false;
    }
    if (!end.Raw() || PQresultStatus(end.Raw()) != PGRES_COMMAND_OK) {
        error = errorOf(end.Raw());
        return false;
    }
    return true;
}

bool Connection::CopyIn(
    const std::string& sql,
    const std::function<bool(const std::function<bool(std::string_view)>& put)>& write,
    ServerError& error) {
    EnglishMessages english;
    if (!beginCopy(sql, false, error)) {
        return false;
    }
    bool sent = true;
    const bool complete = write([&](std::string_view data) {
        sent = sent && PQputCopyData(m_conn, data.data(), int(data.size())) == 1;
        return sent;
    });
    PQputCopyEnd(m_conn, complete && sent ? nullptr : "cancelled");
    Result end(PQgetResult(m_conn));
    drainResults();
    if (!complete) {
        return false; // the writer says why
    }
    if (!sent || !end.Raw() || PQresultStatus(end.Raw()) != PGRES_COMMAND_OK) {
        error = errorOf(end.Raw());
        return false;
    }
    return true;
}

bool Connection::TakeNotifications(bool& connected) {
    connected = IsOpen() && PQconsumeInput(m_conn) == 1 && PQstatus(m_conn) == CONNECTION_OK;
    return TakeQueuedNotifications();
}

bool Connection::TakeQueuedNotifications() {
    bool any = false;
    while (PGnotify* n = m_conn ? PQnotifies(m_conn) : nullptr) {
        any = true;
        PQfreemem(n);
    }
    return any;
}

} // namespace server
