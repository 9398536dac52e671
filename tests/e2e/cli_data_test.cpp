// Configurations as data from the command line: get, set and import by the settings' keys,
// templates made and applied to files, to a simulated panel, and to a row of panels on one port
// with the tool's own process answering its prompts through stdin.
#include "cli/cli.h"
#include "device/retranslator.h"
#include "e2e_support.h"
#include "files/config_file.h"
#include "gsm/tx_buffers.h"
#include "journal/journal.h"
#include "settings/assign.h"
#include "settings/random_configuration.h"
#include "settings/settings.h"
#include "support/cli_run.h"
#include "support/temp_dir.h"
#include "templates/templates.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace orv::e2e {
namespace {

using test::Cli;

std::string Save(TProgramState state, const std::string& path) {
    EXPECT_TRUE(UpdateAllTXBuffers(state, nullptr, CommitFor::File).ok());
    EXPECT_TRUE(WriteConfigFile(state, path).ok);
    return path;
}

SettingsList FileSettings(const std::string& path) {
    TProgramState s;
    EXPECT_TRUE(ReadConfigFile(s, path)) << path;
    return ListSettings(s);
}

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// What a simulated panel holds, as the program would read it.
TProgramState FromPanel(const sim::TPanelState& panel) {
    TProgramState s;
    s.device = CreateDevice(panel.type);
    for (std::size_t p = 0; p < panel.config.size(); ++p) {
        s.device->SetPayload(static_cast<int>(p), panel.config[p]);
    }
    const auto frame = [](Byte sub, const std::vector<Byte>& data) {
        return data.empty() ? FrameBuffer{} : MakeFrame(frame::kCmdWrite, sub, data);
    };
    s.GsmFrame = frame(frame::subGsm, panel.gsm);
    s.GprsFrame = frame(frame::subGprs, panel.gprs);
    s.SmsFrame = frame(frame::subSms, panel.sms);
    if (auto* ret = dynamic_cast<TDV15_Ret*>(s.device.get())) {
        for (int k = 1; k <= TDV15_Ret::kObjects; ++k) {
            const auto* at = panel.objects.data() + 3 * (k - 1);
            ret->SetObject(k, {at[0], at[1], at[2]});
        }
        for (std::size_t k = 0; k < panel.SmsRecordCount(); ++k) {
            ret->Sms().SetRecord(static_cast<int>(k + 1), panel.smsRecords[k]);
        }
    }
    RefreshGsmModels(s);
    return s;
}

class CliDataEveryType : public ::testing::TestWithParam<Byte> {};

// show --json, then import: the same configuration, for random configurations of every type.
TEST_P(CliDataEveryType, ShowJsonThenImportGivesItBack) {
    test::EnsureQtApp();
    test::TempDir dir;
    for (const unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        const std::string a =
            Save(test::RandomConfiguration(GetParam(), seed * 31 + GetParam(), seed == 3 ? 0xFF : -1),
                 dir.File("a.cf8"));
        const auto shown = Cli({"show", "--json", a});
        ASSERT_EQ(shown.status, 0) << shown.err;
        std::ofstream(dir.File("a.json")) << shown.out;
        const auto imported = Cli({"import", dir.File("a.json"), "--out", dir.File("b.cf8")});
        ASSERT_EQ(imported.status, 0) << imported.err;
        EXPECT_EQ(ToText(Compare(FileSettings(a), FileSettings(dir.File("b.cf8")))), "");
        EXPECT_EQ(Cli({"diff", a, dir.File("b.cf8")}).status, 0);
    }
}

// Every key set from the command line reads back with get, in the shown and the stored form.
TEST_P(CliDataEveryType, SetThenGetEachKey) {
    test::EnsureQtApp();
    test::TempDir dir;
    const std::string target = Save(test::RandomConfiguration(GetParam(), 5), dir.File("t.cf8"));
    const SettingsList donor =
        FileSettings(Save(test::RandomConfiguration(GetParam(), 6), dir.File("d.cf8")));
    const SettingsList before = FileSettings(target);
    std::vector<std::string> assignments{"set", "--raw", target};
    std::vector<std::string> keys{"get", "--raw", target};
    for (const Setting& s : before.items) {
        const Setting* other = donor.Find(s.key);
        // Settings whose values depend on others are set elsewhere.
        if (other && s.key.find("gsm.sms.") == std::string::npos && s.key != "partition_dependency" &&
            s.key.find("gsm.directions.") == std::string::npos) {
            assignments.push_back(s.key + "=" + other->raw);
            keys.push_back(s.key);
        }
    }
    const auto set = Cli(assignments);
    ASSERT_EQ(set.status, 0) << set.err;
    const auto got = Cli(keys);
    ASSERT_EQ(got.status, 0) << got.err;
    const std::vector<std::string> lines = Lines(got.out);
    ASSERT_EQ(lines.size(), keys.size() - 3);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i], keys[i + 3] + "=" + donor.Find(keys[i + 3])->raw);
    }
    // Shown values read back as shown.
    const Setting& last = donor.items.back();
    const auto shown = Cli({"set", target, last.key + "=" + last.value, "--out", dir.File("shown.cf8")});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(Cli({"get", dir.File("shown.cf8"), last.key}).out, last.key + "=" + last.value + "\n");
}

INSTANTIATE_TEST_SUITE_P(Codes, CliDataEveryType, ::testing::ValuesIn(kTypeCodes),
                         [](const auto& info) { return "type" + std::to_string(info.param); });

TEST(CliData, GetSetImportStatusesAndMessages) {
    test::EnsureQtApp();
    test::TempDir dir;
    const std::string a = Save(test::RandomConfiguration(16, 3), dir.File("a.cf8"));
    const std::string original = Bytes(a);

    const auto group = Cli({"get", a, "gsm.directions.1.*", "zones.3.partition"});
    EXPECT_EQ(group.status, 0) << group.err;
    EXPECT_EQ(Lines(group.out).size(), 5u);
    EXPECT_TRUE(group.out.starts_with("gsm.directions.1.attempts=")) << group.out;
    const auto missing = Cli({"get", a, "zones.9.type", "buzzer"});
    EXPECT_EQ(missing.status, cli::kExitFailed);
    EXPECT_TRUE(missing.out.starts_with("buzzer="));
    EXPECT_EQ(missing.err, "Параметра «zones.9.type» нет у прибора «" + DeviceName(16) + "» (тип 16)\n");

    // A refused value leaves the file as it was, and says why.
    const auto refused = Cli({"set", a, "zones.3.partition=5", "relays.alarm=17"});
    EXPECT_EQ(refused.status, cli::kExitFailed);
    EXPECT_TRUE(
        refused.err.starts_with("relays.alarm: значение «17» не подходит; допустимо: «Отключено» (0)"))
        << refused.err;
    EXPECT_EQ(Bytes(a), original);
    // --out leaves the file as it was; the values are printed as they now show.
    const auto copied = Cli({"set", a, "zones.3.partition=5", "buzzer=нет", "--out", dir.File("b.cf8")});
    ASSERT_EQ(copied.status, 0) << copied.err;
    EXPECT_EQ(Bytes(a), original);
    EXPECT_TRUE(copied.out.starts_with("zones.3.partition=5\nbuzzer=нет\n")) << copied.out;
    EXPECT_EQ(Cli({"get", "--raw", dir.File("b.cf8"), "zones.3.partition"}).out, "zones.3.partition=4\n");
    // In place.
    ASSERT_EQ(Cli({"set", a, "gsm.sms.2.type=Выключено"}).status, 0);
    EXPECT_NE(Bytes(a), original);

    // A subset of the settings on the type's defaults.
    std::ofstream(dir.File("part.json")) << R"({"type": 13, "settings": [{"key": "buzzer", "value": "нет"},
        {"key": "zones.2.type", "raw": 3}, {"key": "transmitter", "raw": 2}, {"key": "gsm.device_number", "value": "77"}]})";
    ASSERT_EQ(Cli({"import", dir.File("part.json"), "--out", dir.File("part.cf8")}).status, 0);
    const SettingsList part = FileSettings(dir.File("part.cf8"));
    SettingsList defaults = ListSettings(DefaultConfiguration(13));
    const Comparison c = Compare(defaults, part);
    std::set<std::string> changed;
    for (const SettingDiff& d : c.diffs) {
        changed.insert(d.key);
    }
    EXPECT_TRUE(changed.count("buzzer") && changed.count("zones.2.type") &&
                changed.count("gsm.device_number"));
    EXPECT_EQ(part.Find("gsm.device_number")->value, "0077");
    for (const std::string& key : changed) {
        EXPECT_TRUE(key == "buzzer" || key == "zones.2.type" || key == "transmitter" ||
                    key.starts_with("gsm."))
            << key;
    }

    std::ofstream(dir.File("bad.json")) << R"({"type": 14})";
    const auto bad = Cli({"import", dir.File("bad.json"), "--out", dir.File("x.cf8")});
    EXPECT_EQ(bad.status, cli::kExitFile);
    EXPECT_NE(bad.err.find("нет поддерживаемого типа прибора"), std::string::npos) << bad.err;
    std::ofstream(dir.File("wrong.json"))
        << R"({"type": 16, "settings": [{"key": "zones.1.type", "raw": 99}]})";
    const auto wrong = Cli({"import", dir.File("wrong.json"), "--out", dir.File("x.cf8")});
    EXPECT_EQ(wrong.status, cli::kExitFailed);
    EXPECT_TRUE(wrong.err.starts_with("zones.1.type: значение «99» не подходит")) << wrong.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.cf8")));
    EXPECT_EQ(Cli({"import", dir.File("none.json"), "--out", dir.File("x.cf8")}).status, cli::kExitFile);
    EXPECT_EQ(Cli({"set", a}).status, cli::kExitUsage);
    EXPECT_EQ(Cli({"set", a, "buzzer"}).status, cli::kExitUsage);
    EXPECT_EQ(Cli({"get", a}).status, cli::kExitUsage);
    EXPECT_EQ(Cli({"import", dir.File("part.json")}).status, cli::kExitUsage);
}

// A template made from one file and applied to another of the type: exactly its settings take
// the first file's values; the journal's entry of the save names the template.
TEST(CliData, TemplateMadeFromOneFileAppliedToAnother) {
    test::EnsureQtApp();
    test::TempDir dir;
    const std::string office = Save(test::RandomConfiguration(16, 7), dir.File("office.cf8"));
    const std::string site = Save(test::RandomConfiguration(16, 8), dir.File("site.cf8"));
    const auto made =
        Cli({"template", "make", office, "--keys", "gsm.directions.*", "gsm.sms.*", "relays.alarm", "--out",
             dir.File("t.json"), "--name", "Станция", "--note", "Пульт охраны", "--types", "13,16"});
    ASSERT_EQ(made.status, 0) << made.err;
    QString error;
    const auto t = LoadTemplateFile(QString::fromStdString(dir.File("t.json")), error);
    ASSERT_TRUE(t) << error.toStdString();
    EXPECT_EQ(t->name, "Станция");
    EXPECT_EQ(t->note, "Пульт охраны");
    EXPECT_EQ(t->types, (std::vector<Byte>{13, 16}));
    EXPECT_EQ(made.out, "Шаблон «Станция» сохранен: " + dir.File("t.json") +
                            " (параметров: " + std::to_string(t->settings.size()) + ")\n");

    const SettingsList officeList = FileSettings(office);
    const SettingsList before = FileSettings(site);
    const auto applied = Cli({"apply", dir.File("t.json"), site, "--out", dir.File("after.cf8")});
    ASSERT_EQ(applied.status, 0) << applied.err;
    const SettingsList after = FileSettings(dir.File("after.cf8"));
    const Comparison changes = Compare(before, after);
    EXPECT_TRUE(applied.out.starts_with("Шаблон «Станция»: изменено параметров: " +
                                        std::to_string(changes.diffs.size()) + "\n" + ToText(changes)))
        << applied.out;
    for (const Setting& s : after.items) {
        const bool inTemplate = KeyMatches("gsm.directions.*", s.key) || KeyMatches("gsm.sms.*", s.key) ||
                                s.key == "relays.alarm";
        EXPECT_TRUE(s.SameValue(*(inTemplate ? officeList : before).Find(s.key))) << s.key;
    }
    journal::TJournal journal;
    ASSERT_TRUE(journal.Open()) << journal.Problem().toStdString();
    const auto entries = journal.List().entries;
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().filePath.toStdString(), dir.File("after.cf8"));
    EXPECT_EQ(entries.front().note, QStringLiteral("Шаблон «Станция»"));

    // Not for another type, nor from a file that is not a template.
    const std::string other = Save(test::RandomConfiguration(10, 8), dir.File("other.cf8"));
    const auto refused = Cli({"apply", dir.File("t.json"), other});
    EXPECT_EQ(refused.status, cli::kExitFailed);
    EXPECT_NE(refused.err.find("не для прибора"), std::string::npos) << refused.err;
    EXPECT_EQ(Cli({"apply", office, site}).status, cli::kExitFile);
    EXPECT_EQ(Cli({"template", "make", office, "--keys", "nothing.*", "--out", dir.File("n.json")}).status,
              cli::kExitFailed);
    EXPECT_EQ(Cli({"template", "make", office, "--out", dir.File("n.json")}).status, cli::kExitUsage);
    EXPECT_EQ(Cli({"apply", dir.File("t.json"), site, "--each"}).status, cli::kExitUsage);
}

class CliApplyToPanel : public InEachMode {};
INSTANTIATE_TEST_SUITE_P(Link, CliApplyToPanel, ::testing::ValuesIn(kExchangeModes), ModeParamName);

// Read, the template set, its changes shown, written: the panel then holds what the same
// template makes of the file it was seeded from, and the write's journal entry names it.
TEST_P(CliApplyToPanel, WritesWhatTheTemplateSays) {
    test::TempDir dir;
    const std::string office = Save(test::RandomConfiguration(15, 1), dir.File("office.cf8"));
    const std::string panel = Save(test::RandomConfiguration(15, 2), dir.File("panel.cf8"));
    ASSERT_EQ(Cli({"template", "make", office, "--keys", "gsm.*", "objects.*", "tx.mode", "--out",
                   dir.File("t.json"), "--name", "Ретранслятор"})
                  .status,
              0);
    const auto expected = Cli({"apply", dir.File("t.json"), panel, "--out", dir.File("expected.cf8")});
    ASSERT_EQ(expected.status, 0) << expected.err;

    StartSim({"--config", QString::fromStdString(panel)});
    std::vector<std::string> args{"apply", dir.File("t.json"), "--port", sim->PortPath().toStdString()};
    if (Slow()) {
        args.push_back("--slow");
    }
    const auto applied = Cli(args);
    ASSERT_EQ(applied.status, 0) << applied.out << applied.err;
    const std::vector<std::string> lines = Lines(applied.out);
    EXPECT_EQ(lines.back(), "Конфигурация записана");
    const std::string count = Lines(expected.out).front();
    EXPECT_NE(std::find(lines.begin(), lines.end(), count), lines.end()) << applied.out;

    ASSERT_TRUE(sim->Stop());
    const auto held = sim->Dump();
    ASSERT_TRUE(held);
    EXPECT_EQ(ToText(Compare(FileSettings(dir.File("expected.cf8")), ListSettings(FromPanel(*held)))), "");

    journal::TJournal journal;
    ASSERT_TRUE(journal.Open());
    const auto entries = journal.List().entries;
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries[0].action, journal::TAction::Write);
    EXPECT_EQ(entries[0].note, QStringLiteral("Шаблон «Ретранслятор»"));
    EXPECT_EQ(entries[0].port, sim->PortPath());
    EXPECT_EQ(entries[1].action, journal::TAction::Read);
}

// Three panels in a row on one cable (a link the test points at each simulator in turn): the
// tool waits for Enter before each, reports each on a line, goes on past one the template does
// not fit, and sums up. Its own process, its prompts answered through its stdin.
TEST(CliApplyEach, ThreePanelsInARow) {
    test::EnsureQtApp();
    test::TempDir dir;
    const std::string office = Save(test::RandomConfiguration(16, 1), dir.File("office.cf8"));
    ASSERT_EQ(Cli({"template", "make", office, "--keys", "gsm.directions.*", "gsm.device_number", "--out",
                   dir.File("t.json"), "--name", "Пульт", "--types", "16"})
                  .status,
              0);
    const std::vector<std::string> seeds{Save(test::RandomConfiguration(16, 2), dir.File("p1.cf8")),
                                         Save(test::RandomConfiguration(13, 3), dir.File("p2.cf8")),
                                         Save(test::RandomConfiguration(16, 4), dir.File("p3.cf8"))};
    const std::string cable = dir.File("cable");
    const QString journalPath = QString::fromStdString(dir.File("journal.sqlite"));

    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORVANTA_JOURNAL"), journalPath);
    tool.setProcessEnvironment(env);
    tool.setProgram(QStringLiteral(ORVANTA_CLI_PATH));
    tool.setArguments({QStringLiteral("apply"), QString::fromStdString(dir.File("t.json")),
                       QStringLiteral("--port"), QString::fromStdString(cable), QStringLiteral("--each")});
    tool.start();
    ASSERT_TRUE(tool.waitForStarted());
    QByteArray err;
    const auto waitFor = [&](const QByteArray& text) {
        QDeadlineTimer deadline(30'000);
        while (!err.contains(text) && !deadline.hasExpired() && tool.state() == QProcess::Running) {
            tool.waitForReadyRead(100);
            err += tool.readAllStandardError();
        }
        return err.contains(text);
    };
    std::vector<std::optional<sim::TPanelState>> held;
    std::unique_ptr<test::SimProcess> sim;
    for (std::size_t k = 0; k < seeds.size(); ++k) {
        ASSERT_TRUE(waitFor(QStringLiteral("Подключите прибор %1 ").arg(k + 1).toUtf8()))
            << err.toStdString();
        if (sim) {
            ASSERT_TRUE(sim->Stop());
            held.push_back(sim->Dump());
        }
        sim = std::make_unique<test::SimProcess>(
            QStringList{"--config", QString::fromStdString(seeds[k]), "--no-pace"});
        ASSERT_TRUE(sim->Start()) << sim->Error().toStdString();
        std::filesystem::remove(cable + ".new");
        std::filesystem::create_symlink(sim->PortPath().toStdString(), cable + ".new");
        std::filesystem::rename(cable + ".new", cable);
        tool.write("\n");
    }
    ASSERT_TRUE(waitFor("Подключите прибор 4 ")) << err.toStdString();
    tool.closeWriteChannel();
    ASSERT_TRUE(tool.waitForFinished(30'000));
    ASSERT_TRUE(sim->Stop());
    held.push_back(sim->Dump());
    EXPECT_EQ(tool.exitCode(), cli::kExitFailed);

    const std::vector<std::string> lines = Lines(tool.readAllStandardOutput().toStdString());
    ASSERT_EQ(lines.size(), 4u) << err.toStdString();
    const std::string device16 = "1: " + DeviceName(16) + " (тип 16), версия 1, изменено параметров: ";
    EXPECT_TRUE(lines[0].starts_with(device16)) << lines[0];
    EXPECT_TRUE(lines[0].ends_with(", записан")) << lines[0];
    EXPECT_TRUE(lines[1].starts_with("2: " + DeviceName(13) +
                                     " (тип 13), версия 1, ошибка: Шаблон «Пульт» не для "
                                     "прибора"))
        << lines[1];
    EXPECT_TRUE(lines[2].starts_with("3: " + DeviceName(16) + " (тип 16)")) << lines[2];
    EXPECT_EQ(lines[3], "Итого: приборов 3, записано 2, с ошибкой 1");

    const SettingsList officeList = FileSettings(office);
    for (std::size_t k = 0; k < seeds.size(); ++k) {
        SCOPED_TRACE(k + 1);
        ASSERT_TRUE(held[k]);
        const SettingsList panel = ListSettings(FromPanel(*held[k]));
        const SettingsList seeded = FileSettings(seeds[k]);
        for (const Setting& s : panel.items) {
            const bool inTemplate =
                k != 1 && (KeyMatches("gsm.directions.*", s.key) || s.key == "gsm.device_number");
            EXPECT_TRUE(s.SameValue(*(inTemplate ? officeList : seeded).Find(s.key))) << s.key;
        }
    }
    journal::TJournal journal(journalPath);
    ASSERT_TRUE(journal.Open());
    int reads = 0;
    int writes = 0;
    for (const journal::TEntry& e : journal.List().entries) {
        reads += e.action == journal::TAction::Read;
        if (e.action == journal::TAction::Write) {
            ++writes;
            EXPECT_EQ(e.note, QStringLiteral("Шаблон «Пульт»"));
            EXPECT_EQ(e.port.toStdString(), cable);
        }
    }
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(writes, 2);
}

} // namespace
} // namespace orv::e2e
