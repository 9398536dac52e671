// The shared journal broken on purpose, in the manner of Jepsen: four computers' journals and a
// real server set up as an administrator sets it up, a seeded schedule of random operations
// (entries, site names and notes, synchronisations, a journal copied to a new computer or
// restored from an earlier copy, the server stopped, stalled or its database made anew, a hostile
// login inserting forged and malformed rows), then the server healthy and every computer
// synchronised twice. Every entry and change that survives anywhere is then on the server once
// and on every computer, every site name and note is the latest written, no malformed row is kept
// and no planted row passes for anyone's but its planter's; no synchronisation outlived its limit.
//
// ORVANTA_JOURNAL_SEEDS runs so many seeds (3 by default), from ORVANTA_JOURNAL_SEED_FROM (1);
// a failing seed prints its schedule.
#include "journal/rows.h"
#include "journal/server_sql.h"
#include "sync_support.h"

#include <QElapsedTimer>
#include <QFile>
#include <QUuid>

#include <iostream>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <sstream>

namespace orv::journal::test {
namespace {

constexpr int kComputers = 4;
constexpr int kOperations = 500;
// A synchronisation waits so long for a server that stopped answering; it must end soon after.
constexpr int kStallMs = 400;
constexpr qint64 kHungMs = 6000;
const QString kDatabase = QStringLiteral("company");

int Env(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

std::vector<int> Seeds() {
    const int from = Env("ORVANTA_JOURNAL_SEED_FROM", 1);
    std::vector<int> seeds(static_cast<std::size_t>(Env("ORVANTA_JOURNAL_SEEDS", 3)));
    std::iota(seeds.begin(), seeds.end(), from);
    return seeds;
}

// A change of a site name or a note as the journal that made it stored it.
struct Change {
    QString entry;
    qint64 createdMs = 0;
    qint64 fields = 0;
    QString site, note;
};

class SharedJournalUnderFaults : public SyncTest, public ::testing::WithParamInterface<int> {
protected:
    enum class TState { Running, Stopped, Stalled };

    void SetUp() override {
        SyncTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        database = kDatabase;
        setup.database = kDatabase;
        for (int c = 0; c < kComputers; ++c) {
            setup.installers << Login(c);
        }
        setup.installers << QStringLiteral("mallory");
        QString output;
        ASSERT_TRUE(server->Psql(ServerSetupSql(setup), &output)) << output.toStdString();
    }

    static QString Login(int computer) { return QStringLiteral("installer%1").arg(computer); }
    QString Journal(int computer) const { return Path("computer" + std::to_string(computer)); }

    void Log(const std::string& line) {
        schedule.push_back(std::to_string(schedule.size()) + " (" + std::to_string(clock.elapsed()) +
                           " ms): " + line);
    }

    // Records 1-3 entries; their uuids and the site names they were made with go into the model.
    void Record(int c) {
        const int count = Pick(1, 3);
        std::vector<TNewEntry> entries;
        for (int i = 0; i < count; ++i) {
            TNewEntry entry =
                Entry(static_cast<Byte>(Pick(0, 3) == 0 ? 5 : 13),
                      Pick(0, 2) == 0 ? QStringLiteral("Объект %1").arg(Pick(1, 99)) : QString());
            entry.note = Pick(0, 3) == 0 ? QStringLiteral("Заметка %1").arg(Pick(1, 99)) : QString();
            entries.push_back(entry);
        }
        TJournal journal(Journal(c));
        const auto ids = journal.Record(entries);
        ASSERT_TRUE(ids) << journal.Problem().toStdString();
        for (std::size_t i = 0; i < ids->size(); ++i) {
            const QString uuid = journal.Find((*ids)[i])->uuid;
            made[uuid] = {entries[i].site, entries[i].note};
        }
        Log("c" + std::to_string(c) + " records " + std::to_string(count));
    }

    void Annotate(int c, bool site) {
        QString uuid;
        qint64 id = 0;
        if (!QFile::exists(Journal(c))) {
            return;
        }
        {
            Db raw(QStringLiteral("QSQLITE"), Journal(c));
            const auto rows = raw.Rows(QStringLiteral("SELECT id || '|' || uuid FROM entries"));
            if (rows.empty()) {
                return;
            }
            const QStringList row =
                rows[static_cast<std::size_t>(Pick(0, static_cast<int>(rows.size()) - 1))].split(u'|');
            id = row[0].toLongLong();
            uuid = row[1];
        }
        const QString text = QStringLiteral("%1 %2")
                                 .arg(site ? QStringLiteral("Объект") : QStringLiteral("Заметка"))
                                 .arg(Pick(100, 999));
        {
            TJournal journal(Journal(c));
            ASSERT_TRUE(site ? journal.SetSite(id, text) : journal.SetNote(id, text))
                << journal.Problem().toStdString();
        }
        Db raw(QStringLiteral("QSQLITE"), Journal(c));
        const QStringList row =
            raw.Rows(QStringLiteral("SELECT uuid || '|' || created_ms || '|' || fields FROM "
                                    "annotations WHERE id = (SELECT MAX(id) FROM annotations)"))
                .front()
                .split(u'|');
        changes[row[0]] = Change{uuid, row[1].toLongLong(), row[2].toLongLong(), site ? text : QString(),
                                 site ? QString() : text};
        Log("c" + std::to_string(c) + (site ? " sets a site" : " sets a note"));
    }

    // Each computer keeps its synchronisation, and so its connection, as the program does; until
    // its journal is replaced underneath.
    void Synchronise(int c) {
        auto& sync = syncs[c];
        if (!sync) {
            sync = std::make_unique<TJournalSync>(Journal(c), Settings(Login(c)));
            sync->SetLimits(kStallMs);
        }
        QElapsedTimer clock;
        clock.start();
        const TSyncReport report = sync->Run();
        const qint64 ms = clock.elapsed();
        std::ostringstream line;
        line << "c" << c << " syncs: " << report.text.toStdString() << " (sent " << report.sentEntries << "+"
             << report.sentChanges << ", fetched " << report.fetchedEntries << "+" << report.fetchedChanges
             << ", resent " << report.resent << ", rejected " << report.rejected << ", " << ms << " ms)";
        Log(line.str());
        EXPECT_LT(ms, kHungMs) << "a synchronisation outlived its limit";
        if (state == TState::Running) {
            EXPECT_TRUE(report.Ok()) << report.text.toStdString();
        }
    }

    void Snapshot(int c) {
        const QString copy = QStringLiteral("%1.copy%2").arg(Journal(c)).arg(snapshots[c].size());
        Copy(Journal(c), copy);
        snapshots[c].push_back(copy);
        Log("c" + std::to_string(c) + " is backed up");
    }

    void Restore(int c) {
        if (snapshots[c].empty()) {
            return;
        }
        const int k = Pick(0, static_cast<int>(snapshots[c].size()) - 1);
        syncs[c].reset();
        Copy(snapshots[c][static_cast<std::size_t>(k)], Journal(c));
        Log("c" + std::to_string(c) + " is restored from backup " + std::to_string(k));
    }

    void CopyOver(int from, int to) {
        syncs[to].reset();
        Copy(Journal(from), Journal(to));
        Log("c" + std::to_string(to) + " is set up anew from c" + std::to_string(from) + "'s journal");
    }

    static void Copy(const QString& from, const QString& to) {
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
            QFile::remove(to + suffix);
            if (QFile::exists(from + suffix)) {
                ASSERT_TRUE(QFile::copy(from + suffix, to + suffix));
            }
        }
    }

    void MakeDatabaseAnew() {
        // A computer that holds a planted entry sends it to the new database again, as its own.
        relayable.insert(planted.begin(), planted.end());
        ASSERT_TRUE(server->DropDatabase(kDatabase)) << server->Error().toStdString();
        QString output;
        ASSERT_TRUE(server->Psql(ServerSetupSql(setup), &output)) << output.toStdString();
        Log("the server's database is made anew");
    }

    // Mallory: rows refused by the server (in another's name, changes, erasures), rows the
    // journals must refuse, and well-formed entries planted in others' streams, kept as hers.
    void Attack() {
        Db mallory(QStringLiteral("QPSQL"), kDatabase, server->Host(), server->Port(),
                   QStringLiteral("mallory"));
        auto honest =
            mallory.Rows(QStringLiteral("SELECT uuid || '|' || origin || '|' || config_sha256 || '|' || "
                                        "seq FROM entries WHERE inserted_by <> 'mallory' ORDER BY id "
                                        "DESC LIMIT 20"));
        if (honest.empty()) {
            return;
        }
        const QStringList victim =
            honest[static_cast<std::size_t>(Pick(0, static_cast<int>(honest.size()) - 1))].split(u'|');
        const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        // Her own copy of the victim's configuration, taken from the server: the server takes an
        // entry only over its inserter's copy.
        mallory.Exec(
            QStringLiteral("INSERT INTO configs (sha256, size, encoding, body) SELECT sha256, size, "
                           "encoding, body FROM configs WHERE sha256 = '%1' LIMIT 1 ON CONFLICT DO NOTHING")
                .arg(victim[2]));
        auto entry = [&](const QString& id, qint64 seq, qint64 time, const QString& action,
                         const QString& sha) {
            return QStringLiteral(
                       "INSERT INTO entries (uuid, origin, seq, created_ms, os_user, host_name, action, "
                       "port, file_path, device_type, device_name, firmware, config_sha256, site, note, "
                       "site_fold, search_fold) VALUES ('%1', '%2', %3, %4, 'installer', 'laptop', "
                       "'%5', '', '', 13, 'x', 1, '%6', 'Подложная', '', '', '')")
                .arg(id, victim[1])
                .arg(seq)
                .arg(time)
                .arg(action, sha);
        };
        switch (Pick(0, 7)) {
        case 0: // in another's name, or changing and erasing what others sent: refused
            EXPECT_EQ(mallory.Refused(QStringLiteral("UPDATE entries SET site = 'x'")),
                      QStringLiteral("42501"));
            EXPECT_EQ(mallory.Refused(QStringLiteral("DELETE FROM annotations")), QStringLiteral("42501"));
            EXPECT_EQ(
                mallory.Refused(QStringLiteral("INSERT INTO entries (uuid, inserted_by) VALUES ('%1', '%2')")
                                    .arg(uuid, Login(0))),
                QStringLiteral("42501"));
            Log("mallory is refused");
            return;
        case 1: // a number past every bound
            mallory.Exec(entry(uuid, qint64{1} << 61, now, QStringLiteral("read"), victim[2]));
            break;
        case 2: // a time at the end of the range
            mallory.Exec(entry(uuid, victim[3].toLongLong() + 1, std::numeric_limits<qint64>::max() / 2,
                               QStringLiteral("read"), victim[2]));
            break;
        case 3: // not an action
            mallory.Exec(entry(uuid, victim[3].toLongLong() + 1, now, QStringLiteral("format"), victim[2]));
            break;
        case 4: // a configuration that is not what its hash names
            mallory.Exec(QStringLiteral("INSERT INTO configs (sha256, size, encoding, body) VALUES ('%1', 3, "
                                        "'zlib', '\\x789c4b4c4a0600038b0187') ON CONFLICT DO NOTHING")
                             .arg(QString(64, u'f')));
            mallory.Exec(
                entry(uuid, victim[3].toLongLong() + 1, now, QStringLiteral("read"), QString(64, u'f')));
            break;
        case 5: // a site pinned to the end of time
            mallory.Exec(
                QStringLiteral("INSERT INTO annotations (uuid, origin, seq, created_ms, os_user, "
                               "host_name, entry_uuid, site, note, fields) VALUES ('%1', '%2', 1, %3, "
                               "'installer', 'laptop', '%4', 'Захвачено', '', 1)")
                    .arg(uuid, victim[1])
                    .arg(std::numeric_limits<qint64>::max() / 2)
                    .arg(victim[0]));
            break;
        case 6: // a change that names no entry the server holds: refused by the server
            EXPECT_EQ(mallory.Refused(
                          QStringLiteral("INSERT INTO annotations (uuid, origin, seq, created_ms, os_user, "
                                         "host_name, entry_uuid, site, note, fields) VALUES ('%1', '%2', "
                                         "1, %3, 'x', 'y', '%1', 'x', '', 1)")
                              .arg(uuid, victim[1])
                              .arg(now)),
                      QStringLiteral("23503"));
            Log("mallory is refused a change of nothing");
            return;
        default: { // well-formed, planted at the victim's next number: kept, as Mallory's
            mallory.Exec(entry(uuid, victim[3].toLongLong() + 1, now, QStringLiteral("read"), victim[2]));
            planted.insert(uuid);
            made[uuid] = {QStringLiteral("Подложная"), QString()};
            Log("mallory plants an entry in " + victim[1].toStdString());
            return;
        }
        }
        malformed.insert(uuid);
        Log("mallory inserts a malformed row " + uuid.toStdString());
    }

    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }

    void Run() {
        for (int op = 0; op < kOperations && !HasFatalFailure(); ++op) {
            const int c = Pick(0, kComputers - 1);
            // When the server is stopped or stalled, it is soon brought back.
            if (state != TState::Running && Pick(0, 2) == 0) {
                if (state == TState::Stopped) {
                    ASSERT_TRUE(server->Start()) << server->Error().toStdString();
                    Log("the server starts");
                } else {
                    ASSERT_TRUE(server->Resume());
                    Log("the server goes on");
                }
                state = TState::Running;
                continue;
            }
            const int roll = Pick(0, 999);
            if (roll < 260) {
                Record(c);
            } else if (roll < 360) {
                Annotate(c, true);
            } else if (roll < 460) {
                Annotate(c, false);
            } else if (roll < 770) {
                Synchronise(c);
            } else if (roll < 820) {
                Snapshot(c);
            } else if (roll < 850) {
                Restore(c);
            } else if (roll < 870) {
                CopyOver(Pick(0, kComputers - 1), c);
            } else if (state != TState::Running) {
                Synchronise(c);
            } else if (roll < 960) {
                Attack();
            } else if (roll < 970) {
                MakeDatabaseAnew();
            } else if (roll < 980) {
                ASSERT_TRUE(server->Stop()) << server->Error().toStdString();
                state = TState::Stopped;
                Log("the server stops");
            } else if (roll < 990) {
                ASSERT_TRUE(server->Stall());
                state = TState::Stalled;
                Log("the server stalls");
            } else {
                Synchronise(c);
            }
        }
        if (state == TState::Stopped) {
            ASSERT_TRUE(server->Start()) << server->Error().toStdString();
        } else if (state == TState::Stalled) {
            ASSERT_TRUE(server->Resume());
        }
        state = TState::Running;
        Log("the server is healthy; every computer synchronises twice");
        for (int round = 0; round < 2; ++round) {
            for (int c = 0; c < kComputers; ++c) {
                Synchronise(c);
            }
        }
    }

    void Check() {
        auto shared = Server();
        std::vector<std::unique_ptr<Db>> journals;
        for (int c = 0; c < kComputers; ++c) {
            journals.push_back(Local(Journal(c)));
        }
        // What survives: every record the computers made (or Mallory planted) that any journal or
        // the server holds. A record a journal held alone before a restore or a copy over it is gone.
        std::set<QString> entries;
        std::set<QString> kept;
        for (Db* db :
             {shared.get(), journals[0].get(), journals[1].get(), journals[2].get(), journals[3].get()}) {
            for (const QString& uuid : db->Rows(QStringLiteral("SELECT uuid FROM entries"))) {
                EXPECT_TRUE(made.contains(uuid) || db == shared.get())
                    << "unknown entry " << uuid.toStdString();
                if (made.contains(uuid)) {
                    entries.insert(uuid);
                }
            }
            for (const QString& uuid : db->Rows(QStringLiteral("SELECT uuid FROM annotations"))) {
                if (changes.contains(uuid)) {
                    kept.insert(uuid);
                }
            }
        }
        const std::vector<QString> entryList(entries.begin(), entries.end());
        const std::vector<QString> changeList(kept.begin(), kept.end());
        EXPECT_EQ(
            shared->Rows(
                QStringLiteral("SELECT uuid FROM entries WHERE uuid NOT IN (%1)").arg(Quoted(malformed))),
            entryList)
            << "the server holds every surviving entry once";
        EXPECT_EQ(shared->Number(QStringLiteral("SELECT COUNT(*) - COUNT(DISTINCT uuid) FROM entries")), 0);
        for (int c = 0; c < kComputers; ++c) {
            SCOPED_TRACE("computer " + std::to_string(c));
            Db& journal = *journals[static_cast<std::size_t>(c)];
            EXPECT_EQ(journal.Rows(QStringLiteral("SELECT uuid FROM entries")), entryList);
            EXPECT_EQ(journal.Rows(QStringLiteral("SELECT uuid FROM annotations")), changeList);
            EXPECT_EQ(journal.Number(QStringLiteral("SELECT COUNT(*) FROM entries WHERE sent = 0")), 0);
            EXPECT_EQ(journal.Number(QStringLiteral("SELECT COUNT(*) FROM annotations WHERE sent = 0")), 0);
            // No malformed row is kept; a planted one passes for nobody's but Mallory's.
            EXPECT_EQ(
                journal.Number(
                    QStringLiteral("SELECT COUNT(*) FROM entries WHERE uuid IN (%1)").arg(Quoted(malformed))),
                0);
            EXPECT_EQ(journal.Number(QStringLiteral("SELECT COUNT(*) FROM annotations WHERE uuid IN (%1)")
                                         .arg(Quoted(malformed))),
                      0);
            for (const QString& row :
                 journal.Rows(QStringLiteral("SELECT uuid || '|' || inserted_by FROM entries"))) {
                const QStringList parts = row.split(u'|');
                if (planted.contains(parts[0])) {
                    EXPECT_TRUE(parts[1] == QLatin1String("mallory") || relayable.contains(parts[0]))
                        << parts[0].toStdString() << " planted, shown as " << parts[1].toStdString() << "'s";
                } else {
                    EXPECT_NE(parts[1], QStringLiteral("mallory")) << parts[0].toStdString();
                }
            }
            // Every site name and note is the latest written for it.
            for (const QString& row :
                 journal.Rows(QStringLiteral("SELECT uuid || '|' || site || '|' || note FROM "
                                             "entries"))) {
                const QStringList parts = row.split(u'|');
                EXPECT_EQ(parts[1] + u'|' + parts[2], Expected(parts[0])) << parts[0].toStdString();
            }
            // Every configuration is the one its hash names.
            for (const QString& row : journal.Rows(
                     QStringLiteral("SELECT c.sha256 || '|' || c.size || '|' || c.encoding || '|' || "
                                    "hex(c.body) FROM entries e JOIN configs c ON c.sha256 = "
                                    "e.config_sha256"))) {
                const QStringList parts = row.split(u'|');
                EXPECT_TRUE(ConfigText(TConfigRow{parts[0], parts[1].toLongLong(), parts[2],
                                                  QByteArray::fromHex(parts[3].toLatin1())}));
            }
            EXPECT_EQ(journal.Number(QStringLiteral("SELECT COUNT(*) FROM entries e LEFT JOIN configs c ON "
                                                    "c.sha256 = e.config_sha256 WHERE c.sha256 IS NULL")),
                      0);
        }
    }

    static QString Quoted(const std::set<QString>& uuids) {
        QStringList quoted{QStringLiteral("''")};
        for (const QString& uuid : uuids) {
            quoted << u'\'' + uuid + u'\'';
        }
        return quoted.join(u',');
    }
    // The site name and note an entry must show: each that of the latest surviving change that
    // sets it (by time, then uuid), or what the entry was made with.
    QString Expected(const QString& entry) const {
        QString site = made.at(entry).first;
        QString note = made.at(entry).second;
        const Change* latest[2] = {nullptr, nullptr};
        const QString* latestUuid[2] = {nullptr, nullptr};
        for (const auto& [uuid, change] : changes) {
            if (change.entry != entry || !survived.contains(uuid)) {
                continue;
            }
            for (int f = 0; f < 2; ++f) {
                if ((change.fields & (1 << f)) != 0 &&
                    (latest[f] == nullptr || change.createdMs > latest[f]->createdMs ||
                     (change.createdMs == latest[f]->createdMs && uuid > *latestUuid[f]))) {
                    latest[f] = &change;
                    latestUuid[f] = &uuid;
                }
            }
        }
        if (latest[0] != nullptr) {
            site = latest[0]->site;
        }
        if (latest[1] != nullptr) {
            note = latest[1]->note;
        }
        return site + u'|' + note;
    }

    TServerSetup setup;
    QElapsedTimer clock;
    std::mt19937 random;
    TState state = TState::Running;
    std::vector<std::string> schedule;
    std::map<QString, std::pair<QString, QString>> made; // entry uuid: its site name and note
    std::map<QString, Change> changes;
    std::set<QString> survived; // the changes any journal or the server holds at the end
    std::set<QString> malformed;
    std::set<QString> planted;
    std::set<QString> relayable; // planted before the database was made anew

    std::map<int, std::vector<QString>> snapshots;
    std::map<int, std::unique_ptr<TJournalSync>> syncs;
};

TEST_P(SharedJournalUnderFaults, KeepsEveryEntry) {
    random.seed(static_cast<std::mt19937::result_type>(GetParam()));
    clock.start();
    Run();
    if (!HasFatalFailure()) {
        // The changes that survive, for the site names and notes expected.
        auto shared = Server();
        for (const QString& uuid : shared->Rows(QStringLiteral("SELECT uuid FROM annotations"))) {
            survived.insert(uuid);
        }
        for (int c = 0; c < kComputers; ++c) {
            for (const QString& uuid :
                 Local(Journal(c))->Rows(QStringLiteral("SELECT uuid FROM annotations"))) {
                survived.insert(uuid);
            }
        }
        Check();
    }
    if (HasFailure() || qEnvironmentVariableIsSet("ORVANTA_JOURNAL_SCHEDULE")) {
        std::cout << "Schedule of seed " << GetParam() << ":\n";
        for (const std::string& line : schedule) {
            std::cout << "  " << line << "\n";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, SharedJournalUnderFaults, ::testing::ValuesIn(Seeds()),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::to_string(info.param);
                         });

} // namespace
} // namespace orv::journal::test
