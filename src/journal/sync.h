#pragma once

// The journal shared through a PostgreSQL server: every entry is written on this computer first
// and sent when the server can be reached; the entries other computers sent are fetched.
//
// Records are told apart by their uuid alone. A journal fetches every row the server took since
// its last fetch, in the order of the server's transactions, checks each (a bad row is skipped,
// remembered and reported, never stored), and compares what the server holds with what it has
// sent, sending again what the server lost. A journal that finds records of its own stream it did
// not make (it was copied or restored) goes on under a new stream.

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

    // The stored settings (the program's settings, group journal_server); no server when none are.
    static TServerSettings Load();
    void Save() const;
    static void Clear();
};

// The sslmode values libpq knows, weakest first.
const QStringList& SslModes();

enum class TSyncStatus {
    Synchronised,
    NotSet,      // no server is set
    Unreachable, // no connection, the host is unknown, or the server stopped answering
    Refused,     // the server refused the user (password, rights, no such database)
    SendRefused, // this user may only read: the others' records were fetched, none were sent
    NewerSchema, // the server's journal is of a newer program
    ServerError, // the server failed a query
    LocalError,  // the journal on this computer cannot be used
};

struct TSyncReport {
    TSyncStatus status = TSyncStatus::NotSet;
    QString text; // the connection's state for the user, in Russian
    // Records the server stored in this run (a record it held already is marked sent, not counted).
    qint64 sentEntries = 0;
    qint64 sentChanges = 0; // site names and notes
    qint64 fetchedEntries = 0;
    qint64 fetchedChanges = 0;
    qint64 resent = 0;    // of the sent: records the server had lost
    qint64 rejected = 0;  // rows of the server refused by the checks
    QString rejectedText; // why the first of them was refused, in Russian

    bool Ok() const { return status == TSyncStatus::Synchronised; }
};

// What a comparison of this journal with the server found; nothing is changed by it.
struct TVerifyReport {
    TSyncStatus status = TSyncStatus::NotSet; // Synchronised: the comparison was made
    QString text;
    qint64 lost = 0;       // records marked sent here that the server does not hold
    qint64 unsent = 0;     // records made here not yet sent
    qint64 notFetched = 0; // records of the server this journal does not hold
    qint64 rejected = 0;   // records of the server this journal refused by the checks (not differences)

    bool Same() const { return status == TSyncStatus::Synchronised && lost + unsent + notFetched == 0; }
};

// One journal on this computer synchronised with the server. Its database connections belong to
// the thread that runs it: create, run and destroy it on one thread (Cancel alone may be called
// from any other).
class TJournalSync {
public:
    TJournalSync(QString journalPath, TServerSettings server);
    ~TJournalSync();
    TJournalSync(const TJournalSync&) = delete;
    TJournalSync& operator=(const TJournalSync&) = delete;

    // Sends what the server lacks, fetches what others sent. Safe to break off at any point and
    // to run again: nothing is lost or doubled. Creates the server's tables in an empty database
    // when the user may.
    TSyncReport Run();
    // Only connects and checks (or creates) the server's tables: whether the settings work.
    TSyncReport Check();
    // Compares this journal with the server's by uuid; changes neither.
    TVerifyReport Verify();

    // How long the server may keep a run waiting: stallMs without an answer to any one request,
    // totalMs for the whole run (0: no limit). A run past either is broken off and says so.
    void SetLimits(int stallMs, int totalMs = 0);
    // Breaks off the run under way, from any thread: the connection to the server is cut, so
    // that a wait on a server that stopped answering ends at once.
    void Cancel();

    // Called after each batch of records the server or this journal has taken (for progress, and
    // for the tests that break a synchronisation off halfway).
    void SetOnBatch(std::function<void()> onBatch) { onBatch_ = std::move(onBatch); }

    // How many records to send or fetch in one transaction.
    static constexpr int kBatch = 500;
    static constexpr int kStallMs = 20'000;

private:
    struct TState;
    std::unique_ptr<TState> d_;
    std::function<void()> onBatch_;
};

} // namespace orv::journal
