// GSM settings and the retranslator's object table and SMS pages, read and written.
#include "device/retranslator.h"
#include "e2e_support.h"

namespace orv::e2e {
namespace {

// Device number 1234, GPRS and SMS flags set, one telephone direction and four disabled ones.
const Bytes kGsmData{0x04, 0xD2, 0x01, 0x01, 0x0C, 0x29, '8',  '9',  '0',  '3', '1',
                     '2',  '3',  '4',  '5',  '6',  '7',  0x00, 0x00, 0x00, 0x00};
// SIM 1: APN, user and password; SIM 2: none.
const Bytes kGprsData{0x18, 'i', 'n', 't', 'e', 'r', 'n', 'e', 't', '.', 'm', 't', 's',
                      '.',  'r', 'u', 0,   'd', 'z', 'u', 0,   'd', 'z', 'u', 0,   0x00};

// A full list of eight numbers, so it has no end mark.
Bytes SmsListData() {
    Bytes data;
    for (Byte k = 1; k <= 8; ++k) {
        const Bytes record{static_cast<Byte>(1 + k % 2), k,    0x97, 0x30, 0x21, 0x43, 0x65,
                           static_cast<Byte>(0xF0 | k),  0xFF, 0xFF};
        data.insert(data.end(), record.begin(), record.end());
    }
    return data;
}

std::shared_ptr<TDevice> GsmDevice(Byte type) {
    std::shared_ptr<TDevice> device = CreateDevice(type);
    ConnectGsm(*device, true);
    return device;
}

QString GsmConfigHex(Byte type) {
    const auto device = GsmDevice(type);
    return Hex(device->PayloadBytes());
}

class GsmTransfer : public InEachMode {};
INSTANTIATE_TEST_SUITE_P(Link, GsmTransfer, ::testing::ValuesIn(kExchangeModes), ModeParamName);

TEST_P(GsmTransfer, ReadsDirectionsGprsAndSmsList) {
    StartSim({"--type", "16", "--config-hex", GsmConfigHex(16), "--gsm", Hex(kGsmData), "--gprs",
              Hex(kGprsData), "--sms", Hex(SmsListData())});
    const auto run = Run(TThreadBuff::modeRead);
    EXPECT_EQ(Codes(run.results), (std::vector<int>{2, 3, 3, 4, 3, 3, 3, 0}));
    EXPECT_EQ(sim->LoggedFrames(),
              (std::vector<Bytes>{ReadRequest(1), ReadRequest(2), ReadRequest(3), ReadRequest(4)}));
    ExpectStepsCount(run, 4, false);
    EXPECT_EQ(FrameBytes(state.GsmFrame), FrameBytes(MakeFrame(frame::kCmdReply, 2, kGsmData)));
    EXPECT_EQ(FrameBytes(state.GprsFrame), FrameBytes(MakeFrame(frame::kCmdReply, 3, kGprsData)));
    EXPECT_EQ(FrameBytes(state.SmsFrame), FrameBytes(MakeFrame(frame::kCmdReply, 4, SmsListData())));
}

TEST_P(GsmTransfer, WritesDirectionsGprsAndSmsList) {
    state.device = GsmDevice(16);
    state.GsmFrame = MakeFrame(frame::kCmdWrite, 2, kGsmData);
    state.GprsFrame = MakeFrame(frame::kCmdWrite, 3, kGprsData);
    state.SmsFrame = MakeFrame(frame::kCmdWrite, 4, SmsListData());
    StartSim({"--type", "16"});
    const auto run = Run(TThreadBuff::modeWrite);
    EXPECT_EQ(Codes(run.results), (std::vector<int>{2, 3, 3, 5, 3, 3, 3, 1}));
    const auto config = state.device->BuildWriteFrame();
    EXPECT_EQ(sim->LoggedFrames(),
              (std::vector<Bytes>{Bytes(config.begin(), config.end()), FrameBytes(state.GsmFrame),
                                  FrameBytes(state.GprsFrame), FrameBytes(state.SmsFrame)}));
    ExpectStepsCount(run, 4, true);
    const auto panel = sim->Dump();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->gsm, kGsmData);
    EXPECT_EQ(panel->gprs, kGprsData);
    EXPECT_EQ(panel->sms, SmsListData());
}

// Without the flags only the directions travel; the GPRS and SMS frames are left alone.
TEST_P(GsmTransfer, FlagsOffSendsDirectionsOnly) {
    Bytes data = kGsmData;
    data[2] = data[3] = 0;
    state.device = GsmDevice(5);
    state.GsmFrame = MakeFrame(frame::kCmdWrite, 2, data);
    StartSim({"--type", "5"});
    const auto run = Run(TThreadBuff::modeWrite);
    EXPECT_EQ(Codes(run.results), (std::vector<int>{2, 3, 3, 5, 3, 1}));
    EXPECT_EQ(sim->LoggedFrames().size(), 2u);
}

// A reply too short to carry a list is passed over: the frame keeps what it held.
TEST_P(GsmTransfer, UnusableSmsReplyIsSkipped) {
    Bytes data = kGsmData;
    data[2] = 0;
    state.SmsFrame =
        MakeFrame(frame::kCmdWrite, 4, {1, 2, 0x97, 0x30, 0x21, 0x43, 0x65, 0xF7, 0xFF, 0xFF, 0});
    const FrameBuffer before = state.SmsFrame;
    StartSim({"--type", "9", "--config-hex", GsmConfigHex(9), "--gsm", Hex(data), "--sms", ""});
    const auto run = Run(TThreadBuff::modeRead);
    EXPECT_EQ(Codes(run.results), (std::vector<int>{2, 3, 3, 4, 3, 3, 0}));
    EXPECT_EQ(state.SmsFrame, before);
}

class RetranslatorSms : public CasesInEachMode<int> {
protected:
    // GSM communicator fitted, SMS flag set.
    static QString ConfigHex() { return GsmConfigHex(15); }
    static Bytes GsmData() { return {0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}; }
};

TEST_P(RetranslatorSms, ReadsThePages) {
    const int records = Param();
    StartSim({"--type", "15", "--config-hex", ConfigHex(), "--gsm", Hex(GsmData()), "--sms-records",
              QString::number(records), "--object-count", "32"});
    const auto run = Run(TThreadBuff::modeRead);

    const int pages = std::min(4, records / 10 + 1);
    std::vector<int> codes{2, 3, 3, 6, 3, 4, 3};
    std::vector<Bytes> requests{ReadRequest(1), ReadRequest(5), ReadRequest(2)};
    for (int page = 0; page < pages; ++page) {
        codes.push_back(rcReplyArriving);
        requests.push_back(ReadRequest(6, static_cast<Byte>(page)));
    }
    codes.push_back(rcReadDone);
    EXPECT_EQ(Codes(run.results), codes);
    EXPECT_EQ(sim->LoggedFrames(), requests);
    ExpectStepsCount(run, requests.size(), false);

    const auto panel = sim->Dump();
    ASSERT_TRUE(panel);
    ASSERT_TRUE(state.device);
    const auto& ret = static_cast<const TDV15_Ret&>(*state.device);
    EXPECT_EQ(ret.Sms().Count(), records);
    for (int k = 1; k <= records; ++k) {
        EXPECT_EQ(ret.Sms().Record(k), panel->smsRecords[static_cast<std::size_t>(k - 1)]) << k;
    }
    EXPECT_EQ(ret.ObjectCount(), 32);
    EXPECT_EQ(state.GsmFrame[7], 1);
}

TEST_P(RetranslatorSms, WritesThePages) {
    const int records = Param();
    auto device = std::make_shared<TDV15_Ret>();
    device->SetGsmConnected(true);
    const Bytes numbers = RandomBytes(400, 77u);
    for (int k = 1; k <= records; ++k) {
        SmsRecord r;
        std::copy_n(numbers.begin() + 10 * (k - 1), 10, r.begin());
        r[0] = static_cast<Byte>(1 + k % 2);
        device->Sms().SetRecord(k, r);
    }
    state.device = device;
    state.GsmFrame = MakeFrame(frame::kCmdWrite, 2, GsmData());
    // The panel starts with a longer list, which the write replaces.
    StartSim({"--type", "15", "--sms-records", "40"});
    const auto run = Run(TThreadBuff::modeWrite);

    std::vector<std::size_t> lengths;
    switch (records) {
    case 0:
        lengths = {6};
        break;
    case 10:
        lengths = {107, 6};
        break;
    case 13:
        lengths = {107, 36};
        break;
    case 20:
        lengths = {107, 107, 6};
        break;
    case 40:
        lengths = {107, 107, 107, 107};
        break;
    default:
        FAIL() << records;
    }
    std::vector<int> codes{2, 3, 3, 7, 3, 5, 3};
    codes.insert(codes.end(), lengths.size(), rcReplyArriving);
    codes.push_back(rcWriteDone);
    EXPECT_EQ(Codes(run.results), codes);

    const auto frames = sim->LoggedFrames();
    ASSERT_EQ(frames.size(), 3 + lengths.size());
    ExpectStepsCount(run, frames.size(), true);
    for (std::size_t page = 0; page < lengths.size(); ++page) {
        const Bytes& f = frames[3 + page];
        FrameBuffer expected{};
        const auto built = device->Sms().BuildPage(static_cast<int>(page), expected.data());
        EXPECT_EQ(f, Bytes(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(built.length)))
            << page;
        EXPECT_EQ(f.size(), lengths[page]) << page;
        if (f.size() == 107) {
            EXPECT_EQ(f[105], page < 3 ? 1 : 0) << page;
        }
    }
    const auto panel = sim->Dump();
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->SmsRecordCount(), static_cast<std::size_t>(records));
    for (int k = 1; k <= records; ++k) {
        EXPECT_EQ(panel->smsRecords[static_cast<std::size_t>(k - 1)], device->Sms().Record(k)) << k;
    }
}

constexpr std::array kRecordCounts{0, 10, 13, 20, 40};
INSTANTIATE_TEST_SUITE_P(Link, RetranslatorSms, RetranslatorSms::Each(kRecordCounts),
                         RetranslatorSms::Named([](int n) { return "Records" + std::to_string(n); }));

// Without the SMS flag a retranslator reads and writes no pages.
TEST_P(GsmTransfer, RetranslatorWithoutSmsFlagReadsNoPages) {
    StartSim({"--type", "15", "--config-hex", GsmConfigHex(15), "--sms-records", "12"});
    const auto run = Run(TThreadBuff::modeRead);
    EXPECT_EQ(Codes(run.results), (std::vector<int>{2, 3, 3, 6, 3, 4, 3, 0}));
    EXPECT_EQ(sim->LoggedFrames(), (std::vector<Bytes>{ReadRequest(1), ReadRequest(5), ReadRequest(2)}));
    EXPECT_EQ(static_cast<const TDV15_Ret&>(*state.device).Sms().Count(), 0);
}

} // namespace
} // namespace orv::e2e
