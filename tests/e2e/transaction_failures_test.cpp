// Every way a transaction can fail, with the codes it reports and the state it leaves.
#include "device/retranslator.h"
#include "e2e_support.h"

namespace orv::e2e {
namespace {

enum class DeviceAfter { Unchanged, NewOfSimType };

struct FailureCase {
    const char* name;
    Byte mode;
    Byte type;           // the simulated panel's type (and the written device's)
    bool gsm;            // the configuration has a GSM communicator
    QStringList simArgs; // faults and seeds
    std::vector<TResult> expected;
    DeviceAfter deviceAfter;
    double minSeconds = 0; // the protocol's time-outs that must have run out
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

// Device number 1, the GPRS and SMS flags as given, no directions.
Bytes GsmData(bool gprs, bool sms) {
    return {0x00, 0x01, static_cast<Byte>(gprs), static_cast<Byte>(sms), 0, 0, 0, 0, 0};
}

constexpr Byte R = TThreadBuff::modeRead;
constexpr Byte W = TThreadBuff::modeWrite;
using U = DeviceAfter;

const FailureCase kCases[] = {
    {"SilentPanel", R, 1, false, {"--fault", "silent"}, {{2, 0}, {9, 0}}, U::Unchanged, 2.4},
    {"FirstByteOnly", R, 1, false, {"--fault", "partial:1"}, {{2, 0}, {3, 0}, {9, 0}}, U::Unchanged, 3.9},
    {"PartialReply", R, 1, false, {"--fault", "partial:20"}, {{2, 0}, {3, 0}, {9, 0}}, U::Unchanged, 1.5},
    {"BadChecksum", R, 1, false, {"--fault", "bad-crc"}, {{2, 0}, {3, 0}, {9, 0}}, U::Unchanged},
    {"TypeByteZero",
     R,
     1,
     false,
     {"--fault", "unknown-type:0"},
     {{2, 0}, {3, 0}, {3, 0}, {11, 0}},
     U::Unchanged},
    {"TypeByte19",
     R,
     1,
     false,
     {"--fault", "unknown-type:19"},
     {{2, 0}, {3, 0}, {3, 0}, {11, 0}},
     U::Unchanged},
    {"UnsupportedType14",
     R,
     1,
     false,
     {"--fault", "unsupported-type:14"},
     {{2, 0}, {3, 0}, {3, 0}, {12, 14}},
     U::Unchanged},
    {"UnsupportedType129",
     R,
     1,
     false,
     {"--fault", "unsupported-type:129"},
     {{2, 0}, {3, 0}, {3, 0}, {12, 129}},
     U::Unchanged},
    {"PanelOfType14", R, 14, false, {}, {{2, 0}, {3, 0}, {3, 0}, {12, 14}}, U::Unchanged},
    {"GsmDirectionsUnanswered",
     R,
     16,
     true,
     {"--fault", "no-answer:2"},
     {{2, 0}, {3, 0}, {3, 0}, {4, 0}, {13, 0}},
     U::NewOfSimType},
    {"GprsUnanswered",
     R,
     16,
     true,
     {"--gsm", Hex(GsmData(true, false)), "--fault", "no-answer:3"},
     {{2, 0}, {3, 0}, {3, 0}, {4, 0}, {3, 0}, {13, 0}},
     U::NewOfSimType},
    {"SmsListUnanswered",
     R,
     7,
     true,
     {"--gsm", Hex(GsmData(false, true)), "--fault", "no-answer:4"},
     {{2, 0}, {3, 0}, {3, 0}, {4, 0}, {3, 0}, {13, 0}},
     U::NewOfSimType},
    {"SmsPageUnanswered",
     R,
     15,
     true,
     {"--gsm", Hex(GsmData(false, true)), "--fault", "no-answer:6"},
     {{2, 0}, {3, 0}, {3, 0}, {6, 0}, {3, 0}, {4, 0}, {3, 0}, {13, 0}},
     U::NewOfSimType},
    {"ObjectTableUnanswered",
     R,
     15,
     false,
     {"--fault", "no-objects"},
     {{2, 0}, {3, 0}, {3, 0}, {6, 0}, {6, 0}, {14, 0}},
     U::NewOfSimType},
    {"WriteUnanswered", W, 4, false, {"--fault", "silent"}, {{2, 0}, {9, 0}}, U::Unchanged, 2.4},
    {"WrongEcho", W, 10, false, {"--fault", "wrong-echo"}, {{2, 0}, {3, 0}, {3, 0}, {10, 0}}, U::Unchanged},
    {"ObjectTableWriteUnanswered",
     W,
     15,
     false,
     {"--fault", "no-objects"},
     {{2, 0}, {3, 0}, {3, 0}, {7, 0}, {14, 0}},
     U::Unchanged},
    {"GsmWriteUnanswered",
     W,
     11,
     true,
     {"--fault", "no-answer:2"},
     {{2, 0}, {3, 0}, {3, 0}, {5, 0}, {13, 0}},
     U::Unchanged},
    {"SmsPageWriteUnanswered",
     W,
     15,
     true,
     {"--fault", "no-answer:6"},
     {{2, 0}, {3, 0}, {3, 0}, {7, 0}, {3, 0}, {5, 0}, {3, 0}, {13, 0}},
     U::Unchanged},
};

class Failure : public CasesInEachMode<FailureCase> {};

TEST_P(Failure, ReportsItsCodesInOrder) {
    const FailureCase& c = Param();
    QStringList args{"--type", QString::number(c.type)};
    args << c.simArgs;
    std::shared_ptr<TDevice> before;
    if (c.mode == W) {
        before = CreateDevice(c.type);
        ConnectGsm(*before, c.gsm);
        // Written with the SMS flag on, so that a retranslator also sends its pages.
        state.GsmFrame = MakeFrame(frame::kCmdWrite, 2, GsmData(false, true));
    } else {
        before = std::make_shared<TDV2_I8>();
        if (c.gsm) {
            auto config = CreateDevice(c.type);
            ConnectGsm(*config, true);
            args << "--config-hex" << Hex(config->PayloadBytes());
        }
    }
    state.device = before;
    StartSim(args);

    const auto run = Run(c.mode);
    EXPECT_EQ(run.results, c.expected);
    EXPECT_GE(run.elapsed.count(), static_cast<long>(c.minSeconds * 1000));
    ASSERT_TRUE(state.device);
    if (c.deviceAfter == DeviceAfter::Unchanged) {
        EXPECT_EQ(state.device, before);
    } else {
        EXPECT_NE(state.device, before);
        EXPECT_EQ(state.device->DevType, c.type);
    }
    EXPECT_FALSE(data->cmprtdrvr1.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Link, Failure, Failure::Each(kCases),
                         Failure::Named([](const FailureCase& c) { return c.name; }));

class PortFailure : public InEachMode {};
INSTANTIATE_TEST_SUITE_P(Link, PortFailure, ::testing::ValuesIn(kExchangeModes), ModeParamName);

TEST_P(PortFailure, MissingPortReportsPortErrorAndSendsNothing) {
    data->cmprtdrvr1.SetPortName(QStringLiteral("/dev/orvanta-no-such-port"));
    const auto before = std::make_shared<TDV1_I8>();
    state.device = before;
    for (const Byte mode : {R, W}) {
        const auto run = Run(mode);
        EXPECT_EQ(run.results, (std::vector<TResult>{{rcPortError, 0}}));
        EXPECT_EQ(state.device, before);
        EXPECT_FALSE(data->cmprtdrvr1.LastError().isEmpty());
    }
}

// A write whose GSM frame holds no frame must not send stale or out-of-range bytes.
TEST_P(PortFailure, UnbuiltGsmFrameIsNotSent) {
    auto device = CreateDevice(6);
    ConnectGsm(*device, true);
    state.device = std::move(device);
    state.GsmFrame.fill(0xFF); // start byte wrong, length byte 255
    StartSim({"--type", "6"});
    const auto run = Run(W);
    EXPECT_EQ(Codes(run.results), (std::vector<int>{2, 3, 3, 5, 13}));
    EXPECT_EQ(sim->LoggedFrames().size(), 1u);
}

// The panel's end of the line goes away while the worker waits: the wait runs out as for a
// silent panel, and the port closes normally.
TEST_P(PortFailure, LineGoneMidTransaction) {
    StartSim({"--type", "1", "--fault", "silent"});
    std::vector<TResult> results;
    results = RunTransaction(*data, state, R, [&](const TResult& r) {
        if (r.code == rcPortOpen) {
            sim->Stop();
        }
    });
    EXPECT_EQ(results, (std::vector<TResult>{{rcPortOpen, 0}, {rcNoLink, 0}}));
    EXPECT_FALSE(data->cmprtdrvr1.IsOpen());
}

TEST_P(PortFailure, WriteWithoutDeviceSendsNothing) {
    StartSim({"--type", "1"});
    const auto run = Run(W);
    EXPECT_EQ(run.results, (std::vector<TResult>{{rcPortOpen, 0}, {rcNoLink, 0}}));
    EXPECT_TRUE(sim->LoggedFrames().empty());
}

} // namespace
} // namespace orv::e2e
