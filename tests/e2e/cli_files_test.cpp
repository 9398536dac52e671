// The command-line tool's file commands, and a panel copied to another through a file.
#include "cli/cli.h"
#include "e2e_support.h"
#include "files/config_file.h"
#include "gsm/tx_buffers.h"
#include "settings/random_configuration.h"
#include "settings/settings.h"
#include "support/cli_run.h"
#include "support/temp_dir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <fstream>
#include <set>
#include <sstream>

namespace orv::e2e {
namespace {

using test::Cli;
using test::CliRun;

class CliEveryType : public ::testing::TestWithParam<Byte> {};

TEST_P(CliEveryType, NewThenShow) {
    test::EnsureQtApp();
    test::TempDir dir;
    const std::string path = dir.File("new.cf8");
    const auto made = Cli({"new", "--type", std::to_string(GetParam()), "--out", path});
    ASSERT_EQ(made.status, 0) << made.err;
    TProgramState state;
    ASSERT_TRUE(ReadConfigFile(state, path));
    EXPECT_EQ(state.device->DevType, GetParam());
    const auto fresh = CreateDevice(GetParam());
    for (int p = 0; p < fresh->L(); ++p) {
        if (!(IsOP8(*fresh) && p == dynamic_cast<const TDevOP8&>(*fresh).Layout().noArm)) {
            EXPECT_EQ(state.device->Payload(p), fresh->Payload(p)) << p;
        }
    }
    const auto shown = Cli({"show", path});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.out.rfind(
                  "Прибор: " + DeviceName(GetParam()) + " (тип " + std::to_string(GetParam()) + ")\n", 0),
              0u)
        << shown.out;
    if (fresh->ZoneCount() > 0) {
        EXPECT_NE(shown.out.find("ШС" + std::to_string(fresh->ZoneCount()) + ": "), std::string::npos);
    }
}

QJsonObject ParseJson(const std::string& text) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << text;
    return doc.object();
}

// The commit step and the save, as the window runs them.
std::string Save(TProgramState& state, const std::string& path) {
    EXPECT_TRUE(UpdateAllTXBuffers(state, nullptr).ok());
    EXPECT_TRUE(WriteConfigFile(state, path).ok);
    return path;
}

TEST_P(CliEveryType, ShowJsonCarriesEverySetting) {
    test::EnsureQtApp();
    test::TempDir dir;
    TProgramState made = test::RandomConfiguration(GetParam(), GetParam());
    const std::string path = Save(made, dir.File("random.cf8"));
    TProgramState read;
    ASSERT_TRUE(ReadConfigFile(read, path));
    const SettingsList list = ListSettings(read);

    const auto shown = Cli({"show", "--json", path});
    ASSERT_EQ(shown.status, 0) << shown.err;
    const QJsonObject root = ParseJson(shown.out);
    EXPECT_EQ(root["type"].toInt(), GetParam());
    const QJsonArray settings = root["settings"].toArray();
    ASSERT_EQ(settings.size(), static_cast<qsizetype>(list.items.size()));
    for (qsizetype i = 0; i < settings.size(); ++i) {
        const Setting& s = list.items[static_cast<std::size_t>(i)];
        EXPECT_EQ(settings[i].toObject()["key"].toString().toStdString(), s.key);
        EXPECT_EQ(settings[i].toObject()["value"].toString().toStdString(), s.value) << s.key;
    }
    // What the text shows is the same list.
    EXPECT_EQ(Cli({"show", path}).out, ToText(list));
    const auto same = Cli({"diff", path, path});
    EXPECT_EQ(same.status, 0) << same.out << same.err;
    EXPECT_EQ(same.out, "");
}

INSTANTIATE_TEST_SUITE_P(Codes, CliEveryType, ::testing::ValuesIn(kTypeCodes),
                         [](const auto& info) { return "type" + std::to_string(info.param); });

TEST(CliFiles, UsageAndFileErrors) {
    test::EnsureQtApp();
    test::TempDir dir;
    EXPECT_EQ(Cli({"new", "--type", "14", "--out", dir.File("x.cf8")}).status, cli::kExitUsage);
    EXPECT_EQ(Cli({"new", "--type", "abc", "--out", dir.File("x.cf8")}).status, cli::kExitUsage);
    EXPECT_EQ(Cli({"new", "--out", dir.File("x.cf8")}).status, cli::kExitUsage);
    EXPECT_EQ(Cli({"show"}).status, cli::kExitUsage);
    EXPECT_EQ(Cli({"write", dir.File("x.cf8")}).status, cli::kExitUsage);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{});

    std::ofstream(dir.File("bad.cf8")) << "<config FileID=\"7\"/>";
    const auto shown = Cli({"show", dir.File("bad.cf8")});
    EXPECT_EQ(shown.status, cli::kExitFile);
    EXPECT_NE(shown.err.find("Файл поврежден или не найден"), std::string::npos);
    EXPECT_EQ(Cli({"write", "--port", "/dev/null", dir.File("missing.cf8")}).status, cli::kExitFile);
    EXPECT_EQ(Cli({"new", "--type", "5", "--out", dir.File("gone/x.cf8")}).status, cli::kExitFile);
}

class CliCopy : public InEachMode {
protected:
    // The transaction commands with --slow in the compatible mode.
    CliRun Transact(std::vector<std::string> args) const {
        if (Slow()) {
            args.push_back("--slow");
        }
        return Cli(args);
    }
};
INSTANTIATE_TEST_SUITE_P(Link, CliCopy, ::testing::ValuesIn(kExchangeModes), ModeParamName);

// A panel with GSM, GPRS and an SMS list is read into a file and written into a factory panel:
// the second panel ends up holding what the first held.
TEST_P(CliCopy, ReadIntoFileWriteIntoAnotherPanel) {
    test::TempDir dir;
    TProgramState source;
    source.device = CreateDevice(13);
    ConnectGsm(*source.device, true);
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
    ASSERT_TRUE(WriteConfigFile(source, dir.File("source.cf8")).ok);

    test::SimProcess first({"--config", QString::fromStdString(dir.File("source.cf8")), "--no-pace"});
    ASSERT_TRUE(first.Start()) << first.Error().toStdString();
    const auto read =
        Transact({"read", "--port", first.PortPath().toStdString(), "--out", dir.File("read.cf8")});
    ASSERT_EQ(read.status, 0) << read.out << read.err;

    test::SimProcess second({"--type", "13", "--no-pace"});
    ASSERT_TRUE(second.Start()) << second.Error().toStdString();
    const auto written = Transact({"write", "--port", second.PortPath().toStdString(), dir.File("read.cf8")});
    ASSERT_EQ(written.status, 0) << written.out << written.err;
    EXPECT_NE(written.out.find("Конфигурация записана"), std::string::npos);

    ASSERT_TRUE(first.Stop());
    ASSERT_TRUE(second.Stop());
    const auto a = first.Dump();
    const auto b = second.Dump();
    ASSERT_TRUE(a && b);
    // The no-arm partition mask is derived anew before every write.
    EXPECT_EQ(b->config, a->config);
    EXPECT_EQ(b->gsm, a->gsm);
    EXPECT_EQ(b->gprs, a->gprs);
    EXPECT_EQ(b->sms, a->sms);
}

// An eight-zone panel with GSM, SMS and GPRS whose zone 3 is of the given type; the types used
// here leave the partitions rule as it was, so the zone is the only difference.
TProgramState Panel16(Byte zone3Type) {
    TProgramState s = test::RandomConfiguration(16, 21);
    s.device->SetZoneType(3, zone3Type);
    return s;
}

TEST(CliDiff, FilesStatusesAndOutput) {
    test::EnsureQtApp();
    test::TempDir dir;
    TProgramState alarm = Panel16(1);
    TProgramState fire = Panel16(3);
    TProgramState reordered = Panel16(1);
    reordered.Directions.MoveRow(0, 1);
    TProgramState other = test::RandomConfiguration(13, 21);
    const std::string a = Save(alarm, dir.File("a.cf8"));
    const std::string again = Save(alarm, dir.File("again.cf8"));
    const std::string b = Save(fire, dir.File("b.cf8"));
    const std::string r = Save(reordered, dir.File("r.cf8"));
    const std::string t = Save(other, dir.File("t.cf8"));

    const auto equal = Cli({"diff", a, again});
    EXPECT_EQ(equal.status, 0) << equal.out << equal.err;
    EXPECT_EQ(equal.out, "");

    const auto zone = Cli({"diff", a, b});
    EXPECT_EQ(zone.status, 1) << zone.err;
    EXPECT_EQ(zone.out, "Шлейфы, ШС3: Тип шлейфа: Тревожный → Пожарный\n");
    const auto zoneJson = Cli({"diff", "--json", a, b});
    EXPECT_EQ(zoneJson.status, 1);
    const QJsonObject diff = ParseJson(zoneJson.out);
    EXPECT_FALSE(diff["equal"].toBool());
    EXPECT_TRUE(diff["same_type"].toBool());
    const QJsonArray diffs = diff["differences"].toArray();
    ASSERT_EQ(diffs.size(), 1);
    const QJsonObject d = diffs[0].toObject();
    EXPECT_EQ(d["key"].toString(), QStringLiteral("zones.3.type"));
    EXPECT_EQ(d["page"].toString(), QStringLiteral("Шлейфы"));
    EXPECT_EQ(d["a"].toString(), QStringLiteral("Тревожный"));
    EXPECT_EQ(d["b"].toString(), QStringLiteral("Пожарный"));
    EXPECT_EQ(d["raw_a"].toInt(), 1);
    EXPECT_EQ(d["raw_b"].toInt(), 3);

    // Reordered directions: the first two rows trade places, nothing else moves.
    const auto moved = Cli({"diff", "--json", a, r});
    EXPECT_EQ(moved.status, 1);
    const QJsonArray rows = ParseJson(moved.out)["differences"].toArray();
    EXPECT_GE(rows.size(), 2);
    std::set<std::string> rowKeys;
    for (const auto& v : rows) {
        const std::string key = v.toObject()["key"].toString().toStdString();
        EXPECT_TRUE(key.starts_with("gsm.directions.1.") || key.starts_with("gsm.directions.2.")) << key;
        rowKeys.insert(key.substr(0, 17));
    }
    EXPECT_EQ(rowKeys, (std::set<std::string>{"gsm.directions.1.", "gsm.directions.2."}));
    const SettingsList la = ListSettings(alarm);
    const auto movedText = Cli({"diff", a, r}).out;
    EXPECT_NE(movedText.find(
                  "Передача, Направление 1: Телефон\\Хост: " + la.Find("gsm.directions.1.number")->value +
                  " → " + la.Find("gsm.directions.2.number")->value + "\n"),
              std::string::npos)
        << movedText;

    // Different types: said first, then only what both have.
    const auto types = Cli({"diff", "--json", a, t});
    EXPECT_EQ(types.status, 1);
    const QJsonObject typed = ParseJson(types.out);
    EXPECT_FALSE(typed["same_type"].toBool());
    EXPECT_EQ(typed["type_a"].toInt(), 16);
    EXPECT_EQ(typed["type_b"].toInt(), 13);
    const SettingsList lt = ListSettings(other);
    for (const auto& v : typed["differences"].toArray()) {
        const std::string key = v.toObject()["key"].toString().toStdString();
        EXPECT_TRUE(la.Find(key) && lt.Find(key)) << key;
        EXPECT_FALSE(v.toObject()["a"].isNull() || v.toObject()["b"].isNull()) << key;
    }
    EXPECT_EQ(Cli({"diff", a, t})
                  .out.rfind("Разные типы приборов: " + DeviceName(16) + " (тип 16) и " + DeviceName(13) +
                                 " (тип 13)",
                             0),
              0u);

    std::ofstream(dir.File("bad.cf8")) << "<config FileID=\"8\"/>";
    for (const auto& args : {std::vector<std::string>{"diff", a, dir.File("missing.cf8")},
                             std::vector<std::string>{"diff", dir.File("bad.cf8"), a},
                             std::vector<std::string>{"diff", "--json", dir.File("bad.cf8"), a}}) {
        const auto unreadable = Cli(args);
        EXPECT_EQ(unreadable.status, cli::kExitFile);
        EXPECT_EQ(unreadable.out, "");
        EXPECT_NE(unreadable.err.find("Файл поврежден или не найден"), std::string::npos);
    }
    EXPECT_EQ(Cli({"diff", a}).status, cli::kExitUsage);
    EXPECT_EQ(Cli({"diff", "--port", "/dev/null", a, b}).status, cli::kExitUsage);
    EXPECT_EQ(Cli({"diff", "--all", a, b}).status, cli::kExitUsage);
}

// A file against what the panel holds: one read, nothing written; the status lines go to err so
// that out is the comparison alone.
TEST(CliDiff, FileAgainstThePanel) {
    test::EnsureQtApp();
    test::TempDir dir;
    TProgramState alarm = Panel16(1);
    TProgramState fire = Panel16(3);
    const std::string a = Save(alarm, dir.File("a.cf8"));
    const std::string b = Save(fire, dir.File("b.cf8"));
    test::SimProcess sim({"--config", QString::fromStdString(a), "--no-pace"});
    ASSERT_TRUE(sim.Start()) << sim.Error().toStdString();
    const std::string port = sim.PortPath().toStdString();

    const auto same = Cli({"diff", "--port", port, a});
    EXPECT_EQ(same.status, 0) << same.out << same.err;
    EXPECT_EQ(same.out, "");
    EXPECT_NE(same.err.find("Конфигурация прочитана"), std::string::npos) << same.err;

    const auto changed = Cli({"diff", "--port", port, b});
    EXPECT_EQ(changed.status, 1) << changed.err;
    EXPECT_EQ(changed.out, "Шлейфы, ШС3: Тип шлейфа: Тревожный → Пожарный\n");
    const auto json = Cli({"diff", "--json", "--port", port, b});
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(ParseJson(json.out)["differences"].toArray().size(), 1);

    // Still what it held: comparing showed the file, it did not write it.
    EXPECT_EQ(Cli({"diff", "--port", port, a}).status, 0);
    ASSERT_TRUE(sim.Stop());

    // A file that cannot be read fails before the port is touched.
    EXPECT_EQ(Cli({"diff", "--port", port, dir.File("missing.cf8")}).status, cli::kExitFile);
}

} // namespace
} // namespace orv::e2e
