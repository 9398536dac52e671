// The pause the program leaves the panel after each reply, a panel that needs it, and a line
// set up at a rate the panel does not use; measured on the simulator's log.
#include "e2e_support.h"

namespace orv::e2e {
namespace {

// Device number 1, the GPRS and SMS flags as given, no directions.
Bytes GsmData(bool gprs, bool sms) {
    return {0x00, 0x01, static_cast<Byte>(gprs), static_cast<Byte>(sms), 0, 0, 0, 0, 0};
}

QStringList GsmPanel(bool gprs, bool sms) {
    auto config = CreateDevice(16);
    ConnectGsm(*config, true);
    return {"--type", "16", "--config-hex", Hex(config->PayloadBytes()), "--gsm", Hex(GsmData(gprs, sms))};
}

// The frames as read, made into the frames a write sends back.
void WriteBackWhatWasRead(TProgramState& state) {
    for (FrameBuffer* f : {&state.GsmFrame, &state.GprsFrame, &state.SmsFrame}) {
        if ((*f)[0] == frame::kStart && (*f)[1] >= 5) {
            (*f)[2] = frame::kCmdWrite;
            frame::SealFrame(f->data(), (*f)[1]);
        }
    }
}

class FramePause : public InEachMode {};
INSTANTIATE_TEST_SUITE_P(Link, FramePause, ::testing::ValuesIn(kExchangeModes), ModeParamName);

// A read and a write straight after it: every request but the very first comes at least the
// pause after the panel's last byte, the write's first one too.
TEST_P(FramePause, EveryRequestWaitsThePauseAfterTheLastReply) {
    StartSim(GsmPanel(true, true));
    ASSERT_EQ(Run(TThreadBuff::modeRead).results.back().code, rcReadDone);
    WriteBackWhatWasRead(state);
    ASSERT_EQ(Run(TThreadBuff::modeWrite).results.back().code, rcWriteDone);

    const auto arrivals = sim->LoggedArrivals();
    ASSERT_EQ(arrivals.size(), 8u);
    EXPECT_FALSE(arrivals[0].quietMs);
    const double pause = static_cast<double>(data->FramePause.count());
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        ASSERT_TRUE(arrivals[i].quietMs) << i;
        EXPECT_GE(*arrivals[i].quietMs, pause) << "request " << i;
        EXPECT_GT(arrivals[i].atMs, arrivals[i - 1].atMs + pause) << "request " << i;
    }
}

// A panel deaf for a while after each reply loses a request that comes sooner. Fast mode only:
// the compatible mode takes a reply up to 500 ms late, which lengthens every pause.
struct DeafCase {
    const char* name;
    int deafMs;
    int pauseMs;
    QStringList panel;
    std::vector<int> read;  // the codes of a read
    std::vector<int> write; // and of a write at once after it
};

void PrintTo(const DeafCase& c, std::ostream* os) {
    *os << c.name;
}

const DeafCase kDeafCases[] = {
    {"Deaf40", 40, 50, GsmPanel(false, false), {2, 3, 3, 4, 3, 0}, {2, 3, 3, 5, 3, 1}},
    // The GSM request is lost, then the GSM frame written after the configuration.
    {"Deaf80", 80, 50, GsmPanel(false, false), {2, 3, 3, 4, 13}, {2, 3, 3, 5, 13}},
    // The configuration write follows the read's only reply too soon.
    {"Deaf80WriteAfterRead", 80, 50, {"--type", "1"}, {2, 3, 3, 0}, {2, 9}},
    {"Deaf80LongerPause", 80, 100, GsmPanel(false, false), {2, 3, 3, 4, 3, 0}, {2, 3, 3, 5, 3, 1}},
};

class DeafPanel : public E2eTest, public ::testing::WithParamInterface<DeafCase> {};

TEST_P(DeafPanel, NeedsThePause) {
    const DeafCase& c = GetParam();
    data->FramePause = std::chrono::milliseconds(c.pauseMs);
    // What a write sends when the read does not get as far as the GSM settings.
    state.GsmFrame = MakeFrame(frame::kCmdWrite, 2, GsmData(false, false));
    StartSim(QStringList(c.panel) << "--deaf-after-reply" << QString::number(c.deafMs));
    EXPECT_EQ(Codes(Run(TThreadBuff::modeRead).results), c.read);
    WriteBackWhatWasRead(state);
    EXPECT_EQ(Codes(Run(TThreadBuff::modeWrite).results), c.write);
    const bool lost = c.read.back() != rcReadDone || c.write.back() != rcWriteDone;
    const QStringList ignored = sim->IgnoredLines();
    EXPECT_EQ(ignored.isEmpty(), !lost) << ignored.join('\n').toStdString();
    for (const QString& line : ignored) {
        EXPECT_TRUE(line.contains(QStringLiteral(": deaf for %1 ms after a reply").arg(c.deafMs)))
            << line.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Link, DeafPanel, ::testing::ValuesIn(kDeafCases),
                         [](const auto& info) { return info.param.name; });

class WrongLine : public E2eTest {};

// The protocol port set to another rate than the panel's: the panel hears nothing, says why.
TEST_F(WrongLine, PortAtTheWrongRateGetsNoAnswer) {
    StartSim({"--type", "1"});
    data->cmprtdrvr1.SetBaudRate(br19200);
    EXPECT_EQ(Codes(Run(TThreadBuff::modeRead).results), (std::vector<int>{2, 9}));
    const QStringList ignored = sim->IgnoredLines();
    ASSERT_EQ(ignored.size(), 1);
    EXPECT_EQ(ignored[0],
              "ignored " + Hex(ReadRequest(1)) + ": line set to 19200 8N1, this end runs at 9600 8N1");
}

} // namespace
} // namespace orv::e2e
