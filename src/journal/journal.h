#pragma once

// The journal: every configuration read from a panel, written to one, opened from a file or
// saved to one, kept in an SQLite database on this computer.

#include "gsm/program_state.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv::journal {

enum class TAction { Read, Write, Open, Save };

// The action's stored code: "read", "write", "open", "save".
std::string_view ActionCode(TAction action);
std::optional<TAction> ActionFromCode(std::string_view code);
// The action as the user reads it: "Чтение", "Запись", "Открытие", "Сохранение".
QString ActionText(TAction action);

// What one entry records, as the caller knows it.
struct TNewEntry {
    TAction action = TAction::Read;
    QString port;     // reads and writes
    QString filePath; // files
    int deviceType = 0;
    QString deviceName;
    int firmware = 0;
    std::string config; // the configuration file's text
    QString site;
    QString note;
    QDateTime time; // when it happened; invalid: now
    // A write: how many settings it changed on the panel, when what the panel held was known.
    std::optional<int> changed{};
};

// An entry for the state's configuration as the program would save it now; the state must have
// a device.
TNewEntry EntryFromState(TAction action, const TProgramState& state, const QString& port = {},
                         const QString& filePath = {});

struct TEntry {
    qint64 id = 0;  // this journal's number for it
    QString uuid;   // the same in every journal that holds it
    QString origin; // the journal it was made in
    qint64 seq = 0; // its place in that journal's stream
    QDateTime time; // UTC
    QString user;   // the operating-system user who made it
    QString host;   // the computer it was made on
    TAction action = TAction::Read;
    QString port;
    QString filePath;
    int deviceType = 0;
    QString deviceName;
    int firmware = 0;
    QString sha256; // of the configuration's text, lower-case hexadecimal
    QString site;
    QString note;
    bool sent = false; // false: only in this journal
    // The server login that brought it from the shared journal; empty when it was made here.
    QString insertedBy;
    // How many settings a write changed on the panel; nothing when not known (kept in this
    // journal only).
    std::optional<int> changed;
};

// What a list is ordered by; entries alike in it follow in order of time, then id, so that a list
// read a page at a time neither repeats nor skips an entry.
enum class TOrder { Time, Action, Changed, Site, Device, Firmware, Place, OnlyHere, User, Host, Note };

struct TFilter {
    QString site{};     // a part of the site name, any case
    QString siteIs{};   // the site name whole, any case
    QString search{};   // a part of the site name, note, device name or file path, any case
    int deviceType = 0; // 0: any
    // Any of these device types (those that share a name, as the list shows it); empty: any.
    std::vector<int> deviceTypes{};
    QString user{}; // the operating-system user who made it, exactly; empty: any
    QString host{}; // the computer it was made on, exactly; empty: any
    int limit = 0;  // so many of the newest; 0: all
    int offset = 0; // after skipping so many of the newest
    // Only entries after this one in the list's order: a list read a page at a time stays in
    // place while new entries arrive.
    struct TPlace {
        QDateTime time;
        qint64 id = 0;
        QVariant key{}; // the value ordered by, when the order is not by time
    };
    std::optional<TPlace> before{};
    TOrder order = TOrder::Time;
    bool ascending = false; // false: the newest, the largest, the last in the alphabet first
};

// Who made entries: an operating-system user on a computer.
struct TAuthor {
    QString user;
    QString host;
    bool operator==(const TAuthor&) const = default;
};

struct TListing {
    std::vector<TEntry> entries; // in the filter's order
    int skipped = 0;             // damaged entries left out
    // How many entries the filter lets through in all, when the page shows where they end;
    // otherwise Count() tells.
    std::optional<qint64> total;
    QString warning; // for the user when anything was left out, in Russian
    // Where the rows read end in the list's order, damaged ones included: the next page starts
    // before it. Nothing when no row was read or its place could not be told.
    std::optional<TFilter::TPlace> last;
};

enum class TConfigState {
    Ok,
    Damaged,          // missing, unreadable, or not the text its SHA-256 was taken of
    NotAConfiguration // the text is intact but no longer reads as a configuration
};

struct TStoredConfig {
    TConfigState state = TConfigState::Damaged;
    std::string text; // as recorded (empty when damaged)
};

// The sentence that says why an entry's configuration cannot be used.
QString ConfigStateText(TConfigState state, qint64 id);

namespace detail {
struct TJournalAccess;
}

// One connection to a journal database. Not shared between threads.
class TJournal {
public:
    // The journal file: ORVANTA_JOURNAL when set, otherwise journal.sqlite in the program's local
    // data folder (never a roaming profile, which may be a network share where SQLite's WAL does
    // not work; a journal found there is moved on first use).
    static QString DefaultPath();

    explicit TJournal(QString path = DefaultPath());
    ~TJournal();
    TJournal(const TJournal&) = delete;
    TJournal& operator=(const TJournal&) = delete;

    // Opens the database to write, creating it and its folder when missing and bringing an older
    // schema up to date. False when the journal cannot be used; Problem() then says why.
    bool Open();
    // Opens it to read: as Open() where this program may write, otherwise (read-only media, a
    // file or folder without the right to write) read-only, as it is, leaving no file behind.
    bool OpenForReading();
    bool IsOpen() const { return open_; }
    bool IsReadOnly() const { return open_ && readOnly_; }

    // What is wrong with the journal and where it is, for the user, in Russian; empty when
    // nothing went wrong.
    const QString& Problem() const { return problem_; }
    const QString& Path() const { return path_; }
    // The id of this journal's stream.
    const QString& Origin() const { return origin_; }

    // Adds an entry in one transaction; its id, or nothing (Problem() says why).
    std::optional<qint64> Record(const TNewEntry& entry);
    // Adds entries in one transaction, all or none; their ids in order.
    std::optional<std::vector<qint64>> Record(std::span<const TNewEntry> entries);

    // The entry a user names: by its number in this journal, its uuid, or the first characters
    // of its uuid (at least 8, naming one entry). Nothing when there is none; why then says so in
    // Russian.
    std::optional<qint64> Lookup(const QString& reference, QString& why);

    // The entries the filter lets through, in its order; a list shows them a page at a time
    // (limit and offset) with the Count of them all.
    TListing List(const TFilter& filter = {});
    std::optional<qint64> Count(const TFilter& filter = {});
    std::optional<TEntry> Find(qint64 id);
    // Every user and computer that made entries, in order of user, then computer.
    std::vector<TAuthor> Authors();
    // The entry's configuration, checked against its SHA-256 and read as a configuration;
    // nothing when there is no such entry.
    std::optional<TStoredConfig> Configuration(qint64 id);
    // Changes the site name or the note, each a record of its own, so that a change of the other
    // made elsewhere meanwhile survives; false when there is no such entry or the change could
    // not be stored.
    bool SetSite(qint64 id, const QString& site);
    bool SetNote(qint64 id, const QString& note);

    // The site of the newest entry of the file that names one; empty when none does.
    QString SiteOfFile(const QString& filePath);
    // Whether the journal holds a configuration of this text (SHA-256, lower-case hexadecimal).
    bool HoldsConfiguration(const QString& sha256);

    // The schema version the database is at (0 before Open).
    int SchemaVersion();

private:
    friend struct detail::TJournalAccess;

    bool EnsureOpen(bool write);
    bool OpenDatabase();
    bool OpenReadOnly();
    void Close();
    bool CanWrite() const;
    void MoveFromRoamingFolder() const;
    bool Fail(const QString& reason);
    bool FailWith(const class QSqlError& error);
    bool Newer(int version, int compatible);
    bool CheckVersion(int version);
    bool Migrate();
    bool ReadOrigin();
    bool Annotate(qint64 id, const std::optional<QString>& site, const std::optional<QString>& note);
    QString EntryColumns() const;
    // How many entries the trigram index finds for a searched part; nothing when it cannot tell.
    std::optional<qint64> SearchMatches(const QString& search);

    QString path_;
    QString connection_;
    QString origin_;
    QString problem_;
    int schema_ = 0; // the schema version the open database is at
    bool open_ = false;
    bool readOnly_ = false;
};

} // namespace orv::journal
