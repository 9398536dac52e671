#include "journal.h"

#include "device/catalogue.h"
#include "files/config_file.h"
#include "internal.h"
#include "rows.h"
#include "schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QSysInfo>
#include <QUrl>
#include <QUuid>

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
constexpr const char* kReadOnlyOptions = "QSQLITE_BUSY_TIMEOUT=10000;QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI";
constexpr const char* kFileName = "journal.sqlite";

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

// The value a list is ordered by before time; empty for time alone. Texts a user types are
// ordered by their lower-case form where the journal keeps one; actions by their Russian names.
QString OrderKey(TOrder order) {
    switch (order) {
    case TOrder::Time:
        return {};
    case TOrder::Action:
        return QStringLiteral(
            "CASE action WHEN 'write' THEN 1 WHEN 'open' THEN 2 WHEN 'save' THEN 3 ELSE 4 END");
    case TOrder::Changed:
        return QStringLiteral("COALESCE(changed, -1)");
    case TOrder::Site:
        return QStringLiteral("site_fold");
    case TOrder::Device:
        return QStringLiteral("device_name");
    case TOrder::Firmware:
        return QStringLiteral("firmware");
    case TOrder::Place:
        return QStringLiteral("CASE WHEN file_path <> '' THEN file_path ELSE port END");
    case TOrder::OnlyHere:
        return QStringLiteral("(1 - sent)");
    case TOrder::User:
        return QStringLiteral("os_user");
    case TOrder::Host:
        return QStringLiteral("host_name");
    case TOrder::Note:
        return QStringLiteral("note");
    }
    return {};
}

// How a searched part is found: by reading the entries in the list's order (quick when it is
// common, the first page fills at once), or through the trigram index (quick when it is rare).
enum class TSearchPlan { Scan, Index };

// The trigram index serves parts of three characters or more.
bool Indexable(const QString& fold) {
    return fold.toUcs4().size() >= 3;
}

// A part as one phrase of the index's query language.
QString SearchPhrase(const QString& fold) {
    QString quoted = fold;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

// Below so many matches the index finds a page in time order sooner than reading the list in
// that order; below the second, it finds them all (to count, or to sort) sooner than reading all.
constexpr qint64 kIndexedBelow = 2000;
constexpr qint64 kCountIndexedBelow = 10000;

// The conditions of a filter. Search columns hold lower-case text, so a part is found in any
// case by a plain substring search (instr: SQLite's LIKE folds only Latin letters and is slower);
// the index only narrows the entries that search reads.
QString Where(const TFilter& filter, QVariantList& values, TSearchPlan plan = TSearchPlan::Scan) {
    QString where = QStringLiteral(" WHERE 1 = 1");
    if (!filter.site.isEmpty()) {
        where += QStringLiteral(" AND instr(site_fold, ?) > 0");
        values << filter.site.toLower();
    }
    if (!filter.siteIs.isEmpty()) {
        where += QStringLiteral(" AND site_fold = ?");
        values << filter.siteIs.toLower();
    }
    if (!filter.search.isEmpty()) {
        const QString fold = filter.search.toLower();
        if (plan == TSearchPlan::Index && Indexable(fold)) {
            where +=
                QStringLiteral(" AND id IN (SELECT rowid FROM entries_search WHERE entries_search MATCH ?)");
            values << SearchPhrase(fold);
        }
        where += QStringLiteral(" AND instr(search_fold, ?) > 0");
        values << fold;
    }
    if (filter.deviceType != 0) {
        where += QStringLiteral(" AND device_type = ?");
        values << filter.deviceType;
    }
    if (!filter.deviceTypes.empty()) {
        QStringList marks;
        for (const int type : filter.deviceTypes) {
            marks << QStringLiteral("?");
            values << type;
        }
        where += QStringLiteral(" AND device_type IN (%1)").arg(marks.join(u','));
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
        const QChar after = filter.ascending ? u'>' : u'<';
        const qint64 ms = filter.before->time.toMSecsSinceEpoch();
        const QString key = OrderKey(filter.order);
        if (key.isEmpty()) {
            // Spelt out so that the list index answers it.
            where += QStringLiteral(" AND (created_ms %1 ? OR (created_ms = ? AND id %1 ?))").arg(after);
            values << ms << ms << filter.before->id;
        } else {
            where += QStringLiteral(" AND (%1, created_ms, id) %2 (?, ?, ?)").arg(key, after);
            values << filter.before->key << ms << filter.before->id;
        }
    }
    return where;
}

QString OrderBy(const TFilter& filter) {
    const QString direction = filter.ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC");
    const QString key = OrderKey(filter.order);
    return QStringLiteral(" ORDER BY ") + (key.isEmpty() ? QString() : key + direction + u',') +
           QStringLiteral("created_ms") + direction + QStringLiteral(", id") + direction;
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

// What a journal of every schema holds of an entry; the login that brought it, from schema 3 on.
constexpr const char* kEntryColumns =
    "id, uuid, origin, seq, created_ms, os_user, host_name, action, port, file_path, device_type, "
    "device_name, firmware, config_sha256, site, note, sent";

// Where List() puts the value it orders by, after the entry's columns.
constexpr int kKeyColumn = 19;

// A value of the journal's own table of names and values; empty when it has none.
std::optional<QString> Info(const QSqlDatabase& db, const QString& name, QSqlError& error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT value FROM journal_info WHERE name = ?"));
    query.addBindValue(name);
    if (!query.exec()) {
        error = query.lastError();
        return std::nullopt;
    }
    return query.next() ? query.value(0).toString() : QString();
}

bool Longer(const QString& text, qsizetype limit) {
    return text.size() > limit;
}

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
    entry.insertedBy = row.value(17).toString();
    if (const QVariant changed = row.value(18); !changed.isNull()) {
        entry.changed = changed.toInt();
    }
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

bool ApplyLatestAnnotation(const QSqlDatabase& db, const QString& entryUuid, QSqlError& error) {
    QSqlQuery entry(db);
    entry.prepare(
        QStringLiteral("SELECT device_name, file_path, site, note, port FROM entries WHERE uuid = ?"));
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
    QString site = entry.value(2).toString();
    QString note = entry.value(3).toString();
    const QString port = entry.value(4).toString();
    entry.finish();
    QSqlQuery latest(db);
    latest.prepare(
        QStringLiteral("SELECT site, note FROM annotations WHERE entry_uuid = ? AND (fields & ?) <> 0 "
                       "ORDER BY created_ms DESC, uuid DESC LIMIT 1"));
    for (const qint64 field : {kSiteField, kNoteField}) {
        latest.addBindValue(Text(entryUuid));
        latest.addBindValue(field);
        if (!latest.exec()) {
            error = latest.lastError();
            return false;
        }
        if (latest.next()) {
            (field == kSiteField ? site : note) = latest.value(field == kSiteField ? 0 : 1).toString();
        }
        latest.finish();
    }
    QSqlQuery update(db);
    update.prepare(QStringLiteral(
        "UPDATE entries SET site = ?, note = ?, site_fold = ?, search_fold = ? WHERE uuid = ?"));
    update.addBindValue(Text(site));
    update.addBindValue(Text(note));
    update.addBindValue(Text(site.toLower()));
    update.addBindValue(Text(SearchFold(site, note, device, file, port)));
    update.addBindValue(Text(entryUuid));
    if (!update.exec()) {
        error = update.lastError();
        return false;
    }
    return true;
}

constexpr const char* kInsertConfig =
    "INSERT INTO configs (sha256, size, encoding, body) VALUES (?, ?, ?, ?) ON CONFLICT DO NOTHING";

QString Filled(const QSqlDatabase& db, const QString& sql, const QVariantList& values) {
    QString filled;
    filled.reserve(sql.size());
    qsizetype next = 0;
    for (const QChar c : sql) {
        if (c == u'?' && next < values.size()) {
            const QVariant& value = values[next++];
            QSqlField field(QString(), value.metaType());
            field.setValue(value);
            filled += db.driver()->formatValue(field);
        } else {
            filled += c;
        }
    }
    return filled;
}

TConfigInserter::TConfigInserter(const QSqlDatabase& db) : db_(db), query_(db) {
    // A server's statements are sent with their values in them (see Filled); SQLite keeps bytes
    // apart from the text, which Qt's quoting does not.
    if (db_.driver()->dbmsType() != QSqlDriver::PostgreSQL) {
        query_.prepare(QString::fromLatin1(kInsertConfig));
    }
}

bool TConfigInserter::Insert(const TConfigRow& config, QSqlError& error) {
    const QVariantList values{Text(config.sha256), config.size, Text(config.encoding), config.body};
    bool ok = false;
    if (db_.driver()->dbmsType() == QSqlDriver::PostgreSQL) {
        QSqlQuery query(db_);
        ok = query.exec(Filled(db_, QString::fromLatin1(kInsertConfig), values));
        error = query.lastError();
    } else {
        for (const QVariant& value : values) {
            query_.addBindValue(value);
        }
        ok = query_.exec();
        error = query_.lastError();
    }
    return ok;
}

QSqlDatabase TJournalAccess::Database(const TJournal& journal) {
    return QSqlDatabase::database(journal.connection_, false);
}

bool TJournalAccess::NewOrigin(TJournal& journal) {
    if (!journal.Open()) {
        return false;
    }
    QSqlDatabase db = Database(journal);
    TWrite write(db);
    QSqlQuery update(db);
    update.prepare(QStringLiteral("UPDATE journal_info SET value = ? WHERE name = 'origin'"));
    const QString origin = QUuid::createUuid().toString(QUuid::WithoutBraces);
    update.addBindValue(origin);
    if (!write.Begun() || !update.exec() || !write.Commit()) {
        return journal.FailWith(write.Error().isValid() ? write.Error() : update.lastError());
    }
    journal.origin_ = origin;
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
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + u'/' +
           QLatin1String(kFileName);
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
    return EnsureOpen(true);
}

bool TJournal::OpenForReading() {
    return EnsureOpen(false);
}

void TJournal::Close() {
    if (QSqlDatabase::contains(connection_)) {
        QSqlDatabase::database(connection_, false).close();
    }
    open_ = false;
    readOnly_ = false;
}

bool TJournal::CanWrite() const {
    const QFileInfo file(path_);
    if (!file.exists()) {
        return true; // created, or the attempt says why not
    }
    const QStorageInfo storage(file.absolutePath());
    return file.isWritable() && QFileInfo(file.absolutePath()).isWritable() &&
           !(storage.isValid() && storage.isReadOnly());
}

void TJournal::MoveFromRoamingFolder() const {
    if (!qEnvironmentVariableIsEmpty("ORVANTA_JOURNAL") || path_ != DefaultPath() ||
        QFileInfo::exists(path_)) {
        return;
    }
    const QString old =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + u'/' + QLatin1String(kFileName);
    if (old == path_ || !QFileInfo::exists(old) || !QDir().mkpath(QFileInfo(path_).absolutePath())) {
        return;
    }
    // The write-ahead log holds the newest entries until it is folded into the file.
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFileInfo::exists(old + suffix)) {
            QFile::rename(old + suffix, path_ + suffix);
        }
    }
}

bool TJournal::EnsureOpen(bool write) {
    if (open_ && (!write || !readOnly_)) {
        return true;
    }
    Close();
    problem_.clear();
    MoveFromRoamingFolder();
    if (!write && !CanWrite()) {
        if (OpenReadOnly()) {
            return true;
        }
        Close();
        return false;
    }
    const bool existed = QFileInfo::exists(path_);
    if (OpenDatabase()) {
        open_ = true;
        return true;
    }
    Close();
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

bool TJournal::OpenReadOnly() {
    if (!QSqlDatabase::isDriverAvailable(QString::fromLatin1(kDriver))) {
        return Fail(QStringLiteral("нет драйвера SQLite для Qt"));
    }
    if (!QFileInfo(path_).isFile()) {
        return Fail(QStringLiteral("на месте файла журнала находится папка"));
    }
    QSqlDatabase db = QSqlDatabase::contains(connection_)
                          ? QSqlDatabase::database(connection_, false)
                          : QSqlDatabase::addDatabase(QString::fromLatin1(kDriver), connection_);
    // Read as it stands: nothing may be written next to it. Entries still in the write-ahead
    // log are read through it where SQLite can; otherwise the file alone, which nobody changes.
    const QString uri = QUrl::fromLocalFile(QFileInfo(path_).absoluteFilePath()).toString(QUrl::FullyEncoded);
    const QFileInfo log(path_ + QStringLiteral("-wal"));
    QStringList modes{QStringLiteral("?immutable=1")};
    if (log.exists() && log.size() > 0) {
        modes.prepend(QStringLiteral("?mode=ro"));
    }
    db.setConnectOptions(QString::fromLatin1(kReadOnlyOptions));
    QSqlError error;
    for (const QString& mode : modes) {
        db.setDatabaseName(uri + mode);
        QSqlError versionError;
        if (db.open()) {
            const int version = UserVersion(db, &versionError);
            if (version >= 0) {
                if (version == 0) {
                    return Fail(QStringLiteral("журнал пуст и доступен только для чтения"));
                }
                schema_ = version;
                if (!CheckVersion(version) || !ReadOrigin()) {
                    return false;
                }
                readOnly_ = true;
                open_ = true;
                return true;
            }
            error = versionError;
        } else {
            error = db.lastError();
        }
        db.close();
    }
    return FailWith(error);
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
        return FailWith(error);
    }
    if (!CheckVersion(version)) {
        return false;
    }
    QSqlQuery pragma(db);
    // Several programs may write at once; a commit is on the disk before it returns.
    if (!pragma.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !pragma.next() ||
        pragma.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0 ||
        !pragma.exec(QStringLiteral("PRAGMA synchronous = FULL")) ||
        // Room for the list index of a large journal, so that searching again reads no file.
        !pragma.exec(QStringLiteral("PRAGMA cache_size = -32768"))) {
        const QSqlError error = pragma.lastError();
        pragma.finish();
        return error.isValid() ? FailWith(error)
                               : Fail(QStringLiteral("журнал нельзя перевести в режим WAL"));
    }
    pragma.finish();
    if (!Migrate()) {
        return false;
    }
    if (!pragma.exec(QStringLiteral("PRAGMA foreign_keys = ON"))) {
        return FailWith(pragma.lastError());
    }
    if (!ReadOrigin()) {
        return false;
    }
    if (origin_.isEmpty()) {
        TWrite write(db);
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO journal_info (name, value) VALUES ('origin', ?) "
                                      "ON CONFLICT (name) DO NOTHING"));
        insert.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
        if (!write.Begun() || !insert.exec() || !write.Commit()) {
            return FailWith(write.Error().isValid() ? write.Error() : insert.lastError());
        }
        if (!ReadOrigin()) {
            return false;
        }
    }
    return true;
}

bool TJournal::ReadOrigin() {
    QSqlError error;
    const auto origin = Info(QSqlDatabase::database(connection_, false), QStringLiteral("origin"), error);
    if (!origin) {
        return FailWith(error);
    }
    origin_ = *origin;
    return true;
}

int TJournal::SchemaVersion() {
    if (!QSqlDatabase::contains(connection_)) {
        return 0;
    }
    return UserVersion(QSqlDatabase::database(connection_, false), nullptr);
}

bool TJournal::Newer(int version, int compatible) {
    return Fail(
        QStringLiteral("журнал создан более новой версией программы (версия схемы %1, нужна программа, "
                       "знающая версию %2; эта программа знает версии до %3); обновите программу")
            .arg(version)
            .arg(compatible)
            .arg(kSchemaVersion));
}

// A journal of a newer schema is used as it is when its changes leave this program's reading and
// writing intact (it says so by the oldest version it needs); otherwise it is left untouched.
bool TJournal::CheckVersion(int version) {
    schema_ = version;
    if (version <= kSchemaVersion) {
        return true;
    }
    // A journal that does not say which programs may use it is for its own version only.
    QSqlError error;
    const auto compatible =
        Info(QSqlDatabase::database(connection_, false), QStringLiteral("compatible_version"), error);
    bool number = false;
    const int needs = compatible ? compatible->toInt(&number) : version;
    if (!number || needs > kSchemaVersion) {
        return Newer(version, number ? needs : version);
    }
    return true;
}

bool TJournal::Migrate() {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlError error;
    int version = UserVersion(db, &error);
    if (version < 0) {
        return FailWith(error);
    }
    if (version >= kSchemaVersion) {
        return true;
    }
    // A rebuilt table is dropped while others still refer to it; the references hold again
    // once its copy takes its name.
    QSqlQuery keys(db);
    if (!keys.exec(QStringLiteral("PRAGMA foreign_keys = OFF"))) {
        return FailWith(keys.lastError());
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
    if (!CheckVersion(version)) {
        return false;
    }
    QSqlQuery query(db);
    for (const TMigration& migration : Migrations()) {
        if (migration.version <= version) {
            continue;
        }
        for (const QString& statement : Statements(migration, kSqlite)) {
            if (!query.exec(statement)) {
                return FailWith(query.lastError());
            }
        }
        if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(migration.version))) {
            return FailWith(query.lastError());
        }
        version = migration.version;
    }
    query.prepare(QStringLiteral("INSERT INTO journal_info (name, value) VALUES ('compatible_version', ?) "
                                 "ON CONFLICT (name) DO UPDATE SET value = excluded.value"));
    query.addBindValue(QString::number(CompatibleVersion(version)));
    if (!query.exec()) {
        return FailWith(query.lastError());
    }
    if (!write.Commit()) {
        return FailWith(write.Error());
    }
    schema_ = version;
    return true;
}

QString TJournal::EntryColumns() const {
    return QLatin1String(kEntryColumns) +
           (schema_ >= 3 ? QStringLiteral(", inserted_by") : QStringLiteral(", ''")) +
           (schema_ >= 4 ? QStringLiteral(", changed") : QStringLiteral(", NULL"));
}

std::optional<qint64> TJournal::Record(const TNewEntry& entry) {
    const auto ids = Record(std::span<const TNewEntry>(&entry, 1));
    return ids ? std::optional<qint64>(ids->front()) : std::nullopt;
}

std::optional<std::vector<qint64>> TJournal::Record(std::span<const TNewEntry> entries) {
    if (!Open()) {
        return std::nullopt;
    }
    for (const TNewEntry& entry : entries) {
        if (Longer(entry.port, limits::kPlace) || Longer(entry.filePath, limits::kPlace) ||
            Longer(entry.deviceName, limits::kName) || Longer(entry.site, limits::kSite) ||
            Longer(entry.note, limits::kNote) || static_cast<qint64>(entry.config.size()) > limits::kConfig) {
            Fail(QStringLiteral("запись слишком длинна для журнала"));
            return std::nullopt;
        }
    }
    // Hashed and compressed before the transaction, so other programs wait only for the writes.
    std::vector<TConfigRow> configs;
    configs.reserve(entries.size());
    for (const TNewEntry& entry : entries) {
        configs.push_back(StoredConfig(QByteArray::fromStdString(entry.config)));
    }
    const QString user = OsUser().left(limits::kName);
    const QString host = QSysInfo::machineHostName().left(limits::kName);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();

    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    TWrite write(db);
    if (!write.Begun()) {
        FailWith(write.Error());
        return std::nullopt;
    }
    // The origin is read again: a synchronisation may have given the journal a new one.
    if (!ReadOrigin()) {
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
    detail::TConfigInserter config(db);
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO entries (uuid, origin, seq, created_ms, os_user, host_name, action, port, file_path, "
        "device_type, device_name, firmware, config_sha256, site, note, site_fold, search_fold, changed) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    std::vector<qint64> ids;
    ids.reserve(entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const TNewEntry& entry = entries[k];
        QSqlError error;
        if (!config.Insert(configs[k], error)) {
            FailWith(error);
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
        insert.addBindValue(Text(configs[k].sha256));
        insert.addBindValue(Text(entry.site));
        insert.addBindValue(Text(entry.note));
        insert.addBindValue(Text(entry.site.toLower()));
        insert.addBindValue(
            Text(SearchFold(entry.site, entry.note, entry.deviceName, entry.filePath, entry.port)));
        insert.addBindValue(entry.changed ? QVariant(*entry.changed) : QVariant(QMetaType::fromType<int>()));
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

std::optional<qint64> TJournal::Lookup(const QString& reference, QString& why) {
    const QString text = reference.trimmed().toLower();
    if (!OpenForReading()) {
        why = problem_;
        return std::nullopt;
    }
    bool digits = !text.isEmpty();
    bool hex = text.size() >= 8;
    for (const QChar c : text) {
        digits = digits && c.isDigit();
        hex = hex && (c.isDigit() || (c >= u'a' && c <= u'f') || c == u'-');
    }
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (hex) {
        // The uuid index answers a range: every uuid that begins with the text sorts between it
        // and the text followed by a letter past the hexadecimal ones.
        QSqlQuery query(db);
        query.prepare(QStringLiteral("SELECT id FROM entries WHERE uuid >= ? AND uuid < ? LIMIT 2"));
        query.addBindValue(text);
        query.addBindValue(text + u'g');
        if (!query.exec()) {
            FailWith(query.lastError());
            why = problem_;
            return std::nullopt;
        }
        std::vector<qint64> found;
        while (query.next()) {
            found.push_back(query.value(0).toLongLong());
        }
        if (found.size() == 1) {
            return found.front();
        }
        if (found.size() > 1) {
            why = QStringLiteral("Начало uuid %1 есть у нескольких записей журнала; укажите больше знаков")
                      .arg(reference);
            return std::nullopt;
        }
    }
    if (digits && text.size() <= 18) {
        const qint64 id = text.toLongLong();
        QSqlQuery query(db);
        query.prepare(QStringLiteral("SELECT 1 FROM entries WHERE id = ?"));
        query.addBindValue(id);
        if (id > 0 && query.exec() && query.next()) {
            return id;
        }
    }
    why = QStringLiteral("В журнале нет записи %1").arg(reference);
    return std::nullopt;
}

TListing TJournal::List(const TFilter& filter) {
    TListing listing;
    if (!OpenForReading()) {
        listing.warning = problem_;
        return listing;
    }
    QVariantList values;
    const QString key = OrderKey(filter.order);
    const std::optional<qint64> matches = SearchMatches(filter.search);
    // Only the list in time order stops reading at a page's end: other orders read all it lets through.
    const qint64 indexedBelow = filter.order == TOrder::Time ? kIndexedBelow : kCountIndexedBelow;
    const TSearchPlan plan = matches && *matches < indexedBelow ? TSearchPlan::Index : TSearchPlan::Scan;
    QString sql = QStringLiteral("SELECT %1, %2 FROM entries")
                      .arg(EntryColumns(), key.isEmpty() ? QStringLiteral("0") : key) +
                  Where(filter, values, plan) + OrderBy(filter);
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
            listing.last =
                TFilter::TPlace{QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC), id, query.value(kKeyColumn)};
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
    if (!OpenForReading()) {
        return std::nullopt;
    }
    const std::optional<qint64> matches = SearchMatches(filter.search);
    const bool searchAlone = filter.site.isEmpty() && filter.siteIs.isEmpty() && filter.deviceType == 0 &&
                             filter.deviceTypes.empty() && filter.user.isEmpty() && filter.host.isEmpty() &&
                             !filter.before;
    if (matches && searchAlone) {
        return matches;
    }
    QVariantList values;
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM entries") +
                  Where(filter, values,
                        matches && *matches < kCountIndexedBelow ? TSearchPlan::Index : TSearchPlan::Scan));
    for (const QVariant& value : values) {
        query.addBindValue(value);
    }
    if (!query.exec() || !query.next()) {
        FailWith(query.lastError());
        return std::nullopt;
    }
    return query.value(0).toLongLong();
}

std::optional<qint64> TJournal::SearchMatches(const QString& search) {
    const QString fold = search.toLower();
    if (!Indexable(fold)) {
        return std::nullopt;
    }
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM entries_search WHERE entries_search MATCH ?"));
    query.addBindValue(SearchPhrase(fold));
    // A journal this program cannot bring up to date (read-only, or made by a newer one without
    // the index) is searched by reading it.
    if (!query.exec() || !query.next()) {
        return std::nullopt;
    }
    return query.value(0).toLongLong();
}

std::optional<TEntry> TJournal::Find(qint64 id) {
    if (!OpenForReading()) {
        return std::nullopt;
    }
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("SELECT %1 FROM entries WHERE id = ?").arg(EntryColumns()));
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
    if (!OpenForReading()) {
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
    if (!OpenForReading()) {
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
    bool sized = false;
    const TConfigRow row{query.value(0).toString(), query.value(1).toLongLong(&sized),
                         query.value(2).toString(), query.value(3).toByteArray()};
    const auto text = sized ? ConfigText(row) : std::nullopt;
    if (!text) {
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
    if ((site && Longer(*site, limits::kSite)) || (note && Longer(*note, limits::kNote))) {
        return Fail(QStringLiteral("текст слишком длинен для журнала"));
    }
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    TWrite write(db);
    if (!write.Begun()) {
        return FailWith(write.Error());
    }
    if (!ReadOrigin()) {
        return false;
    }
    QSqlQuery entry(db);
    entry.prepare(QStringLiteral("SELECT uuid FROM entries WHERE id = ?"));
    entry.addBindValue(id);
    if (!entry.exec()) {
        return FailWith(entry.lastError());
    }
    if (!entry.next()) {
        return false;
    }
    const QString uuid = entry.value(0).toString();
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
                       "entry_uuid, site, note, fields) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    insert.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
    insert.addBindValue(Text(origin_));
    insert.addBindValue(next);
    insert.addBindValue(when);
    insert.addBindValue(Text(OsUser().left(limits::kName)));
    insert.addBindValue(Text(QSysInfo::machineHostName().left(limits::kName)));
    insert.addBindValue(Text(uuid));
    insert.addBindValue(Text(site.value_or(QString())));
    insert.addBindValue(Text(note.value_or(QString())));
    insert.addBindValue((site ? kSiteField : 0) | (note ? kNoteField : 0));
    if (!insert.exec()) {
        return FailWith(insert.lastError());
    }
    // The latest change of each field wins in every journal alike, whatever order they arrived in.
    QSqlError error;
    if (!detail::ApplyLatestAnnotation(db, uuid, error)) {
        return FailWith(error);
    }
    return write.Commit() || FailWith(write.Error());
}

} // namespace orv::journal
