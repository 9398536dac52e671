// orvanta-cli as a process against a misbehaving simulated panel: its exit status is the
// transaction's final result code, it never hangs, and a failed read leaves no file behind.
#include "device/catalogue.h"
#include "e2e/e2e_support.h"
#include "files/config_file.h"
#include "gsm/tx_buffers.h"
#include "support/temp_dir.h"

#include <QProcess>

#include <fstream>
#include <sstream>

namespace orv::e2e {
namespace {

struct CliRun {
    bool finished = false;
    int status = -1;
    std::string out, err;
};

CliRun RunCliProcess(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(ORVANTA_CLI_PATH), args);
    CliRun run;
    if (!process.waitForStarted(10'000)) {
        return run;
    }
    // The longest failure here waits out one reply window after a few exchanges.
    run.finished = process.waitForFinished(30'000);
    if (!run.finished) {
        process.kill();
        process.waitForFinished(-1);
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A configuration file of the type, with GSM directions, GPRS and an SMS list when gsm is set.
void WriteConfig(Byte type, bool gsm, const std::string& path) {
    TProgramState state;
    state.device = CreateDevice(type);
    ConnectGsm(*state.device, gsm);
    ResetGsmFrame(state.GsmFrame);
    RefreshGsmModels(state);
    if (gsm) {
        state.Directions.ChooseAttempts(0, 2);
        state.Directions.SetTarget(0, "+79001234567");
        SetSmsListOn(state, true);
        state.Sms.Setup(*state.device);
        state.Sms.ChooseType(0, 1);
        state.Sms.SetPartition(0, "1");
        state.Sms.SetPhone(0, "+79007654321");
        SetGprsOn(state, true);
    }
    ASSERT_TRUE(UpdateAllTXBuffers(state, nullptr).ok());
    ASSERT_TRUE(WriteConfigFile(state, path).ok);
}

struct CliFaultCase {
    const char* name;
    bool read;
    Byte type;
    bool gsm;
    QStringList simArgs;
    int status;
};

void PrintTo(const CliFaultCase& c, std::ostream* os) {
    *os << c.name;
}

QString GsmConfigHex(Byte type) {
    auto device = CreateDevice(type);
    ConnectGsm(*device, true);
    return Hex(device->PayloadBytes());
}

const Bytes kGsmData{0x00, 0x01, 0x01, 0x00, 0, 0, 0, 0, 0};
const Bytes kGprsData{0x06, 'a', 0, 'b', 0, 'c', 0, 0x00};

const CliFaultCase kCases[] = {
    {"ReadGarbage", true, 1, false, {"--fault", "garbage:7"}, 9},
    {"ReadLengthByte0", true, 5, false, {"--fault", "length-byte:0"}, 9},
    {"ReadTooLate", true, 1, false, {"--fault", "delay:3000"}, 9},
    {"ReadPanelGone", true, 1, false, {"--fault", "vanish:5"}, 9},
    {"ReadUnknownType", true, 1, false, {"--fault", "unknown-type:0"}, 11},
    {"ReadUnsupportedType", true, 1, false, {"--fault", "unsupported-type:14"}, 12},
    {"ReadGprsPanelGone",
     true,
     16,
     true,
     {"--config-hex", GsmConfigHex(16), "--gsm", Hex(kGsmData), "--gprs", Hex(kGprsData), "--fault",
      "vanish:6@3"},
     13},
    {"ReadObjectsLengthByte255", true, 15, false, {"--fault", "length-byte:255@5"}, 14},
    {"WriteEchoLengthByte0", false, 4, false, {"--fault", "length-byte:0"}, 9},
    {"WriteEchoChanged", false, 10, false, {"--fault", "wrong-echo"}, 10},
    {"WriteGsmEchoLonger", false, 11, true, {"--fault", "overlong:1@2"}, 13},
    {"WriteObjectsPanelGone", false, 15, false, {"--fault", "vanish:20@5"}, 14},
};

class CliFault : public ::testing::TestWithParam<std::tuple<ExchangeMode, CliFaultCase>> {};

TEST_P(CliFault, ExitsWithTheFinalCode) {
    const auto& [mode, c] = GetParam();
    const QStringList slow = mode == ExchangeMode::Slow ? QStringList{"--slow"} : QStringList{};
    test::EnsureQtApp();
    test::TempDir dir;
    test::SimProcess sim(QStringList{"--type", QString::number(c.type), "--no-pace"} << c.simArgs);
    ASSERT_TRUE(sim.Start()) << sim.Error().toStdString();

    const std::string file = dir.File("panel.cf8");
    CliRun run;
    if (c.read) {
        // A file of that name already there must survive a failed read untouched.
        const std::string old = "<config FileID=\"8\"><device ID=\"2\"/></config>\r\n";
        std::ofstream(file, std::ios::binary) << old;
        run = RunCliProcess(
            QStringList{"read", "--port", sim.PortPath(), "--out", QString::fromStdString(file)} + slow);
        EXPECT_EQ(Slurp(file), old);
        EXPECT_EQ(dir.Entries(), std::vector<std::string>{"panel.cf8"});
    } else {
        WriteConfig(c.type, c.gsm, file);
        run = RunCliProcess(QStringList{"write", "--port", sim.PortPath(), QString::fromStdString(file)} +
                            slow);
    }
    ASSERT_TRUE(run.finished) << "orvanta-cli did not end";
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    // The last line is the final code's status text.
    const std::string text = ResultStatusText(c.status);
    ASSERT_GE(run.out.size(), text.size() + 1) << run.out;
    EXPECT_EQ(run.out.substr(run.out.size() - text.size() - 1), text + "\n");
}

INSTANTIATE_TEST_SUITE_P(Faults, CliFault,
                         ::testing::Combine(::testing::ValuesIn(kExchangeModes), ::testing::ValuesIn(kCases)),
                         [](const auto& info) {
                             return ModeName(std::get<0>(info.param)) + "_" + std::get<1>(info.param).name;
                         });

} // namespace
} // namespace orv::e2e
