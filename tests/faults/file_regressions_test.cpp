// Configuration files that once read into a state which, saved and opened again, was not the
// same any more (found by fuzz_config_file).
#include "device/catalogue.h"
#include "device/retranslator.h"
#include "files/config_file.h"
#include "gsm/tx_buffers.h"

#include <gtest/gtest.h>

#include <string>

namespace orv {
namespace {

std::string Document(int type, const std::string& device, const std::string& smsItems) {
    return "<?xml version=\"1.0\"?><config version=\"1\" FileID=\"8\"><device ID=\"" + std::to_string(type) +
           "\">" + device + "<configMPI><CFG DeviceNum=\"5\"><CID_Destinations/><SMS_List>" + smsItems +
           "</SMS_List></CFG></configMPI></device></config>";
}

const std::string kType0 = "<SMS PartID=\"1\" cfg=\"0\" pdu=\"9730112132F3FFFF\"/>";
const std::string kType1 = "<SMS PartID=\"2\" cfg=\"1\" pdu=\"9730445465F6FFFF\"/>";
const std::string kType2 = "<SMS PartID=\"3\" cfg=\"2\" pdu=\"9830445465F6FFFF\"/>";

struct SmsCase {
    const char* name;
    int type;
    std::string device; // what makes the panel carry GSM
    std::string items;
    bool smsOn;
    int records;
};

void PrintTo(const SmsCase& c, std::ostream* os) {
    *os << c.name;
}

// A record of type 0 is an empty slot. Stored as read, it would end the list before the records
// after it and leave the list switched on with nothing in it; it is passed over instead.
const SmsCase kCases[] = {
    {"EightZoneOnlyEmptySlots", 13, "<devTX ID=\"2\"/>", kType0 + kType0, false, 0},
    {"EightZoneEmptySlotFirst", 13, "<devTX ID=\"2\"/>", kType0 + kType2, true, 1},
    {"EightZoneEmptySlotBetween", 13, "<devTX ID=\"2\"/>", kType1 + kType0 + kType2, true, 2},
    {"RetranslatorOnlyEmptySlots", 15, "", kType0, false, 0},
    {"RetranslatorEmptySlotFirst", 15, "", kType0 + kType1, true, 1},
    {"RetranslatorEmptySlotBetween", 15, "", kType1 + kType2 + kType0 + kType1, true, 3},
    {"KeypadAllFilled", 6, "", kType1 + kType2, true, 2},
};

class SmsRecordOfTypeZero : public ::testing::TestWithParam<SmsCase> {};

TEST_P(SmsRecordOfTypeZero, IsPassedOver) {
    const SmsCase& c = GetParam();
    const std::string doc = Document(c.type, c.device, c.items);
    TProgramState first;
    ASSERT_TRUE(ReadConfigDocument(first, doc.data(), doc.size()));
    EXPECT_EQ(GetSmsFlag(first.GsmFrame), c.smsOn);
    int stored = 0;
    if (auto* ret = dynamic_cast<TDV15_Ret*>(first.device.get())) {
        stored = ret->Sms().Count();
    } else {
        stored = static_cast<int>(ReadSmsRecords(first.SmsFrame, SmsRowCount(first.device->DevType)).size());
    }
    EXPECT_EQ(stored, c.records);

    // Saved and opened again: the same state, so the same file.
    ASSERT_TRUE(UpdateAllTXBuffers(first, nullptr).ok());
    const std::string saved = BuildConfigDocument(first);
    TProgramState second;
    ASSERT_TRUE(ReadConfigDocument(second, saved.data(), saved.size()));
    EXPECT_EQ(GetSmsFlag(second.GsmFrame), c.smsOn);
    ASSERT_TRUE(UpdateAllTXBuffers(second, nullptr).ok());
    EXPECT_EQ(BuildConfigDocument(second), saved);
}

INSTANTIATE_TEST_SUITE_P(Files, SmsRecordOfTypeZero, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });

} // namespace
} // namespace orv
