#include "sync.h"

#include "internal.h"
#include "journal.h"
#include "schema.h"

#include <QDir>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>
#include <map>
#include <set>

#include <netdb.h>
#include <sys/socket.h>

namespace orv::journal {

using detail::Text;
using detail::TWrite;

namespace {

constexpr const char* kGroup = "journal_server";
constexpr const char* kKeep = "; записи сохраняются на этом компьютере";
// Any number of programs may find the server's database empty at once; one creates the tables.
constexpr qint64 kSchemaLock = 0x4f72766e4a726e6cLL;

// What an entry carries from one journal to another, and its configuration.
constexpr std::array<const char*, 17> kEntryColumns{
    "uuid",          "origin", "seq",       "created_ms",  "os_user",     "host_name",
    "action",        "port",   "file_path", "device_type", "device_name", "firmware",
    "config_sha256", "site",   "note",      "site_fold",   "search_fold"};
constexpr std::array<int, 4> kEntryNumbers{2, 3, 9, 11};
constexpr std::array<const char*, 9> kChangeColumns{
    "uuid", "origin", "seq", "created_ms", "os_user", "host_name", "entry_uuid", "site", "note"};
constexpr std::array<int, 2> kChangeNumbers{2, 3};

template <std::size_t N>
QString Columns(const std::array<const char*, N>& columns, const QString& prefix = {}) {
    QStringList list;
    for (const char* column : columns) {
        list << prefix + QLatin1String(column);
    }
    return list.join(QStringLiteral(", "));
}

template <std::size_t N> QString Marks(const std::array<const char*, N>&) {
    QStringList marks;
    for (std::size_t i = 0; i < N; ++i) {
        marks << QStringLiteral("?");
    }
    return marks.join(QStringLiteral(", "));
}

template <std::size_t N, std::size_t M>
void BindRow(QSqlQuery& target, const QSqlQuery& row, int first, const std::array<const char*, N>&,
             const std::array<int, M>& numbers) {
    for (int i = 0; i < static_cast<int>(N); ++i) {
        const QVariant value = row.value(first + i);
        if (std::find(numbers.begin(), numbers.end(), i) != numbers.end()) {
            target.addBindValue(value.toLongLong());
        } else {
            target.addBindValue(Text(value.toString()));
        }
    }
}

enum class TSide { Local, Server };

struct TFailure {
    TSide side = TSide::Server;
    QSqlError error;
    QString text; // when there is no error of the database
};

bool HostKnown(const QString& host) {
    if (host.startsWith(u'/') || host.startsWith(u'@')) {
        return true; // a Unix socket's folder
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(host.toLocal8Bit().constData(), nullptr, &hints, &found);
    if (found != nullptr) {
        ::freeaddrinfo(found);
    }
    return status != EAI_NONAME && status != EAI_NODATA;
}

bool Mentions(const QString& text, std::initializer_list<const char*> parts) {
    for (const char* part : parts) {
        if (text.contains(QString::fromUtf8(part), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

} // namespace

QString TServerSettings::Address() const {
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

TServerSettings TServerSettings::Load() {
    QSettings store(QSettings::UserScope, QStringLiteral("Zelvorin"), QStringLiteral("Orvanta"));
    store.beginGroup(QLatin1String(kGroup));
    TServerSettings settings;
    settings.host = store.value(QStringLiteral("host")).toString();
    bool ok = false;
    const int port = store.value(QStringLiteral("port")).toInt(&ok);
    if (ok && port > 0 && port < 65536) {
        settings.port = port;
    }
    settings.database = store.value(QStringLiteral("database"), settings.database).toString();
    settings.user = store.value(QStringLiteral("user")).toString();
    const QString sslmode = store.value(QStringLiteral("sslmode")).toString();
    if (SslModes().contains(sslmode)) {
        settings.sslmode = sslmode;
    }
    return settings;
}

void TServerSettings::Save() const {
    QSettings store(QSettings::UserScope, QStringLiteral("Zelvorin"), QStringLiteral("Orvanta"));
    store.beginGroup(QLatin1String(kGroup));
    store.setValue(QStringLiteral("host"), host);
    store.setValue(QStringLiteral("port"), port);
    store.setValue(QStringLiteral("database"), database);
    store.setValue(QStringLiteral("user"), user);
    store.setValue(QStringLiteral("sslmode"), sslmode);
}

void TServerSettings::Clear() {
    QSettings store(QSettings::UserScope, QStringLiteral("Zelvorin"), QStringLiteral("Orvanta"));
    store.remove(QLatin1String(kGroup));
}

const QStringList& SslModes() {
    static const QStringList modes{QStringLiteral("disable"),   QStringLiteral("allow"),
                                   QStringLiteral("prefer"),    QStringLiteral("require"),
                                   QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
    return modes;
}

struct TJournalSync::TState {
    QString path;
    TServerSettings server;
    QString local; // connection names
    QString remote;
    QString origin; // this journal's stream
    bool localOpen = false;
    std::optional<TFailure> failure;
    TSyncReport report;

    QSqlDatabase Local() const { return QSqlDatabase::database(local, false); }
    QSqlDatabase Remote() const { return QSqlDatabase::database(remote, false); }

    bool Fail(TSide side, const QSqlError& error) {
        failure = TFailure{side, error, {}};
        return false;
    }
    bool Fail(const QSqlQuery& query, TSide side) { return Fail(side, query.lastError()); }

    bool OpenLocal();
    bool OpenServer();
    bool Schema();
    bool SendEntries(const std::function<void()>& onBatch);
    bool SendChanges(const std::function<void()>& onBatch);
    bool Fetch(const std::function<void()>& onBatch);
    bool FetchEntries(const QString& origin, qint64 after, const std::function<void()>& onBatch);
    bool FetchChanges(const QString& origin, qint64 after, const std::function<void()>& onBatch);
    bool MarkSent(const char* table, const QStringList& uuids);
    void Conclude();
};

TJournalSync::TJournalSync(QString journalPath, TServerSettings server) : d_(std::make_unique<TState>()) {
    static std::atomic<int> next{0};
    const int n = next++;
    d_->path = std::move(journalPath);
    d_->server = std::move(server);
    d_->local = QStringLiteral("orvanta-sync-local-%1").arg(n);
    d_->remote = QStringLiteral("orvanta-sync-server-%1").arg(n);
}

TJournalSync::~TJournalSync() {
    for (const QString& name : {d_->local, d_->remote}) {
        if (QSqlDatabase::contains(name)) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }
}

bool TJournalSync::TState::OpenLocal() {
    if (localOpen) {
        return true;
    }
    // The journal's own opening creates or updates the file and gives its stream's id.
    TJournal journal(path);
    if (!journal.Open()) {
        failure = TFailure{TSide::Local, {}, journal.Problem()};
        return false;
    }
    origin = journal.Origin();
    QSqlDatabase db =
        QSqlDatabase::contains(local) ? Local() : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), local);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!db.open()) {
        return Fail(TSide::Local, db.lastError());
    }
    QSqlQuery pragma(db);
    if (!pragma.exec(QStringLiteral("PRAGMA foreign_keys = ON"))) {
        return Fail(pragma, TSide::Local);
    }
    localOpen = true;
    return true;
}

bool TJournalSync::TState::OpenServer() {
    QSqlDatabase db = QSqlDatabase::contains(remote)
                          ? Remote()
                          : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), remote);
    if (db.isOpen()) {
        // A server restarted since the last run leaves a dead connection behind.
        QSqlQuery alive(db);
        if (alive.exec(QStringLiteral("SELECT 1"))) {
            return true;
        }
        db.close();
    }
    if (!db.isValid()) {
        failure = TFailure{TSide::Server, {}, QStringLiteral("нет драйвера PostgreSQL для Qt")};
        return false;
    }
    db.setHostName(server.host);
    db.setPort(server.port);
    db.setDatabaseName(server.database);
    db.setUserName(server.user);
    db.setConnectOptions(
        QStringLiteral("connect_timeout=5;application_name=orvanta;sslmode=%1").arg(server.sslmode));
    if (!db.open()) {
        return Fail(TSide::Server, db.lastError());
    }
    return true;
}

bool TJournalSync::TState::Schema() {
    QSqlDatabase db = Remote();
    auto version = [&](int& found) {
        QSqlQuery query(db);
        // Read from the catalogue as a table: a lookup by name may answer from a cache that has
        // not yet seen the tables another program just committed.
        if (!query.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM pg_catalog.pg_tables WHERE schemaname = "
                                       "current_schema() AND tablename = 'journal_info')"))) {
            return Fail(query, TSide::Server);
        }
        query.next();
        found = 0;
        if (!query.value(0).toBool()) {
            return true;
        }
        if (!query.exec(QStringLiteral("SELECT value FROM journal_info WHERE name = 'schema_version'"))) {
            return Fail(query, TSide::Server);
        }
        if (query.next()) {
            found = query.value(0).toInt();
        }
        return true;
    };
    int found = 0;
    if (!version(found)) {
        return false;
    }
    if (found < kSchemaVersion) {
        if (!db.transaction()) {
            return Fail(TSide::Server, db.lastError());
        }
        QSqlQuery query(db);
        bool ok =
            query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLock)) && version(found);
        for (const TMigration& migration : Migrations()) {
            if (!ok || migration.version <= found || found > kSchemaVersion) {
                continue;
            }
            for (const QString& statement : Statements(migration, kPostgres)) {
                ok = ok && query.exec(statement);
            }
            ok = ok &&
                 query.exec(QStringLiteral("INSERT INTO journal_info (name, value) VALUES ('schema_version', "
                                           "'%1') ON CONFLICT (name) DO UPDATE SET value = EXCLUDED.value")
                                .arg(migration.version));
        }
        if (!ok) {
            if (!failure) {
                Fail(query, TSide::Server);
            }
            db.rollback();
            return false;
        }
        if (!db.commit()) {
            return Fail(TSide::Server, db.lastError());
        }
    }
    if (found > kSchemaVersion) {
        report.status = TSyncStatus::NewerSchema;
        report.text =
            QStringLiteral("Журнал на сервере %1 создан более новой версией программы (версия схемы %2, "
                           "эта программа знает версии до %3)%4")
                .arg(server.Address())
                .arg(found)
                .arg(kSchemaVersion)
                .arg(QString::fromUtf8(kKeep));
        return false;
    }
    return true;
}

bool TJournalSync::TState::MarkSent(const char* table, const QStringList& uuids) {
    QSqlDatabase db = Local();
    TWrite write(db);
    if (!write.Begun()) {
        return Fail(TSide::Local, write.Error());
    }
    QSqlQuery mark(db);
    mark.prepare(QStringLiteral("UPDATE %1 SET sent = 1 WHERE uuid = ?").arg(QLatin1String(table)));
    for (const QString& uuid : uuids) {
        mark.addBindValue(uuid);
        if (!mark.exec()) {
            return Fail(mark, TSide::Local);
        }
    }
    return write.Commit() || Fail(TSide::Local, write.Error());
}

// Unsent entries in the order they were made, a batch at a time: the server holds every
// journal's stream without gaps, which is what fetching relies on. Marked sent only after the
// server committed them; a break in between sends them again, and the server ignores them.
bool TJournalSync::TState::SendEntries(const std::function<void()>& onBatch) {
    QSqlQuery unsent(Local());
    unsent.setForwardOnly(true);
    unsent.prepare(QStringLiteral("SELECT %1, c.size, c.encoding, c.body FROM entries e JOIN configs c "
                                  "ON c.sha256 = e.config_sha256 WHERE e.sent = 0 ORDER BY e.origin, e.seq "
                                  "LIMIT %2")
                       .arg(Columns(kEntryColumns, QStringLiteral("e.")))
                       .arg(kBatch));
    QSqlDatabase db = Remote();
    QSqlQuery config(db);
    config.prepare(QStringLiteral("INSERT INTO configs (sha256, size, encoding, body) VALUES (?, ?, ?, ?) "
                                  "ON CONFLICT DO NOTHING"));
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO entries (%1, sent) VALUES (%2, 1) ON CONFLICT DO NOTHING")
                       .arg(Columns(kEntryColumns), Marks(kEntryColumns)));
    constexpr int kConfig = static_cast<int>(kEntryColumns.size());
    for (;;) {
        if (!unsent.exec()) {
            return Fail(unsent, TSide::Local);
        }
        QStringList uuids;
        if (!db.transaction()) {
            return Fail(TSide::Server, db.lastError());
        }
        while (unsent.next()) {
            config.addBindValue(Text(unsent.value(12).toString()));
            config.addBindValue(unsent.value(kConfig).toLongLong());
            config.addBindValue(Text(unsent.value(kConfig + 1).toString()));
            config.addBindValue(unsent.value(kConfig + 2).toByteArray());
            BindRow(insert, unsent, 0, kEntryColumns, kEntryNumbers);
            if (!config.exec() || !insert.exec()) {
                Fail(config.lastError().isValid() ? config : insert, TSide::Server);
                db.rollback();
                return false;
            }
            uuids << unsent.value(0).toString();
        }
        unsent.finish();
        if (uuids.isEmpty()) {
            db.rollback();
            return true;
        }
        if (!db.commit()) {
            return Fail(TSide::Server, db.lastError());
        }
        if (!MarkSent("entries", uuids)) {
            return false;
        }
        report.sentEntries += uuids.size();
        if (onBatch) {
            onBatch();
        }
    }
}

// Changes of site names and notes, in the order they were made, as far as the first one whose
// entry has not reached the server yet.
bool TJournalSync::TState::SendChanges(const std::function<void()>& onBatch) {
    QSqlQuery unsent(Local());
    unsent.setForwardOnly(true);
    unsent.prepare(
        QStringLiteral("SELECT %1, e.sent FROM annotations a JOIN entries e ON e.uuid = a.entry_uuid "
                       "WHERE a.sent = 0 ORDER BY a.origin, a.seq LIMIT %2")
            .arg(Columns(kChangeColumns, QStringLiteral("a.")))
            .arg(kBatch));
    QSqlDatabase db = Remote();
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO annotations (%1, sent) VALUES (%2, 1) ON CONFLICT DO NOTHING")
                       .arg(Columns(kChangeColumns), Marks(kChangeColumns)));
    constexpr int kEntrySent = static_cast<int>(kChangeColumns.size());
    for (;;) {
        if (!unsent.exec()) {
            return Fail(unsent, TSide::Local);
        }
        QStringList uuids;
        bool held = false;
        if (!db.transaction()) {
            return Fail(TSide::Server, db.lastError());
        }
        while (!held && unsent.next()) {
            if (unsent.value(kEntrySent).toLongLong() == 0) {
                held = true;
                break;
            }
            BindRow(insert, unsent, 0, kChangeColumns, kChangeNumbers);
            QSqlError error;
            if (!insert.exec() || (insert.numRowsAffected() > 0 &&
                                   !detail::ApplyLatestAnnotation(db, unsent.value(6).toString(),
                                                                  QStringLiteral(" FOR UPDATE"), error))) {
                Fail(TSide::Server, error.isValid() ? error : insert.lastError());
                db.rollback();
                return false;
            }
            uuids << unsent.value(0).toString();
        }
        unsent.finish();
        if (uuids.isEmpty()) {
            db.rollback();
            return true;
        }
        if (!db.commit()) {
            return Fail(TSide::Server, db.lastError());
        }
        if (!MarkSent("annotations", uuids)) {
            return false;
        }
        report.sentChanges += uuids.size();
        if (onBatch) {
            onBatch();
        }
        if (held) {
            return true;
        }
    }
}

// The highest seq held of every stream, by origin.
static bool Heads(const QSqlDatabase& db, const char* table, std::map<QString, qint64>& heads,
                  QSqlError& error) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(
            QStringLiteral("SELECT origin, MAX(seq) FROM %1 GROUP BY origin").arg(QLatin1String(table)))) {
        error = query.lastError();
        return false;
    }
    while (query.next()) {
        heads[query.value(0).toString()] = query.value(1).toLongLong();
    }
    return true;
}

// Everything other journals sent that this one lacks: the server's streams past the last seq
// this journal holds of each, read in one snapshot so that every change finds its entry.
bool TJournalSync::TState::Fetch(const std::function<void()>& onBatch) {
    QSqlDatabase db = Remote();
    QSqlQuery begin(db);
    if (!begin.exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"))) {
        return Fail(begin, TSide::Server);
    }
    auto done = [&](bool ok) {
        QSqlQuery(db).exec(ok ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"));
        return ok;
    };
    for (const char* table : {"entries", "annotations"}) {
        std::map<QString, qint64> theirs;
        std::map<QString, qint64> ours;
        QSqlError error;
        if (!Heads(db, table, theirs, error)) {
            Fail(TSide::Server, error);
            return done(false);
        }
        if (!Heads(Local(), table, ours, error)) {
            Fail(TSide::Local, error);
            return done(false);
        }
        for (const auto& [stream, head] : theirs) {
            const qint64 held = ours.contains(stream) ? ours[stream] : 0;
            if (stream == origin || head <= held) {
                continue;
            }
            const bool ok = std::string_view(table) == "entries" ? FetchEntries(stream, held, onBatch)
                                                                 : FetchChanges(stream, held, onBatch);
            if (!ok) {
                return done(false);
            }
        }
    }
    return done(true);
}

bool TJournalSync::TState::FetchEntries(const QString& stream, qint64 after,
                                        const std::function<void()>& onBatch) {
    QSqlQuery rows(Remote());
    rows.setForwardOnly(true);
    rows.prepare(
        QStringLiteral("SELECT %1, c.size, c.encoding, c.body FROM entries e JOIN configs c "
                       "ON c.sha256 = e.config_sha256 WHERE e.origin = ? AND e.seq > ? ORDER BY e.seq "
                       "LIMIT %2")
            .arg(Columns(kEntryColumns, QStringLiteral("e.")))
            .arg(kBatch));
    QSqlDatabase db = Local();
    constexpr int kConfig = static_cast<int>(kEntryColumns.size());
    for (;;) {
        rows.addBindValue(stream);
        rows.addBindValue(after);
        if (!rows.exec()) {
            return Fail(rows, TSide::Server);
        }
        TWrite write(db);
        if (!write.Begun()) {
            return Fail(TSide::Local, write.Error());
        }
        QSqlQuery config(db);
        config.prepare(
            QStringLiteral("INSERT INTO configs (sha256, size, encoding, body) VALUES (?, ?, ?, ?) "
                           "ON CONFLICT DO NOTHING"));
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO entries (%1, sent) VALUES (%2, 1) ON CONFLICT DO NOTHING")
                           .arg(Columns(kEntryColumns), Marks(kEntryColumns)));
        int count = 0;
        while (rows.next()) {
            config.addBindValue(Text(rows.value(12).toString()));
            config.addBindValue(rows.value(kConfig).toLongLong());
            config.addBindValue(Text(rows.value(kConfig + 1).toString()));
            config.addBindValue(rows.value(kConfig + 2).toByteArray());
            BindRow(insert, rows, 0, kEntryColumns, kEntryNumbers);
            if (!config.exec() || !insert.exec()) {
                return Fail(config.lastError().isValid() ? config : insert, TSide::Local);
            }
            report.fetchedEntries += insert.numRowsAffected() > 0 ? 1 : 0;
            after = rows.value(2).toLongLong();
            ++count;
        }
        if (rows.lastError().isValid()) {
            return Fail(rows, TSide::Server);
        }
        if (count == 0) {
            return true;
        }
        if (!write.Commit()) {
            return Fail(TSide::Local, write.Error());
        }
        if (onBatch) {
            onBatch();
        }
        if (count < kBatch) {
            return true;
        }
    }
}

bool TJournalSync::TState::FetchChanges(const QString& stream, qint64 after,
                                        const std::function<void()>& onBatch) {
    QSqlQuery rows(Remote());
    rows.setForwardOnly(true);
    rows.prepare(
        QStringLiteral("SELECT %1 FROM annotations WHERE origin = ? AND seq > ? ORDER BY seq LIMIT %2")
            .arg(Columns(kChangeColumns))
            .arg(kBatch));
    QSqlDatabase db = Local();
    for (;;) {
        rows.addBindValue(stream);
        rows.addBindValue(after);
        if (!rows.exec()) {
            return Fail(rows, TSide::Server);
        }
        TWrite write(db);
        if (!write.Begun()) {
            return Fail(TSide::Local, write.Error());
        }
        QSqlQuery insert(db);
        insert.prepare(
            QStringLiteral("INSERT INTO annotations (%1, sent) VALUES (%2, 1) ON CONFLICT DO NOTHING")
                .arg(Columns(kChangeColumns), Marks(kChangeColumns)));
        std::set<QString> changed;
        int count = 0;
        while (rows.next()) {
            BindRow(insert, rows, 0, kChangeColumns, kChangeNumbers);
            if (!insert.exec()) {
                return Fail(insert, TSide::Local);
            }
            if (insert.numRowsAffected() > 0) {
                ++report.fetchedChanges;
                changed.insert(rows.value(6).toString());
            }
            after = rows.value(2).toLongLong();
            ++count;
        }
        if (rows.lastError().isValid()) {
            return Fail(rows, TSide::Server);
        }
        if (count == 0) {
            return true;
        }
        for (const QString& entry : changed) {
            QSqlError error;
            if (!detail::ApplyLatestAnnotation(db, entry, {}, error)) {
                return Fail(TSide::Local, error);
            }
        }
        if (!write.Commit()) {
            return Fail(TSide::Local, write.Error());
        }
        if (onBatch) {
            onBatch();
        }
        if (count < kBatch) {
            return true;
        }
    }
}

// The failure as the user reads it.
void TJournalSync::TState::Conclude() {
    if (!failure) {
        report.status = TSyncStatus::Synchronised;
        report.text = QStringLiteral("Журнал синхронизирован с сервером %1").arg(server.Address());
        return;
    }
    const QString keep = QString::fromUtf8(kKeep);
    const TFailure& f = *failure;
    const QString why = f.text.isEmpty() ? f.error.databaseText().trimmed() : f.text;
    if (f.side == TSide::Local) {
        report.status = TSyncStatus::LocalError;
        report.text =
            f.text.isEmpty() ? QStringLiteral("Журнал на этом компьютере недоступен: %1").arg(why) : f.text;
        return;
    }
    QSqlDatabase db = Remote();
    const bool lost = f.error.type() == QSqlError::ConnectionError || !db.isOpen() ||
                      !QSqlQuery(db).exec(QStringLiteral("SELECT 1"));
    if (!lost && f.text.isEmpty()) {
        report.status = TSyncStatus::ServerError;
        report.text = QStringLiteral("Ошибка сервера журнала %1: %2%3").arg(server.Address(), why, keep);
        return;
    }
    db.close();
    if (!f.text.isEmpty()) {
        report.status = TSyncStatus::ServerError;
        report.text = QStringLiteral("Сервер журнала недоступен: %1%2").arg(f.text, keep);
    } else if (!HostKnown(server.host)) {
        report.status = TSyncStatus::Unreachable;
        report.text =
            QStringLiteral("Сервер журнала недоступен: компьютер %1 не найден%2").arg(server.host, keep);
    } else if (Mentions(why, {"password", "парол"})) {
        report.status = TSyncStatus::Refused;
        report.text =
            QStringLiteral("Сервер журнала %1 не принял пользователя %2: неверный пароль или пароль не "
                           "найден в ~/.pgpass%3")
                .arg(server.Address(), server.user, keep);
    } else if (Mentions(why, {"authentication", "does not exist", "permission denied", "no pg_hba.conf",
                              "аутентификац", "не существует", "нет доступа"})) {
        report.status = TSyncStatus::Refused;
        report.text =
            QStringLiteral("Сервер журнала %1 отказал в подключении: %2%3").arg(server.Address(), why, keep);
    } else {
        report.status = TSyncStatus::Unreachable;
        report.text =
            QStringLiteral("Сервер журнала недоступен: нет соединения с %1%2").arg(server.Address(), keep);
    }
}

TSyncReport TJournalSync::Run() {
    d_->report = TSyncReport{};
    d_->failure.reset();
    if (!d_->server.IsSet()) {
        d_->report.text = QStringLiteral("Сервер журнала не задан%1").arg(QString::fromUtf8(kKeep));
        return d_->report;
    }
    const bool ok = d_->OpenLocal() && d_->OpenServer() && d_->Schema() && d_->SendEntries(onBatch_) &&
                    d_->SendChanges(onBatch_) && d_->Fetch(onBatch_);
    if (!ok && d_->report.status == TSyncStatus::NewerSchema) {
        return d_->report;
    }
    d_->Conclude();
    return d_->report;
}

TSyncReport TJournalSync::Check() {
    d_->report = TSyncReport{};
    d_->failure.reset();
    if (!d_->server.IsSet()) {
        d_->report.text = QStringLiteral("Сервер журнала не задан%1").arg(QString::fromUtf8(kKeep));
        return d_->report;
    }
    if (!d_->OpenServer() || !d_->Schema()) {
        if (d_->report.status != TSyncStatus::NewerSchema) {
            d_->Conclude();
        }
        return d_->report;
    }
    d_->report.status = TSyncStatus::Synchronised;
    d_->report.text = QStringLiteral("Сервер журнала %1 доступен").arg(d_->server.Address());
    return d_->report;
}

} // namespace orv::journal
