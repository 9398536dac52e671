// The command-line tool's file commands, and a panel copied to another through a file.
#include "cli/cli.h"
#include "e2e_support.h"
#include "files/config_file.h"
#include "gsm/tx_buffers.h"
#include "support/temp_dir.h"

#include <fstream>
#include <sstream>

namespace orv::e2e {
namespace {

struct CliRun {
    int status;
    std::string out, err;
};

CliRun Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = cli::RunCli(args, out, err);
    return {status, out.str(), err.str()};
}

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

} // namespace
} // namespace orv::e2e
