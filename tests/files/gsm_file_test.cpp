// The GSM subtree of configuration files and the GSM directions file.
#include "files/config_file.h"
#include "files/gsm_file.h"

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "gsm/tx_buffers.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace orv;

namespace {

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::vector<Byte> Records(const FrameBuffer& frame) {
    const DirectionRecords r = ReadDirectionRecords(frame);
    std::vector<Byte> out;
    for (const auto& d : r) {
        if (!d.enabled) {
            out.push_back(0);
            continue;
        }
        out.push_back(static_cast<Byte>(d.text.size() + 1));
        out.push_back(d.settings);
        out.insert(out.end(), d.text.begin(), d.text.end());
    }
    return out;
}

// A device with a GSM communicator, whatever the family says that takes.
TProgramState GsmState(Byte code) {
    TProgramState s;
    s.device = CreateDevice(code);
    if (IsOP8(*s.device)) {
        s.device->SetParam(prmDevTX, 2);
    } else {
        s.device->SetGsmConnected(true);
    }
    ResetGsmFrame(s.GsmFrame);
    DecodeDirections(s.GsmFrame, s.Directions);
    s.Sms.Setup(*s.device);
    return s;
}

void EditDirections(TProgramState& s) {
    s.Directions.ChooseAttempts(0, 3);
    s.Directions.SetTarget(0, "8 (912) 345-67-89");
    s.Directions.ChooseAttempts(2, 2);
    s.Directions.ChooseSim(2, 2);
    s.Directions.ChooseProtocol(2, 2);
    s.Directions.SetTarget(2, "10.0.0.7:5000");
    SetDeviceNumber(s.GsmFrame, 1234);
}

class GsmFamilies : public ::testing::TestWithParam<Byte> {};

TEST_P(GsmFamilies, SubtreeRoundTrip) {
    test::TempDir dir;
    TProgramState s = GsmState(GetParam());
    EditDirections(s);
    SetSmsListOn(s, true);
    if (auto* ret = dynamic_cast<TDV15_Ret*>(s.device.get())) {
        for (int n = 1; n <= 40; ++n) {
            ret->Sms().SetRecord(n, SmsRecord{static_cast<Byte>(1 + n % 2), static_cast<Byte>(n % 34), 0x97,
                                              0x21, 0x43, 0x65, 0x87, 0x09, 0xF1, 0xFF});
        }
        s.RetSms.Fill(ret->Sms());
    } else {
        s.Sms.ChooseType(0, 2);
        s.Sms.SetPhone(0, "+7 912 345 67 89");
        s.Sms.ChooseType(2, 1);
        s.Sms.SetPartition(2, "3");
        s.Sms.SetPhone(2, "0123456789012345");
    }
    SetGprsOn(s, true);
    s.Gprs.SetApn(1, "internet.example");
    s.Gprs.SetUser(1, "user_1");
    s.Gprs.SetPassword(1, "pa.ss");
    ASSERT_TRUE(UpdateAllTXBuffers(s, nullptr).ok());

    const std::string path = dir.File("gsm.cf8");
    ASSERT_TRUE(WriteConfigFile(s, path).ok);
    TProgramState back;
    ASSERT_TRUE(ReadConfigFile(back, path));
    ASSERT_TRUE(back.device->GetGsmConnected());
    EXPECT_EQ(GetDeviceNumber(back.GsmFrame), 1234);
    EXPECT_EQ(Records(back.GsmFrame), Records(s.GsmFrame));
    EXPECT_TRUE(GetSmsFlag(back.GsmFrame));
    EXPECT_TRUE(GetGprsFlag(back.GsmFrame));
    EXPECT_EQ(back.Gprs.Sim(1), s.Gprs.Sim(1));
    EXPECT_EQ(back.Gprs.Sim(0).apn, s.Gprs.Sim(0).apn);

    // A commit of what was read changes none of the frames.
    TProgramState again = back;
    ASSERT_TRUE(UpdateAllTXBuffers(again, nullptr).ok());
    for (std::size_t i = 0; i < again.GsmFrame.size(); ++i) {
        EXPECT_EQ(again.GsmFrame[i], back.GsmFrame[i]) << "GSM frame byte " << i;
    }
    EXPECT_EQ(again.GprsFrame, s.GprsFrame);
    if (auto* ret = dynamic_cast<TDV15_Ret*>(again.device.get())) {
        auto* orig = dynamic_cast<TDV15_Ret*>(s.device.get());
        EXPECT_EQ(ret->Sms().Records(), orig->Sms().Records());
    } else {
        EXPECT_EQ(ReadSmsRecords(again.SmsFrame, 10), ReadSmsRecords(s.SmsFrame, 10));
        EXPECT_EQ(ReadSmsRecords(again.SmsFrame, 10).size(), 2u);
    }
    EXPECT_EQ(BuildConfigDocument(again), BuildConfigDocument(s));
}

INSTANTIATE_TEST_SUITE_P(Types, GsmFamilies, ::testing::Values(2, 3, 5, 6, 7, 12, 13, 15, 16, 17, 18, 9, 11),
                         [](const auto& info) { return "type" + std::to_string(info.param); });

const std::string kDirectionsHead =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><config version=\"1\" firmName=\"Zelvorin\" FileID=\"8\">"
    "<configMPI><CID_Destinations>";

TEST(DirectionsFile, OnlyEnabledDirectionsAndTheirRecords) {
    test::TempDir dir;
    TProgramState s = GsmState(13);
    EditDirections(s);
    EncodeDirections(s.Directions, s.GsmFrame);
    const std::string doc = BuildGsmDirectionsDocument(s);
    EXPECT_NE(doc.find("<Dest1 trySIMProt=\"96\" PhOrHst=\"+89123456789\" />"), std::string::npos) << doc;
    EXPECT_NE(doc.find("<Dest3 trySIMProt=\"82\" PhOrHst=\"10.0.0.7:5000\" />"), std::string::npos) << doc;
    EXPECT_EQ(doc.find("Dest2"), std::string::npos);
    EXPECT_EQ(doc.find("progVer"), std::string::npos);
    EXPECT_EQ(doc.find("<device"), std::string::npos);

    const std::string path = dir.File("dirs.cf8");
    ASSERT_TRUE(WriteGsmDirectionsFile(s, path).ok);
    TProgramState other = GsmState(16);
    SetDeviceNumber(other.GsmFrame, 77);
    ASSERT_TRUE(ReadGsmDirectionsFile(other, path));
    EXPECT_EQ(GetDeviceNumber(other.GsmFrame), 77);
    const std::vector<Byte> expected = {13,  96,  '+', '8', '9', '1', '2', '3', '4', '5', '6',
                                        '7', '8', '9', 0,   14,  82,  '1', '0', '.', '0', '.',
                                        '0', '.', '7', ':', '5', '0', '0', '0', 0,   0};
    EXPECT_EQ(Records(other.GsmFrame), expected);
    EXPECT_EQ(other.Directions.Cell(2, 5), "10.0.0.7:5000");

    // The whole configuration is refused by the configuration reader: it has no device.
    TProgramState cfg;
    EXPECT_FALSE(ReadConfigFile(cfg, path));
}

TEST(DirectionsFile, EmptyTextAndSwappedAttributes) {
    test::TempDir dir;
    const std::string path = dir.File("d.cf8");
    WriteAll(path, kDirectionsHead +
                       "<Dest1 trySIMProt=\"33\"/><dest2 PhOrHst=\"abc\" trySIMProt=\"96\"/>"
                       "<Dest4 PhOrHst=\"+7123\" trySIMProt=\"x\"/></CID_Destinations></configMPI></config>");
    TProgramState s = GsmState(4);
    ASSERT_TRUE(ReadGsmDirectionsFile(s, path));
    const std::vector<Byte> expected = {1, 33, 3, 0, '9', '6', 0, 2, 211, 'x', 0};
    EXPECT_EQ(Records(s.GsmFrame), expected);
}

TEST(DirectionsFile, ConfigurationFilesAsDirectionFiles) {
    test::TempDir dir;
    TProgramState withGsm = GsmState(11);
    EditDirections(withGsm);
    ASSERT_TRUE(UpdateAllTXBuffers(withGsm, nullptr).ok());
    ASSERT_TRUE(WriteConfigFile(withGsm, dir.File("gsm.cf8")).ok);
    TProgramState plain;
    plain.device = CreateDevice(11);
    ASSERT_TRUE(WriteConfigFile(plain, dir.File("plain.cf8")).ok);

    TProgramState target = GsmState(5);
    EXPECT_TRUE(ReadGsmDirectionsFile(target, dir.File("gsm.cf8")));
    EXPECT_EQ(Records(target.GsmFrame), Records(withGsm.GsmFrame));
    const FrameBuffer before = target.GsmFrame;
    EXPECT_FALSE(ReadGsmDirectionsFile(target, dir.File("plain.cf8")));
    EXPECT_FALSE(ReadGsmDirectionsFile(target, dir.File("missing.cf8")));
    WriteAll(dir.File("bad.cf8"), "<config FileID=\"7\"><configMPI><CID_Destinations/></configMPI></config>");
    EXPECT_FALSE(ReadGsmDirectionsFile(target, dir.File("bad.cf8")));
    EXPECT_EQ(target.GsmFrame, before);
}

const std::string kRoot = "<?xml version=\"1.0\"?><config FileID=\"8\">";

bool Read(TProgramState& s, const std::string& device) {
    const std::string text = kRoot + device + "</config>";
    return ReadConfigDocument(s, text.data(), text.size());
}

TEST(GsmSubtree, SmsRecordAndDeviceNumber) {
    TProgramState s;
    ASSERT_TRUE(Read(s, "<device ID=\"11\"><configMPI><CFG DeviceNum=\"1234\"><SMS_List>"
                        "<SMS PartID=\"3\" cfg=\"2\" pdu=\"0123456789ABCDEF\"/></SMS_List></CFG></configMPI>"
                        "</device>"));
    EXPECT_EQ(s.GsmFrame[4], 0x04);
    EXPECT_EQ(s.GsmFrame[5], 0xD2);
    const auto records = ReadSmsRecords(s.SmsFrame, 8);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], (SmsRecord{2, 3, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}));
    ASSERT_TRUE(UpdateAllTXBuffers(s, nullptr).ok());
    EXPECT_NE(BuildConfigDocument(s).find("<SMS PartID=\"3\" cfg=\"2\" pdu=\"0123456789ABCDEF\" />"),
              std::string::npos);
}

TEST(GsmSubtree, DamagedSubtreesRefuseTheWholeFile) {
    TProgramState s;
    s.device = CreateDevice(2);
    const auto before = s.device;
    const FrameBuffer gsmBefore = s.GsmFrame;
    EXPECT_FALSE(Read(s, "<device ID=\"11\"><configMPI/></device>"));
    EXPECT_FALSE(Read(s, "<device ID=\"11\"><configMPI><CFG><SMS_List><SMS PartID=\"1\" cfg=\"1\" "
                         "pdu=\"0123456789ABCDEG\"/></SMS_List></CFG></configMPI></device>"));
    EXPECT_FALSE(Read(s, "<device ID=\"15\"><configMPI><CFG><SMS_List><SMS PartID=\"1\" cfg=\"1\" "
                         "pdu=\"0123\"/></SMS_List></CFG></configMPI></device>"));
    EXPECT_EQ(s.device, before);
    EXPECT_EQ(s.GsmFrame, gsmBefore);
}

TEST(GsmSubtree, SmsItemsLimitedToTheRowCount) {
    std::string list;
    for (int i = 0; i < 12; ++i) {
        list += "<SMS PartID=\"1\" cfg=\"1\" pdu=\"97214365870921F1\"/>";
    }
    TProgramState eight;
    ASSERT_TRUE(Read(eight, "<device ID=\"3\"><configMPI><CFG><SMS_List>" + list +
                                "</SMS_List></CFG></configMPI>"
                                "</device>"));
    EXPECT_EQ(ReadSmsRecords(eight.SmsFrame, 10).size(), 8u);
    TProgramState ten;
    ASSERT_TRUE(Read(ten, "<device ID=\"7\"><configMPI><CFG><SMS_List><other/>" + list +
                              "</SMS_List></CFG></configMPI></device>"));
    EXPECT_EQ(ReadSmsRecords(ten.SmsFrame, 10).size(), 9u) << "the first ten children are examined";
}

TEST(GsmSubtree, DisarmBySmsOnlyWithSmsOptions) {
    const std::string body = "<devTX ID=\"2\"/><configMPI><CFG/></configMPI><DisguardBySMS Value=\"1\"/>"
                             "<ReleAlarmOnGSM Value=\"1\"/>";
    TProgramState with;
    ASSERT_TRUE(Read(with, "<device ID=\"13\">" + body + "</device>"));
    auto& op13 = dynamic_cast<TDevOP8&>(*with.device);
    EXPECT_EQ(op13.GetDisarmBySms(), 1);
    EXPECT_TRUE(op13.GetReleOnGsm(0));
    TProgramState without;
    ASSERT_TRUE(Read(without, "<device ID=\"4\">" + body + "</device>"));
    auto fresh = CreateDevice(4);
    fresh->SetParam(prmDevTX, 2);
    for (int p = 0; p < fresh->L(); ++p) {
        EXPECT_EQ(without.device->Payload(p), fresh->Payload(p)) << p;
    }
    EXPECT_EQ(BuildConfigDocument(without).find("DisguardBySMS"), std::string::npos);
}

// A panel keeps these options while its communicator is off; a file saved then keeps them too.
TEST(GsmSubtree, SmsOptionsKeptWithTheCommunicatorOff) {
    for (const Byte type : {Byte{12}, Byte{13}, Byte{16}}) {
        TProgramState saved;
        saved.device = CreateDevice(type);
        ResetGsmFrame(saved.GsmFrame);
        ASSERT_FALSE(saved.device->GetGsmConnected());
        auto& op8 = dynamic_cast<TDevOP8&>(*saved.device);
        op8.SetDisarmBySms(1);
        op8.SetReleOnGsm(0, true);
        op8.SetReleOnGsm(1, true);
        TProgramState read;
        const std::string text = BuildConfigDocument(saved);
        ASSERT_TRUE(ReadConfigDocument(read, text.data(), text.size())) << int{type};
        for (int p = 0; p < saved.device->L(); ++p) {
            EXPECT_EQ(read.device->Payload(p), saved.device->Payload(p))
                << "type " << int{type} << " byte " << p;
        }
    }
}

TEST(GsmSubtree, EmptyApnsStayEmpty) {
    TProgramState s;
    ASSERT_TRUE(Read(
        s, "<device ID=\"6\"><configMPI><CFG><GPRS_Settings><SIM1 APN=\"\" user=\"u\" password=\"p\"/>"
           "<SIM2 APN=\"apn.two\" user=\"\" password=\"\"/></GPRS_Settings></CFG></configMPI></device>"));
    EXPECT_TRUE(GetGprsFlag(s.GsmFrame));
    EXPECT_EQ(s.Gprs.Sim(0).apn, "");
    EXPECT_EQ(s.Gprs.Sim(0).user, "u");
    EXPECT_EQ(s.Gprs.Sim(1).apn, "apn.two");
    EXPECT_EQ(s.GprsFrame[4], 0) << "SIM 1 has no block";
}

TEST(GsmSubtree, RetranslatorListUntouchedWithoutSmsList) {
    TProgramState s;
    ASSERT_TRUE(Read(s, "<device ID=\"15\"><configMPI><CFG/></configMPI><GSM_Control isOn=\"1\"/></device>"));
    auto& ret = dynamic_cast<TDV15_Ret&>(*s.device);
    EXPECT_TRUE(ret.GetGsmConnected());
    EXPECT_TRUE(ret.GetGsmControl());
    EXPECT_FALSE(GetSmsFlag(s.GsmFrame));
    EXPECT_EQ(ret.Sms().Count(), 0);
}

} // namespace
