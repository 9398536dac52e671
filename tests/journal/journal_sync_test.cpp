// The journal shared through a real PostgreSQL server of the test's own: journals that end equal,
// a server lost halfway, servers that cannot be used, many clients at once, the command line.
#include "cli/cli.h"
#include "device/catalogue.h"
#include "gsm/tx_buffers.h"
#include "journal/journal.h"
#include "journal/schema.h"
#include "journal/sync.h"
#include "support/cli_run.h"
#include "support/pg_server.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <QFile>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <sstream>
#include <thread>

namespace orv::journal {
namespace {

using test::PgServer;

constexpr const char* kEntryColumns =
    "uuid, origin, seq, created_ms, os_user, host_name, action, port, file_path, device_type, device_name, "
    "firmware, config_sha256, site, note, site_fold, search_fold";
constexpr const char* kChangeColumns =
    "uuid, origin, seq, created_ms, os_user, host_name, entry_uuid, site, note";

TNewEntry Entry(Byte type, const QString& site) {
    TProgramState state;
    state.device = CreateDevice(type);
    ResetGsmFrame(state.GsmFrame);
    RefreshGsmModels(state);
    TNewEntry entry = EntryFromState(TAction::Read, state, QStringLiteral("/dev/ttyUSB0"));
    entry.site = site;
    return entry;
}

std::vector<TNewEntry> Entries(int count, const QString& prefix) {
    const TNewEntry model = Entry(13, {});
    std::vector<TNewEntry> entries(static_cast<std::size_t>(count), model);
    for (int i = 0; i < count; ++i) {
        entries[static_cast<std::size_t>(i)].site = QStringLiteral("%1 %2").arg(prefix).arg(i);
    }
    return entries;
}

// A database opened past the journal's code, SQLite or PostgreSQL.
class Db {
public:
    Db(const QString& driver, const QString& name, const QString& host = {}, int port = 0) {
        static std::atomic<int> next{0};
        connection_ = QStringLiteral("sync-test-%1").arg(next++);
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, connection_);
        db.setDatabaseName(name);
        if (!host.isEmpty()) {
            db.setHostName(host);
            db.setPort(port);
            db.setUserName(PgServer::Superuser());
        }
        EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
    }
    ~Db() {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    // Every row, its columns joined, sorted.
    std::vector<QString> Rows(const QString& sql) {
        QSqlQuery query(QSqlDatabase::database(connection_, false));
        EXPECT_TRUE(query.exec(sql)) << sql.toStdString() << ": " << query.lastError().text().toStdString();
        std::vector<QString> rows;
        while (query.next()) {
            QStringList columns;
            for (int i = 0; i < query.record().count(); ++i) {
                const QVariant value = query.value(i);
                columns << (value.typeId() == QMetaType::QByteArray
                                ? QString::fromLatin1(value.toByteArray().toHex())
                                : value.toString());
            }
            rows.push_back(columns.join(u'|'));
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    qint64 Number(const QString& sql) {
        const auto rows = Rows(sql);
        return rows.size() == 1 ? rows.front().toLongLong() : -1;
    }
    void Exec(const QString& sql) {
        QSqlQuery query(QSqlDatabase::database(connection_, false));
        EXPECT_TRUE(query.exec(sql)) << sql.toStdString() << ": " << query.lastError().text().toStdString();
    }

    // What two journals that hold the same history agree on.
    struct Content {
        std::vector<QString> entries, changes, configs;
        bool operator==(const Content&) const = default;
    };
    Content Shared() {
        return {Rows(QStringLiteral("SELECT %1 FROM entries").arg(QLatin1String(kEntryColumns))),
                Rows(QStringLiteral("SELECT %1 FROM annotations").arg(QLatin1String(kChangeColumns))),
                Rows(QStringLiteral("SELECT sha256, size, encoding, body FROM configs"))};
    }

private:
    QString connection_;
};

class JournalSync : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureQtApp();
        if (PgServer::BinDir().isEmpty()) {
            GTEST_SKIP() << "No PostgreSQL server programs in /usr/lib/postgresql/*/bin: the shared journal "
                            "is not tested here (scripts/install-deps installs the postgresql package)";
        }
        server = std::make_unique<PgServer>();
        ASSERT_TRUE(server->Ok()) << server->Error().toStdString();
        ASSERT_TRUE(server->CreateDatabase(QStringLiteral("journal"))) << server->Error().toStdString();
    }

    TServerSettings Settings() const {
        TServerSettings settings;
        settings.host = server->Host();
        settings.port = server->Port();
        settings.database = QStringLiteral("journal");
        settings.user = PgServer::Superuser();
        settings.sslmode = QStringLiteral("disable");
        return settings;
    }
    QString Path(const std::string& name) const { return QString::fromStdString(dir.File(name + ".sqlite")); }
    std::unique_ptr<Db> Server() const {
        return std::make_unique<Db>(QStringLiteral("QPSQL"), QStringLiteral("journal"), server->Host(),
                                    server->Port());
    }
    static std::unique_ptr<Db> Local(const QString& path) {
        return std::make_unique<Db>(QStringLiteral("QSQLITE"), path);
    }

    test::TempDir dir;
    std::unique_ptr<PgServer> server;
};

// Two installers' journals, each with its own entries and changes of site names and notes, even
// of each other's entries, end up holding the same history as the server, every entry marked
// sent; the configurations arrive intact; a repeated run finds nothing to do, and entries sent
// again (their marks lost) are not doubled.
TEST_F(JournalSync, TwoJournalsEndEqual) {
    TJournal a(Path("a"));
    TJournal b(Path("b"));
    ASSERT_TRUE(a.Record(Entries(3, QStringLiteral("Склад"))));
    ASSERT_TRUE(a.SetNote(1, QStringLiteral("Замена АКБ")));
    ASSERT_TRUE(b.Record(Entry(5, QStringLiteral("Офис"))));
    ASSERT_TRUE(b.Record(Entry(6, QStringLiteral("Гараж"))));

    TJournalSync syncA(a.Path(), Settings());
    TJournalSync syncB(b.Path(), Settings());
    TSyncReport report = syncA.Run();
    ASSERT_TRUE(report.Ok()) << report.text.toStdString();
    EXPECT_EQ(report.sentEntries, 3);
    EXPECT_EQ(report.sentChanges, 1);
    EXPECT_EQ(report.fetchedEntries, 0);

    report = syncB.Run();
    ASSERT_TRUE(report.Ok()) << report.text.toStdString();
    EXPECT_EQ(report.sentEntries, 2);
    EXPECT_EQ(report.fetchedEntries, 3);
    EXPECT_EQ(report.fetchedChanges, 1);
    EXPECT_NE(report.text.indexOf(QStringLiteral("синхронизирован")), -1) << report.text.toStdString();

    // B renames A's entry, A notes B's; both changes travel.
    const TListing fromA = b.List(TFilter{.site = QStringLiteral("склад 0")});
    ASSERT_EQ(fromA.entries.size(), 1U);
    EXPECT_EQ(fromA.entries[0].note, QStringLiteral("Замена АКБ"));
    ASSERT_TRUE(b.SetSite(fromA.entries[0].id, QStringLiteral("Склад №1")));
    const TListing fromB = a.List(TFilter{.site = QStringLiteral("офис")});
    EXPECT_TRUE(fromB.entries.empty()) << "A has not fetched yet";
    ASSERT_TRUE(syncB.Run().Ok());
    ASSERT_TRUE(syncA.Run().Ok());
    const TListing office = a.List(TFilter{.site = QStringLiteral("офис")});
    ASSERT_EQ(office.entries.size(), 1U);
    // A long note (more than an index row of the server may hold) travels like a short one.
    // Letters in no repeating order, so that the server cannot compress the row below its limit.
    QString longNote = QStringLiteral("Проверить датчик. ");
    for (unsigned i = 0, x = 1; i < 4000; ++i, x = x * 1103515245U + 12345U) {
        longNote += QChar(u'а' + static_cast<char16_t>((x >> 16) % 32));
    }
    ASSERT_TRUE(a.SetNote(office.entries[0].id, longNote));
    ASSERT_TRUE(syncA.Run().Ok());
    report = syncB.Run();
    ASSERT_TRUE(report.Ok());
    EXPECT_EQ(report.fetchedChanges, 1);

    auto localA = Local(a.Path());
    auto localB = Local(b.Path());
    auto shared = Server();
    const Db::Content content = shared->Shared();
    EXPECT_EQ(content.entries.size(), 5U);
    EXPECT_EQ(content.changes.size(), 3U);
    EXPECT_EQ(localA->Shared(), content);
    EXPECT_EQ(localB->Shared(), content);
    for (Db* local : {localA.get(), localB.get()}) {
        EXPECT_EQ(local->Number(QStringLiteral("SELECT COUNT(*) FROM entries WHERE sent = 0")), 0);
        EXPECT_EQ(local->Number(QStringLiteral("SELECT COUNT(*) FROM annotations WHERE sent = 0")), 0);
    }
    EXPECT_EQ(b.List(TFilter{.site = QStringLiteral("склад №1")}).entries.size(), 1U);
    EXPECT_EQ(a.List(TFilter{.site = QStringLiteral("склад №1")}).entries.size(), 1U);
    const TListing noted = b.List(TFilter{.search = QStringLiteral("проверить датчик")});
    ASSERT_EQ(noted.entries.size(), 1U);
    EXPECT_EQ(noted.entries[0].note, longNote);
    for (const TEntry& e : b.List().entries) {
        const auto stored = b.Configuration(e.id);
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->state, TConfigState::Ok) << e.site.toStdString();
    }

    // Nothing new: nothing moves. Marks lost: everything is sent again and ignored.
    report = syncA.Run();
    EXPECT_TRUE(report.Ok());
    EXPECT_EQ(report.sentEntries + report.sentChanges + report.fetchedEntries + report.fetchedChanges, 0);
    localA->Exec(QStringLiteral("UPDATE entries SET sent = 0"));
    localA->Exec(QStringLiteral("UPDATE annotations SET sent = 0"));
    report = syncA.Run();
    ASSERT_TRUE(report.Ok()) << report.text.toStdString();
    EXPECT_EQ(report.sentEntries, 5);
    EXPECT_EQ(shared->Shared(), content);
    EXPECT_EQ(localA->Shared(), content);
}

// The server stops while entries are being sent, and again while another journal fetches them;
// started again, the next runs finish the work: every entry exactly once everywhere.
TEST_F(JournalSync, ServerLostHalfwayLosesAndDoublesNothing) {
    constexpr int kCount = 3 * TJournalSync::kBatch + 7;
    TJournal a(Path("a"));
    ASSERT_TRUE(a.Record(Entries(kCount, QStringLiteral("Объект"))));
    ASSERT_TRUE(a.SetNote(kCount, QStringLiteral("Последняя")));

    for (const char* phase : {"sending", "fetching"}) {
        SCOPED_TRACE(phase);
        const bool sending = std::string_view(phase) == "sending";
        const QString path = sending ? a.Path() : Path("b");
        TJournalSync sync(path, Settings());
        int batches = 0;
        sync.SetOnBatch([&] {
            if (++batches == 1) {
                ASSERT_TRUE(server->Stop()) << server->Error().toStdString();
            }
        });
        TSyncReport report = sync.Run();
        EXPECT_EQ(report.status, TSyncStatus::Unreachable) << report.text.toStdString();
        EXPECT_NE(report.text.indexOf(QStringLiteral("нет соединения с %1").arg(Settings().Address())), -1)
            << report.text.toStdString();
        EXPECT_EQ(sending ? report.sentEntries : report.fetchedEntries, TJournalSync::kBatch);

        // Meanwhile the work goes on here.
        TJournal local(path);
        ASSERT_TRUE(local.Record(Entry(5, QStringLiteral("Без сети"))));

        ASSERT_TRUE(server->Start()) << server->Error().toStdString();
        report = sync.Run();
        ASSERT_TRUE(report.Ok()) << report.text.toStdString();
    }
    TJournalSync syncA(a.Path(), Settings());
    ASSERT_TRUE(syncA.Run().Ok());
    auto shared = Server();
    const Db::Content content = shared->Shared();
    EXPECT_EQ(content.entries.size(), static_cast<std::size_t>(kCount + 2));
    EXPECT_EQ(content.changes.size(), 1U);
    EXPECT_EQ(Local(a.Path())->Shared(), content);
    EXPECT_EQ(Local(Path("b"))->Shared(), content);
}

struct Failure {
    const char* name;
    TSyncStatus status;
    const char* says; // a part of the state's text
};

void PrintTo(const Failure& failure, std::ostream* out) {
    *out << failure.name;
}

class JournalSyncFails : public JournalSync, public ::testing::WithParamInterface<Failure> {};

// A server that cannot be used says why, in Russian, and that entries stay on this computer;
// recording, listing and changing entries go on as before, and nothing is marked sent.
TEST_P(JournalSyncFails, LeavesLocalWorkGoing) {
    const Failure& failure = GetParam();
    TServerSettings settings = Settings();
    const std::string name = failure.name;
    QTemporaryFile passwords;
    if (name == "WrongPassword") {
        settings.user = PgServer::PasswordUser();
        ASSERT_TRUE(passwords.open());
        passwords.write(QStringLiteral("*:*:*:%1:not-the-password\n").arg(PgServer::PasswordUser()).toUtf8());
        passwords.flush();
        qputenv("PGPASSFILE", QFile::encodeName(passwords.fileName()));
    } else if (name == "UnknownHost") {
        settings.host = QStringLiteral("orvanta-no-such-host.invalid");
    } else if (name == "NewerSchema") {
        TJournal other(Path("other"));
        ASSERT_TRUE(other.Record(Entry(5, QStringLiteral("Другой"))));
        ASSERT_TRUE(TJournalSync(other.Path(), settings).Run().Ok());
        server->Exec(QStringLiteral("journal"),
                     QStringLiteral("UPDATE journal_info SET value = '%1' WHERE name = 'schema_version'")
                         .arg(kSchemaVersion + 1));
    } else if (name == "ServerStopped") {
        ASSERT_TRUE(server->Stop());
    }

    TJournal journal(Path("local"));
    ASSERT_TRUE(journal.Record(Entry(13, QStringLiteral("Склад"))));
    TJournalSync sync(journal.Path(), settings);
    const TSyncReport report = sync.Run();
    qunsetenv("PGPASSFILE");
    EXPECT_EQ(report.status, failure.status) << report.text.toStdString();
    EXPECT_NE(report.text.indexOf(QString::fromUtf8(failure.says)), -1) << report.text.toStdString();
    EXPECT_TRUE(report.text.endsWith(QStringLiteral("записи сохраняются на этом компьютере")))
        << report.text.toStdString();
    EXPECT_EQ(report.sentEntries + report.fetchedEntries, 0);

    ASSERT_TRUE(journal.Record(Entry(5, QStringLiteral("Офис"))));
    ASSERT_TRUE(journal.SetNote(1, QStringLiteral("После сбоя")));
    const TListing listing = journal.List();
    ASSERT_EQ(listing.entries.size(), 2U);
    for (const TEntry& e : listing.entries) {
        EXPECT_FALSE(e.sent);
    }
    if (name == "NewerSchema") {
        EXPECT_EQ(
            server->Exec(QStringLiteral("journal"), QStringLiteral("SELECT COUNT(*) FROM entries")).toInt(),
            1)
            << "nothing is written to a newer server's journal";
        EXPECT_NE(report.text.indexOf(QStringLiteral("версия схемы %1").arg(kSchemaVersion + 1)), -1)
            << report.text.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Servers, JournalSyncFails,
    ::testing::Values(
        Failure{"WrongPassword", TSyncStatus::Refused, "неверный пароль"},
        Failure{"UnknownHost", TSyncStatus::Unreachable, "компьютер orvanta-no-such-host.invalid не найден"},
        Failure{"NewerSchema", TSyncStatus::NewerSchema, "более новой версией программы (версия схемы"},
        Failure{"ServerStopped", TSyncStatus::Unreachable, "нет соединения с"}),
    [](const ::testing::TestParamInfo<Failure>& info) { return std::string(info.param.name); });

// Ten installers synchronise at once, each with a thousand entries, against an empty database:
// the tables are made once, and the server ends with every entry exactly once, each journal's
// stream whole.
TEST_F(JournalSync, TenClientsAtOnce) {
    constexpr int kClients = 10;
    constexpr int kEach = 1000;
    std::vector<QString> paths;
    for (int c = 0; c < kClients; ++c) {
        paths.push_back(Path("client" + std::to_string(c)));
        TJournal journal(paths.back());
        ASSERT_TRUE(journal.Record(Entries(kEach, QStringLiteral("Клиент %1").arg(c))));
    }
    std::vector<TSyncReport> reports(kClients);
    std::vector<std::thread> threads;
    for (int c = 0; c < kClients; ++c) {
        threads.emplace_back([&, c] {
            TJournalSync sync(paths[static_cast<std::size_t>(c)], Settings());
            reports[static_cast<std::size_t>(c)] = sync.Run();
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const TSyncReport& report : reports) {
        EXPECT_TRUE(report.Ok()) << report.text.toStdString();
        EXPECT_EQ(report.sentEntries, kEach);
    }
    auto shared = Server();
    EXPECT_EQ(shared->Number(QStringLiteral("SELECT COUNT(*) FROM entries")), kClients * kEach);
    EXPECT_EQ(shared->Number(QStringLiteral("SELECT COUNT(DISTINCT uuid) FROM entries")), kClients * kEach);
    EXPECT_EQ(
        shared->Rows(QStringLiteral("SELECT COUNT(*), MIN(seq), MAX(seq) FROM entries GROUP BY origin")),
        std::vector<QString>(kClients, QStringLiteral("%1|1|%1").arg(kEach)));
}

using test::Cli;
using test::CliRun;

// orvanta-cli journal server stores the connection (never a password) and --off forgets it;
// journal sync reports what moved and fails when the server cannot be used; journal list finds
// entries by user and computer.
TEST_F(JournalSync, CommandLine) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir.File("settings")));
    const QString journalPath = Path("cli");
    qputenv("ORVANTA_JOURNAL", QFile::encodeName(journalPath));
    TJournal journal(journalPath);
    ASSERT_TRUE(journal.Record(Entries(2, QStringLiteral("Склад"))));
    TJournal other(Path("other"));
    ASSERT_TRUE(other.Record(Entry(5, QStringLiteral("Офис"))));
    ASSERT_TRUE(TJournalSync(other.Path(), Settings()).Run().Ok());
    Db(QStringLiteral("QSQLITE"), other.Path())
        .Exec(QStringLiteral("UPDATE entries SET os_user = 'ivanov', host_name = 'laptop-7'"));
    server->Exec(QStringLiteral("journal"),
                 QStringLiteral("UPDATE entries SET os_user = 'ivanov', host_name = 'laptop-7'"));

    CliRun run = Cli({"journal", "sync"});
    EXPECT_EQ(run.status, cli::kExitFailed);
    EXPECT_NE(run.err.find("Сервер журнала не задан"), std::string::npos) << run.err;

    run = Cli({"journal", "server", "--host", server->Host().toStdString(), "--port", "5432", "--database",
               "journal", "--user", PgServer::Superuser().toStdString(), "--sslmode", "disable"});
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    EXPECT_EQ(TServerSettings::Load().Address(), Settings().Address());
    EXPECT_EQ(TServerSettings::Load().sslmode, QStringLiteral("disable"));
    EXPECT_EQ(Cli({"journal", "server", "--sslmode", "sometimes"}).status, cli::kExitUsage);
    run = Cli({"journal", "server"});
    EXPECT_NE(run.out.find("database: journal"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("~/.pgpass"), std::string::npos) << run.out;
    QSettings stored(QSettings::UserScope, QStringLiteral("Zelvorin"), QStringLiteral("Orvanta"));
    for (const QString& key : stored.allKeys()) {
        EXPECT_FALSE(key.contains(QStringLiteral("password"), Qt::CaseInsensitive)) << key.toStdString();
    }

    run = Cli({"journal", "sync"});
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    EXPECT_NE(run.out.find("Отправлено записей: 2, изменений: 0"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Получено записей: 1, изменений: 0"), std::string::npos) << run.out;

    run = Cli({"journal", "list", "--user", "ivanov", "--host", "laptop-7"});
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    EXPECT_NE(run.out.find("Офис"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Склад"), std::string::npos) << run.out;
    EXPECT_EQ(Cli({"journal", "list", "--user", "ivanov", "--host", "laptop-8"}).out, "");

    ASSERT_TRUE(server->Stop());
    run = Cli({"journal", "sync"});
    EXPECT_EQ(run.status, cli::kExitFailed);
    EXPECT_NE(run.err.find("Сервер журнала недоступен: нет соединения с"), std::string::npos) << run.err;

    EXPECT_EQ(Cli({"journal", "server", "--off"}).status, cli::kExitOk);
    EXPECT_FALSE(TServerSettings::Load().IsSet());
}

} // namespace
} // namespace orv::journal
