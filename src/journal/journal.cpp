#include "journal.h"

#include "device/catalogue.h"
#include "files/config_file.h"
#include "internal.h"
#include "schema.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QSysInfo>
#include <QUuid>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <atomic>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace orv::journal {

using detail::OsUser;
using detail::SearchFold;
using detail::Text;
using detail::TWrite;

namespace {

constexpr const char* kDriver = "QSQLITE";
// Long enough for the other program's transaction of one entry, many times over.
constexpr const char* kConnectOptions = "QSQLITE_BUSY_TIMEOUT=10000";
// Configuration texts are stored as a zlib stream; `size` is the text's length.
constexpr const char* kEncoding = "zlib";

// SQLite's primary result codes.
enum : int {
    kSqliteBusy = 5,
    kSqliteLocked = 6,
    kSqliteReadOnly = 8,
    kSqliteIoError = 10,
    kSqliteCorrupt = 11,
    kSqliteFull = 13,
    kSqliteCantOpen = 14,
    kSqliteNotADatabase = 26,
};

constexpr std::array<std::string_view, 4> kActionCodes{"read", "write", "open", "save"};

// The conditions of a filter. Search columns hold lower-case text, so a part is found in any
// case by a plain substring search (instr: SQLite's LIKE folds only Latin letters and is slower).
QString Where(const TFilter& filter, QVariantList& values) {
    QString where = QStringLiteral(" WHERE 1 = 1");
    if (!filter.site.isEmpty()) {
        where += QStringLiteral(" AND instr(site_fold, ?) > 0");
        values << filter.site.toLower();
    }
    if (!filter.search.isEmpty()) {
        where += QStringLiteral(" AND instr(search_fold, ?) > 0");
        values << filter.search.toLower();
    }
    if (filter.deviceType != 0) {
        where += QStringLiteral(" AND device_type = ?");
        values << filter.deviceType;
    }
    if (!filter.user.isEmpty()) {
        where += QStringLiteral(" AND os_user = ?");
        values << filter.user;
    }
    if (!filter.host.isEmpty()) {
        where += QStringLiteral(" AND host_name = ?");
        values << filter.host;
    }
    if (filter.before) {
        where += QStringLiteral(" AND (created_ms < ? OR (created_ms = ? AND id < ?))");
        const qint64 ms = filter.before->time.toMSecsSinceEpoch();
        values << ms << ms << filter.before->id;
    }
    return where;
}

QByteArray Compress(const QByteArray& text) {
    // qCompress puts the length in front of the zlib stream; the length has its own column.
    return qCompress(text).mid(4);
}

std::optional<QByteArray> Uncompress(const QByteArray& body, qint64 size) {
    // Deflate cannot expand a body more than about 1032 times: a stored size beyond that is
    // forged, and would only make qUncompress reserve it.
    if (size < 0 || size > (qint64{1} << 30) || size > qint64{body.size()} * 1032 + 64) {
        return std::nullopt;
    }
    if (size == 0) {
        return body.isEmpty() ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    }
    std::array<uchar, 4> length{};
    qToBigEndian(static_cast<quint32>(size), length.data());
    QByteArray framed(reinterpret_cast<const char*>(length.data()), 4);
    framed += body;
    QByteArray text = qUncompress(framed);
    if (text.size() != size) {
        return std::nullopt;
    }
    return text;
}

QString Sha256(const QByteArray& text) {
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex());
}

// The schema version SQLite keeps in the file's header; -1 when it cannot be read.
int UserVersion(const QSqlDatabase& db, QSqlError* error) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        if (error != nullptr) {
            *error = query.lastError();
        }
        return -1;
    }
    return query.value(0).toInt();
}

constexpr const char* kEntryColumns =
    "id, uuid, origin, seq, created_ms, os_user, host_name, action, port, file_path, device_type, "
    "device_name, firmware, config_sha256, site, note, sent";

// One row of kEntryColumns; false when the row cannot be an entry.
bool ReadEntry(const QSqlQuery& row, TEntry& entry) {
    bool ok = true;
    auto number = [&](int column) {
        bool good = false;
        const qint64 value = row.value(column).toLongLong(&good);
        ok = ok && good;
        return value;
    };
    auto text = [&](int column) {
        const QVariant value = row.value(column);
        ok = ok && !value.isNull();
        return value.toString();
    };
    entry.id = number(0);
    entry.uuid = text(1);
    entry.origin = text(2);
    entry.seq = number(3);
    entry.time = QDateTime::fromMSecsSinceEpoch(number(4), Qt::UTC);
    entry.user = text(5);
    entry.host = text(6);
    const auto action = ActionFromCode(text(7).toLatin1().toStdString());
    entry.port = text(8);
    entry.filePath = text(9);
    entry.deviceType = static_cast<int>(number(10));
    entry.deviceName = text(11);
    entry.firmware = static_cast<int>(number(12));
    entry.sha256 = text(13);
    entry.site = text(14);
    entry.note = text(15);
    entry.sent = number(16) != 0;
    if (!ok || !action || entry.id <= 0 || QUuid::fromString(entry.uuid).isNull() ||
        entry.sha256.size() != 64) {
        return false;
    }
    entry.action = *action;
    return true;
}

} // namespace

namespace detail {

QString OsUser() {
#ifdef Q_OS_UNIX
    if (const passwd* pw = ::getpwuid(::geteuid()); pw != nullptr && pw->pw_name != nullptr) {
        return QString::fromLocal8Bit(pw->pw_name);
    }
#endif
    for (const char* name : {"USER", "USERNAME", "LOGNAME"}) {
        if (const QString user = qEnvironmentVariable(name); !user.isEmpty()) {
            return user;
        }
    }
    return {};
}

bool ApplyLatestAnnotation(const QSqlDatabase& db, const QString& entryUuid, const QString& lock,
                           QSqlError& error) {
    QSqlQuery entry(db);
    entry.prepare(QStringLiteral("SELECT device_name, file_path FROM entries WHERE uuid = ?") + lock);
    entry.addBindValue(Text(entryUuid));
    if (!entry.exec()) {
        error = entry.lastError();
        return false;
    }
    if (!entry.next()) {
        return true;
    }
    const QString device = entry.value(0).toString();
    const QString file = entry.value(1).toString();
    entry.finish();
    QSqlQuery latest(db);
    latest.prepare(QStringLiteral("SELECT site, note FROM annotations WHERE entry_uuid = ? "
                                  "ORDER BY created_ms DESC, uuid DESC LIMIT 1"));
    latest.addBindValue(Text(entryUuid));
    if (!latest.exec()) {
        error = latest.lastError();
        return false;
    }
    if (!latest.next()) {
        return true;
    }
    const QString site = latest.value(0).toString();
    const QString note = latest.value(1).toString();
    latest.finish();
    QSqlQuery update(db);
    update.prepare(QStringLiteral(
        "UPDATE entries SET site = ?, note = ?, site_fold = ?, search_fold = ? WHERE uuid = ?"));
    update.addBindValue(Text(site));
    update.addBindValue(Text(note));
    update.addBindValue(Text(site.toLower()));
    update.addBindValue(Text(SearchFold(site, note, device, file)));
    update.addBindValue(Text(entryUuid));
    if (!update.exec()) {
        error = update.lastError();
        return false;
    }
    return true;
}

} // namespace detail

std::string_view ActionCode(TAction action) {
    return kActionCodes[static_cast<std::size_t>(action)];
}

std::optional<TAction> ActionFromCode(std::string_view code) {
    for (std::size_t i = 0; i < kActionCodes.size(); ++i) {
        if (kActionCodes[i] == code) {
            return static_cast<TAction>(i);
        }
    }
    return std::nullopt;
}

QString ActionText(TAction action) {
    switch (action) {
    case TAction::Read:
        return QStringLiteral("Чтение");
    case TAction::Write:
        return QStringLiteral("Запись");
    case TAction::Open:
        return QStringLiteral("Открытие");
    case TAction::Save:
        return QStringLiteral("Сохранение");
    }
    return {};
}

TNewEntry EntryFromState(TAction action, const TProgramState& state, const QString& port,
                         const QString& filePath) {
    TNewEntry entry;
    entry.action = action;
    entry.port = port;
    entry.filePath = filePath;
    if (state.device) {
        entry.deviceType = state.device->DevType;
        entry.deviceName = QString::fromStdString(DeviceName(state.device->DevType));
        entry.firmware = state.device->GetVersion();
    }
    entry.config = BuildConfigDocument(state);
    return entry;
}

QString ConfigStateText(TConfigState state, qint64 id) {
    switch (state) {
    case TConfigState::Ok:
        return {};
    case TConfigState::Damaged:
        return QStringLiteral("Конфигурация записи %1 журнала повреждена").arg(id);
    case TConfigState::NotAConfiguration:
        return QStringLiteral("Текст записи %1 журнала не читается как конфигурация").arg(id);
    }
    return {};
}

QString TJournal::DefaultPath() {
    const QString named = qEnvironmentVariable("ORVANTA_JOURNAL");
    if (!named.isEmpty()) {
        return named;
    }
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/journal.sqlite");
}

TJournal::TJournal(QString path) : path_(std::move(path)) {
    static std::atomic<int> next{0};
    connection_ = QStringLiteral("orvanta-journal-%1").arg(next++);
}

TJournal::~TJournal() {
    if (QSqlDatabase::contains(connection_)) {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
}

bool TJournal::Fail(const QString& reason) {
    problem_ = QStringLiteral("Журнал недоступен: %1.\nФайл журнала: %2")
                   .arg(reason, QDir::toNativeSeparators(QFileInfo(path_).absoluteFilePath()));
    return false;
}

bool TJournal::FailWith(const QSqlError& error) {
    const int code = error.nativeErrorCode().toInt() & 0xff;
    switch (code) {
    case kSqliteNotADatabase:
        return Fail(QStringLiteral("файл не является базой данных журнала"));
    case kSqliteCorrupt:
        return Fail(QStringLiteral("файл журнала поврежден"));
    case kSqliteBusy:
    case kSqliteLocked:
        return Fail(QStringLiteral("журнал занят другой программой"));
    case kSqliteReadOnly:
    case kSqliteIoError:
    case kSqliteFull:
    case kSqliteCantOpen:
        break;
    default:
        return Fail(QStringLiteral("ошибка базы данных (%1)").arg(error.databaseText()));
    }
    // What the disk says is more telling than SQLite's code.
    const QFileInfo file(path_);
    const QString folder = file.absolutePath();
    const QStorageInfo storage(folder);
    if (storage.isValid() && storage.isReady() && storage.bytesAvailable() < 64 * 1024) {
        return Fail(QStringLiteral("недостаточно места на диске"));
    }
    if (storage.isValid() && storage.isReadOnly()) {
        return Fail(QStringLiteral("папка журнала доступна только для чтения"));
    }
    if (!QFileInfo(folder).isWritable()) {
        return Fail(QStringLiteral("нет прав на запись в папку журнала"));
    }
    if (file.exists() && !file.isWritable()) {
        return Fail(QStringLiteral("нет прав на запись в файл журнала"));
    }
    if (code == kSqliteFull) {
        return Fail(QStringLiteral("недостаточно места на диске"));
    }
    return Fail(QStringLiteral("файл журнала нельзя открыть или записать (%1)").arg(error.databaseText()));
}

bool TJournal::Open() {
    if (open_) {
        return true;
    }
    problem_.clear();
    const bool existed = QFileInfo::exists(path_);
    if (OpenDatabase()) {
        return true;
    }
    if (QSqlDatabase::contains(connection_)) {
        QSqlDatabase::database(connection_, false).close();
    }
    // A journal this attempt began to create and could not is not left behind as an empty file.
    if (!existed) {
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
            const QFileInfo file(path_ + suffix);
            if (file.exists() && file.isFile() && file.size() == 0) {
                QFile::remove(file.filePath());
            }
        }
    }
    return false;
}

bool TJournal::OpenDatabase() {
    if (path_.isEmpty()) {
        return Fail(QStringLiteral("не задан файл журнала"));
    }
    if (!QSqlDatabase::isDriverAvailable(QString::fromLatin1(kDriver))) {
        return Fail(QStringLiteral("нет драйвера SQLite для Qt"));
    }
    const QFileInfo file(path_);
    if (!QDir().mkpath(file.absolutePath())) {
        return Fail(QStringLiteral("нельзя создать папку журнала"));
    }
    if (file.exists() && !file.isFile()) {
        return Fail(QStringLiteral("на месте файла журнала находится папка"));
    }
    QSqlDatabase db = QSqlDatabase::contains(connection_)
                          ? QSqlDatabase::database(connection_, false)
                          : QSqlDatabase::addDatabase(QString::fromLatin1(kDriver), connection_);
    db.setDatabaseName(path_);
    db.setConnectOptions(QString::fromLatin1(kConnectOptions));
    if (!db.open()) {
        return FailWith(db.lastError());
    }
    // The version is read before anything is written, so a newer program's journal stays as
    // it was and a file that is not a database is never touched.
    QSqlError error;
    const int version = UserVersion(db, &error);
    if (version < 0) {
        db.close();
        return FailWith(error);
    }
    if (version > kSchemaVersion) {
        db.close();
        return Newer(version);
    }
    QSqlQuery pragma(db);
    // Several programs may write at once; a commit is on the disk before it returns.
    if (!pragma.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !pragma.next() ||
        pragma.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0 ||
        !pragma.exec(QStringLiteral("PRAGMA synchronous = FULL")) ||
        // Room for the list index of a large journal, so that searching again reads no file.
        !pragma.exec(QStringLiteral("PRAGMA cache_size = -32768")) ||
        !pragma.exec(QStringLiteral("PRAGMA foreign_keys = ON"))) {
        const QSqlError error = pragma.lastError();
        pragma.finish();
        db.close();
        return error.isValid() ? FailWith(error)
                               : Fail(QStringLiteral("журнал нельзя перевести в режим WAL"));
    }
    pragma.finish();
    if (!Migrate()) {
        db.close();
        return false;
    }
    QSqlQuery origin(db);
    origin.prepare(QStringLiteral("SELECT value FROM journal_info WHERE name = 'origin'"));
    if (!origin.exec()) {
        const QSqlError error = origin.lastError();
        db.close();
        return FailWith(error);
    }
    if (origin.next()) {
        origin_ = origin.value(0).toString();
    }
    origin.finish();
    if (origin_.isEmpty()) {
        TWrite write(db);
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO journal_info (name, value) VALUES ('origin', ?) "
                                      "ON CONFLICT (name) DO NOTHING"));
        insert.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
        if (!write.Begun() || !insert.exec() || !write.Commit()) {
            const QSqlError error = write.Error().isValid() ? write.Error() : insert.lastError();
            db.close();
            return FailWith(error);
        }
        if (!origin.exec() || !origin.next()) {
            db.close();
            return FailWith(origin.lastError());
        }
        origin_ = origin.value(0).toString();
        origin.finish();
    }
    open_ = true;
    return true;
}

int TJournal::SchemaVersion() {
    if (!QSqlDatabase::contains(connection_)) {
        return 0;
    }
    return UserVersion(QSqlDatabase::database(connection_, false), nullptr);
}

bool TJournal::Newer(int version) {
    return Fail(QStringLiteral("журнал создан более новой версией программы (версия схемы %1, эта программа "
                               "знает версии до %2); обновите программу")
                    .arg(version)
                    .arg(kSchemaVersion));
}

bool TJournal::Migrate() {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlError error;
    int version = UserVersion(db, &error);
    if (version < 0) {
        return FailWith(error);
    }
    if (version > kSchemaVersion) {
        return Newer(version);
    }
    if (version == kSchemaVersion) {
        return true;
    }
    TWrite write(db);
    if (!write.Begun()) {
        return FailWith(write.Error());
    }
    // Another program may have brought it up to date while this one waited.
    version = UserVersion(db, &error);
    if (version < 0) {
        return FailWith(error);
    }
    if (version > kSchemaVersion) {
        return Newer(version);
    }
    for (const TMigration& migration : Migrations()) {
        if (migration.version <= version) {
            continue;
        }
        QSqlQuery query(db);
        for (const QString& statement : Statements(migration, kSqlite)) {
            if (!query.exec(statement)) {
                return FailWith(query.lastError());
            }
        }
        if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(migration.version))) {
            return FailWith(query.lastError());
        }
    }
    return write.Commit() || FailWith(write.Error());
}

std::optional<qint64> TJournal::Record(const TNewEntry& entry) {
    const auto ids = Record(std::span<const TNewEntry>(&entry, 1));
    return ids ? std::optional<qint64>(ids->front()) : std::nullopt;
}

std::optional<std::vector<qint64>> TJournal::Record(std::span<const TNewEntry> entries) {
    if (!Open()) {
        return std::nullopt;
    }
    struct TPrepared {
        QByteArray text;
        QString sha;
        QByteArray body;
    };
    // Hashed and compressed before the transaction, so other programs wait only for the writes.
    std::vector<TPrepared> prepared;
    prepared.reserve(entries.size());
    for (const TNewEntry& entry : entries) {
        TPrepared p{QByteArray::fromStdString(entry.config), {}, {}};
        p.sha = Sha256(p.text);
        p.body = Compress(p.text);
        prepared.push_back(std::move(p));
    }
    const QString user = OsUser();
    const QString host = QSysInfo::machineHostName();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();

    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    TWrite write(db);
    if (!write.Begun()) {
        FailWith(write.Error());
        return std::nullopt;
    }
    QSqlQuery seq(db);
    seq.prepare(QStringLiteral("SELECT COALESCE(MAX(seq), 0) FROM entries WHERE origin = ?"));
    seq.addBindValue(Text(origin_));
    if (!seq.exec() || !seq.next()) {
        FailWith(seq.lastError());
        return std::nullopt;
    }
    qint64 last = seq.value(0).toLongLong();
    seq.finish();
    QSqlQuery config(db);
    config.prepare(QStringLiteral("INSERT INTO configs (sha256, size, encoding, body) VALUES (?, ?, ?, ?) "
                                  "ON CONFLICT (sha256) DO NOTHING"));
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO entries (uuid, origin, seq, created_ms, os_user, host_name, action, port, file_path, "
        "device_type, device_name, firmware, config_sha256, site, note, site_fold, search_fold) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    std::vector<qint64> ids;
    ids.reserve(entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const TNewEntry& entry = entries[k];
        const TPrepared& p = prepared[k];
        config.addBindValue(Text(p.sha));
        config.addBindValue(static_cast<qint64>(p.text.size()));
        config.addBindValue(QString::fromLatin1(kEncoding));
        config.addBindValue(p.body);
        if (!config.exec()) {
            FailWith(config.lastError());
            return std::nullopt;
        }
        insert.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
        insert.addBindValue(Text(origin_));
        insert.addBindValue(++last);
        insert.addBindValue(entry.time.isValid() ? entry.time.toMSecsSinceEpoch() : now);
        insert.addBindValue(Text(user));
        insert.addBindValue(Text(host));
        insert.addBindValue(QString::fromLatin1(ActionCode(entry.action)));
        insert.addBindValue(Text(entry.port));
        insert.addBindValue(Text(entry.filePath));
        insert.addBindValue(entry.deviceType);
        insert.addBindValue(Text(entry.deviceName));
        insert.addBindValue(entry.firmware);
        insert.addBindValue(Text(p.sha));
        insert.addBindValue(Text(entry.site));
        insert.addBindValue(Text(entry.note));
        insert.addBindValue(Text(entry.site.toLower()));
        insert.addBindValue(Text(SearchFold(entry.site, entry.note, entry.deviceName, entry.filePath)));
        if (!insert.exec()) {
            FailWith(insert.lastError());
            return std::nullopt;
        }
        ids.push_back(insert.lastInsertId().toLongLong());
    }
    if (!write.Commit()) {
        FailWith(write.Error());
        return std::nullopt;
    }
    return ids;
}

TListing TJournal::List(const TFilter& filter) {
    TListing listing;
    if (!Open()) {
        listing.warning = problem_;
        return listing;
    }
    QVariantList values;
    QString sql = QStringLiteral("SELECT %1 FROM entries").arg(QLatin1String(kEntryColumns)) +
                  Where(filter, values) + QStringLiteral(" ORDER BY created_ms DESC, id DESC");
    if (filter.limit > 0 || filter.offset > 0) {
        sql += QStringLiteral(" LIMIT %1 OFFSET %2")
                   .arg(filter.limit > 0 ? filter.limit : -1)
                   .arg(filter.offset);
    }
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.setForwardOnly(true);
    query.prepare(sql);
    for (const QVariant& value : values) {
        query.addBindValue(value);
    }
    if (!query.exec()) {
        FailWith(query.lastError());
        listing.warning = problem_;
        return listing;
    }
    while (query.next()) {
        TEntry entry;
        if (ReadEntry(query, entry)) {
            listing.entries.push_back(std::move(entry));
        } else {
            ++listing.skipped;
        }
        bool timeOk = false;
        bool idOk = false;
        const qint64 ms = query.value(4).toLongLong(&timeOk);
        const qint64 id = query.value(0).toLongLong(&idOk);
        if (timeOk && idOk) {
            listing.last = TFilter::TPlace{QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC), id};
        } else {
            listing.last.reset();
        }
    }
    const qint64 rows = static_cast<qint64>(listing.entries.size()) + listing.skipped;
    if (filter.limit <= 0 || rows < filter.limit) {
        listing.total = filter.offset + rows;
    }
    if (query.lastError().isValid()) {
        listing.total.reset();
        FailWith(query.lastError());
        listing.warning = QStringLiteral("Журнал прочитан не до конца. %1").arg(problem_);
    } else if (listing.skipped > 0) {
        listing.warning = QStringLiteral("Пропущены поврежденные записи журнала: %1").arg(listing.skipped);
    }
    return listing;
}

std::optional<qint64> TJournal::Count(const TFilter& filter) {
    if (!Open()) {
        return std::nullopt;
    }
    QVariantList values;
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM entries") + Where(filter, values));
    for (const QVariant& value : values) {
        query.addBindValue(value);
    }
    if (!query.exec() || !query.next()) {
        FailWith(query.lastError());
        return std::nullopt;
    }
    return query.value(0).toLongLong();
}

std::optional<TEntry> TJournal::Find(qint64 id) {
    if (!Open()) {
        return std::nullopt;
    }
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("SELECT %1 FROM entries WHERE id = ?").arg(QLatin1String(kEntryColumns)));
    query.addBindValue(id);
    TEntry entry;
    if (!query.exec() || !query.next() || !ReadEntry(query, entry)) {
        return std::nullopt;
    }
    return entry;
}

QString TJournal::SiteOfFile(const QString& filePath) {
    if (filePath.isEmpty() || !Open()) {
        return {};
    }
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("SELECT site FROM entries WHERE file_path = ? AND site <> '' "
                                 "ORDER BY created_ms DESC, id DESC LIMIT 1"));
    query.addBindValue(filePath);
    return query.exec() && query.next() ? query.value(0).toString() : QString();
}

bool TJournal::HoldsConfiguration(const QString& sha256) {
    if (!Open()) {
        return false;
    }
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("SELECT 1 FROM configs WHERE sha256 = ?"));
    query.addBindValue(sha256);
    return query.exec() && query.next();
}

std::vector<TAuthor> TJournal::Authors() {
    std::vector<TAuthor> authors;
    if (!Open()) {
        return authors;
    }
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.setForwardOnly(true);
    if (!query.exec(
            QStringLiteral("SELECT DISTINCT os_user, host_name FROM entries ORDER BY os_user, host_name"))) {
        FailWith(query.lastError());
        return authors;
    }
    while (query.next()) {
        authors.push_back({query.value(0).toString(), query.value(1).toString()});
    }
    return authors;
}

std::optional<TStoredConfig> TJournal::Configuration(qint64 id) {
    if (!Open()) {
        return std::nullopt;
    }
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("SELECT e.config_sha256, c.size, c.encoding, c.body FROM entries e "
                                 "LEFT JOIN configs c ON c.sha256 = e.config_sha256 WHERE e.id = ?"));
    query.addBindValue(id);
    if (!query.exec() || !query.next()) {
        return std::nullopt;
    }
    TStoredConfig stored;
    const QString sha = query.value(0).toString();
    bool sized = false;
    const qint64 size = query.value(1).toLongLong(&sized);
    if (!sized || query.value(2).toString() != QLatin1String(kEncoding)) {
        return stored;
    }
    const auto text = Uncompress(query.value(3).toByteArray(), size);
    if (!text || Sha256(*text) != sha) {
        return stored;
    }
    stored.text = text->toStdString();
    TProgramState scratch;
    stored.state = ReadConfigDocument(scratch, stored.text.data(), stored.text.size())
                       ? TConfigState::Ok
                       : TConfigState::NotAConfiguration;
    return stored;
}

bool TJournal::SetSite(qint64 id, const QString& site) {
    return Annotate(id, site, std::nullopt);
}

bool TJournal::SetNote(qint64 id, const QString& note) {
    return Annotate(id, std::nullopt, note);
}

bool TJournal::Annotate(qint64 id, const std::optional<QString>& site, const std::optional<QString>& note) {
    if (!Open()) {
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    TWrite write(db);
    if (!write.Begun()) {
        return FailWith(write.Error());
    }
    QSqlQuery entry(db);
    entry.prepare(QStringLiteral("SELECT uuid, site, note FROM entries WHERE id = ?"));
    entry.addBindValue(id);
    if (!entry.exec()) {
        return FailWith(entry.lastError());
    }
    if (!entry.next()) {
        return false;
    }
    const QString uuid = entry.value(0).toString();
    const QString newSite = site.value_or(entry.value(1).toString());
    const QString newNote = note.value_or(entry.value(2).toString());
    entry.finish();

    QSqlQuery seq(db);
    seq.prepare(QStringLiteral("SELECT COALESCE(MAX(seq), 0) + 1 FROM annotations WHERE origin = ?"));
    seq.addBindValue(Text(origin_));
    if (!seq.exec() || !seq.next()) {
        return FailWith(seq.lastError());
    }
    const qint64 next = seq.value(0).toLongLong();
    seq.finish();
    // Later than every change this journal holds of the entry, so that the user's change is the
    // one shown even when another computer's clock runs ahead.
    QSqlQuery latest(db);
    latest.prepare(
        QStringLiteral("SELECT COALESCE(MAX(created_ms), 0) + 1 FROM annotations WHERE entry_uuid = ?"));
    latest.addBindValue(Text(uuid));
    if (!latest.exec() || !latest.next()) {
        return FailWith(latest.lastError());
    }
    const qint64 when = std::max(QDateTime::currentMSecsSinceEpoch(), latest.value(0).toLongLong());
    latest.finish();
    QSqlQuery insert(db);
    insert.prepare(
        QStringLiteral("INSERT INTO annotations (uuid, origin, seq, created_ms, os_user, host_name, "
                       "entry_uuid, site, note) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    insert.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
    insert.addBindValue(Text(origin_));
    insert.addBindValue(next);
    insert.addBindValue(when);
    insert.addBindValue(Text(OsUser()));
    insert.addBindValue(Text(QSysInfo::machineHostName()));
    insert.addBindValue(Text(uuid));
    insert.addBindValue(Text(newSite));
    insert.addBindValue(Text(newNote));
    if (!insert.exec()) {
        return FailWith(insert.lastError());
    }
    // The latest change wins in every journal alike, whatever order they arrived in.
    QSqlError error;
    if (!detail::ApplyLatestAnnotation(db, uuid, {}, error)) {
        return FailWith(error);
    }
    return write.Commit() || FailWith(write.Error());
}

} // namespace orv::journal
