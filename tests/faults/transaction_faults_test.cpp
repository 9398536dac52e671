// A misbehaving line under the protocol worker: every fault mode of the simulated panel at every
// step of a read and a write, with the result codes the worker reports and the state it leaves.
#include "device/retranslator.h"
#include "e2e/e2e_support.h"
#include "sim/panel.h"

#include <QCoreApplication>

namespace orv::e2e {
namespace {

constexpr Byte R = TThreadBuff::modeRead;
constexpr Byte W = TThreadBuff::modeWrite;

// Device number 7, GPRS and SMS flags set, one telephone direction and four disabled ones.
const Bytes kGsmData{0x00, 0x07, 0x01, 0x01, 0x0D, 0x20, '+', '7', '9', '0', '0',
                     '1',  '2',  '3',  '4',  '5',  '6',  '7', 0,   0,   0,   0};
// SIM 1 with APN, user and password; SIM 2 without.
const Bytes kGprsData{0x0D, 'i', 'n', 't', 'e', 'r', 'n', 'e', 't', 0, 'u', 0, 'p', 0, 0x00};
// One SMS record and the end mark.
const Bytes kSmsData{0x01, 0x02, 0x97, 0x30, 0x21, 0x43, 0x65, 0xF7, 0xFF, 0xFF, 0x00};

// What the simulated panel holds: the type's factory configuration, with GSM when asked for.
sim::TPanelState PanelOf(Byte type, bool gsm) {
    sim::TPanelState panel = sim::DefaultPanelState(type, 3);
    if (gsm) {
        auto device = CreateDevice(type);
        ConnectGsm(*device, true);
        const auto payload = device->PayloadBytes();
        panel.config.assign(payload.begin(), payload.end());
        panel.gsm = kGsmData;
        panel.gprs = kGprsData;
        panel.sms = type == 15 ? Bytes{} : kSmsData;
        if (type == 15) {
            sim::FillSmsRecords(panel, 13);
        }
    }
    if (type == 15) {
        sim::FillObjects(panel, 5);
    }
    return panel;
}

QStringList SimArgs(const sim::TPanelState& panel) {
    QStringList args{"--type",       QString::number(panel.type),
                     "--version",    QString::number(panel.version),
                     "--config-hex", Hex(panel.config)};
    if (!panel.gsm.empty()) {
        args << "--gsm" << Hex(panel.gsm);
    }
    if (!panel.gprs.empty()) {
        args << "--gprs" << Hex(panel.gprs);
    }
    if (!panel.sms.empty()) {
        args << "--sms" << Hex(panel.sms);
    }
    if (panel.type == 15) {
        args << "--objects" << Hex(panel.objects);
        if (panel.smsRecords[0][0] != 0) {
            Bytes records;
            for (const auto& r : panel.smsRecords) {
                records.insert(records.end(), r.begin(), r.end());
            }
            args << "--sms-records-hex" << Hex(records);
        }
    }
    return args;
}

// The reply the panel sends to a read request, as the worker would keep it.
Bytes PanelReply(const sim::TPanelState& panel, Byte sub) {
    sim::TPanelModel model(panel);
    return model.Handle(ReadRequest(sub)).reply;
}

// Where each of the program's things stands after the transaction.
enum class Device { Kept, New };
enum class Frame { Kept, FromPanel };

struct FaultCase {
    const char* name;
    Byte mode;
    Byte type;
    bool gsm;
    QStringList faults;
    std::vector<int> codes;
    Device device;
    Frame gsmFrame = Frame::Kept;
    Frame gprsFrame = Frame::Kept;
    Frame smsFrame = Frame::Kept;
    bool objectsLoaded = false; // a retranslator's object table came from the panel
    bool paced = false;         // the panel's bytes at the line's pace, not all at once
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

using D = Device;
using F = Frame;

QStringList Fault(const char* text) {
    return {"--fault", QString::fromLatin1(text)};
}

// Identification and configuration: a read of a panel without GSM, a write of one.
const std::vector<int> kReadOk{2, 3, 3, 0};
const std::vector<int> kNoLink{2, 3, 9};
const std::vector<int> kNothing{2, 9};
// A read of a type-16 panel with GSM, GPRS and an SMS list.
const std::vector<int> kGsmReadOk{2, 3, 3, 4, 3, 3, 3, 0};

const FaultCase kCases[] = {
    // The identification reply.
    {"SilentMidReply", R, 1, false, Fault("partial:20"), kNoLink, D::Kept},
    {"GarbageBeforeReply", R, 1, false, Fault("garbage:7"), kNoLink, D::Kept},
    {"ReplyLongerThanItsLength", R, 1, false, Fault("overlong:4"), kNoLink, D::Kept},
    {"LengthByte0", R, 1, false, Fault("length-byte:0"), kNoLink, D::Kept},
    {"LengthByte1", R, 1, false, Fault("length-byte:1"), kNoLink, D::Kept},
    {"LengthByte2", R, 1, false, Fault("length-byte:2"), kNoLink, D::Kept},
    {"LengthByte255", R, 1, false, Fault("length-byte:255"), kNoLink, D::Kept},
    // The first bytes must come within 2.5 s.
    {"FirstByteJustInTime", R, 1, false, Fault("delay:1600"), kReadOk, D::New},
    {"FirstByteTooLate", R, 1, false, Fault("delay:3000"), kNothing, D::Kept},
    // The rest within 1.5 s more.
    {"RestJustInTime", R, 1, false, Fault("gap:900"), kReadOk, D::New},
    {"RestTooLate", R, 1, false, Fault("gap:2600"), kNoLink, D::Kept},
    {"BytesOneAtATimeInTime", R, 6, false, Fault("drip:50"), kReadOk, D::New},
    {"BytesOneAtATimeTooSlow", R, 6, false, Fault("drip:150"), kNoLink, D::Kept},
    {"PanelGoneMidReply", R, 1, false, Fault("vanish:10"), kNoLink, D::Kept},
    {"PanelGoneBeforeReply", R, 1, false, Fault("vanish:0"), kNothing, D::Kept},
    // Bytes after the checksum at the line's pace, so that the reply is complete before they come.
    {.name = "PacedReplyLongerThanItsLength",
     .mode = R,
     .type = 1,
     .gsm = false,
     .faults = Fault("overlong:4"),
     .codes = kNoLink,
     .device = D::Kept,
     .paced = true},

    // The GSM steps of a read: the new device object stays, the frames read so far are the panel's.
    {"GsmWholeRead", R, 16, true, {}, kGsmReadOk, D::New, F::FromPanel, F::FromPanel, F::FromPanel},
    {"GsmGarbage", R, 16, true, Fault("garbage:3@2"), {2, 3, 3, 4, 3, 13}, D::New},
    {"GsmReplyJustInTime", R, 16, true, Fault("delay:1600@2"), kGsmReadOk, D::New, F::FromPanel, F::FromPanel,
     F::FromPanel},
    {"GsmBytesTooSlow", R, 16, true, Fault("drip:150@2"), {2, 3, 3, 4, 3, 13}, D::New},
    {"GprsLengthByte0", R, 16, true, Fault("length-byte:0@3"), {2, 3, 3, 4, 3, 3, 13}, D::New, F::FromPanel},
    {"GprsPanelGone", R, 16, true, Fault("vanish:6@3"), {2, 3, 3, 4, 3, 3, 13}, D::New, F::FromPanel},
    {"SmsListLonger",
     R,
     16,
     true,
     Fault("overlong:2@4"),
     {2, 3, 3, 4, 3, 3, 3, 13},
     D::New,
     F::FromPanel,
     F::FromPanel},
    {.name = "PacedGprsLonger",
     .mode = R,
     .type = 16,
     .gsm = true,
     .faults = Fault("overlong:1@3"),
     .codes = {2, 3, 3, 4, 3, 3, 13},
     .device = D::New,
     .gsmFrame = F::FromPanel,
     .paced = true},
    {"SmsListLengthByte255",
     R,
     16,
     true,
     Fault("length-byte:255@4"),
     {2, 3, 3, 4, 3, 3, 3, 13},
     D::New,
     F::FromPanel,
     F::FromPanel},

    // The retranslator's object table and SMS pages.
    {"ObjectsLengthByte255", R, 15, false, Fault("length-byte:255@5"), {2, 3, 3, 6, 3, 6, 14}, D::New},
    {"ObjectsPanelGone", R, 15, false, Fault("vanish:50@5"), {2, 3, 3, 6, 3, 6, 14}, D::New},
    {"ObjectsRestTooLate", R, 15, false, Fault("gap:2600@5"), {2, 3, 3, 6, 3, 6, 14}, D::New},
    {"SmsPageGarbage",
     R,
     15,
     true,
     Fault("garbage:2@6"),
     {2, 3, 3, 6, 3, 4, 3, 3, 3, 13},
     D::New,
     F::FromPanel,
     F::FromPanel,
     F::Kept,
     true},

    // The echo of the configuration write.
    {"WriteEchoGarbage", W, 4, false, Fault("garbage:4"), kNoLink, D::Kept},
    {"WriteEchoLengthByte2", W, 4, false, Fault("length-byte:2"), kNoLink, D::Kept},
    {"WriteEchoLonger", W, 4, false, Fault("overlong:1"), kNoLink, D::Kept},
    {"WriteEchoTooLate", W, 4, false, Fault("delay:3000"), kNothing, D::Kept},
    {.name = "PacedWriteEchoLonger",
     .mode = W,
     .type = 4,
     .gsm = false,
     .faults = Fault("overlong:1"),
     .codes = kNoLink,
     .device = D::Kept,
     .paced = true},
    {"WritePanelGone", W, 4, false, Fault("vanish:3"), kNoLink, D::Kept},
    // The GSM frames written after it.
    {"WriteGsmEchoLonger", W, 11, true, Fault("overlong:1@2"), {2, 3, 3, 5, 3, 13}, D::Kept},
    {"WriteGprsEchoLengthByte1", W, 11, true, Fault("length-byte:1@3"), {2, 3, 3, 5, 3, 3, 13}, D::Kept},
    {"WriteSmsPanelGone", W, 11, true, Fault("vanish:0@4"), {2, 3, 3, 5, 3, 3, 13}, D::Kept},
    {"WriteObjectsTooSlow", W, 15, false, Fault("drip:150@5"), {2, 3, 3, 7, 3, 14}, D::Kept},
};

class LineFault : public CasesInEachMode<FaultCase> {
protected:
    // Something recognisable in every place a transaction may change.
    void Prepare(const FaultCase& c) {
        if (c.mode == W) {
            before = CreateDevice(c.type);
            ConnectGsm(*before, c.gsm);
            state.GsmFrame = MakeFrame(frame::kCmdWrite, 2, kGsmData);
            state.GprsFrame = MakeFrame(frame::kCmdWrite, 3, kGprsData);
            state.SmsFrame = MakeFrame(frame::kCmdWrite, 4, kSmsData);
        } else {
            before = std::make_shared<TDV2_I8>();
            before->SetZoneType(3, 4);
            state.GsmFrame = MakeFrame(frame::kCmdWrite, 2, {0x2A, 0x2A, 0, 0, 0, 0, 0, 0, 0});
            state.GprsFrame = MakeFrame(frame::kCmdWrite, 3, {0, 0});
            state.SmsFrame = MakeFrame(frame::kCmdWrite, 4, {0});
        }
        before->BuildWriteFrame();
        state.device = before;
        beforeBuf = before->Buf;
        beforeFrames = {state.GsmFrame, state.GprsFrame, state.SmsFrame};
    }

    std::shared_ptr<TDevice> before;
    std::array<Byte, TDevice::kBufSize> beforeBuf{};
    std::array<FrameBuffer, 3> beforeFrames{};
};

TEST_P(LineFault, ReportsTheRightCodeAndKeepsWhatItShould) {
    const FaultCase& c = Param();
    const sim::TPanelState panel = PanelOf(c.type, c.gsm);
    Prepare(c);
    StartSim(SimArgs(panel) << c.faults, c.paced);

    const auto run = Run(c.mode);
    EXPECT_EQ(Codes(run.results), c.codes) << data->cmprtdrvr1.LastError().toStdString();
    // Never longer than the protocol's waits allow for the exchanges made, whatever the line does.
    EXPECT_LT(run.elapsed.count(),
              4'500 * static_cast<long>(std::count(c.codes.begin(), c.codes.end(), 3) + 1));
    EXPECT_FALSE(data->cmprtdrvr1.IsOpen());

    ASSERT_TRUE(state.device);
    if (c.device == Device::Kept) {
        EXPECT_EQ(state.device, before);
        EXPECT_EQ(state.device->Buf, beforeBuf);
    } else {
        EXPECT_NE(state.device, before);
        EXPECT_EQ(state.device->DevType, c.type);
        EXPECT_EQ(state.device->GetVersion(), panel.version);
        const auto payload = state.device->PayloadBytes();
        EXPECT_EQ(Bytes(payload.begin(), payload.end()), panel.config);
    }
    if (auto* ret = dynamic_cast<TDV15_Ret*>(state.device.get()); ret && c.mode == R) {
        EXPECT_EQ(ret->ObjectCount(), c.objectsLoaded ? 5 : 0);
    }

    const std::array<std::pair<Frame, Byte>, 3> frames{
        {{c.gsmFrame, frame::subGsm}, {c.gprsFrame, frame::subGprs}, {c.smsFrame, frame::subSms}}};
    const std::array<const FrameBuffer*, 3> now{&state.GsmFrame, &state.GprsFrame, &state.SmsFrame};
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].first == Frame::Kept) {
            EXPECT_EQ(*now[i], beforeFrames[i]) << "frame of sub-command " << int(frames[i].second);
        } else {
            const Bytes reply = PanelReply(panel, frames[i].second);
            EXPECT_EQ(Bytes(now[i]->begin(), now[i]->begin() + static_cast<long>(reply.size())), reply)
                << "frame of sub-command " << int(frames[i].second);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, LineFault, LineFault::Each(kCases),
                         LineFault::Named([](const FaultCase& c) { return c.name; }));

// A line that never goes quiet (a device chattering on the port). Its bytes are no reply to the
// first transaction; the next one finds the line busy from its start, sends nothing and ends as
// unanswered once the first-byte wait is over, instead of waiting for quiet for ever.
class ChatteringLine : public InEachMode {};
INSTANTIATE_TEST_SUITE_P(Faults, ChatteringLine, ::testing::ValuesIn(kExchangeModes), ModeParamName);

TEST_P(ChatteringLine, NoRequestAndNoEndlessWait) {
    StartSim(SimArgs(PanelOf(1, false)) << Fault("chatter:5"));
    EXPECT_EQ(Codes(Run(R).results).back(), rcNoLink);
    const std::size_t requests = sim->LoggedArrivals().size();
    const auto second = Run(R);
    EXPECT_EQ(Codes(second.results), kNothing);
    EXPECT_GE(second.elapsed.count(), TThreadBuff::kFirstByteWait.count());
    EXPECT_LT(second.elapsed.count(), 4'500);
    EXPECT_EQ(sim->LoggedArrivals().size(), requests);
    EXPECT_FALSE(data->cmprtdrvr1.IsOpen());
}

class LineGone : public InEachMode {};
INSTANTIATE_TEST_SUITE_P(Faults, LineGone, ::testing::ValuesIn(kExchangeModes), ModeParamName);

// The panel leaving the line ends the simulator by itself; the worker has closed its port.
TEST_P(LineGone, PanelThatLeavesTheLineIsGone) {
    StartSim(SimArgs(PanelOf(1, false)) << Fault("vanish:10"));
    EXPECT_EQ(Codes(Run(R).results), kNoLink);
    EXPECT_FALSE(data->cmprtdrvr1.IsOpen());
    QElapsedTimer clock;
    clock.start();
    while (sim->Running() && clock.elapsed() < 5'000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_FALSE(sim->Running());
}

} // namespace
} // namespace orv::e2e
