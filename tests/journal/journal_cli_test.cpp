// orvanta-cli's journal: reads and writes against the simulated panel record exactly the
// configuration that crossed the line, the journal commands find, show, export and annotate
// entries, and a journal that cannot be used never stops a read, write or save.
#include "cli/cli.h"
#include "device/catalogue.h"
#include "e2e/e2e_support.h"
#include "faults/save_faults.h"
#include "files/config_file.h"
#include "gsm/tx_buffers.h"
#include "journal/journal.h"
#include "journal/schema.h"
#include "journal_support.h"
#include "support/cli_run.h"
#include "support/read_only_media.h"
#include "support/temp_dir.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace orv::journal {
namespace {

using e2e::Bytes;
using e2e::Data;
using e2e::FrameBytes;

using test::Cli;
using test::CliRun;

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

// The configuration of an entry, read back into a state.
TProgramState Loaded(TJournal& journal, qint64 id) {
    TProgramState state;
    const auto stored = journal.Configuration(id);
    EXPECT_TRUE(stored && stored->state == TConfigState::Ok);
    if (stored) {
        EXPECT_TRUE(ReadConfigDocument(state, stored->text.data(), stored->text.size()));
    }
    return state;
}

Bytes Payload(const TProgramState& state) {
    const auto bytes = state.device->PayloadBytes();
    return Bytes(bytes.begin(), bytes.end());
}

class JournalCli : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureQtApp();
        qputenv("ORVANTA_JOURNAL", QFile::encodeName(journalPath));
    }

    test::SimProcess& StartSim(QStringList args) {
        sim = std::make_unique<test::SimProcess>(args << QStringLiteral("--no-pace"));
        EXPECT_TRUE(sim->Start()) << sim->Error().toStdString();
        return *sim;
    }
    std::string Port() const { return sim->PortPath().toStdString(); }

    test::TempDir dir;
    QString journalPath = QString::fromStdString(dir.File("journal.sqlite"));
    std::unique_ptr<test::SimProcess> sim;
};

// A read records the configuration the panel sent; the journal commands show it as show does,
// export it as it was recorded, and find it by the site name and note given later.
TEST_F(JournalCli, ReadRecordsWhatThePanelSent) {
    auto seed = CreateDevice(16);
    e2e::ConnectGsm(*seed, true);
    seed->SetZoneType(2, 3);
    seed->SetPayload(0, 0x13);
    const Bytes config(seed->PayloadBytes().begin(), seed->PayloadBytes().end());
    const Bytes gsm{0x04, 0xD2, 0x01, 0x01, 0x0C, 0x29, '8', '9', '0', '3', '1',
                    '2',  '3',  '4',  '5',  '6',  '7',  0,   0,   0,   0};
    const Bytes gprs{0x18, 'i', 'n', 't', 'e', 'r', 'n', 'e', 't', '.', 'm', 't', 's',
                     '.',  'r', 'u', 0,   'd', 'z', 'u', 0,   'd', 'z', 'u', 0,   0x00};
    const Bytes sms{0x01, 0x02, 0x97, 0x30, 0x21, 0x43, 0x65, 0xF7, 0xFF, 0xFF, 0x00};
    StartSim({"--type", "16", "--config-hex", e2e::Hex(config), "--gsm", e2e::Hex(gsm), "--gprs",
              e2e::Hex(gprs), "--sms", e2e::Hex(sms)});
    const std::string file = dir.File("read.cf8");
    const auto read = Cli({"read", "--port", Port(), "--out", file});
    ASSERT_EQ(read.status, 0) << read.out << read.err;
    EXPECT_EQ(read.err, "");

    TJournal journal(journalPath);
    const TListing listing = journal.List();
    ASSERT_EQ(listing.entries.size(), 1u);
    const TEntry& entry = listing.entries[0];
    EXPECT_EQ(entry.action, TAction::Read);
    EXPECT_EQ(entry.port.toStdString(), Port());
    EXPECT_EQ(entry.filePath, QFileInfo(QString::fromStdString(file)).absoluteFilePath());
    EXPECT_EQ(entry.deviceType, 16);
    EXPECT_EQ(entry.firmware, sim->Dump()->version);
    const TProgramState recorded = Loaded(journal, entry.id);
    EXPECT_EQ(Payload(recorded), config);
    EXPECT_EQ(Data(FrameBytes(recorded.GsmFrame)), gsm);
    EXPECT_EQ(Data(FrameBytes(recorded.GprsFrame)), gprs);
    EXPECT_EQ(Data(FrameBytes(recorded.SmsFrame)), sms);

    const std::string id = std::to_string(entry.id);
    const std::string exported = dir.File("exported.cf8");
    ASSERT_EQ(Cli({"journal", "export", id, "--out", exported}).status, 0);
    EXPECT_EQ(test::ReadWholeFile(exported), journal.Configuration(entry.id)->text);
    for (const std::string json : {"", "--json"}) {
        const auto shown = Cli(json.empty() ? std::vector<std::string>{"journal", "show", id}
                                            : std::vector<std::string>{"journal", "show", json, id});
        ASSERT_EQ(shown.status, 0) << shown.err;
        EXPECT_EQ(shown.out, Cli(json.empty() ? std::vector<std::string>{"show", exported}
                                              : std::vector<std::string>{"show", json, exported})
                                 .out);
    }

    ASSERT_EQ(Cli({"journal", "site", id, "Школа №3, пост охраны"}).status, 0);
    ASSERT_EQ(Cli({"journal", "note", id, "ШС2 переведен в пожарный"}).status, 0);
    const auto none = Cli({"journal", "list", "--site", "ШКОЛА №4"});
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, "");
    const auto listed = Cli({"journal", "list", "--site", "ШКОЛА №3", "--type", "16", "--json"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    const QJsonArray entries = QJsonDocument::fromJson(QByteArray::fromStdString(listed.out)).array();
    ASSERT_EQ(entries.size(), 1) << listed.out;
    const QJsonObject json = entries[0].toObject();
    EXPECT_EQ(json[QStringLiteral("id")].toInteger(), entry.id);
    EXPECT_EQ(json[QStringLiteral("action")].toString(), QStringLiteral("read"));
    EXPECT_EQ(json[QStringLiteral("site")].toString(), QStringLiteral("Школа №3, пост охраны"));
    EXPECT_EQ(json[QStringLiteral("note")].toString(), QStringLiteral("ШС2 переведен в пожарный"));
    EXPECT_EQ(json[QStringLiteral("sha256")].toString(), entry.sha256);
    EXPECT_EQ(json[QStringLiteral("uuid")].toString(), entry.uuid);
    EXPECT_EQ(QDateTime::fromString(json[QStringLiteral("time")].toString(), Qt::ISODate), entry.time);

    // As the journal window exports its list: a spreadsheet's UTF-8, a site with a comma quoted.
    const auto csv = Cli({"journal", "list", "--site", "ШКОЛА №3", "--csv"});
    ASSERT_EQ(csv.status, 0) << csv.err;
    const QStringList csvLines = QString::fromStdString(csv.out).split(QStringLiteral("\r\n"));
    ASSERT_EQ(csvLines.size(), 3) << csv.out;
    EXPECT_EQ(csv.out.rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_TRUE(csvLines[0].endsWith(
        QStringLiteral("Время,Действие,Изменено,Объект,Прибор,Версия,Порт или файл,Только здесь,"
                       "Пользователь,Компьютер,Примечание")))
        << csv.out;
    EXPECT_TRUE(csvLines[1].contains(QStringLiteral(",\"Школа №3, пост охраны\",")) &&
                csvLines[1].endsWith(QStringLiteral(",ШС2 переведен в пожарный")))
        << csv.out;
    EXPECT_EQ(csvLines[2], QString());
    EXPECT_EQ(Cli({"journal", "list", "--csv", "--json"}).status, cli::kExitUsage);
    const auto sites = Cli({"journal", "sites", "--json"});
    ASSERT_EQ(sites.status, 0) << sites.err;
    const QJsonArray siteList = QJsonDocument::fromJson(QByteArray::fromStdString(sites.out)).array();
    ASSERT_EQ(siteList.size(), 1) << sites.out;
    EXPECT_EQ(siteList[0].toObject()[QStringLiteral("site")].toString(),
              QStringLiteral("Школа №3, пост охраны"));
    EXPECT_EQ(siteList[0].toObject()[QStringLiteral("latest")].toInteger(), entry.id);
    EXPECT_EQ(siteList[0].toObject()[QStringLiteral("read")].toObject()[QStringLiteral("user")].toString(),
              entry.user);
    const auto sitesCsv = Cli({"journal", "sites", "--csv"});
    ASSERT_EQ(sitesCsv.status, 0);
    EXPECT_NE(sitesCsv.out.find("\"Школа №3, пост охраны\""), std::string::npos) << sitesCsv.out;

    EXPECT_EQ(Cli({"journal", "show", "99"}).status, cli::kExitFile);
    EXPECT_EQ(Cli({"journal", "site", "99", "x"}).status, cli::kExitFailed);
    EXPECT_EQ(Cli({"journal", "show", "one"}).status, cli::kExitUsage);
    EXPECT_EQ(Cli({"journal", "export", id}).status, cli::kExitUsage);
}

// A write records the configuration the panel received; a run with --no-journal records
// nothing; new records the file it saved.
TEST_F(JournalCli, WriteRecordsWhatThePanelReceived) {
    TProgramState source;
    source.device = CreateDevice(13);
    e2e::ConnectGsm(*source.device, true);
    source.device->SetZoneType(4, 3);
    source.device->SetZoneCID(4, 9);
    ResetGsmFrame(source.GsmFrame);
    RefreshGsmModels(source);
    SetDeviceNumber(source.GsmFrame, 4321);
    source.Directions.ChooseAttempts(1, 4);
    source.Directions.SetTarget(1, "+79991234567");
    SetSmsListOn(source, true);
    source.Sms.Setup(*source.device);
    source.Sms.ChooseType(0, 1);
    source.Sms.ChoosePartition(0, 4);
    source.Sms.SetPhone(0, "+79997654321");
    SetGprsOn(source, true);
    ASSERT_TRUE(UpdateAllTXBuffers(source, nullptr).ok());
    const std::string file = dir.File("source.cf8");
    ASSERT_TRUE(WriteConfigFile(source, file).ok);

    StartSim({"--type", "13"});
    ASSERT_EQ(Cli({"--no-journal", "write", "--port", Port(), file}).status, 0);
    EXPECT_FALSE(QFileInfo::exists(journalPath));
    const auto written = Cli({"write", "--port", Port(), file});
    ASSERT_EQ(written.status, 0) << written.out << written.err;
    ASSERT_TRUE(sim->Stop());
    const auto panel = sim->Dump();
    ASSERT_TRUE(panel);

    TJournal journal(journalPath);
    const TListing listing = journal.List();
    ASSERT_EQ(listing.entries.size(), 1u);
    const TEntry& entry = listing.entries[0];
    EXPECT_EQ(entry.action, TAction::Write);
    EXPECT_EQ(entry.port.toStdString(), Port());
    EXPECT_EQ(entry.filePath, QFileInfo(QString::fromStdString(file)).absoluteFilePath());
    const TProgramState recorded = Loaded(journal, entry.id);
    EXPECT_EQ(Payload(recorded), panel->config);
    EXPECT_EQ(Data(FrameBytes(recorded.GsmFrame)), panel->gsm);
    EXPECT_EQ(Data(FrameBytes(recorded.GprsFrame)), panel->gprs);
    EXPECT_EQ(Data(FrameBytes(recorded.SmsFrame)), panel->sms);

    ASSERT_EQ(Cli({"new", "--type", "5", "--out", dir.File("new.cf8")}).status, 0);
    ASSERT_EQ(Cli({"new", "--no-journal", "--type", "6", "--out", dir.File("new6.cf8")}).status, 0);
    const auto listed = Cli({"journal", "list"});
    ASSERT_EQ(listed.status, 0);
    const QStringList lines = QString::fromStdString(listed.out).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << listed.out;
    const QStringList saved = lines[0].split(u'\t');
    ASSERT_EQ(saved.size(), 8) << listed.out;
    EXPECT_EQ(saved.mid(2),
              (QStringList{QStringLiteral("save"),
                           {},
                           QStringLiteral("5"),
                           QString::fromStdString(DeviceName(5)),
                           QString::number(CreateDevice(5)->GetVersion()),
                           QFileInfo(QString::fromStdString(dir.File("new.cf8"))).absoluteFilePath()}));
    EXPECT_EQ(lines[1].split(u'\t').value(2), QStringLiteral("write"));
    EXPECT_EQ(lines[1].split(u'\t').value(0), QString::number(entry.id));

    // The written entry compared with itself and with the new file's, as diff compares the files.
    const std::string writeId = std::to_string(entry.id);
    const std::string newId = saved[0].toStdString();
    const auto same = Cli({"journal", "diff", writeId, writeId});
    EXPECT_EQ(same.status, 0) << same.out << same.err;
    EXPECT_EQ(same.out, Cli({"diff", file, file}).out);
    const auto differ = Cli({"journal", "diff", "--json", writeId, newId});
    EXPECT_EQ(differ.status, 1) << differ.err;
    EXPECT_EQ(differ.out, Cli({"diff", "--json", file, dir.File("new.cf8")}).out);
    EXPECT_EQ(Cli({"journal", "diff", writeId, "99"}).status, cli::kExitFile);
}

enum class JournalFault { FullDisk, ReadOnlyFolder, Garbage, NewerSchema };

struct FaultCase {
    const char* name;
    JournalFault fault;
    std::vector<const char*> reasons; // any one of them, as the platform allows the fault
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class JournalUnderFault : public JournalCli, public ::testing::WithParamInterface<FaultCase> {};

// Whatever is wrong with the journal, reads, writes and saves go on; each run tells the user
// once what is wrong and where the journal is, and the journal's folder is left as it was.
TEST_P(JournalUnderFault, ReadsWritesAndSavesGoOn) {
    const FaultCase& c = GetParam();
    std::unique_ptr<test::FaultyFolder> folder;
    switch (c.fault) {
    case JournalFault::FullDisk:
    case JournalFault::ReadOnlyFolder:
        folder = std::make_unique<test::FaultyFolder>(
            c.fault == JournalFault::FullDisk ? test::SaveFault::FullDisk : test::SaveFault::ReadOnlyFolder);
        if (!folder->Unavailable().empty()) {
            GTEST_SKIP() << folder->Unavailable();
        }
        if (c.fault == JournalFault::ReadOnlyFolder && ::access(folder->Folder().c_str(), W_OK) == 0) {
            GTEST_SKIP() << "no folder can be made read-only here";
        }
        journalPath = QString::fromStdString(folder->Folder() + "/journal.sqlite");
        qputenv("ORVANTA_JOURNAL", QFile::encodeName(journalPath));
        break;
    case JournalFault::Garbage:
        std::ofstream(journalPath.toStdString(), std::ios::binary) << std::string(3000, '\x5a');
        break;
    case JournalFault::NewerSchema: {
        test::RawDb raw(journalPath);
        raw.Exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion + 1));
        break;
    }
    }
    const std::vector<std::string> before =
        folder ? folder->EntriesNow() : std::vector<std::string>{"journal.sqlite"};
    const std::string content = folder ? std::string() : test::ReadWholeFile(journalPath.toStdString());

    auto expectTold = [&](const CliRun& run) {
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(Count(run.err, "Журнал недоступен: "), 1u) << run.err;
        EXPECT_NE(run.err.find(journalPath.toStdString()), std::string::npos) << run.err;
        EXPECT_TRUE(std::any_of(c.reasons.begin(), c.reasons.end(), [&](const char* reason) {
            return run.err.find(reason) != std::string::npos;
        })) << run.err;
    };
    StartSim({"--type", "16"});
    const std::string file = dir.File("read.cf8");
    expectTold(Cli({"read", "--port", Port(), "--out", file}));
    ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(file)));
    expectTold(Cli({"write", "--port", Port(), file}));
    expectTold(Cli({"new", "--type", "5", "--out", dir.File("new.cf8")}));
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(dir.File("new.cf8"))));
    if (folder) {
        EXPECT_EQ(folder->EntriesNow(), before);
    } else {
        EXPECT_TRUE(test::ReadWholeFile(journalPath.toStdString()) == content)
            << "the journal file was changed";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, JournalUnderFault,
    ::testing::Values(
        FaultCase{"FullDisk", JournalFault::FullDisk, {"недостаточно места на диске"}},
        FaultCase{"ReadOnlyFolder",
                  JournalFault::ReadOnlyFolder,
                  {"папка журнала доступна только для чтения", "нет прав на запись в папку журнала"}},
        FaultCase{"Garbage", JournalFault::Garbage, {"файл не является базой данных журнала"}},
        FaultCase{"NewerSchema", JournalFault::NewerSchema, {"журнал создан более новой версией программы"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A journal on read-only media is read as it is by the commands that only read (and by the
// journal's own list), which leave nothing behind there; a change is refused with the reason.
TEST_F(JournalCli, ReadOnlyMediaIsReadAsItIs) {
    const std::string folder = dir.File("media");
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    journalPath = QString::fromStdString(folder + "/journal.sqlite");
    qputenv("ORVANTA_JOURNAL", QFile::encodeName(journalPath));
    {
        TJournal journal(journalPath);
        TProgramState state;
        state.device = CreateDevice(13);
        ResetGsmFrame(state.GsmFrame);
        ASSERT_TRUE(journal.Record(EntryFromState(TAction::Read, state, QStringLiteral("/dev/ttyUSB0"))));
        state.device = CreateDevice(5);
        ASSERT_TRUE(journal.Record(EntryFromState(TAction::Save, state, {}, QStringLiteral("/x.cf8"))));
        ASSERT_TRUE(journal.SetNote(2, QStringLiteral("На диске")));
    }
    const auto before = std::filesystem::directory_iterator(folder);
    ASSERT_EQ(std::distance(before, std::filesystem::directory_iterator()), 1)
        << "the journal closed cleanly";
    const std::string content = test::ReadWholeFile(journalPath.toStdString());
    test::ReadOnlyMedia media(folder);
    if (!media.Unavailable().empty()) {
        GTEST_SKIP() << media.Unavailable();
    }

    const auto listed = Cli({"journal", "list"});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(Count(listed.out, "\n"), 2u) << listed.out;
    const auto json = Cli({"journal", "list", "--json"});
    EXPECT_NE(json.out.find("На диске"), std::string::npos) << json.out << json.err;
    const auto shown = Cli({"journal", "show", "2"});
    EXPECT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(Cli({"journal", "diff", "1", "1"}).status, 0);
    const std::string exported = dir.File("exported.cf8");
    EXPECT_EQ(Cli({"journal", "export", "2", "--out", exported}).status, 0);
    EXPECT_EQ(shown.out, Cli({"show", exported}).out);
    const auto note = Cli({"journal", "note", "1", "x"});
    EXPECT_EQ(note.status, cli::kExitFailed);
    EXPECT_NE(note.err.find("только для чтения"), std::string::npos) << note.err;

    TJournal journal(journalPath);
    EXPECT_EQ(journal.List().entries.size(), 2u) << journal.Problem().toStdString();
    EXPECT_TRUE(journal.IsReadOnly());
    EXPECT_FALSE(journal.SetSite(1, QStringLiteral("x")));

    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"journal.sqlite"}) << "no -wal or -shm left behind";
    EXPECT_TRUE(test::ReadWholeFile(journalPath.toStdString()) == content);
}

} // namespace
} // namespace orv::journal
