#include "sync.h"

#include "internal.h"
#include "journal.h"
#include "rows.h"
#include "schema.h"

#include "orvanta_version.h"

#include <QDateTime>
#include <QHostAddress>
#include <QHostInfo>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <libpq-fe.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <poll.h>
#include <sys/socket.h>
#endif

namespace orv::journal {

using detail::Text;
using detail::TWrite;

namespace {

constexpr const char* kGroup = "journal_server";
constexpr const char* kKeep = "; записи сохраняются на этом компьютере";
// Any number of programs may find the server's database empty at once; one creates the tables.
constexpr qint64 kSchemaLock = 0x4f72766e4a726e6cLL;
// The longest a connection may take to be made.
constexpr int kConnectMs = 10'000;

// The columns a record travels with, the same on both sides. The search columns are the server's
// since its first version; a journal folds the texts again itself.
constexpr const char* kEntryColumns = "uuid, origin, seq, created_ms, os_user, host_name, action, port, "
                                      "file_path, device_type, device_name, firmware, config_sha256, site, "
                                      "note, site_fold, search_fold";
constexpr int kEntryCount = 17;
constexpr const char* kChangeColumns =
    "uuid, origin, seq, created_ms, os_user, host_name, entry_uuid, site, note, fields";
constexpr int kChangeCount = 10;

QSettings Store() {
    return QSettings(QSettings::UserScope, QString::fromUtf8(version::kCompanyName),
                     QString::fromUtf8(version::kProductName));
}

qint64 Now() {
    return QDateTime::currentMSecsSinceEpoch();
}

TEntryRow EntryRow(const QSqlQuery& q, int at) {
    TEntryRow r;
    r.uuid = q.value(at).toString();
    r.origin = q.value(at + 1).toString();
    r.seq = q.value(at + 2).toLongLong();
    r.createdMs = q.value(at + 3).toLongLong();
    r.osUser = q.value(at + 4).toString();
    r.hostName = q.value(at + 5).toString();
    r.action = q.value(at + 6).toString();
    r.port = q.value(at + 7).toString();
    r.filePath = q.value(at + 8).toString();
    r.deviceType = q.value(at + 9).toLongLong();
    r.deviceName = q.value(at + 10).toString();
    r.firmware = q.value(at + 11).toLongLong();
    r.configSha256 = q.value(at + 12).toString();
    r.site = q.value(at + 13).toString();
    r.note = q.value(at + 14).toString();
    return r;
}

// The values of kEntryColumns, in order.
QVariantList Values(const TEntryRow& r) {
    return {Text(r.uuid),
            Text(r.origin),
            r.seq,
            r.createdMs,
            Text(r.osUser),
            Text(r.hostName),
            Text(r.action),
            Text(r.port),
            Text(r.filePath),
            r.deviceType,
            Text(r.deviceName),
            r.firmware,
            Text(r.configSha256),
            Text(r.site),
            Text(r.note),
            Text(r.site.toLower()),
            Text(detail::SearchFold(r.site, r.note, r.deviceName, r.filePath, r.port))};
}

TChangeRow ChangeRow(const QSqlQuery& q, int at) {
    TChangeRow r;
    r.uuid = q.value(at).toString();
    r.origin = q.value(at + 1).toString();
    r.seq = q.value(at + 2).toLongLong();
    r.createdMs = q.value(at + 3).toLongLong();
    r.osUser = q.value(at + 4).toString();
    r.hostName = q.value(at + 5).toString();
    r.entryUuid = q.value(at + 6).toString();
    r.site = q.value(at + 7).toString();
    r.note = q.value(at + 8).toString();
    r.fields = q.value(at + 9).toLongLong();
    return r;
}

// The values of kChangeColumns, in order.
QVariantList Values(const TChangeRow& r) {
    return {Text(r.uuid),     Text(r.origin),    r.seq,        r.createdMs,  Text(r.osUser),
            Text(r.hostName), Text(r.entryUuid), Text(r.site), Text(r.note), r.fields};
}

void Bind(QSqlQuery& query, const QVariantList& values) {
    for (const QVariant& value : values) {
        query.addBindValue(value);
    }
}

QString Marks(int count) {
    QStringList marks;
    for (int i = 0; i < count; ++i) {
        marks << QStringLiteral("?");
    }
    return marks.join(QStringLiteral(", "));
}

bool Mentions(const QString& text, std::initializer_list<const char*> parts) {
    for (const char* part : parts) {
        if (text.contains(QString::fromUtf8(part), Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

// What went wrong with the server, as far as the user must be told apart.
enum class TKind {
    Lost,
    TimedOut,
    NoRights,
    NoDatabase,
    BadPassword,
    NoPassword,
    NoRole,
    NotAllowed,
    Tls,
    Other
};

// By SQLSTATE where the server gave one; a failed connection carries only the text of the
// server (in its language) or of libpq.
TKind Kind(const QSqlError& error) {
    const QString code = error.nativeErrorCode();
    if (code == QLatin1String("42501")) {
        return TKind::NoRights;
    }
    if (code == QLatin1String("3D000")) {
        return TKind::NoDatabase;
    }
    if (code == QLatin1String("28P01")) {
        return TKind::BadPassword;
    }
    if (code == QLatin1String("57014")) {
        return TKind::TimedOut;
    }
    if (code.startsWith(QLatin1String("08")) || code.startsWith(QLatin1String("57P"))) {
        return TKind::Lost;
    }
    const QString text = error.databaseText() + u' ' + error.driverText();
    if (Mentions(text, {"no password supplied", "пароль не указан"})) {
        return TKind::NoPassword;
    }
    if (Mentions(text, {"password authentication failed", "проверку подлинности (по паролю)"})) {
        return TKind::BadPassword;
    }
    if (Mentions(text, {"pg_hba.conf"})) {
        return TKind::NotAllowed;
    }
    // Before "does not exist": a missing root certificate is said so too.
    if (Mentions(text, {"SSL", "certificate", "сертификат"})) {
        return TKind::Tls;
    }
    if (Mentions(text, {"does not exist", "не существует"})) {
        return Mentions(text, {"database", "база данных"}) ? TKind::NoDatabase : TKind::NoRole;
    }
    if (Mentions(text, {"permission denied", "нет доступа"})) {
        return TKind::NoRights;
    }
    if (code == QLatin1String("28000")) {
        return TKind::NotAllowed;
    }
    return error.type() == QSqlError::ConnectionError ? TKind::Lost : TKind::Other;
}

// The connection's socket, cut from any thread to end a wait on a server that stopped answering:
// the server's own time limits cannot help when it is not running.
class TLine {
public:
    void Attach(const QSqlDatabase& db) {
        const QVariant handle = db.driver()->handle();
        int socket = -1;
        // Qt names the type as libpq declares it, struct pg_conn.
        if (handle.isValid() &&
            (qstrcmp(handle.typeName(), "PGconn*") == 0 || qstrcmp(handle.typeName(), "pg_conn*") == 0)) {
            if (PGconn* conn = *static_cast<PGconn* const*>(handle.data()); conn != nullptr) {
                socket = PQsocket(conn);
            }
        }
        std::lock_guard lock(mutex_);
        socket_ = socket;
        if (cut_) {
            Shut();
        }
    }
    // Before the connection is closed, so that its socket's number is never cut once reused.
    void Detach() {
        std::lock_guard lock(mutex_);
        socket_ = -1;
    }
    void Cut() {
        std::lock_guard lock(mutex_);
        cut_ = true;
        Shut();
    }
    bool IsCut() {
        std::lock_guard lock(mutex_);
        return cut_;
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        cut_ = false;
    }

private:
    void Shut() {
        if (socket_ >= 0) {
#ifdef Q_OS_WIN
            ::shutdown(static_cast<SOCKET>(socket_), SD_BOTH);
#else
            ::shutdown(socket_, SHUT_RDWR);
#endif
        }
    }

    std::mutex mutex_;
    int socket_ = -1;
    bool cut_ = false;
};

// A host name looked up within a time limit (the system's lookup may wait far longer when no
// name server answers); the lookup left running ends on its own.
struct TLookup {
    enum class TResult { Found, Unknown, Slow } result = TResult::Slow;
    QString address;
};

// Waits until the socket can be read or written, or the time is up.
void Await(int socket, bool reading, int ms) {
#ifdef Q_OS_WIN
    WSAPOLLFD fd{static_cast<SOCKET>(socket), static_cast<SHORT>(reading ? POLLRDNORM : POLLWRNORM), 0};
    ::WSAPoll(&fd, 1, ms);
#else
    pollfd fd{socket, static_cast<short>(reading ? POLLIN : POLLOUT), 0};
    ::poll(&fd, 1, ms);
#endif
}

TLookup LookUp(const QString& host, int limitMs, TLine& line) {
    if (QHostAddress address; address.setAddress(host)) {
        return {TLookup::TResult::Found, address.toString()};
    }
    struct TShared {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<QHostInfo> info;
    };
    auto shared = std::make_shared<TShared>();
    std::thread([shared, host] {
        QHostInfo info = QHostInfo::fromName(host);
        std::lock_guard lock(shared->mutex);
        shared->info = std::move(info);
        shared->done.notify_all();
    }).detach();
    std::unique_lock lock(shared->mutex);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!shared->done.wait_for(lock, std::chrono::milliseconds(20),
                                  [&] { return shared->info.has_value(); })) {
        if (std::chrono::steady_clock::now() > until || line.IsCut()) {
            return {};
        }
    }
    // IPv4 first: a server set up by the README listens on it; libpq tries each address given.
    QList<QHostAddress> found = shared->info->addresses();
    std::stable_sort(found.begin(), found.end(), [](const QHostAddress& a, const QHostAddress& b) {
        return a.protocol() == QAbstractSocket::IPv4Protocol && b.protocol() != QAbstractSocket::IPv4Protocol;
    });
    if (found.isEmpty()) {
        return {TLookup::TResult::Unknown, {}};
    }
    return {TLookup::TResult::Found, found.front().toString()};
}

bool IsSocketFolder(const QString& host) {
    return host.startsWith(u'/') || host.startsWith(u'@');
}

// Where a fetch has come to in a table: the server's transaction and row.
struct TCursor {
    QString xid = QStringLiteral("0");
    qint64 id = 0;
};

} // namespace

QString TServerSettings::Address() const {
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

TServerSettings TServerSettings::Load() {
    QSettings store = Store();
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
    QSettings store = Store();
    store.beginGroup(QLatin1String(kGroup));
    store.setValue(QStringLiteral("host"), host);
    store.setValue(QStringLiteral("port"), port);
    store.setValue(QStringLiteral("database"), database);
    store.setValue(QStringLiteral("user"), user);
    store.setValue(QStringLiteral("sslmode"), sslmode);
}

void TServerSettings::Clear() {
    QSettings store = Store();
    store.remove(QLatin1String(kGroup));
}

const QStringList& SslModes() {
    static const QStringList modes{QStringLiteral("disable"),   QStringLiteral("allow"),
                                   QStringLiteral("prefer"),    QStringLiteral("require"),
                                   QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
    return modes;
}

// The two kinds of record, for what sending and fetching do alike with both.
struct TTable {
    const char* name;    // the table, on both sides
    const char* columns; // what travels
    int count;
    bool entries; // entries, or changes of them
};

constexpr TTable kEntries{"entries", kEntryColumns, kEntryCount, true};
constexpr TTable kChanges{"annotations", kChangeColumns, kChangeCount, false};

struct TJournalSync::TState {
    enum class TStage { Local, Lookup, Connect, Schema, Send, Fetch };
    struct TFailure {
        TStage stage = TStage::Connect;
        QSqlError error;
        QString text; // the whole sentence, when it is not the database's error
    };

    QString path;
    TServerSettings server;
    QString remote; // the server connection's name
    std::unique_ptr<TJournal> journal;
    TLine line;
    int stallMs = kStallMs;
    int totalMs = 0;
    std::atomic<qint64> answered{0};
    std::atomic<bool> timedOut{false};
    std::optional<TFailure> failure;
    TSyncReport report;
    bool sendRefused = false;
    qint64 sendFailed = 0; // records the server refused one by one
    QString sendFailedText;
    bool anotherHolder = false;
    std::set<QString> configsSent; // in this run, by this login
    std::function<void()> onBatch;

    QSqlDatabase Local() const { return detail::TJournalAccess::Database(*journal); }
    QSqlDatabase Remote() const { return QSqlDatabase::database(remote, false); }

    bool Fail(TStage stage, const QSqlError& error) {
        failure = TFailure{stage, error, {}};
        return false;
    }
    bool FailText(TStage stage, const QString& text) {
        failure = TFailure{stage, {}, text};
        return false;
    }
    bool FailLocal() { return FailText(TStage::Local, journal->Problem()); }
    bool FailLocal(const QSqlError& error) {
        return FailText(TStage::Local,
                        QStringLiteral("Журнал на этом компьютере недоступен: %1").arg(error.databaseText()));
    }
    // A request to the server; each answer moves the stall limit on. Its values are quoted into
    // the text by the driver: a statement Qt prepares on the server tries to free itself when it
    // is destroyed, and on a connection that is gone it says so on stderr.
    bool Exec(QSqlQuery& query, const QString& sql, const QVariantList& values) {
        return Exec(query, detail::Filled(Remote(), sql, values));
    }
    bool Exec(QSqlQuery& query, const QString& sql) {
        // Qt closes a connection that broke, and warns on stderr of a statement sent to it.
        if (!Remote().isOpen()) {
            return false;
        }
        // A new result for each statement: Qt 6.4's driver, given another statement on the same
        // query, reports the rows the one before affected.
        const bool forwardOnly = query.isForwardOnly();
        query = QSqlQuery(Remote());
        query.setForwardOnly(forwardOnly);
        const bool ok = query.exec(sql);
        answered = Now();
        return ok;
    }
    void Batch() {
        answered = Now();
        if (onBatch) {
            onBatch();
        }
    }

    bool OpenLocal();
    bool Probe(const QString& address, int limitMs);
    bool OpenServer();
    void CloseServer();
    bool Schema(bool& created);
    std::optional<QString> Instance();
    bool Follow(const QString& instance);
    bool SendAll();
    bool Send(const TTable& table);
    bool SendBatch(const TTable& table, QSqlQuery& rows, std::vector<qint64>& stored, qint64& storedNew);
    bool SendRow(const TTable& table, const QSqlQuery& row, QSqlQuery& insert,
                 detail::TConfigInserter& configs);
    bool Fetch(bool repair);
    bool FetchTable(const TTable& table, const QString& horizon, const QString& xmax);
    bool KeepEntries(const std::vector<TEntryRow>& rows, TCursor cursor);
    bool KeepChanges(const std::vector<TChangeRow>& rows, TCursor cursor);
    bool Reject(const QString& kind, const QString& uuid, const QString& origin, const QString& why);
    bool Known(const TTable& table, const QString& uuid, bool& known);
    bool FindLost(const TTable& table, const QString& horizon, qint64& lost);
    TCursor Cursor(const TTable& table);
    bool MarkSent(const TTable& table, const std::vector<qint64>& ids);
    void Conclude();
    QString FailureText(TSyncStatus& status);
};

TJournalSync::TJournalSync(QString journalPath, TServerSettings server) : d_(std::make_unique<TState>()) {
    static std::atomic<int> next{0};
    d_->path = std::move(journalPath);
    d_->server = std::move(server);
    d_->remote = QStringLiteral("orvanta-sync-server-%1").arg(next++);
}

TJournalSync::~TJournalSync() {
    d_->CloseServer();
    if (QSqlDatabase::contains(d_->remote)) {
        QSqlDatabase::removeDatabase(d_->remote);
    }
}

void TJournalSync::SetLimits(int stallMs, int totalMs) {
    d_->stallMs = stallMs;
    d_->totalMs = totalMs;
}

void TJournalSync::Cancel() {
    d_->line.Cut();
}

namespace {

// Watches a run from a thread of its own and cuts the line when the server keeps it waiting past
// the limits.
class TWatch {
public:
    TWatch(TLine& line, std::atomic<qint64>& answered, std::atomic<bool>& timedOut, int stallMs, int totalMs)
        : line_(line), answered_(answered), timedOut_(timedOut), stallMs_(stallMs), totalMs_(totalMs) {
        line_.Reset();
        timedOut_ = false;
        answered_ = Now();
        if (stallMs_ > 0 || totalMs_ > 0) {
            thread_ = std::thread([this] { Watch(); });
        }
    }
    ~TWatch() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    TWatch(const TWatch&) = delete;
    TWatch& operator=(const TWatch&) = delete;

private:
    void Watch() {
        const qint64 start = Now();
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(20), [this] { return done_.load(); })) {
            const qint64 now = Now();
            if ((stallMs_ > 0 && now - answered_ > stallMs_) || (totalMs_ > 0 && now - start > totalMs_)) {
                timedOut_ = true;
                line_.Cut();
                return;
            }
        }
    }

    TLine& line_;
    std::atomic<qint64>& answered_;
    std::atomic<bool>& timedOut_;
    const int stallMs_;
    const int totalMs_;
    std::mutex mutex_;
    std::condition_variable wake_;
    // Atomic as well as set under the mutex: the end of a run is told to the watch however the
    // two threads are scheduled.
    std::atomic<bool> done_ = false;
    std::thread thread_;
};

} // namespace

bool TJournalSync::TState::OpenLocal() {
    if (!journal) {
        journal = std::make_unique<TJournal>(path);
    }
    return journal->Open() || FailLocal();
}

void TJournalSync::TState::CloseServer() {
    line.Detach();
    if (QSqlDatabase::contains(remote)) {
        QSqlDatabase::database(remote, false).close();
    }
}

// Whether the server takes a connection, found out without blocking: the connection Qt makes
// waits in libpq, where a run cannot be broken off. What a refusal says is the server's own.
bool TJournalSync::TState::Probe(const QString& address, int limitMs) {
    std::vector<std::pair<const char*, QByteArray>> params{
        {"host", server.host.toUtf8()},
        {"port", QByteArray::number(server.port)},
        {"dbname", server.database.toUtf8()},
        {"user", server.user.toUtf8()},
        {"sslmode", server.sslmode.toUtf8()},
        {"application_name", QString::fromUtf8(version::kProductName).toLower().toUtf8()}};
    if (!address.isEmpty()) {
        params.emplace_back("hostaddr", address.toUtf8());
    }
    std::vector<const char*> keys;
    std::vector<const char*> values;
    for (const auto& [key, value] : params) {
        keys.push_back(key);
        values.push_back(value.constData());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    const std::unique_ptr<PGconn, void (*)(PGconn*)> conn(PQconnectStartParams(keys.data(), values.data(), 0),
                                                          PQfinish);
    auto refused = [&] {
        return Fail(TStage::Connect,
                    QSqlError(QString(), QString::fromUtf8(PQerrorMessage(conn.get())).trimmed(),
                              QSqlError::ConnectionError));
    };
    if (!conn || PQstatus(conn.get()) == CONNECTION_BAD) {
        return refused();
    }
    // A notice of the server while connecting is not for stderr.
    PQsetNoticeProcessor(
        conn.get(), [](void*, const char*) {}, nullptr);
    const qint64 until = Now() + limitMs;
    PostgresPollingStatusType status = PGRES_POLLING_WRITING;
    while (status != PGRES_POLLING_OK) {
        if (status == PGRES_POLLING_FAILED) {
            return refused();
        }
        if (line.IsCut() || Now() > until) {
            timedOut = timedOut || Now() > until;
            return Fail(TStage::Connect, QSqlError({}, {}, QSqlError::ConnectionError));
        }
        Await(PQsocket(conn.get()), status == PGRES_POLLING_READING, 20);
        status = PQconnectPoll(conn.get());
    }
    return true;
}

bool TJournalSync::TState::OpenServer() {
    QSqlDatabase db = QSqlDatabase::contains(remote)
                          ? Remote()
                          : QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), remote);
    if (db.isOpen()) {
        // A server restarted since the last run leaves a dead connection behind.
        QSqlQuery alive(db);
        if (Exec(alive, QStringLiteral("SELECT 1"))) {
            return true;
        }
        CloseServer();
    }
    if (!db.isValid()) {
        return FailText(TStage::Connect, QStringLiteral("нет драйвера PostgreSQL для Qt"));
    }
    if (line.IsCut()) {
        return Fail(TStage::Connect, QSqlError({}, {}, QSqlError::ConnectionError));
    }
    // libpq's own lookup has no time limit; the address found is handed to it.
    QString address;
    if (!IsSocketFolder(server.host)) {
        const TLookup found = LookUp(server.host, stallMs > 0 ? std::min(stallMs, 5000) : 5000, line);
        if (found.result == TLookup::TResult::Unknown) {
            return FailText(TStage::Lookup, {});
        }
        if (found.result == TLookup::TResult::Slow || line.IsCut()) {
            timedOut = true;
            return Fail(TStage::Connect, QSqlError({}, {}, QSqlError::ConnectionError));
        }
        address = found.address;
    }
    const int connectMs = stallMs > 0 ? std::min(stallMs, kConnectMs) : kConnectMs;
    if (!Probe(address, connectMs)) {
        return false;
    }
    QString options = QStringLiteral("connect_timeout=%1;application_name=%2;sslmode=%3;keepalives=1;"
                                     "keepalives_idle=10;keepalives_interval=5;keepalives_count=3")
                          .arg(kConnectMs / 1000)
                          .arg(QString::fromUtf8(version::kProductName).toLower(), server.sslmode);
    if (!address.isEmpty()) {
        options += QStringLiteral(";hostaddr=%1").arg(address);
    }
    if (stallMs > 0) {
        options += QStringLiteral(";tcp_user_timeout=%1").arg(stallMs);
    }
    db.setHostName(server.host);
    db.setPort(server.port);
    db.setDatabaseName(server.database);
    db.setUserName(server.user);
    db.setConnectOptions(options);
    const bool opened = db.open();
    answered = Now();
    if (!opened) {
        return Fail(TStage::Connect, db.lastError());
    }
    line.Attach(db);
    // The server ends what takes too long itself, and drops a transaction left open by a program
    // that went away.
    QSqlQuery set(db);
    const int limit = stallMs > 0 ? stallMs : kStallMs;
    for (const QString& statement :
         {QStringLiteral("SET statement_timeout = %1").arg(limit),
          QStringLiteral("SET lock_timeout = %1").arg(limit),
          QStringLiteral("SET idle_in_transaction_session_timeout = %1").arg(2 * limit)}) {
        if (!Exec(set, statement)) {
            return Fail(TStage::Connect, set.lastError());
        }
    }
    return true;
}

// The server's journal at this program's version, created or brought up to date where the user
// may; its instance, which a database made anew or restored elsewhere changes.
bool TJournalSync::TState::Schema(bool& created) {
    created = false;
    QSqlDatabase db = Remote();
    int found = 0;
    int compatible = 0;
    auto version = [&] {
        QSqlQuery query(db);
        // Read from the catalogue as a table: a lookup by name may answer from a cache that has
        // not yet seen the tables another program just committed.
        if (!Exec(query,
                  QStringLiteral("SELECT EXISTS (SELECT 1 FROM pg_catalog.pg_tables WHERE schemaname = "
                                 "current_schema() AND tablename = 'journal_info')"))) {
            return Fail(TStage::Schema, query.lastError());
        }
        query.next();
        found = 0;
        compatible = 0;
        if (!query.value(0).toBool()) {
            return true;
        }
        if (!Exec(query, QStringLiteral("SELECT name, value FROM journal_info WHERE name IN "
                                        "('schema_version', 'compatible_version')"))) {
            return Fail(TStage::Schema, query.lastError());
        }
        while (query.next()) {
            (query.value(0).toString() == QLatin1String("schema_version") ? found : compatible) =
                query.value(1).toInt();
        }
        if (compatible == 0) {
            compatible = CompatibleVersion(found);
        }
        return true;
    };
    if (!version()) {
        return false;
    }
    // A migration of the local tables alone leaves the server as it is: logins that may not
    // change its tables go on using it.
    if (found < ServerSchemaVersion()) {
        QSqlQuery begin(db);
        if (!Exec(begin, QStringLiteral("BEGIN"))) {
            return Fail(TStage::Schema, begin.lastError());
        }
        QSqlQuery query(db);
        bool ok =
            Exec(query, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLock)) && version();
        for (const TMigration& migration : Migrations()) {
            if (!ok || migration.version <= found || found > kSchemaVersion) {
                continue;
            }
            for (const QString& statement : Statements(migration, kPostgres)) {
                ok = ok && Exec(query, statement);
            }
            created = true;
        }
        if (ok && created) {
            for (const auto& [name, value] :
                 {std::pair{QStringLiteral("schema_version"), kSchemaVersion},
                  std::pair{QStringLiteral("compatible_version"), CompatibleVersion(kSchemaVersion)}}) {
                ok = ok && Exec(query,
                                QStringLiteral("INSERT INTO journal_info (name, value) VALUES (?, ?) "
                                               "ON CONFLICT (name) DO UPDATE SET value = EXCLUDED.value"),
                                {name, QString::number(value)});
            }
        }
        if (!ok) {
            if (!failure) {
                Fail(TStage::Schema, query.lastError());
            }
            Exec(query, QStringLiteral("ROLLBACK"));
            return false;
        }
        if (!Exec(query, QStringLiteral("COMMIT"))) {
            return Fail(TStage::Schema, query.lastError());
        }
        if (created) {
            compatible = CompatibleVersion(kSchemaVersion);
            found = kSchemaVersion;
        }
    }
    if (compatible > kSchemaVersion) {
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

std::optional<QString> TJournalSync::TState::Instance() {
    QSqlQuery query(Remote());
    if (!Exec(query, QStringLiteral("SELECT value FROM journal_info WHERE name = 'instance'"))) {
        Fail(TStage::Schema, query.lastError());
        return std::nullopt;
    }
    return query.next() ? query.value(0).toString() : QString();
}

// A server this journal has not fetched from before (another one, or the database made anew or
// restored): it is fetched from the start, and what it lacks is found by comparing.
bool TJournalSync::TState::Follow(const QString& instance) {
    QSqlDatabase db = Local();
    QSqlQuery known(db);
    known.prepare(QStringLiteral("SELECT value FROM journal_info WHERE name = 'server_instance'"));
    if (!known.exec()) {
        return FailLocal(known.lastError());
    }
    if (known.next() && known.value(0).toString() == instance) {
        return true;
    }
    known.finish();
    TWrite write(db);
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO journal_info (name, value) VALUES ('server_instance', ?) "
                                 "ON CONFLICT (name) DO UPDATE SET value = excluded.value"));
    query.addBindValue(instance);
    const bool ok = write.Begun() && query.exec() &&
                    query.exec(QStringLiteral("DELETE FROM journal_info WHERE name LIKE 'fetched_%'")) &&
                    query.exec(QStringLiteral("DELETE FROM rejected")) && write.Commit();
    return ok || FailLocal(write.Error().isValid() ? write.Error() : query.lastError());
}

bool TJournalSync::TState::MarkSent(const TTable& table, const std::vector<qint64>& ids) {
    QSqlDatabase db = Local();
    TWrite write(db);
    if (!write.Begun()) {
        return FailLocal(write.Error());
    }
    QSqlQuery mark(db);
    mark.prepare(QStringLiteral("UPDATE %1 SET sent = 1 WHERE id = ?").arg(QLatin1String(table.name)));
    for (const qint64 id : ids) {
        mark.addBindValue(id);
        if (!mark.exec()) {
            return FailLocal(mark.lastError());
        }
    }
    return write.Commit() || FailLocal(write.Error());
}

bool TJournalSync::TState::SendAll() {
    return Send(kEntries) && (sendRefused || Send(kChanges));
}

// One record into the server's transaction; false with the server's error.
bool TJournalSync::TState::SendRow(const TTable& table, const QSqlQuery& row, QSqlQuery& insert,
                                   detail::TConfigInserter& configs) {
    const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3) ON CONFLICT (uuid) DO NOTHING")
                            .arg(QLatin1String(table.name), QLatin1String(table.columns), Marks(table.count));
    QVariantList values;
    if (table.entries) {
        const TEntryRow entry = EntryRow(row, 1);
        // Each login's own copy of a configuration, so that none can plant a false text under
        // another's hash.
        if (!configsSent.contains(entry.configSha256)) {
            const TConfigRow config{entry.configSha256, row.value(18).toLongLong(), row.value(19).toString(),
                                    row.value(20).toByteArray()};
            QSqlError error;
            const bool stored = configs.Insert(config, error);
            answered = Now();
            if (!stored) {
                return Fail(TStage::Send, error);
            }
            configsSent.insert(entry.configSha256);
        }
        values = Values(entry);
    } else {
        values = Values(ChangeRow(row, 1));
    }
    return Exec(insert, sql, values) || Fail(TStage::Send, insert.lastError());
}

// One batch in one transaction of the server. A record the server refuses is sent again alone,
// so that it never holds back the records after it; it stays unsent, and the run says so.
bool TJournalSync::TState::SendBatch(const TTable& table, QSqlQuery& rows, std::vector<qint64>& stored,
                                     qint64& storedNew) {
    QSqlDatabase db = Remote();
    std::vector<qint64> ids;
    qint64 taken = 0;
    auto attempt = [&](bool alone) {
        ids.clear();
        taken = 0;
        QSqlQuery savepoint(db);
        QSqlQuery insert(db);
        detail::TConfigInserter configs(db);
        if (!rows.first()) {
            return true;
        }
        do {
            if (!table.entries && rows.value(1 + table.count).toLongLong() == 0) {
                continue; // its entry has not reached the server yet
            }
            if (alone && !Exec(savepoint, QStringLiteral("SAVEPOINT one"))) {
                failure = TFailure{TStage::Send, savepoint.lastError(), {}};
                return false;
            }
            const auto before = configsSent;
            if (!SendRow(table, rows, insert, configs)) {
                const TKind kind = Kind(failure->error);
                if (!alone || kind == TKind::Lost || kind == TKind::TimedOut || kind == TKind::NoRights ||
                    line.IsCut() || !Exec(savepoint, QStringLiteral("ROLLBACK TO SAVEPOINT one"))) {
                    return false;
                }
                configsSent = before;
                ++sendFailed;
                if (sendFailedText.isEmpty()) {
                    sendFailedText = failure->error.databaseText();
                }
                failure.reset();
                continue;
            }
            ids.push_back(rows.value(0).toLongLong());
            taken += insert.numRowsAffected() > 0 ? 1 : 0;
            if (alone && !Exec(savepoint, QStringLiteral("RELEASE SAVEPOINT one"))) {
                failure = TFailure{TStage::Send, savepoint.lastError(), {}};
                return false;
            }
        } while (rows.next());
        return true;
    };
    const auto sentBefore = configsSent;
    for (const bool alone : {false, true}) {
        QSqlQuery control(db);
        if (!Exec(control, QStringLiteral("BEGIN"))) {
            return Fail(TStage::Send, control.lastError());
        }
        if (attempt(alone)) {
            if (!Exec(control, QStringLiteral("COMMIT"))) {
                configsSent = sentBefore;
                return Fail(TStage::Send, control.lastError());
            }
            break;
        }
        Exec(control, QStringLiteral("ROLLBACK"));
        configsSent = sentBefore;
        const TKind kind = Kind(failure->error);
        if (alone || kind == TKind::Lost || kind == TKind::TimedOut || kind == TKind::NoRights ||
            line.IsCut()) {
            return false;
        }
        failure.reset();
    }
    // Counted by what the server took now: a record it held already is marked, not counted.
    stored.insert(stored.end(), ids.begin(), ids.end());
    storedNew += taken;
    return true;
}

// The table's unsent records, a batch at a time in the order they were made.
bool TJournalSync::TState::Send(const TTable& table) {
    QSqlQuery rows(Local());
    const QString columns = QLatin1String(table.columns);
    QString prefixed = columns;
    prefixed.replace(QStringLiteral(", "), QStringLiteral(", r.")).prepend(QStringLiteral("r."));
    if (table.entries) {
        rows.prepare(
            QStringLiteral("SELECT r.id, %1, c.size, c.encoding, c.body FROM entries r JOIN configs c "
                           "ON c.sha256 = r.config_sha256 WHERE r.sent = 0 AND r.id > ? ORDER BY r.id "
                           "LIMIT %2")
                .arg(prefixed)
                .arg(kBatch));
    } else {
        rows.prepare(QStringLiteral("SELECT r.id, %1, e.sent FROM annotations r JOIN entries e ON e.uuid = "
                                    "r.entry_uuid WHERE r.sent = 0 AND r.id > ? ORDER BY r.id LIMIT %2")
                         .arg(prefixed)
                         .arg(kBatch));
    }
    qint64 after = 0;
    for (;;) {
        if (line.IsCut()) {
            return Fail(TStage::Send, QSqlError({}, {}, QSqlError::ConnectionError));
        }
        rows.addBindValue(after);
        if (!rows.exec()) {
            return FailLocal(rows.lastError());
        }
        if (!rows.last()) {
            return true;
        }
        after = rows.value(0).toLongLong();
        std::vector<qint64> stored;
        qint64 storedNew = 0;
        const bool sent = SendBatch(table, rows, stored, storedNew);
        rows.finish();
        if (!sent) {
            if (failure && Kind(failure->error) == TKind::NoRights) {
                failure.reset();
                sendRefused = true;
                return true;
            }
            return false;
        }
        if (!MarkSent(table, stored)) {
            return false;
        }
        (table.entries ? report.sentEntries : report.sentChanges) += storedNew;
        Batch();
    }
}

bool TJournalSync::TState::Known(const TTable& table, const QString& uuid, bool& known) {
    QSqlQuery query(Local());
    query.prepare(QStringLiteral("SELECT id, sent FROM %1 WHERE uuid = ?").arg(QLatin1String(table.name)));
    query.addBindValue(uuid);
    if (!query.exec()) {
        return FailLocal(query.lastError());
    }
    known = query.next();
    if (known && query.value(1).toLongLong() == 0) {
        // Stored by the server before the mark here was made.
        const qint64 id = query.value(0).toLongLong();
        query.finish();
        QSqlQuery mark(Local());
        mark.prepare(QStringLiteral("UPDATE %1 SET sent = 1 WHERE id = ?").arg(QLatin1String(table.name)));
        mark.addBindValue(id);
        if (!mark.exec()) {
            return FailLocal(mark.lastError());
        }
    }
    return true;
}

bool TJournalSync::TState::Reject(const QString& kind, const QString& uuid, const QString& origin,
                                  const QString& why) {
    QSqlQuery insert(Local());
    insert.prepare(QStringLiteral("INSERT INTO rejected (kind, uuid, origin, reason) VALUES (?, ?, ?, ?) "
                                  "ON CONFLICT DO NOTHING"));
    insert.addBindValue(kind);
    insert.addBindValue(Text(uuid));
    insert.addBindValue(Text(origin));
    insert.addBindValue(why);
    if (!insert.exec()) {
        return FailLocal(insert.lastError());
    }
    if (insert.numRowsAffected() > 0) {
        ++report.rejected;
        if (report.rejectedText.isEmpty()) {
            report.rejectedText = QStringLiteral("%1 (uuid %2)").arg(why, uuid.left(40));
        }
    }
    return true;
}

TCursor TJournalSync::TState::Cursor(const TTable& table) {
    QSqlQuery query(Local());
    query.prepare(QStringLiteral("SELECT value FROM journal_info WHERE name = ?"));
    query.addBindValue(QStringLiteral("fetched_%1").arg(QLatin1String(table.name)));
    TCursor cursor;
    if (query.exec() && query.next()) {
        const QStringList parts = query.value(0).toString().split(u':');
        if (parts.size() == 2) {
            cursor = {parts[0], parts[1].toLongLong()};
        }
    }
    return cursor;
}

namespace {

bool StoreCursor(const QSqlDatabase& db, const char* table, const TCursor& cursor, QSqlError& error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO journal_info (name, value) VALUES (?, ?) "
                                 "ON CONFLICT (name) DO UPDATE SET value = excluded.value"));
    query.addBindValue(QStringLiteral("fetched_%1").arg(QLatin1String(table)));
    query.addBindValue(QStringLiteral("%1:%2").arg(cursor.xid).arg(cursor.id));
    if (!query.exec()) {
        error = query.lastError();
        return false;
    }
    return true;
}

} // namespace

namespace detail {

TFetchedInserter::TFetchedInserter(const QSqlDatabase& db) : entries_(db), changes_(db) {
    entries_.prepare(QStringLiteral("INSERT INTO entries (%1, sent, inserted_by) VALUES (%2, 1, ?)")
                         .arg(QLatin1String(kEntryColumns), Marks(kEntryCount)));
    changes_.prepare(QStringLiteral("INSERT INTO annotations (%1, sent, inserted_by) VALUES (%2, 1, ?)")
                         .arg(QLatin1String(kChangeColumns), Marks(kChangeCount)));
}

bool TFetchedInserter::Insert(const TEntryRow& row, QSqlError& error) {
    Bind(entries_, Values(row) << Text(row.insertedBy));
    const bool ok = entries_.exec();
    error = entries_.lastError();
    return ok;
}

bool TFetchedInserter::Insert(const TChangeRow& row, QSqlError& error) {
    Bind(changes_, Values(row) << Text(row.insertedBy));
    const bool ok = changes_.exec();
    error = changes_.lastError();
    return ok;
}

} // namespace detail

// Entries fetched: each checked, its configuration fetched and checked when this journal lacks
// it, kept or remembered as refused; the cursor moves past them in the same transaction.
bool TJournalSync::TState::KeepEntries(const std::vector<TEntryRow>& rows, TCursor cursor) {
    QSqlDatabase db = Local();
    TWrite write(db);
    if (!write.Begun()) {
        return FailLocal(write.Error());
    }
    std::vector<const TEntryRow*> fresh;
    for (const TEntryRow& row : rows) {
        bool known = false;
        if (!Known(kEntries, row.uuid, known)) {
            return false;
        }
        if (known) {
            continue;
        }
        if (const QString why = CheckEntry(row); !why.isEmpty()) {
            if (!Reject(QLatin1String(kEntries.name), row.uuid, row.origin, why)) {
                return false;
            }
            continue;
        }
        fresh.push_back(&row);
    }
    // The configurations this journal lacks. A text is named by its hash: any login's copy that
    // matches it will do, and a false one is passed over.
    std::set<QString> lacking;
    QSqlQuery have(db);
    have.prepare(QStringLiteral("SELECT 1 FROM configs WHERE sha256 = ?"));
    for (const TEntryRow* row : fresh) {
        have.addBindValue(row->configSha256);
        if (!have.exec()) {
            return FailLocal(have.lastError());
        }
        if (!have.next()) {
            lacking.insert(row->configSha256);
        }
        have.finish();
    }
    if (!lacking.empty()) {
        QStringList shas(lacking.begin(), lacking.end());
        QSqlQuery fetch(Remote());
        fetch.setForwardOnly(true);
        // Only hexadecimal hashes of the checked entries are named: nothing to quote in the array.
        if (!Exec(fetch,
                  QStringLiteral(
                      "SELECT sha256, size, encoding, body FROM configs WHERE sha256 = ANY (?::text[])"),
                  {u'{' + shas.join(u',') + u'}'})) {
            return Fail(TStage::Fetch, fetch.lastError());
        }
        detail::TConfigInserter inserter(db);
        while (fetch.next()) {
            const TConfigRow config{fetch.value(0).toString(), fetch.value(1).toLongLong(),
                                    fetch.value(2).toString(), fetch.value(3).toByteArray()};
            if (lacking.contains(config.sha256) && CheckConfig(config).isEmpty()) {
                QSqlError error;
                if (!inserter.Insert(config, error)) {
                    return FailLocal(error);
                }
                lacking.erase(config.sha256);
            }
        }
        if (fetch.lastError().isValid()) {
            return Fail(TStage::Fetch, fetch.lastError());
        }
        answered = Now();
    }
    detail::TFetchedInserter insert(db);
    for (const TEntryRow* row : fresh) {
        if (lacking.contains(row->configSha256)) {
            if (!Reject(QLatin1String(kEntries.name), row->uuid, row->origin,
                        QStringLiteral("конфигурация не совпадает со своей контрольной суммой"))) {
                return false;
            }
            continue;
        }
        QSqlError error;
        if (!insert.Insert(*row, error)) {
            return FailLocal(error);
        }
        ++report.fetchedEntries;
        anotherHolder = anotherHolder || row->origin == journal->Origin();
    }
    QSqlError error;
    if (!StoreCursor(db, kEntries.name, cursor, error)) {
        return FailLocal(error);
    }
    return write.Commit() || FailLocal(write.Error());
}

bool TJournalSync::TState::KeepChanges(const std::vector<TChangeRow>& rows, TCursor cursor) {
    QSqlDatabase db = Local();
    TWrite write(db);
    if (!write.Begun()) {
        return FailLocal(write.Error());
    }
    QSqlQuery entry(db);
    entry.prepare(QStringLiteral("SELECT 1 FROM entries WHERE uuid = ?"));
    detail::TFetchedInserter insert(db);
    std::set<QString> changed;
    for (const TChangeRow& row : rows) {
        bool known = false;
        if (!Known(kChanges, row.uuid, known)) {
            return false;
        }
        if (known) {
            continue;
        }
        QString why = CheckChange(row);
        if (why.isEmpty()) {
            // Entries are fetched first: one this journal lacks was refused, or never was.
            entry.addBindValue(row.entryUuid);
            if (!entry.exec()) {
                return FailLocal(entry.lastError());
            }
            if (!entry.next()) {
                why = QStringLiteral("изменение записи, которой нет в журнале");
            }
            entry.finish();
        }
        if (!why.isEmpty()) {
            if (!Reject(QLatin1String(kChanges.name), row.uuid, row.origin, why)) {
                return false;
            }
            continue;
        }
        QSqlError error;
        if (!insert.Insert(row, error)) {
            return FailLocal(error);
        }
        ++report.fetchedChanges;
        changed.insert(row.entryUuid);
        anotherHolder = anotherHolder || row.origin == journal->Origin();
    }
    for (const QString& uuid : changed) {
        QSqlError error;
        if (!detail::ApplyLatestAnnotation(db, uuid, error)) {
            return FailLocal(error);
        }
    }
    QSqlError error;
    if (!StoreCursor(db, kChanges.name, cursor, error)) {
        return FailLocal(error);
    }
    return write.Commit() || FailLocal(write.Error());
}

// Every row the server took in transactions that ended before the horizon (the oldest one still
// open), past the cursor: no transaction that commits later can hold a row below it.
bool TJournalSync::TState::FetchTable(const TTable& table, const QString& horizon, const QString& xmax) {
    TCursor cursor = Cursor(table);
    // The server's transactions are numbered anew (the database was restored into another
    // cluster): everything is fetched again; what this journal holds is passed over.
    bool known = false;
    const qint64 at = cursor.xid.toLongLong(&known);
    if (!known || at > xmax.toLongLong()) {
        cursor = {};
    }
    QSqlQuery rows(Remote());
    rows.setForwardOnly(true);
    const QString sql = QStringLiteral("SELECT id, inserted_xid::text, %1, inserted_by, inserted_ms FROM %2 "
                                       "WHERE (inserted_xid, id) > (?::xid8, ?) AND inserted_xid < ?::xid8 "
                                       "ORDER BY inserted_xid, id LIMIT %3")
                            .arg(QLatin1String(table.columns), QLatin1String(table.name))
                            .arg(kBatch);
    const int by = 2 + table.count;
    for (;;) {
        if (line.IsCut()) {
            return Fail(TStage::Fetch, QSqlError({}, {}, QSqlError::ConnectionError));
        }
        if (!Exec(rows, sql, {cursor.xid, cursor.id, horizon})) {
            return Fail(TStage::Fetch, rows.lastError());
        }
        std::vector<TEntryRow> entries;
        std::vector<TChangeRow> changes;
        while (rows.next()) {
            cursor = {rows.value(1).toString(), rows.value(0).toLongLong()};
            if (table.entries) {
                entries.push_back(EntryRow(rows, 2));
                entries.back().insertedBy = rows.value(by).toString();
                entries.back().insertedMs = rows.value(by + 1).toLongLong();
            } else {
                changes.push_back(ChangeRow(rows, 2));
                changes.back().insertedBy = rows.value(by).toString();
                changes.back().insertedMs = rows.value(by + 1).toLongLong();
            }
        }
        if (rows.lastError().isValid()) {
            return Fail(TStage::Fetch, rows.lastError());
        }
        rows.finish();
        answered = Now();
        const std::size_t count = entries.size() + changes.size();
        if (count == 0) {
            return true;
        }
        if (!(table.entries ? KeepEntries(entries, cursor) : KeepChanges(changes, cursor))) {
            return false;
        }
        Batch();
        if (count < static_cast<std::size_t>(kBatch)) {
            return true;
        }
    }
}

// Whether the server holds every record this journal marked sent: the counts agree when it does
// (this journal holds, or refused, every row the server took before the horizon). When they do
// not, the streams are compared one by one, and records the server lacks are marked to be sent.
bool TJournalSync::TState::FindLost(const TTable& table, const QString& horizon, qint64& lost) {
    const QLatin1String name(table.name);
    QSqlQuery server(Remote());
    if (!Exec(server, QStringLiteral("SELECT COUNT(*) FROM %1 WHERE inserted_xid < ?::xid8").arg(name),
              {horizon}) ||
        !server.next()) {
        return Fail(TStage::Fetch, server.lastError());
    }
    const qint64 held = server.value(0).toLongLong();
    server.finish();
    QSqlQuery local(Local());
    if (!local.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM %1 WHERE sent = 1) + (SELECT COUNT(*) FROM "
                                   "rejected WHERE kind = '%1')")
                        .arg(name)) ||
        !local.next()) {
        return FailLocal(local.lastError());
    }
    if (local.value(0).toLongLong() <= held) {
        return true;
    }
    local.finish();
    std::map<QString, qint64> theirs;
    if (!Exec(server, QStringLiteral("SELECT origin, COUNT(*) FROM %1 GROUP BY origin").arg(name))) {
        return Fail(TStage::Fetch, server.lastError());
    }
    while (server.next()) {
        theirs[server.value(0).toString()] = server.value(1).toLongLong();
    }
    server.finish();
    if (!local.exec(QStringLiteral("SELECT origin, SUM(n) FROM (SELECT origin, COUNT(*) AS n FROM %1 WHERE "
                                   "sent = 1 GROUP BY origin UNION ALL SELECT origin, COUNT(*) FROM rejected "
                                   "WHERE kind = '%1' GROUP BY origin) GROUP BY origin")
                        .arg(name))) {
        return FailLocal(local.lastError());
    }
    std::vector<QString> short_;
    while (local.next()) {
        const QString origin = local.value(0).toString();
        if (local.value(1).toLongLong() > (theirs.contains(origin) ? theirs[origin] : 0)) {
            short_.push_back(origin);
        }
    }
    local.finish();
    for (const QString& origin : short_) {
        std::set<QString> uuids;
        if (!Exec(server, QStringLiteral("SELECT uuid FROM %1 WHERE origin = ?").arg(name), {origin})) {
            return Fail(TStage::Fetch, server.lastError());
        }
        while (server.next()) {
            uuids.insert(server.value(0).toString());
        }
        server.finish();
        local.prepare(QStringLiteral("SELECT id, uuid FROM %1 WHERE sent = 1 AND origin = ?").arg(name));
        local.addBindValue(origin);
        if (!local.exec()) {
            return FailLocal(local.lastError());
        }
        std::vector<qint64> missing;
        while (local.next()) {
            if (!uuids.contains(local.value(1).toString())) {
                missing.push_back(local.value(0).toLongLong());
            }
        }
        local.finish();
        if (missing.empty()) {
            continue;
        }
        TWrite write(Local());
        QSqlQuery mark(Local());
        mark.prepare(QStringLiteral("UPDATE %1 SET sent = 0 WHERE id = ?").arg(name));
        if (!write.Begun()) {
            return FailLocal(write.Error());
        }
        for (const qint64 id : missing) {
            mark.addBindValue(id);
            if (!mark.exec()) {
                return FailLocal(mark.lastError());
            }
        }
        if (!write.Commit()) {
            return FailLocal(write.Error());
        }
        lost += static_cast<qint64>(missing.size());
    }
    return true;
}

// Fetches in one snapshot of the server, so that every change finds its entry and the counts
// compared are of the rows fetched; repair: marks what the server lost to be sent again.
bool TJournalSync::TState::Fetch(bool repair) {
    QSqlDatabase db = Remote();
    QSqlQuery begin(db);
    if (!Exec(begin, QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"))) {
        return Fail(TStage::Fetch, begin.lastError());
    }
    auto done = [&](bool ok) {
        QSqlQuery end(db);
        Exec(end, ok ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"));
        return ok;
    };
    if (!Exec(begin, QStringLiteral("SELECT pg_snapshot_xmin(s)::text, pg_snapshot_xmax(s)::text FROM "
                                    "pg_current_snapshot() AS s")) ||
        !begin.next()) {
        Fail(TStage::Fetch, begin.lastError());
        return done(false);
    }
    const QString horizon = begin.value(0).toString();
    const QString xmax = begin.value(1).toString();
    begin.finish();
    if (!FetchTable(kEntries, horizon, xmax) || !FetchTable(kChanges, horizon, xmax)) {
        return done(false);
    }
    if (repair) {
        qint64 lost = 0;
        if (!FindLost(kEntries, horizon, lost) || !FindLost(kChanges, horizon, lost)) {
            return done(false);
        }
        report.resent += lost;
    }
    return done(true);
}

QString TJournalSync::TState::FailureText(TSyncStatus& status) {
    const QString keep = QString::fromUtf8(kKeep);
    const QString address = server.Address();
    const TFailure& f = *failure;
    if (f.stage == TStage::Local) {
        status = TSyncStatus::LocalError;
        return f.text;
    }
    status = TSyncStatus::Unreachable;
    if (timedOut) {
        int limit = stallMs > 0 ? stallMs : kConnectMs;
        limit = totalMs > 0 ? std::min(limit, totalMs) : limit;
        return QStringLiteral("Сервер журнала %1 не ответил за %2 с%3")
            .arg(address)
            .arg((limit + 999) / 1000)
            .arg(keep);
    }
    if (f.stage == TStage::Lookup) {
        return QStringLiteral("Сервер журнала недоступен: компьютер %1 не найден%2").arg(server.host, keep);
    }
    if (!f.text.isEmpty()) {
        status = TSyncStatus::ServerError;
        return QStringLiteral("Сервер журнала недоступен: %1%2").arg(f.text, keep);
    }
    if (line.IsCut()) {
        return QStringLiteral("Синхронизация с сервером журнала %1 прервана%2").arg(address, keep);
    }
    status = TSyncStatus::Refused;
    const QString user = server.user;
    switch (Kind(f.error)) {
    case TKind::NoDatabase:
        return QStringLiteral("На сервере журнала %1 нет базы данных %2%3")
            .arg(address, server.database, keep);
    case TKind::BadPassword:
        return QStringLiteral("Сервер журнала %1 не принял пользователя %2: неверный пароль или пароль не "
                              "найден в ~/.pgpass%3")
            .arg(address, user, keep);
    case TKind::NoPassword:
        // libpq looks the password up by the database's name too: a mistyped name finds none.
        return QStringLiteral(
                   "Сервер журнала %1 требует пароль пользователя %2, а в ~/.pgpass нет пароля для "
                   "базы данных %3 на этом сервере%4")
            .arg(address, user, server.database, keep);
    case TKind::NoRole:
        return QStringLiteral("На сервере журнала %1 нет пользователя %2%3").arg(address, user, keep);
    case TKind::NotAllowed:
        return QStringLiteral(
                   "Сервер журнала %1 не разрешает пользователю %2 подключаться с этого компьютера "
                   "(pg_hba.conf)%3")
            .arg(address, user, keep);
    case TKind::Tls:
        return QStringLiteral(
                   "С сервером журнала %1 не установлено шифрованное соединение (sslmode %2): сервер "
                   "не шифрует, или его сертификат не подтвержден сертификатом из "
                   "~/.postgresql/root.crt%3")
            .arg(address, server.sslmode, keep);
    case TKind::NoRights:
        if (f.stage == TStage::Schema) {
            return QStringLiteral(
                       "Журнал на сервере %1 не создан или не обновлен, а у пользователя %2 нет прав "
                       "сделать это; администратор делает это командой orvanta-cli journal server "
                       "sql%3")
                .arg(address, user, keep);
        }
        return QStringLiteral("У пользователя %1 нет прав на журнал на сервере %2%3")
            .arg(user, address, keep);
    case TKind::TimedOut:
        status = TSyncStatus::Unreachable;
        return QStringLiteral("Сервер журнала %1 не ответил вовремя%2").arg(address, keep);
    case TKind::Lost:
        break;
    case TKind::Other: {
        QSqlDatabase db = Remote();
        QSqlQuery alive(db);
        if (db.isOpen() && Exec(alive, QStringLiteral("SELECT 1"))) {
            status = TSyncStatus::ServerError;
            return QStringLiteral("Ошибка сервера журнала %1: %2%3")
                .arg(address, f.error.databaseText().trimmed(), keep);
        }
        break;
    }
    }
    status = TSyncStatus::Unreachable;
    return QStringLiteral("Сервер журнала недоступен: нет соединения с %1%2").arg(address, keep);
}

// The run's outcome as the user reads it.
void TJournalSync::TState::Conclude() {
    if (failure) {
        report.text = FailureText(report.status);
        if (report.status != TSyncStatus::LocalError && report.status != TSyncStatus::ServerError) {
            CloseServer();
        }
        return;
    }
    const QString keep = QString::fromUtf8(kKeep);
    if (sendRefused) {
        report.status = TSyncStatus::SendRefused;
        report.text =
            QStringLiteral("Сервер журнала %1 не принимает записи пользователя %2: нет прав на запись; "
                           "записи других компьютеров получены%3")
                .arg(server.Address(), server.user, keep);
        return;
    }
    report.status = TSyncStatus::Synchronised;
    report.text = QStringLiteral("Журнал синхронизирован с сервером %1").arg(server.Address());
    if (sendFailed > 0) {
        report.status = TSyncStatus::ServerError;
        report.text =
            QStringLiteral("Сервер журнала %1 не принял записей: %2 (%3); они будут отправлены снова%4")
                .arg(server.Address())
                .arg(sendFailed)
                .arg(sendFailedText.section(u'\n', 0, 0).trimmed(), keep);
    }
}

TSyncReport TJournalSync::Run() {
    TState& s = *d_;
    s.report = TSyncReport{};
    s.failure.reset();
    s.sendRefused = false;
    s.sendFailed = 0;
    s.sendFailedText.clear();
    s.anotherHolder = false;
    s.configsSent.clear();
    s.onBatch = onBatch_;
    if (!s.server.IsSet()) {
        s.report.text = QStringLiteral("Сервер журнала не задан%1").arg(QString::fromUtf8(kKeep));
        return s.report;
    }
    TWatch watch(s.line, s.answered, s.timedOut, s.stallMs, s.totalMs);
    bool created = false;
    std::optional<QString> instance;
    // Fetching first: it finds what the server lost (a database made anew) before anything is
    // sent that refers to it, and it goes on whether or not this user may send.
    const bool ok = s.OpenLocal() && s.OpenServer() && s.Schema(created) &&
                    (instance = s.Instance()).has_value() && s.Follow(*instance) && s.Fetch(true) &&
                    s.SendAll();
    if (ok && s.anotherHolder && !detail::TJournalAccess::NewOrigin(*s.journal)) {
        s.FailLocal();
    }
    if (!ok && s.report.status == TSyncStatus::NewerSchema) {
        return s.report;
    }
    s.Conclude();
    return s.report;
}

TSyncReport TJournalSync::Check() {
    TState& s = *d_;
    s.report = TSyncReport{};
    s.failure.reset();
    if (!s.server.IsSet()) {
        s.report.text = QStringLiteral("Сервер журнала не задан%1").arg(QString::fromUtf8(kKeep));
        return s.report;
    }
    TWatch watch(s.line, s.answered, s.timedOut, s.stallMs, s.totalMs);
    bool created = false;
    if (!s.OpenServer() || !s.Schema(created)) {
        if (s.report.status != TSyncStatus::NewerSchema) {
            s.Conclude();
        }
        return s.report;
    }
    QSqlQuery rights(s.Remote());
    if (s.Exec(rights, QStringLiteral("SELECT has_table_privilege('entries', 'INSERT')")) && rights.next() &&
        !rights.value(0).toBool()) {
        s.report.status = TSyncStatus::SendRefused;
        s.report.text =
            QStringLiteral("Сервер журнала %1 доступен; пользователь %2 может только читать журнал")
                .arg(s.server.Address(), s.server.user);
        return s.report;
    }
    s.report.status = TSyncStatus::Synchronised;
    s.report.text = QStringLiteral("Сервер журнала %1 доступен").arg(s.server.Address());
    return s.report;
}

TVerifyReport TJournalSync::Verify() {
    TState& s = *d_;
    s.report = TSyncReport{};
    s.failure.reset();
    TVerifyReport verify;
    if (!s.server.IsSet()) {
        verify.text = QStringLiteral("Сервер журнала не задан");
        return verify;
    }
    TWatch watch(s.line, s.answered, s.timedOut, s.stallMs, s.totalMs);
    if (!s.journal) {
        s.journal = std::make_unique<TJournal>(s.path);
    }
    bool created = false;
    if (!(s.journal->OpenForReading() || s.FailLocal()) || !s.OpenServer() || !s.Schema(created)) {
        if (s.report.status != TSyncStatus::NewerSchema) {
            s.Conclude();
        }
        verify.status = s.report.status;
        verify.text = s.report.text;
        return verify;
    }
    // Both sides read whole, by uuid; a journal without the table of refused rows has none.
    std::map<QString, bool> ours; // uuid: marked sent
    std::set<QString> refused;
    QSqlQuery local(s.Local());
    local.setForwardOnly(true);
    for (const TTable* table : {&kEntries, &kChanges}) {
        if (!local.exec(QStringLiteral("SELECT uuid, sent FROM %1").arg(QLatin1String(table->name)))) {
            s.FailLocal(local.lastError());
            break;
        }
        while (local.next()) {
            ours[local.value(0).toString()] = local.value(1).toLongLong() != 0;
        }
    }
    if (local.exec(QStringLiteral("SELECT uuid FROM rejected"))) {
        while (local.next()) {
            refused.insert(local.value(0).toString());
        }
    }
    local.finish();
    std::set<QString> theirs;
    QSqlQuery server(s.Remote());
    server.setForwardOnly(true);
    for (const TTable* table : {&kEntries, &kChanges}) {
        if (s.failure) {
            break;
        }
        if (!s.Exec(server, QStringLiteral("SELECT uuid FROM %1").arg(QLatin1String(table->name)))) {
            s.Fail(TState::TStage::Fetch, server.lastError());
            break;
        }
        while (server.next()) {
            theirs.insert(server.value(0).toString());
        }
    }
    if (s.failure) {
        s.Conclude();
        verify.status = s.report.status;
        verify.text = s.report.text;
        return verify;
    }
    for (const auto& [uuid, sent] : ours) {
        if (!theirs.contains(uuid)) {
            ++(sent ? verify.lost : verify.unsent);
        }
    }
    for (const QString& uuid : theirs) {
        if (!ours.contains(uuid)) {
            ++verify.notFetched;
            verify.rejected += refused.contains(uuid) ? 1 : 0;
        }
    }
    verify.notFetched -= verify.rejected;
    verify.status = TSyncStatus::Synchronised;
    verify.text = verify.lost + verify.unsent + verify.notFetched == 0
                      ? QStringLiteral("Журнал совпадает с журналом на сервере %1").arg(s.server.Address())
                      : QStringLiteral("Журнал расходится с журналом на сервере %1").arg(s.server.Address());
    return verify;
}

} // namespace orv::journal
