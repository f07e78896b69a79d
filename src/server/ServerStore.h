#pragma once
// The store of a workstation that works on the department's server. Every confirmed change is
// one transaction, committed before its dialog closes; the server numbers all changes, gives a
// new case its record index and a new incident its row. The other workstations' changes come
// in the server's order (LISTEN / NOTIFY tells of them) and reach the document through its own
// operations. A correction of what another workstation changed since the dialog opened is
// refused with what changed; a lost connection refuses confirmations until the store has
// connected again by itself, waiting longer after each failed try.
//
// Nothing here waits on its own: the program's event loop asks NextWait what to wait for and
// calls OnReady when it has come.

#include "registry/ChangeStore.h"
#include "server/Connection.h"
#include "server/Registry.h"
#include "server/Schema.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace server {

struct ChangeBatch;

class ServerStore final : public registry::ChangeStore {
public:
    struct Hooks {
        // The document holds changes of other workstations: the list shows them.
        std::function<void()> changed;
        // The connection's state changed: StatusText says it now.
        std::function<void()> status;
        // The store waits for something else now (NextWait).
        std::function<void()> rewatch;
        // The clock in milliseconds (tests give their own).
        std::function<long long()> nowMs;
    };

    // db is open, logged in with login, and doc was loaded from it with versions; both are the
    // store's from now on.
    ServerStore(std::string conninfo, Login login, std::unique_ptr<Connection> db,
                CQuellmarkDoc& doc, Versions versions, Hooks hooks);
    ~ServerStore() override;

    // Listens for the other workstations' changes and brings in those made since the load.
    bool Start(CString& error);
    // A new login after a logout: db is open with login; brings in what changed meanwhile.
    bool Resume(Login login, std::unique_ptr<Connection> db, CString& error);
    // Whether the login is the registry's administrator role.
    bool IsAdministrator() const { return !m_login.role.empty() && m_login.role == m_roles.admin; }

    struct Wait {
        int fd = -1;        // -1: no socket to watch
        bool write = false; // wait until fd can be written instead of read
        int timeoutMs = -1; // -1: no time limit
    };
    Wait NextWait() const;
    // What NextWait waited for has come (or its time passed).
    void OnReady();

    bool IsConnected() const { return m_state == State::Connected; }
    // Brings in what the other workstations changed since; false when it could not (the
    // connection went, say).
    bool CatchUp();
    // For the status bar: where the registry is and whether the connection stands.
    CString StatusText() const;
    // The number of changes this store applied that other workstations made.
    long long AppliedRemoteChanges() const { return m_appliedRemote; }

    registry::ChangeBase BaseOf(const CQuellmarkDoc& doc,
                                const registry::ChangeTarget& target) const override;
    bool Confirm(CQuellmarkDoc& doc, registry::JournalEntry& entry, registry::ChangeBase& base,
                 CString& message) override;
    // Every confirmation is on the server already: nothing is left to keep; the connection
    // ends with the session.
    bool EndSession(CQuellmarkDoc&, CString&, CString&, fw::Progress&) override;
    bool EndsSessionAtOnce() const override { return true; }
    bool HasHistory() const override { return IsAdministrator() && IsConnected(); }
    bool HistoryOf(const CQuellmarkDoc& doc, int recordIndex,
                   std::vector<registry::HistoryLine>& lines, CString& error) override;

private:
    // PasswordRefused: connecting again, the login's password was refused (another
    // workstation changed it); nothing more is tried until the user logs in anew.
    enum class State { Connected, Waiting, Connecting, Broken, LoggedOut, PasswordRefused };

    bool fetchBatch(ChangeBatch& batch, CString& error);
    bool applyBatch(const ChangeBatch& batch, bool fromOthers);
    void afterCommands();
    void lost();
    void startConnecting();
    void connected();
    void setState(State state);
    std::uint64_t versionOf(const registry::ChangeTarget& target) const;

    // The steps of one confirmation inside its transaction.
    struct Outcome;
    bool writeChange(registry::JournalEntry& entry, registry::ChangeBase& base, Outcome& outcome,
                     CString& message);
    bool keptIncident(registry::JournalEntry& entry, Outcome& outcome, CString& message);
    bool writeCase(registry::JournalEntry& entry, registry::ChangeBase& base, Outcome& outcome,
                   CString& message);
    bool writeList(const registry::JournalEntry& entry, registry::ChangeBase& base,
                   Outcome& outcome, CString& message);
    bool writePasswords(const registry::JournalEntry& entry, CString& message);
    bool writeHospital(const registry::JournalEntry& entry, registry::ChangeBase& base,
                       Outcome& outcome, CString& message);
    bool conflict(const char* table, const std::string& where, std::vector<Param> params,
                  const CString& what, registry::ChangeBase& base, bool& refused, CString& message);

    std::string m_conninfo;
    Login m_login;
    Roles m_roles;
    std::unique_ptr<Connection> m_db;
    CQuellmarkDoc& m_doc;
    Versions m_versions;
    Hooks m_hooks;
    State m_state = State::Connected;
    // A connection being made on its thread: what it made, and a pipe it writes to when done.
    struct Connecting {
        Connecting();
        ~Connecting();
        std::mutex mutex;
        bool done = false;
        std::unique_ptr<Connection> db;
        CString error;
        bool passwordRefused = false;
        int ready[2] = {-1, -1};
    };
    std::shared_ptr<Connecting> m_connecting;
    int m_retryMs = 0;
    long long m_retryAt = 0;
    CString m_lastError;
    std::string m_where;
    long long m_appliedRemote = 0;
    unsigned long long m_tokenCount = 0;
};

} // namespace server
