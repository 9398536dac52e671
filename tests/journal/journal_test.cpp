// The journal library on real SQLite databases in temporary folders.
#include "device/catalogue.h"
#include "files/config_file.h"
#include "gsm/tx_buffers.h"
#include "journal/recorder.h"
#include "journal/schema.h"
#include "journal/sites.h"
#include "journal_support.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QUuid>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

namespace orv::journal {
namespace {

using test::RawDb;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TProgramState Factory(Byte type) {
    TProgramState state;
    state.device = CreateDevice(type);
    ResetGsmFrame(state.GsmFrame);
    RefreshGsmModels(state);
    return state;
}

std::vector<qint64> Ids(const TListing& listing) {
    std::vector<qint64> ids;
    for (const TEntry& e : listing.entries) {
        ids.push_back(e.id);
    }
    return ids;
}

class JournalTest : public ::testing::Test {
protected:
    void SetUp() override { test::EnsureQtApp(); }

    QString Path() const { return QString::fromStdString(dir.File("journal.sqlite")); }

    test::TempDir dir;
};

// Entries come back as recorded, newest first, a page at a time; a repeated read is a visit of its
// own while its configuration is stored once; site names, notes, device names and file paths are
// found in any case (Cyrillic included) with wildcards taken literally; site and note edits are
// their own records in this journal's stream.
TEST_F(JournalTest, KeepsEntriesAndFindsThem) {
    const TProgramState panel = Factory(13);
    TNewEntry first = EntryFromState(TAction::Read, panel, QStringLiteral("/dev/ttyUSB0"));
    first.site = QStringLiteral("ул. Ленина, 5");
    TProgramState other = Factory(5);
    other.device->SetZoneType(1, 3);
    TNewEntry third = EntryFromState(TAction::Save, other, {}, QStringLiteral("/home/u/Объекты/Склад.cf8"));
    third.note = QStringLiteral("Замена АКБ");

    TJournal journal(Path());
    ASSERT_TRUE(journal.Open()) << journal.Problem().toStdString();
    const auto id1 = journal.Record(first);
    const auto id2 = journal.Record(EntryFromState(TAction::Read, panel, QStringLiteral("/dev/ttyUSB0")));
    const auto id3 = journal.Record(third);
    ASSERT_TRUE(id1 && id2 && id3) << journal.Problem().toStdString();

    const TListing all = journal.List();
    EXPECT_EQ(all.skipped, 0);
    EXPECT_TRUE(all.warning.isEmpty());
    ASSERT_EQ(Ids(all), (std::vector<qint64>{*id3, *id2, *id1}));
    std::set<QString> uuids;
    for (std::size_t k = 0; k < all.entries.size(); ++k) {
        const TEntry& e = all.entries[k];
        EXPECT_EQ(e.origin, journal.Origin());
        EXPECT_EQ(e.seq, static_cast<qint64>(3 - k));
        EXPECT_FALSE(QUuid::fromString(e.uuid).isNull());
        uuids.insert(e.uuid);
        EXPECT_EQ(e.host, QSysInfo::machineHostName());
        EXPECT_FALSE(e.user.isEmpty());
        EXPECT_FALSE(e.sent);
        EXPECT_LE(std::abs(e.time.msecsTo(QDateTime::currentDateTimeUtc())), 60'000);
    }
    EXPECT_EQ(uuids.size(), 3u);
    const TEntry& read = all.entries[2];
    EXPECT_EQ(read.action, TAction::Read);
    EXPECT_EQ(read.port, QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(read.deviceType, 13);
    EXPECT_EQ(read.deviceName.toStdString(), DeviceName(13));
    EXPECT_EQ(read.site, first.site);
    EXPECT_EQ(all.entries[1].sha256, read.sha256);
    EXPECT_EQ(all.entries[0].filePath, third.filePath);

    const auto stored = journal.Configuration(*id3);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->state, TConfigState::Ok);
    EXPECT_EQ(stored->text, third.config);
    EXPECT_FALSE(journal.Configuration(*id3 + 100));
    RawDb raw(Path());
    EXPECT_EQ(raw.Value(QStringLiteral("SELECT COUNT(*) FROM configs")).toInt(), 2);
    EXPECT_EQ(raw.Value(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));

    auto found = [&](TFilter filter) { return Ids(journal.List(filter)); };
    EXPECT_EQ(found({.site = QStringLiteral("ЛЕНИНА")}), (std::vector<qint64>{*id1}));
    EXPECT_EQ(found({.search = QStringLiteral("акб")}), (std::vector<qint64>{*id3}));
    EXPECT_EQ(found({.search = QStringLiteral("объекты/склад")}), (std::vector<qint64>{*id3}));
    EXPECT_EQ(found({.search = QString::fromStdString(DeviceName(13)).toUpper()}),
              (std::vector<qint64>{*id2, *id1}));
    EXPECT_EQ(found({.search = QStringLiteral("ttyUSB0")}), (std::vector<qint64>{*id2, *id1}));
    EXPECT_EQ(found({.search = QStringLiteral("_")}), (std::vector<qint64>{}));
    EXPECT_EQ(found({.search = QStringLiteral("%")}), (std::vector<qint64>{}));
    EXPECT_EQ(found({.deviceType = 5}), (std::vector<qint64>{*id3}));
    EXPECT_EQ(found({.deviceType = 13, .limit = 1}), (std::vector<qint64>{*id2}));
    EXPECT_EQ(found({.deviceType = 13, .limit = 1, .offset = 1}), (std::vector<qint64>{*id1}));
    EXPECT_EQ(found({.limit = 5, .offset = 1}), (std::vector<qint64>{*id2, *id1}));
    EXPECT_EQ(journal.Count({.deviceType = 13}), 2);
    EXPECT_EQ(journal.List({.limit = 5, .offset = 1}).total, 3);
    EXPECT_EQ(journal.List({.limit = 2}).total, std::nullopt);
    EXPECT_EQ(journal.Count({.site = QStringLiteral("ленина"), .deviceType = 5}), 0);

    ASSERT_TRUE(journal.SetSite(*id3, QStringLiteral("Склад №2")));
    ASSERT_TRUE(journal.SetNote(*id3, QStringLiteral("Новый АКБ")));
    EXPECT_FALSE(journal.SetSite(*id3 + 100, QStringLiteral("нет такой")));
    EXPECT_TRUE(journal.Problem().isEmpty());
    EXPECT_EQ(found({.site = QStringLiteral("склад №2"), .search = QStringLiteral("новый")}),
              (std::vector<qint64>{*id3}));
    EXPECT_EQ(found({.search = QStringLiteral("замена")}), (std::vector<qint64>{}));
    // Each change sets one field (1: the site name, 2: the note) and leaves the other alone.
    EXPECT_EQ(
        raw.Value(QStringLiteral("SELECT group_concat(seq || ':' || fields || ':' || site || ':' || note, "
                                 "'|') FROM (SELECT * FROM annotations ORDER BY seq)"))
            .toString(),
        QStringLiteral("1:1:Склад №2:|2:2::Новый АКБ"));

    // Another connection, as another program would open it, sees the same journal.
    TJournal again(Path());
    ASSERT_TRUE(again.Open());
    EXPECT_EQ(again.Origin(), journal.Origin());
    const auto edited = again.Find(*id3);
    ASSERT_TRUE(edited);
    EXPECT_EQ(edited->site, QStringLiteral("Склад №2"));
    EXPECT_EQ(edited->note, QStringLiteral("Новый АКБ"));
}

// Every site at a glance: named in any case it is one site, shown as its newest entry names it,
// with that entry's configuration and device, its newest read and write and who made them, and
// how many entries it has; entries without a site are no site.
TEST_F(JournalTest, SitesAtAGlance) {
    TJournal journal(Path());
    ASSERT_TRUE(journal.Open()) << journal.Problem().toStdString();
    const auto at = [](int minute) { return QDateTime(QDate(2026, 3, 1), QTime(9, minute), Qt::UTC); };
    const auto entry = [&](TAction action, Byte type, const QString& site, int minute) {
        TNewEntry e = EntryFromState(action, Factory(type), QStringLiteral("/dev/ttyUSB0"));
        e.site = site;
        e.time = at(minute);
        return e;
    };
    const std::vector<TNewEntry> entries{
        entry(TAction::Read, 13, QStringLiteral("Склад №3"), 0),
        entry(TAction::Write, 13, QStringLiteral("Склад №3"), 10),
        entry(TAction::Read, 13, QStringLiteral("Склад №3"), 5),
        entry(TAction::Save, 16, QStringLiteral("склад №3"), 20),
        entry(TAction::Open, 5, QStringLiteral("Аптека"), 30),
        entry(TAction::Read, 5, QString(), 40),
        // Any text a site may be named with comes back whole.
        entry(TAction::Write, 2, QStringLiteral("Кафе \"Уют\", \\ [1]\tвход\nсо двора"), 50),
    };
    const auto ids = journal.Record(entries);
    ASSERT_TRUE(ids) << journal.Problem().toStdString();
    RawDb raw(Path());
    raw.Exec(QStringLiteral("UPDATE entries SET os_user = 'ivanov', host_name = 'pc-1' WHERE id = %1")
                 .arg((*ids)[2]));
    const auto sites = Sites(journal);
    ASSERT_TRUE(sites);
    ASSERT_EQ(sites->size(), 3u);
    EXPECT_EQ((*sites)[1].site, entries[6].site);
    EXPECT_EQ((*sites)[1].latest, (*ids)[6]);
    ASSERT_TRUE((*sites)[1].written);
    EXPECT_EQ((*sites)[1].written->time, at(50));
    const TSite& pharmacy = (*sites)[0];
    EXPECT_EQ(pharmacy.site, QStringLiteral("Аптека"));
    EXPECT_EQ(pharmacy.latest, (*ids)[4]);
    EXPECT_EQ(pharmacy.entries, 1);
    EXPECT_FALSE(pharmacy.read);
    EXPECT_FALSE(pharmacy.written);
    const TSite& store = (*sites)[2];
    EXPECT_EQ(store.site, QStringLiteral("склад №3"));
    EXPECT_EQ(store.latest, (*ids)[3]);
    EXPECT_EQ(store.action, TAction::Save);
    EXPECT_EQ(store.time, at(20));
    EXPECT_EQ(store.deviceType, 16);
    EXPECT_EQ(store.entries, 4);
    ASSERT_TRUE(store.read && store.written);
    EXPECT_EQ(store.read->time, at(5));
    EXPECT_EQ(store.read->user, QStringLiteral("ivanov"));
    EXPECT_EQ(store.read->host, QStringLiteral("pc-1"));
    EXPECT_EQ(store.written->time, at(10));
    EXPECT_EQ(store.written->host, QSysInfo::machineHostName());
    // Only the site's own entries, whatever the case of its name.
    EXPECT_EQ(Ids(journal.List({.siteIs = QStringLiteral("СКЛАД №3")})),
              (std::vector<qint64>{(*ids)[3], (*ids)[1], (*ids)[2], (*ids)[0]}));
}

// Search finds exactly the entries whose texts hold the part, whether the index leads (a rare
// part) or the list is read in order (a common or short one): in any case, Cyrillic and Ё
// included, the index's own query marks and quotes taken literally, and after a site or note
// is changed; counts agree with the list.
TEST_F(JournalTest, SearchFindsWhatTheEntriesHold) {
    TJournal journal(Path());
    ASSERT_TRUE(journal.Open()) << journal.Problem().toStdString();
    const std::vector<QString> sites{QStringLiteral("Школа №1, ул. Ленина, 5"),
                                     QStringLiteral("ЁЛКА \"Север\" (a*b OR c)"),
                                     QStringLiteral("Склад - 2: NEAR(x y)\tворота"), QString()};
    std::vector<TNewEntry> entries;
    for (int n = 0; n < 2600; ++n) {
        TNewEntry e = EntryFromState(
            n % 7 == 0 ? TAction::Save : TAction::Read, Factory(n % 3 == 0 ? 5 : 13),
            n % 7 == 0 ? QString() : (n % 2 ? QStringLiteral("/dev/ttyUSB0") : QStringLiteral("COM3")),
            n % 7 == 0 ? QStringLiteral("/home/u/Объекты/дом %1.cf8").arg(n) : QString());
        // Most entries are of the school: a part of its name is common, the others rare.
        e.site = sites[n % 10 < 8 ? 0 : static_cast<std::size_t>(1 + n % 3)];
        if (n % 97 == 0) {
            e.note = QStringLiteral("Замена АКБ \"%1\"").arg(n);
        }
        e.time = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000 + qint64{n / 2} * 60'000, Qt::UTC);
        entries.push_back(std::move(e));
    }
    ASSERT_TRUE(journal.Record(std::span<const TNewEntry>(entries))) << journal.Problem().toStdString();

    const auto check = [&](const QString& part) {
        std::vector<qint64> expected;
        std::vector<qint64> expectedOfType5;
        for (const TEntry& e : journal.List().entries) {
            const QString texts =
                e.site + u'\n' + e.note + u'\n' + e.deviceName + u'\n' + e.filePath + u'\n' + e.port;
            if (texts.toLower().contains(part.toLower())) {
                expected.push_back(e.id);
                if (e.deviceType == 5) {
                    expectedOfType5.push_back(e.id);
                }
            }
        }
        const auto first = [](std::vector<qint64> ids, std::size_t n) {
            ids.resize(std::min(ids.size(), n));
            return ids;
        };
        SCOPED_TRACE(part.toStdString());
        EXPECT_EQ(Ids(journal.List({.search = part})), expected);
        EXPECT_EQ(Ids(journal.List({.search = part, .limit = 50})), first(expected, 50));
        std::vector<qint64> bySite = Ids(journal.List({.search = part, .order = TOrder::Site}));
        std::sort(bySite.begin(), bySite.end(), std::greater<>());
        EXPECT_EQ(bySite, expected); // ids grow with time here
        EXPECT_EQ(journal.Count({.search = part}), static_cast<qint64>(expected.size()));
        EXPECT_EQ(Ids(journal.List({.search = part, .deviceType = 5})), expectedOfType5);
        EXPECT_EQ(journal.Count({.search = part, .deviceType = 5}),
                  static_cast<qint64>(expectedOfType5.size()));
        return expected.size();
    };
    EXPECT_GT(check(QStringLiteral("ШКОЛА")), 2000u);
    EXPECT_GT(check(QStringLiteral("ёлка \"север")), 0u);
    for (const char* part : {"ш", "ул", "a*b", "or c", "near(", "(x y)\tво", "\"", "\"\"", " - ", "tty",
                             "com3", "акб \"1", "дом 7", "нет такого", "ё", "\n", "ленина, 5\nзамена"}) {
        check(QString::fromUtf8(part));
    }
    // A changed site or note is found by its new text only.
    const qint64 school = Ids(journal.List({.search = QStringLiteral("школа"), .limit = 1}))[0];
    ASSERT_TRUE(journal.SetSite(school, QStringLiteral("Котельная №9")));
    ASSERT_TRUE(journal.SetNote(school, QStringLiteral("Проверка ШС2")));
    EXPECT_EQ(check(QStringLiteral("котельная")), 1u);
    EXPECT_EQ(check(QStringLiteral("шс2")), 1u);
    check(QStringLiteral("школа"));
}

// The key each order sorts by, as the list shows it: the test's own reading of the columns.
QVariant OrderedBy(const TEntry& e, TOrder order) {
    switch (order) {
    case TOrder::Time:
        return {};
    case TOrder::Action:
        return ActionText(e.action);
    case TOrder::Changed:
        return e.changed.value_or(-1);
    case TOrder::Site:
        return e.site.toLower();
    case TOrder::Device:
        return e.deviceName;
    case TOrder::Firmware:
        return e.firmware;
    case TOrder::Place:
        return e.filePath.isEmpty() ? e.port : e.filePath;
    case TOrder::OnlyHere:
        return e.sent ? 0 : 1;
    case TOrder::User:
        return e.user;
    case TOrder::Host:
        return e.host;
    case TOrder::Note:
        return e.note;
    }
    return {};
}

class Ordered : public JournalTest, public ::testing::WithParamInterface<std::tuple<TOrder, bool>> {};

// A list ordered by any column, either way, read a page at a time from where the last page ended
// (as the window reads it) holds every entry once, in that order, entries alike in it by time and
// then number; the same when entries share their time.
TEST_P(Ordered, PagesHoldEveryEntryOnceInOrder) {
    const auto [order, ascending] = GetParam();
    TJournal journal(Path());
    ASSERT_TRUE(journal.Open()) << journal.Problem().toStdString();
    const QString sites[] = {QStringLiteral("Склад"), QStringLiteral("аптека"), QStringLiteral("СКЛАД"), {}};
    const Byte types[] = {13, 5, 16};
    const TAction actions[] = {TAction::Read, TAction::Write, TAction::Open, TAction::Save};
    std::vector<TNewEntry> entries;
    for (int k = 0; k < 37; ++k) {
        TNewEntry e = EntryFromState(actions[k % 4], Factory(types[k % 3]));
        (k % 2 == 0 ? e.port : e.filePath) = QStringLiteral("/dev/ttyS%1").arg(k % 3);
        e.site = sites[k % 4];
        e.note = k % 5 == 0 ? QStringLiteral("Замена АКБ") : QString();
        e.firmware = 20 + k % 2;
        // Several entries at one time: only their numbers tell them apart.
        e.time = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000 + (k % 6) * 1000, Qt::UTC);
        if (k % 4 == 1) {
            e.changed = k % 3;
        }
        entries.push_back(e);
    }
    ASSERT_TRUE(journal.Record(entries)) << journal.Problem().toStdString();
    RawDb raw(Path());
    raw.Exec(QStringLiteral("UPDATE entries SET os_user = 'u' || (id % 3), host_name = 'pc-' || (id % 2), "
                            "sent = (id % 4 = 0)"));

    const TFilter filter{.order = order, .ascending = ascending};
    std::vector<TEntry> paged;
    TFilter page = filter;
    page.limit = 5;
    for (int pages = 0; pages < 20; ++pages) {
        const TListing listing = journal.List(page);
        ASSERT_TRUE(listing.warning.isEmpty()) << listing.warning.toStdString();
        paged.insert(paged.end(), listing.entries.begin(), listing.entries.end());
        if (listing.total) {
            break;
        }
        ASSERT_TRUE(listing.last);
        page.before = listing.last;
    }
    ASSERT_EQ(paged.size(), entries.size());
    std::vector<qint64> pagedIds;
    for (const TEntry& e : paged) {
        pagedIds.push_back(e.id);
    }
    EXPECT_EQ(Ids(journal.List(filter)), pagedIds);
    std::set<qint64> seen;
    for (std::size_t k = 0; k < paged.size(); ++k) {
        EXPECT_TRUE(seen.insert(paged[k].id).second) << "repeated " << paged[k].id;
        if (k == 0) {
            continue;
        }
        const TEntry& a = paged[k - 1];
        const TEntry& b = paged[k];
        const QVariant ka = OrderedBy(a, order);
        const QVariant kb = OrderedBy(b, order);
        const auto rank = std::make_tuple(
            ka.typeId() == QMetaType::Int ? QString::number(ka.toInt()) : ka.toString(), a.time, a.id);
        const auto next = std::make_tuple(
            kb.typeId() == QMetaType::Int ? QString::number(kb.toInt()) : kb.toString(), b.time, b.id);
        EXPECT_TRUE(ascending ? rank < next : next < rank) << "at " << k << ": " << a.id << " then " << b.id;
    }
}

std::string OrderName(const ::testing::TestParamInfo<std::tuple<TOrder, bool>>& info) {
    static const char* const kNames[] = {"Time",  "Action",   "Changed", "Site", "Device", "Firmware",
                                         "Place", "OnlyHere", "User",    "Host", "Note"};
    return std::string(kNames[static_cast<int>(std::get<0>(info.param))]) +
           (std::get<1>(info.param) ? "Ascending" : "Descending");
}

INSTANTIATE_TEST_SUITE_P(Columns, Ordered,
                         ::testing::Combine(::testing::Values(TOrder::Time, TOrder::Action, TOrder::Changed,
                                                              TOrder::Site, TOrder::Device, TOrder::Firmware,
                                                              TOrder::Place, TOrder::OnlyHere, TOrder::User,
                                                              TOrder::Host, TOrder::Note),
                                            ::testing::Bool()),
                         OrderName);

// Applies a database dump statement by statement.
void Load(RawDb& raw, const QString& dumpPath) {
    QFile dump(dumpPath);
    ASSERT_TRUE(dump.open(QIODevice::ReadOnly)) << dumpPath.toStdString();
    for (const QString& statement : QString::fromUtf8(dump.readAll()).split(QStringLiteral(";\n"))) {
        if (!statement.trimmed().isEmpty()) {
            raw.Exec(statement);
        }
    }
}

class EarlierSchema : public JournalTest, public ::testing::WithParamInterface<int> {};

// A journal made by each earlier schema (the first one's dump kept from then, brought on by the
// released migrations) opens with this program at the current version and keeps every entry,
// configuration and change as they were (a change of that time set both fields); an empty file
// becomes a new journal.
TEST_P(EarlierSchema, OpensAndKeepsEverything) {
    {
        RawDb raw(Path());
        Load(raw, QStringLiteral(JOURNAL_V1_FIXTURE));
        for (const TMigration& migration : Migrations()) {
            if (migration.version > 1 && migration.version <= GetParam()) {
                for (const QString& statement : Statements(migration, kSqlite)) {
                    raw.Exec(statement);
                }
                raw.Exec(QStringLiteral("PRAGMA user_version = %1").arg(migration.version));
            }
        }
        ASSERT_EQ(raw.Value(QStringLiteral("PRAGMA user_version")).toInt(), GetParam());
    }
    TJournal journal(Path());
    ASSERT_TRUE(journal.Open()) << journal.Problem().toStdString();
    EXPECT_EQ(journal.SchemaVersion(), kSchemaVersion);
    EXPECT_EQ(journal.Origin(), QStringLiteral("5d1f6a7e-0b1c-4a55-9a43-2f0c7b1e9d21"));
    const TListing listing = journal.List();
    EXPECT_EQ(listing.skipped, 0);
    ASSERT_EQ(listing.entries.size(), 3u);
    const TEntry& oldest = listing.entries.back();
    EXPECT_EQ(oldest.action, TAction::Read);
    EXPECT_EQ(oldest.site, QStringLiteral("Школа №3"));
    EXPECT_EQ(oldest.time, QDateTime::fromMSecsSinceEpoch(1700000000000, Qt::UTC));
    EXPECT_EQ(listing.entries[1].note, QStringLiteral("Замена АКБ"));
    EXPECT_EQ(Ids(journal.List({.search = QStringLiteral("акб")})),
              (std::vector<qint64>{listing.entries[1].id}));
    // Entries made before ports were searched are found by theirs too.
    std::vector<qint64> byPort;
    for (const TEntry& e : listing.entries) {
        if (e.port.contains(QStringLiteral("ttyUSB0"))) {
            byPort.push_back(e.id);
        }
    }
    ASSERT_FALSE(byPort.empty());
    EXPECT_EQ(Ids(journal.List({.search = QStringLiteral("TTYUSB0")})), byPort);
    const std::vector<TAuthor> authors = journal.Authors();
    EXPECT_NE(std::find(authors.begin(), authors.end(), TAuthor{oldest.user, oldest.host}), authors.end());
    const std::vector<qint64> byAuthor = Ids(journal.List({.user = oldest.user, .host = oldest.host}));
    EXPECT_NE(std::find(byAuthor.begin(), byAuthor.end(), oldest.id), byAuthor.end());
    EXPECT_TRUE(journal.List({.user = oldest.user, .host = QStringLiteral("нет такого")}).entries.empty());
    for (const TEntry& e : listing.entries) {
        const auto stored = journal.Configuration(e.id);
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->state, TConfigState::Ok) << e.id;
        TProgramState state;
        ASSERT_TRUE(ReadConfigDocument(state, stored->text.data(), stored->text.size()));
        EXPECT_EQ(state.device->DevType, e.deviceType);
    }
    const auto next = journal.Record(EntryFromState(TAction::Open, Factory(2), {}, QStringLiteral("/x.cf8")));
    ASSERT_TRUE(next);
    EXPECT_EQ(journal.Find(*next)->seq, 4);

    test::TempDir other;
    const QString empty = QString::fromStdString(other.File("empty.sqlite"));
    std::ofstream(empty.toStdString()).flush();
    TJournal fresh(empty);
    ASSERT_TRUE(fresh.Open()) << fresh.Problem().toStdString();
    EXPECT_EQ(fresh.SchemaVersion(), kSchemaVersion);
    EXPECT_TRUE(fresh.Record(EntryFromState(TAction::Save, Factory(5))));
}

INSTANTIATE_TEST_SUITE_P(Versions, EarlierSchema, ::testing::Range(1, kSchemaVersion),
                         [](const auto& info) { return "Version" + std::to_string(info.param); });

// A journal of a newer schema that says this program may still use it (it only added an index)
// is read and written as it is, its version kept; once it says a newer program is needed, it is
// left untouched.
TEST_F(JournalTest, NewerSchemaIsUsedWhileItAllows) {
    {
        TJournal journal(Path());
        ASSERT_TRUE(journal.Record(EntryFromState(TAction::Read, Factory(5), QStringLiteral("COM1"))));
    }
    {
        RawDb raw(Path());
        raw.Exec(QStringLiteral("CREATE INDEX later ON entries (port)"));
        raw.Exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion + 1));
    }
    {
        TJournal journal(Path());
        ASSERT_TRUE(journal.Record(EntryFromState(TAction::Save, Factory(6))))
            << journal.Problem().toStdString();
        EXPECT_EQ(journal.List().entries.size(), 2u);
        EXPECT_EQ(journal.SchemaVersion(), kSchemaVersion + 1);
    }
    {
        RawDb raw(Path());
        raw.Exec(QStringLiteral("UPDATE journal_info SET value = '%1' WHERE name = 'compatible_version'")
                     .arg(kSchemaVersion + 1));
    }
    const std::string before = ReadFile(Path().toStdString());
    TJournal journal(Path());
    EXPECT_FALSE(journal.Record(EntryFromState(TAction::Save, Factory(6))));
    EXPECT_TRUE(journal.Problem().contains(QStringLiteral("более новой версией программы")))
        << journal.Problem().toStdString();
    EXPECT_TRUE(ReadFile(Path().toStdString()) == before);
}

struct Unusable {
    const char* name;
    std::string content; // the file in the journal's place
    int version;         // a schema version to give it instead, when not 0
    const char* reason;
};

void PrintTo(const Unusable& c, std::ostream* os) {
    *os << c.name;
}

class UnusableJournal : public JournalTest, public ::testing::WithParamInterface<Unusable> {};

// A file that is not a journal of this program is never changed; the user is told once why, with
// the file's place, however many entries the program goes on to make.
TEST_P(UnusableJournal, IsLeftAsItWasAndToldOnce) {
    const Unusable& c = GetParam();
    if (c.version != 0) {
        RawDb raw(Path());
        raw.Exec(QStringLiteral("CREATE TABLE future (x TEXT)"));
        raw.Exec(QStringLiteral("PRAGMA user_version = %1").arg(c.version));
    } else {
        std::ofstream(Path().toStdString(), std::ios::binary) << c.content;
    }
    const std::string before = ReadFile(Path().toStdString());

    std::vector<QString> told;
    TJournalRecorder recorder([&](const QString& message) { told.push_back(message); }, Path());
    const TProgramState state = Factory(3);
    EXPECT_FALSE(recorder.Record(TAction::Read, state, QStringLiteral("/dev/ttyUSB0")));
    EXPECT_FALSE(recorder.Record(TAction::Save, state, {}, QStringLiteral("/tmp/a.cf8")));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].startsWith(QStringLiteral("Журнал недоступен: ") + QString::fromUtf8(c.reason)))
        << told[0].toStdString();
    EXPECT_TRUE(told[0].contains(Path())) << told[0].toStdString();
    EXPECT_TRUE(ReadFile(Path().toStdString()) == before) << "the file was changed";
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"journal.sqlite"});
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnusableJournal,
    ::testing::Values(
        Unusable{"Garbage", std::string(5000, 'x') + "not a database", 0, "файл не является базой данных"},
        Unusable{"NewerSchema", {}, kSchemaVersion + 1, "журнал создан более новой версией программы"}),
    [](const auto& info) { return std::string(info.param.name); });

// Damage found in an entry: a row that cannot be an entry is left out of the list with a
// warning; an intact entry whose stored configuration is damaged, or no longer reads as a
// configuration, is listed and its configuration is reported as such.
TEST_F(JournalTest, DamagedEntriesAreSkippedOrShownAsSuch) {
    TJournal journal(Path());
    ASSERT_TRUE(journal.Open());
    std::vector<qint64> ids;
    for (Byte type : {1, 2, 3, 4, 5}) {
        const auto id = journal.Record(EntryFromState(TAction::Read, Factory(type), QStringLiteral("COM3")));
        ASSERT_TRUE(id);
        ids.push_back(*id);
    }
    TNewEntry notConfig = EntryFromState(TAction::Open, Factory(6), {}, QStringLiteral("/x.cf8"));
    notConfig.config = "<config FileID=\"8\"><device/></config>";
    const auto textOnly = journal.Record(notConfig);
    ASSERT_TRUE(textOnly);
    {
        RawDb raw(Path());
        raw.Exec(QStringLiteral("UPDATE entries SET action = 'erase' WHERE id = %1").arg(ids[0]));
        raw.Exec(QStringLiteral("UPDATE entries SET created_ms = 'yesterday' WHERE id = %1").arg(ids[1]));
        raw.Exec(QStringLiteral("UPDATE configs SET body = X'789c0bca' WHERE sha256 = (SELECT config_sha256 "
                                "FROM entries WHERE id = %1)")
                     .arg(ids[2]));
        raw.Exec(QStringLiteral("DELETE FROM configs WHERE sha256 = (SELECT config_sha256 FROM entries WHERE "
                                "id = %1)")
                     .arg(ids[3]));
    }
    const TListing listing = journal.List();
    EXPECT_EQ(Ids(listing), (std::vector<qint64>{*textOnly, ids[4], ids[3], ids[2]}));
    EXPECT_EQ(listing.skipped, 2);
    EXPECT_FALSE(listing.warning.isEmpty());
    EXPECT_FALSE(journal.Find(ids[0]));
    EXPECT_EQ(journal.Configuration(ids[2])->state, TConfigState::Damaged);
    EXPECT_EQ(journal.Configuration(ids[3])->state, TConfigState::Damaged);
    EXPECT_EQ(journal.Configuration(ids[4])->state, TConfigState::Ok);
    const auto text = journal.Configuration(*textOnly);
    EXPECT_EQ(text->state, TConfigState::NotAConfiguration);
    EXPECT_EQ(text->text, notConfig.config);
}

// Two programs writing at once, each its own 500 entries into a journal neither has created
// yet: every entry is kept, each with its own place in the journal's stream.
TEST_F(JournalTest, TwoProgramsWritingAtOnceLoseNothing) {
    constexpr int kEach = 500;
    QProcess a, b;
    for (auto [process, tag] : {std::pair{&a, "A"}, std::pair{&b, "B"}}) {
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(QStringLiteral(JOURNAL_WRITER_PATH),
                       {Path(), QString::fromLatin1(tag), QString::number(kEach)});
    }
    for (QProcess* process : {&a, &b}) {
        ASSERT_TRUE(process->waitForFinished(150'000));
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process->exitCode(), 0);
    }
    RawDb raw(Path());
    EXPECT_EQ(raw.Value(QStringLiteral("SELECT COUNT(*) FROM entries")).toInt(), 2 * kEach);
    EXPECT_EQ(raw.Value(QStringLiteral("SELECT COUNT(DISTINCT note) FROM entries")).toInt(), 2 * kEach);
    EXPECT_EQ(raw.Value(QStringLiteral("SELECT COUNT(DISTINCT uuid) FROM entries")).toInt(), 2 * kEach);
    EXPECT_EQ(
        raw.Value(QStringLiteral("SELECT COUNT(DISTINCT seq) || '/' || MAX(seq) FROM entries")).toString(),
        QStringLiteral("%1/%1").arg(2 * kEach));
    for (const char* tag : {"A", "B"}) {
        EXPECT_EQ(
            raw.Value(QStringLiteral("SELECT COUNT(*) FROM entries WHERE note LIKE '%1-%'").arg(tag)).toInt(),
            kEach);
    }
    EXPECT_EQ(raw.Value(QStringLiteral("SELECT COUNT(*) FROM configs")).toInt(), 1);
}

} // namespace
} // namespace orv::journal
