#pragma once

// The journal shared through a PostgreSQL server: every entry is written on this computer first
// and sent when the server can be reached; the entries other computers sent are fetched.

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace orv::journal {

// Where the shared journal is. The password is never kept here: the PostgreSQL client library
// takes it from ~/.pgpass (PGPASSFILE) or a service file, as every PostgreSQL client does.
struct TServerSettings {
    QString host; // a name, an address, or the folder of a Unix socket; empty: no server
    int port = 5432;
    QString database = QStringLiteral("orvanta");
    QString user;
    QString sslmode = QStringLiteral("prefer"); // as libpq spells it

    bool IsSet() const { return !host.isEmpty(); }
    // "host:port", as messages show it.
    QString Address() const;

    // The stored settings (Zelvorin/Orvanta, group journal_server); no server when none are.
    static TServerSettings Load();
    void Save() const;
    static void Clear();
};

// The sslmode values libpq knows, weakest first.
const QStringList& SslModes();

enum class TSyncStatus {
    Synchronised,
    NotSet,      // no server is set
    Unreachable, // no connection, or the host is unknown
    Refused,     // the server refused the user (password, rights, no such database)
    NewerSchema, // the server's journal is of a newer program
    ServerError, // the server failed a query
    LocalError,  // the journal on this computer cannot be used
};

struct TSyncReport {
    TSyncStatus status = TSyncStatus::NotSet;
    QString text; // the connection's state for the user, in Russian
    qint64 sentEntries = 0;
    qint64 sentChanges = 0; // site names and notes
    qint64 fetchedEntries = 0;
    qint64 fetchedChanges = 0;

    bool Ok() const { return status == TSyncStatus::Synchronised; }
};

// One journal on this computer synchronised with the server. Its database connections belong to
// the thread that runs it: create, run and destroy it on one thread.
class TJournalSync {
public:
    TJournalSync(QString journalPath, TServerSettings server);
    ~TJournalSync();
    TJournalSync(const TJournalSync&) = delete;
    TJournalSync& operator=(const TJournalSync&) = delete;

    // Sends what the server lacks, fetches what others sent. Safe to break off at any point and
    // to run again: nothing is lost or doubled. Creates the server's tables in an empty database.
    TSyncReport Run();
    // Only connects and checks (or creates) the server's tables: whether the settings work.
    TSyncReport Check();

    // Called after each batch of entries or changes the server has taken (for progress, and for
    // the tests that break a synchronisation off halfway).
    void SetOnBatch(std::function<void()> onBatch) { onBatch_ = std::move(onBatch); }

    // How many entries to send or fetch in one transaction.
    static constexpr int kBatch = 500;

private:
    struct TState;
    std::unique_ptr<TState> d_;
    std::function<void()> onBatch_;
};

} // namespace orv::journal
