// The journal shared through a real PostgreSQL server of the test's own: journals that end equal,
// a server lost halfway, journals copied and restored, site and note changed on two computers, a
// database made anew, rights per person against a hostile login, servers of earlier and later
// schemas, a server that stops answering, servers that cannot be used, the command line.
#include "cli/cli.h"
#include "journal/schema.h"
#include "journal/server_sql.h"
#include "journal/sync_service.h"
#include "support/cli_run.h"
#include "sync_support.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryFile>
#include <QUuid>

#include <filesystem>
#include <thread>

namespace orv::journal::test {
namespace {

// A journal's file with its write-ahead log, as a backup or a copy to another computer takes it
// (the journal closed).
void CopyJournal(const QString& from, const QString& to) {
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        QFile::remove(to + suffix);
        if (QFile::exists(from + suffix)) {
            ASSERT_TRUE(QFile::copy(from + suffix, to + suffix));
        }
    }
}

QString OriginOf(const QString& path) {
    TJournal journal(path);
    EXPECT_TRUE(journal.Open());
    return journal.Origin();
}

using JournalSync = SyncTest;

// Two installers' journals, each with its own entries and changes of site names and notes, even
// of each other's entries, end up holding the same records as the server, every one marked sent;
// the configurations arrive intact; a repeated run finds nothing to do, and records sent again
// (their marks lost) are not doubled or counted as sent.
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
    EXPECT_EQ(fromA.entries[0].insertedBy, PgServer::Superuser());
    ASSERT_TRUE(b.SetSite(fromA.entries[0].id, QStringLiteral("Склад №1")));
    EXPECT_TRUE(a.List(TFilter{.site = QStringLiteral("офис")}).entries.empty()) << "A has not fetched yet";
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
    const Db::Content content = shared->Recorded();
    EXPECT_EQ(content.entries.size(), 5U);
    EXPECT_EQ(content.changes.size(), 3U);
    EXPECT_EQ(localA->Recorded(), content);
    EXPECT_EQ(localB->Recorded(), content);
    const QString shown = QStringLiteral("SELECT uuid, site, note FROM entries");
    EXPECT_EQ(localA->Rows(shown), localB->Rows(shown));
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

    // Nothing new: nothing moves. Marks lost (the server committed, this journal did not mark):
    // the records are offered again, the server keeps one of each, and none counts as sent.
    report = syncA.Run();
    EXPECT_TRUE(report.Ok());
    EXPECT_EQ(report.sentEntries + report.sentChanges + report.fetchedEntries + report.fetchedChanges, 0);
    localA->Exec(QStringLiteral("UPDATE entries SET sent = 0"));
    localA->Exec(QStringLiteral("UPDATE annotations SET sent = 0"));
    report = syncA.Run();
    ASSERT_TRUE(report.Ok()) << report.text.toStdString();
    EXPECT_EQ(report.sentEntries + report.sentChanges, 0);
    EXPECT_EQ(shared->Recorded(), content);
    EXPECT_EQ(localA->Number(QStringLiteral("SELECT COUNT(*) FROM entries WHERE sent = 0")), 0);
    EXPECT_TRUE(syncA.Verify().Same());
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
    ASSERT_TRUE(Sync(a.Path()).Ok());
    auto shared = Server();
    const Db::Content content = shared->Recorded();
    EXPECT_EQ(content.entries.size(), static_cast<std::size_t>(kCount + 2));
    EXPECT_EQ(content.changes.size(), 1U);
    EXPECT_EQ(Local(a.Path())->Recorded(), content);
    EXPECT_EQ(Local(Path("b"))->Recorded(), content);
}

struct Holder {
    const char* name;
    bool restore; // a backup put back on the same computer, or a copy set up on a new one
};

void PrintTo(const Holder& holder, std::ostream* out) {
    *out << holder.name;
}

class AnotherHolder : public SyncTest, public ::testing::WithParamInterface<Holder> {};

// A journal restored from a backup, or copied to a new computer, goes on numbering the stream
// its original numbered too. Every entry either makes reaches the server, is counted as sent only
// there, and comes to every journal; each holder goes on under a stream of its own.
TEST_P(AnotherHolder, LosesNothing) {
    const bool restore = GetParam().restore;
    const QString a = Path("a");
    const QString other = restore ? a : Path("new-laptop");
    {
        TJournal journal(a);
        ASSERT_TRUE(journal.Record(Entries(3, QStringLiteral("До копии"))));
    }
    ASSERT_TRUE(Sync(a).Ok());
    const QString origin = OriginOf(a);
    CopyJournal(a, Path("copy"));
    if (restore) {
        // Three more sent, then the backup put back.
        {
            TJournal journal(a);
            ASSERT_TRUE(journal.Record(Entries(3, QStringLiteral("После копии"))));
        }
        ASSERT_TRUE(Sync(a).Ok());
    }
    CopyJournal(Path("copy"), other);
    {
        TJournal journal(other);
        ASSERT_TRUE(journal.Record(Entries(2, QStringLiteral("Новая"))));
    }
    if (!restore) {
        TJournal journal(a);
        ASSERT_TRUE(journal.Record(Entries(2, QStringLiteral("Старый"))));
        ASSERT_TRUE(Sync(a).Ok());
    }

    const TSyncReport report = Sync(other);
    ASSERT_TRUE(report.Ok()) << report.text.toStdString();
    EXPECT_EQ(report.sentEntries, 2);
    EXPECT_EQ(report.fetchedEntries, restore ? 3 : 2);
    EXPECT_NE(OriginOf(other), origin) << "the journal that found another holder takes a stream of its own";
    ASSERT_TRUE(Sync(a).Ok());
    ASSERT_TRUE(Sync(Path("office")).Ok());

    auto shared = Server();
    const Db::Content content = shared->Recorded();
    EXPECT_EQ(content.entries.size(), restore ? 8U : 7U);
    EXPECT_EQ(shared->Number(QStringLiteral("SELECT COUNT(*) FROM entries WHERE origin = '%1'").arg(origin)),
              restore ? 8 : 7)
        << "the same stream, numbered twice over, is kept whole";
    for (const QString& path : {a, other, Path("office")}) {
        EXPECT_EQ(Local(path)->Recorded(), content) << path.toStdString();
        TJournalSync sync(path, Settings());
        EXPECT_TRUE(sync.Verify().Same()) << path.toStdString();
    }
    // Entries made after the switch are numbered in the new stream.
    TJournal journal(other);
    const auto next = journal.Record(Entry(3, QStringLiteral("Потом")));
    ASSERT_TRUE(next);
    EXPECT_EQ(journal.Find(*next)->seq, 1);
}

INSTANTIATE_TEST_SUITE_P(Journals, AnotherHolder,
                         ::testing::Values(Holder{"RestoredFromBackup", true},
                                           Holder{"CopiedToNewComputer", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A computer sets an entry's site name and another its note before either has synchronised:
// both changes survive everywhere; a later change of one field leaves the other as it was.
TEST_F(JournalSync, SiteAndNoteChangedOnTwoComputersBothSurvive) {
    {
        TJournal a(Path("a"));
        ASSERT_TRUE(a.Record(Entry(13, QStringLiteral("Склад"))));
    }
    ASSERT_TRUE(Sync(Path("a")).Ok());
    ASSERT_TRUE(Sync(Path("b")).Ok());
    TJournal a(Path("a"));
    TJournal b(Path("b"));
    const qint64 idB = b.List().entries.at(0).id;
    ASSERT_TRUE(a.SetSite(1, QStringLiteral("Склад №7")));
    ASSERT_TRUE(b.SetNote(idB, QStringLiteral("Заменен АКБ")));
    for (const QString& path : {Path("a"), Path("b"), Path("a")}) {
        ASSERT_TRUE(Sync(path).Ok());
    }
    for (TJournal* journal : {&a, &b}) {
        const TEntry entry = journal->List().entries.at(0);
        EXPECT_EQ(entry.site, QStringLiteral("Склад №7"));
        EXPECT_EQ(entry.note, QStringLiteral("Заменен АКБ"));
    }
    ASSERT_TRUE(b.SetSite(idB, QStringLiteral("Склад №8")));
    ASSERT_TRUE(Sync(Path("b")).Ok());
    ASSERT_TRUE(Sync(Path("a")).Ok());
    const TEntry entry = a.List().entries.at(0);
    EXPECT_EQ(entry.site, QStringLiteral("Склад №8"));
    EXPECT_EQ(entry.note, QStringLiteral("Заменен АКБ"));
}

// The server's database is made anew (empty), or loses records as a restore from an older dump
// does: the next synchronisation of any journal that holds them sends them again, whoever made
// them, and says so; a comparison before shows what was lost, one after that nothing is.
TEST_F(JournalSync, ServerThatLostRecordsIsRefilled) {
    {
        TJournal a(Path("a"));
        TJournal b(Path("b"));
        ASSERT_TRUE(a.Record(Entries(4, QStringLiteral("А"))));
        ASSERT_TRUE(a.SetNote(1, QStringLiteral("Замечание")));
        ASSERT_TRUE(b.Record(Entries(2, QStringLiteral("Б"))));
    }
    for (const QString& path : {Path("a"), Path("b"), Path("a")}) {
        ASSERT_TRUE(Sync(path).Ok());
    }
    const Db::Content content = Server()->Recorded();
    ASSERT_EQ(content.entries.size(), 6U);

    // An older dump: the last two entries of B and A's change are gone.
    server->Exec(database, QStringLiteral("DELETE FROM annotations"));
    server->Exec(database, QStringLiteral("DELETE FROM entries WHERE site_fold LIKE 'б %'"));
    TJournalSync syncA(Path("a"), Settings());
    TVerifyReport verify = syncA.Verify();
    EXPECT_EQ(verify.lost, 3);
    EXPECT_FALSE(verify.Same());
    TSyncReport report = syncA.Run();
    ASSERT_TRUE(report.Ok()) << report.text.toStdString();
    EXPECT_EQ(report.resent, 3);
    EXPECT_EQ(report.sentEntries + report.sentChanges, 3);
    EXPECT_EQ(Server()->Recorded(), content);
    EXPECT_TRUE(syncA.Verify().Same());

    // The database made anew and empty: B, which made only two of the entries, refills it all.
    ASSERT_TRUE(server->DropDatabase(database));
    ASSERT_TRUE(server->CreateDatabase(database));
    report = Sync(Path("b"));
    ASSERT_TRUE(report.Ok()) << report.text.toStdString();
    EXPECT_EQ(report.resent, 7);
    EXPECT_EQ(Server()->Recorded(), content);
    report = Sync(Path("a"));
    ASSERT_TRUE(report.Ok());
    EXPECT_EQ(report.sentEntries + report.sentChanges + report.fetchedEntries + report.fetchedChanges, 0);
}

// The set-up an administrator runs: installers add records, the office only reads, and a hostile
// installer's login can neither change, erase nor impersonate, nor plant anything a journal keeps:
// its malformed rows are refused by every journal, reported once, and hold back nobody's entries.
TEST_F(JournalSync, RightsPerPersonAgainstAHostileLogin) {
    database = QStringLiteral("company");
    TServerSetup setup;
    setup.database = database;
    setup.installers =
        QStringList{QStringLiteral("ivanov"), QStringLiteral("petrov"), QStringLiteral("mallory")};
    setup.office = QStringList{QStringLiteral("buh")};
    QString output;
    ASSERT_TRUE(server->Psql(ServerSetupSql(setup), &output)) << output.toStdString();

    {
        TJournal a(Path("ivanov"));
        ASSERT_TRUE(a.Record(Entries(3, QStringLiteral("Иванов"))));
    }
    TSyncReport report = Sync(Path("ivanov"), QStringLiteral("ivanov"));
    ASSERT_TRUE(report.Ok()) << report.text.toStdString();
    EXPECT_EQ(report.sentEntries, 3);

    // The office fetches, and goes on fetching once it has entries of its own it may not send.
    {
        TJournal office(Path("buh"));
        ASSERT_TRUE(office.Record(Entry(5, QStringLiteral("Бухгалтерия"))));
    }
    for (int round = 0; round < 2; ++round) {
        report = Sync(Path("buh"), QStringLiteral("buh"));
        EXPECT_EQ(report.status, TSyncStatus::SendRefused) << report.text.toStdString();
        EXPECT_NE(report.text.indexOf(QStringLiteral("не принимает записи пользователя buh")), -1)
            << report.text.toStdString();
        EXPECT_EQ(report.fetchedEntries, round == 0 ? 3 : 1);
        EXPECT_EQ(report.sentEntries, 0);
        TJournal a(Path("ivanov"));
        ASSERT_TRUE(a.Record(Entry(6, QStringLiteral("Иванов, еще"))));
        ASSERT_TRUE(Sync(Path("ivanov"), QStringLiteral("ivanov")).Ok());
    }

    // Mallory: no change, no erasure, no row in another's name, no server-filled column set.
    auto mallory = Server(QStringLiteral("mallory"));
    EXPECT_EQ(mallory->Refused(QStringLiteral("UPDATE entries SET site = 'x'")), QStringLiteral("42501"));
    EXPECT_EQ(mallory->Refused(QStringLiteral("DELETE FROM entries")), QStringLiteral("42501"));
    EXPECT_EQ(mallory->Refused(QStringLiteral("TRUNCATE annotations")), QStringLiteral("42501"));
    EXPECT_EQ(mallory->Refused(QStringLiteral("DELETE FROM journal_info")), QStringLiteral("42501"));
    auto shared = Server();
    const QString entry = shared->Rows(QStringLiteral("SELECT uuid FROM entries LIMIT 1")).front();
    const QString sha = shared->Rows(QStringLiteral("SELECT config_sha256 FROM entries LIMIT 1")).front();
    const QString origin =
        shared
            ->Rows(QStringLiteral("SELECT DISTINCT origin FROM entries WHERE inserted_by = "
                                  "'ivanov'"))
            .front();
    const QString columns =
        QStringLiteral("uuid, origin, seq, created_ms, os_user, host_name, action, port, "
                       "file_path, device_type, device_name, firmware, config_sha256, site, "
                       "note, site_fold, search_fold");
    auto row = [&](const QString& uuid, const QString& streamOrigin, qint64 seq, qint64 time,
                   const QString& action, const QString& configSha) {
        return QStringLiteral(
                   "INSERT INTO entries (%1) VALUES ('%2', '%3', %4, %5, 'ivanov', 'laptop', '%6', "
                   "'', '', 13, 'x', 1, '%7', '', '', '', '')")
            .arg(columns, uuid, streamOrigin)
            .arg(seq)
            .arg(time)
            .arg(action, configSha);
    };
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    auto uuid = [] { return QUuid::createUuid().toString(QUuid::WithoutBraces); };
    EXPECT_EQ(
        mallory->Refused(QStringLiteral("INSERT INTO entries (%1, inserted_by) SELECT %1, 'ivanov' FROM "
                                        "entries LIMIT 1")
                             .arg(columns)),
        QStringLiteral("42501"));
    EXPECT_EQ(
        mallory->Refused(QStringLiteral("INSERT INTO configs (sha256, size, encoding, body, inserted_by) "
                                        "VALUES ('%1', 1, 'zlib', '\\x00', 'ivanov')")
                             .arg(sha)),
        QStringLiteral("42501"));
    // Its own copy of a known configuration, false: nobody else's entries use it.
    mallory->Exec(
        QStringLiteral("INSERT INTO configs (sha256, size, encoding, body) VALUES ('%1', 4, 'zlib', "
                       "'\\x789c4b4c4a0600038b0187')")
            .arg(sha));
    // Rows a journal must refuse: a number past every bound, a malformed uuid, a time at the end of
    // the range, an unknown action, an entry over the false configuration alone, a change pinning
    // a site to the end of time.
    QString lonely = QString(64, u'0');
    mallory->Exec(
        QStringLiteral("INSERT INTO configs (sha256, size, encoding, body) VALUES ('%1', 4, 'zlib', "
                       "'\\x789c4b4c4a0600038b0187')")
            .arg(lonely));
    const std::vector<QString> hostile{
        row(uuid(), origin, qint64{1} << 62, now, QStringLiteral("read"), sha),
        row(QStringLiteral("not-a-uuid"), origin, 9, now, QStringLiteral("read"), sha),
        row(uuid(), origin, 10, std::numeric_limits<qint64>::max() - 1, QStringLiteral("read"), sha),
        row(uuid(), origin, 11, now, QStringLiteral("erase"), sha),
        row(uuid(), origin, 12, now, QStringLiteral("read"), lonely),
        QStringLiteral(
            "INSERT INTO annotations (uuid, origin, seq, created_ms, os_user, host_name, entry_uuid, "
            "site, note, fields) VALUES ('%1', '%2', 1, %3, 'ivanov', 'laptop', '%4', 'Захвачено', '', "
            "1)")
            .arg(uuid(), uuid())
            .arg(std::numeric_limits<qint64>::max() - 1)
            .arg(entry),
    };
    for (const QString& sql : hostile) {
        mallory->Exec(sql);
    }
    // A well-formed entry planted in Ivanov's stream at his next number: it is Mallory's entry,
    // kept under her name, and takes nothing of Ivanov's.
    const QString planted = uuid();
    mallory->Exec(row(planted, origin, 6, now, QStringLiteral("read"), sha));
    {
        TJournal a(Path("ivanov"));
        ASSERT_TRUE(a.Record(Entry(3, QStringLiteral("После атаки"))));
    }
    report = Sync(Path("ivanov"), QStringLiteral("ivanov"));
    ASSERT_TRUE(report.Ok()) << report.text.toStdString();
    EXPECT_EQ(report.sentEntries, 1) << "a number planted in the stream holds nothing back";
    EXPECT_EQ(report.rejected, static_cast<qint64>(hostile.size()));
    EXPECT_FALSE(report.rejectedText.isEmpty());

    report = Sync(Path("petrov"), QStringLiteral("petrov"));
    ASSERT_TRUE(report.Ok()) << report.text.toStdString();
    EXPECT_EQ(report.rejected, static_cast<qint64>(hostile.size()));
    EXPECT_EQ(Sync(Path("petrov"), QStringLiteral("petrov")).rejected, 0) << "reported once";
    auto petrov = Local(Path("petrov"));
    EXPECT_EQ(petrov->Recorded(), Local(Path("ivanov"))->Recorded());
    EXPECT_EQ(petrov->Number(QStringLiteral("SELECT COUNT(*) FROM entries WHERE site = 'Захвачено'")), 0);
    EXPECT_EQ(petrov->Number(QStringLiteral("SELECT COUNT(*) FROM entries")), 7);
    TJournal journal(Path("petrov"));
    for (const TEntry& e : journal.List().entries) {
        EXPECT_EQ(e.insertedBy, e.uuid == planted ? QStringLiteral("mallory") : QStringLiteral("ivanov"));
        EXPECT_EQ(journal.Configuration(e.id)->state, TConfigState::Ok);
    }
    TJournalSync sync(Path("petrov"), Settings(QStringLiteral("petrov")));
    const TVerifyReport verify = sync.Verify();
    EXPECT_TRUE(verify.Same());
    EXPECT_EQ(verify.rejected, static_cast<qint64>(hostile.size()));
}

// Servers made by the earlier schemas, with entries in them, are brought up to this one by the
// first program that may, and their entries fetched; a server of a newer schema is used while it
// says this program may, and left alone once it says not.
TEST_F(JournalSync, ServersOfOtherSchemas) {
    for (const TMigration& migration : Migrations()) {
        if (migration.version >= kSchemaVersion) {
            continue;
        }
        SCOPED_TRACE(migration.version);
        const QString name = QStringLiteral("v%1").arg(migration.version);
        ASSERT_TRUE(server->CreateDatabase(name));
        for (const TMigration& earlier : Migrations()) {
            if (earlier.version <= migration.version) {
                for (const QString& statement : Statements(earlier, kPostgres)) {
                    server->Exec(name, statement);
                }
            }
        }
        server->Exec(name, QStringLiteral("INSERT INTO journal_info VALUES ('schema_version', '%1')")
                               .arg(migration.version));
        {
            TJournal old(Path(name.toStdString() + "-old"));
            ASSERT_TRUE(old.Record(Entry(5, QStringLiteral("Старый сервер"))));
        }
        // What an older program sent: the entry, its configuration, a change of both fields.
        auto raw = Local(Path(name.toStdString() + "-old"));
        for (const QString& values :
             raw->Rows(QStringLiteral("SELECT quote(sha256) || ', ' || size || ', ' || "
                                      "quote(encoding) || ', ''\\x' || hex(body) || '''' "
                                      "FROM configs"))) {
            server->Exec(name, QStringLiteral("INSERT INTO configs VALUES (%1)").arg(values));
        }
        server->Exec(name,
                     QStringLiteral("INSERT INTO entries (%1, sent) VALUES (%2, 1)")
                         .arg(QLatin1String(kRecordedEntry) + QStringLiteral(", site, note, site_fold, "
                                                                             "search_fold"),
                              raw->Rows(QStringLiteral("SELECT quote(uuid) || ', ' || quote(origin) || ', ' "
                                                       "|| seq || ', ' || created_ms || ', ' || "
                                                       "quote(os_user) || ', ' || quote(host_name) || ', ' "
                                                       "|| quote(action) || ', ' || quote(port) || ', ' || "
                                                       "quote(file_path) || ', ' || device_type || ', ' || "
                                                       "quote(device_name) || ', ' || firmware || ', ' || "
                                                       "quote(config_sha256) || ', ' || quote(site) || ', "
                                                       "'''', '''', ''''' FROM entries"))
                                  .front()));
        // A change of both fields, as older programs made every change.
        server->Exec(name, QStringLiteral(
                               "INSERT INTO annotations (uuid, origin, seq, created_ms, os_user, host_name, "
                               "entry_uuid, site, note, sent) SELECT '%1', origin, 1, created_ms + 1, "
                               "os_user, host_name, uuid, 'Старый сервер, изменено', 'Заметка', 1 FROM "
                               "entries")
                               .arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
        ASSERT_TRUE(server->Ok()) << server->Error().toStdString();
        database = name;
        const TSyncReport report = Sync(Path(name.toStdString()));
        ASSERT_TRUE(report.Ok()) << report.text.toStdString();
        EXPECT_EQ(report.rejectedText, QString());
        EXPECT_EQ(report.fetchedEntries, 1);
        EXPECT_EQ(report.fetchedChanges, 1);
        EXPECT_EQ(
            server->Exec(name, QStringLiteral("SELECT value FROM journal_info WHERE name = 'schema_version'"))
                .toInt(),
            migration.version < ServerSchemaVersion() ? kSchemaVersion : migration.version);
        TJournal journal(Path(name.toStdString()));
        EXPECT_EQ(journal.List().entries.at(0).site, QStringLiteral("Старый сервер, изменено"));
        EXPECT_EQ(journal.List().entries.at(0).note, QStringLiteral("Заметка"));
        EXPECT_EQ(journal.Configuration(journal.List().entries.at(0).id)->state, TConfigState::Ok);
    }

    database = QStringLiteral("journal");
    ASSERT_TRUE(Sync(Path("first")).Ok());
    server->Exec(database,
                 QStringLiteral("UPDATE journal_info SET value = '%1' WHERE name = 'schema_version'")
                     .arg(kSchemaVersion + 1));
    {
        TJournal journal(Path("later"));
        ASSERT_TRUE(journal.Record(Entry(5, QStringLiteral("Новый сервер"))));
    }
    TSyncReport report = Sync(Path("later"));
    EXPECT_TRUE(report.Ok()) << "a newer schema that keeps this program's use: " << report.text.toStdString();
    server->Exec(database,
                 QStringLiteral("UPDATE journal_info SET value = '%1' WHERE name = 'compatible_version'")
                     .arg(kSchemaVersion + 1));
    {
        TJournal journal(Path("later"));
        ASSERT_TRUE(journal.Record(Entry(6, QStringLiteral("Еще"))));
    }
    report = Sync(Path("later"));
    EXPECT_EQ(report.status, TSyncStatus::NewerSchema) << report.text.toStdString();
    EXPECT_EQ(server->Exec(database, QStringLiteral("SELECT COUNT(*) FROM entries")).toInt(), 1);
}

// A server that accepts connections and answers nothing (its processes stopped): a
// synchronisation ends within its limit and says so in Russian; the background synchronisation
// is let go at once; a command that recorded an entry ends within its three seconds; nothing of
// Qt's or libpq's own reaches the error output.
TEST_F(JournalSync, StalledServerHoldsNothingUp) {
    {
        TJournal journal(Path("a"));
        ASSERT_TRUE(journal.Record(Entries(2, QStringLiteral("Склад"))));
    }
    TJournalSync sync(Path("a"), Settings());
    sync.SetLimits(1500);
    ASSERT_TRUE(sync.Run().Ok()) << "connected before the server stalls";
    {
        TJournal journal(Path("a"));
        ASSERT_TRUE(journal.Record(Entry(5, QStringLiteral("Пока сервер стоит"))));
    }
    ASSERT_TRUE(server->Stall());
    QElapsedTimer clock;
    clock.start();
    TSyncReport report = sync.Run();
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_EQ(report.status, TSyncStatus::Unreachable) << report.text.toStdString();
    EXPECT_EQ(report.text, QStringLiteral("Сервер журнала %1 не ответил за 2 с; записи сохраняются на этом "
                                          "компьютере")
                               .arg(Settings().Address()));

    // A new connection to the stalled server.
    TJournalSync fresh(Path("b"), Settings());
    fresh.SetLimits(1500);
    clock.restart();
    report = fresh.Run();
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_EQ(report.status, TSyncStatus::Unreachable) << report.text.toStdString();
    EXPECT_NE(report.text.indexOf(QStringLiteral("не ответил за 2 с")), -1) << report.text.toStdString();

    {
        auto service = std::make_unique<TJournalSyncService>(Path("c"), Settings(),
                                                             TJournalSyncService::kPeriodMs, nullptr, 60'000);
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        clock.restart();
        service.reset();
        EXPECT_LT(clock.elapsed(), 1000) << "closing the program waits for no server";
    }

    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir.File("settings")));
    Settings().Save();
    qputenv("ORVANTA_JOURNAL", QFile::encodeName(Path("a")));
    clock.restart();
    const orv::test::CliRun run = orv::test::Cli({"new", "--type", "5", "--out", dir.File("new.cf8")});
    EXPECT_LT(clock.elapsed(), 6000);
    EXPECT_EQ(run.status, cli::kExitOk) << run.err;
    EXPECT_EQ(run.err,
              QStringLiteral("Сервер журнала %1 не ответил за 3 с; записи сохраняются на этом компьютере\n")
                  .arg(Settings().Address())
                  .toStdString());
    ASSERT_TRUE(server->Resume());

    report = sync.Run();
    ASSERT_TRUE(report.Ok()) << report.text.toStdString();
    EXPECT_EQ(report.sentEntries, 2);
    TServerSettings::Clear();
}

struct Failure {
    const char* name;
    TSyncStatus status;
    const char* says; // a part of the state's text
};

void PrintTo(const Failure& failure, std::ostream* out) {
    *out << failure.name;
}

class JournalSyncFails : public SyncTest, public ::testing::WithParamInterface<Failure> {};

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
    } else if (name == "NoSuchDatabase") {
        settings.database = QStringLiteral("jornal");
    } else if (name == "NewerSchema") {
        TJournal other(Path("other"));
        ASSERT_TRUE(other.Record(Entry(5, QStringLiteral("Другой"))));
        ASSERT_TRUE(TJournalSync(other.Path(), settings).Run().Ok());
        server->Exec(database, QStringLiteral("UPDATE journal_info SET value = '%1' WHERE name IN "
                                              "('schema_version', 'compatible_version')")
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
        EXPECT_EQ(server->Exec(database, QStringLiteral("SELECT COUNT(*) FROM entries")).toInt(), 1)
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
        Failure{"NoSuchDatabase", TSyncStatus::Refused, "нет базы данных jornal"},
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

using orv::test::Cli;
using orv::test::CliRun;

// orvanta-cli journal server stores the connection (never a password) and --off forgets it;
// server sql prints a set-up psql runs; journal sync reports what moved and fails when the server
// cannot be used, sync --verify compares; an entry is named by its uuid or its beginning; new
// sends its entry at once unless told --no-sync; journal list finds entries by user and computer.
TEST_F(JournalSync, CommandLine) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(dir.File("settings")));
    const QString journalPath = Path("cli");
    qputenv("ORVANTA_JOURNAL", QFile::encodeName(journalPath));
    TJournal journal(journalPath);
    ASSERT_TRUE(journal.Record(Entries(2, QStringLiteral("Склад"))));
    TJournal other(Path("other"));
    ASSERT_TRUE(other.Record(Entry(5, QStringLiteral("Офис"))));
    Db(QStringLiteral("QSQLITE"), other.Path())
        .Exec(QStringLiteral("UPDATE entries SET os_user = 'ivanov', host_name = 'laptop-7'"));
    ASSERT_TRUE(TJournalSync(other.Path(), Settings()).Run().Ok());

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

    run = Cli({"journal", "sync", "--verify"});
    EXPECT_EQ(run.status, cli::kExitFailed);
    EXPECT_NE(run.out.find("Еще не отправлено: 2\nНет на этом компьютере: 1\n"), std::string::npos)
        << run.out;
    run = Cli({"journal", "sync"});
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    EXPECT_NE(run.out.find("Отправлено записей: 2, изменений: 0"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Получено записей: 1, изменений: 0"), std::string::npos) << run.out;
    run = Cli({"journal", "sync", "--verify"});
    EXPECT_EQ(run.status, cli::kExitOk) << run.out << run.err;

    // Named by its uuid, or the first characters of it.
    const QString uuid = other.List().entries.at(0).uuid;
    run = Cli({"journal", "show", uuid.toStdString()});
    EXPECT_EQ(run.status, cli::kExitOk) << run.err;
    EXPECT_EQ(run.out, Cli({"journal", "show", uuid.left(8).toUpper().toStdString()}).out);
    ASSERT_EQ(Cli({"journal", "note", uuid.left(13).toStdString(), "Через uuid"}).status, cli::kExitOk);
    EXPECT_EQ(journal.List(TFilter{.search = QStringLiteral("через uuid")}).entries.size(), 1U);
    run = Cli({"journal", "show", "ffffffff"});
    EXPECT_EQ(run.status, cli::kExitFile);
    EXPECT_EQ(run.err, "В журнале нет записи ffffffff\n");

    run = Cli({"journal", "list", "--user", "ivanov", "--host", "laptop-7"});
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    EXPECT_NE(run.out.find("Офис"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Склад"), std::string::npos) << run.out;
    EXPECT_EQ(Cli({"journal", "list", "--user", "ivanov", "--host", "laptop-8"}).out, "");

    // new records and sends at once; --no-sync leaves it for later.
    auto shared = Server();
    ASSERT_EQ(Cli({"new", "--type", "5", "--out", dir.File("a.cf8")}).status, cli::kExitOk);
    EXPECT_EQ(shared->Number(QStringLiteral("SELECT COUNT(*) FROM entries")), 4);
    ASSERT_EQ(Cli({"--no-sync", "new", "--type", "6", "--out", dir.File("b.cf8")}).status, cli::kExitOk);
    EXPECT_EQ(shared->Number(QStringLiteral("SELECT COUNT(*) FROM entries")), 4);

    // The administrator's set-up, as psql runs it.
    run = Cli({"journal", "server", "sql", "--database", "firma", "--installers", "ivanov,petrov", "--office",
               "buh"});
    ASSERT_EQ(run.status, cli::kExitOk) << run.err;
    QString output;
    ASSERT_TRUE(server->Psql(QString::fromStdString(run.out), &output)) << output.toStdString();
    EXPECT_EQ(
        server
            ->Exec(QStringLiteral("firma"),
                   QStringLiteral("SELECT string_agg(rolname, ',' ORDER BY rolname) FROM pg_roles r JOIN "
                                  "pg_auth_members m ON m.member = r.oid WHERE m.roleid = (SELECT oid FROM "
                                  "pg_roles WHERE rolname = 'orvanta_installer')"))
            .toString(),
        QStringLiteral("ivanov,petrov"));
    EXPECT_EQ(Cli({"journal", "server", "sql", "--installers", "ivanov;DROP"}).status, cli::kExitUsage);

    ASSERT_TRUE(server->Stop());
    run = Cli({"journal", "sync"});
    EXPECT_EQ(run.status, cli::kExitFailed);
    EXPECT_NE(run.err.find("Сервер журнала недоступен: нет соединения с"), std::string::npos) << run.err;
    // The program itself: its error output is the one Russian line, nothing of Qt's or libpq's.
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir.File("settings")));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ORVANTA_CLI_PATH), {QStringLiteral("journal"), QStringLiteral("sync")});
    ASSERT_TRUE(program.waitForFinished(30'000));
    EXPECT_EQ(program.exitCode(), cli::kExitFailed);
    EXPECT_EQ(QString::fromUtf8(program.readAllStandardError()),
              QStringLiteral(
                  "Сервер журнала недоступен: нет соединения с %1; записи сохраняются на этом компьютере\n")
                  .arg(Settings().Address()));

    EXPECT_EQ(Cli({"journal", "server", "--off"}).status, cli::kExitOk);
    EXPECT_FALSE(TServerSettings::Load().IsSet());
}

} // namespace
} // namespace orv::journal::test
