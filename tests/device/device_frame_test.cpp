// Every class: sizes, default write frame, load from a reply, the echo check's window.
#include "device/catalogue.h"
#include "device/retranslator.h"

#include <gtest/gtest.h>

#include <vector>

using namespace orv;

namespace {

struct ClassCase {
    Byte code;
    Byte h;
    Byte l;
    std::vector<Byte> defaults;
};

void PrintTo(const ClassCase& c, std::ostream* os) {
    *os << "type " << int{c.code};
}

std::vector<Byte> Hex(const char* text) {
    std::vector<Byte> out;
    unsigned value;
    int used;
    while (std::sscanf(text, "%x%n", &value, &used) == 1) {
        out.push_back(static_cast<Byte>(value));
        text += used;
    }
    return out;
}

const char* kOp8Zones =
    "78 17 1E 1E 68 14 00 00 68 14 00 00 68 14 00 00 48 10 00 00 50 0F 00 00 58 04 00 00 58 04 00 00 ";
const char* kWideZones =
    "38 17 1E 1E 28 14 00 00 28 14 00 00 28 14 00 00 08 10 00 00 10 0F 00 00 18 04 00 00 18 04 00 00 ";

std::vector<Byte> Cat(const char* a, const char* b) {
    return Hex((std::string(a) + b).c_str());
}

std::vector<ClassCase> Cases() {
    return {
        {1, 4, 41, Cat(kOp8Zones, "00 00 00 00 33 10 C0 02 10")},
        {2, 4, 43, Cat(kOp8Zones, "00 00 00 00 33 10 80 01 02 10 01")},
        {3, 4, 11, Hex("00 33 10 01 00 00 00 00 00 01 00")},
        {4, 4, 44, Cat(kWideZones, "FF 00 00 00 00 33 10 80 01 02 10 01")},
        {5, 4, 18, Hex("07 17 05 14 06 15 02 0F 03 04 00 00 01 00 02 00 00 80")},
        {6, 4, 12, Hex("01 04 01 65 00 00 00 01 00 00 01 00")},
        {7, 5, 16, Hex("00 33 10 01 00 00 00 00 00 00 00 00 00 01 00 0A")},
        {8, 4, 15, Hex("07 17 05 14 06 15 02 0F 03 04 00 01 00 02 80")},
        {9, 5, 18, Hex("07 17 05 14 06 15 02 0F 03 04 00 00 01 00 02 00 00 80")},
        {10, 5, 44, Cat(kWideZones, "FF 00 00 00 00 33 10 80 01 02 10 01")},
        {11, 5, 12, Hex("00 33 10 01 00 00 00 00 00 01 00 00")},
        {12, 4, 45, Cat(kWideZones, "FF 00 00 00 00 33 10 80 01 02 10 01 00")},
        {13, 5, 46, Cat(kWideZones, "FF 00 00 00 00 33 10 00 80 01 02 10 01 00")},
        {15, 5, 20, Hex("01 00 00 03 04 07 17 1E 1E 01 01 03 00 01 18 28 01 01 33 00")},
        {16, 5, 52, Cat(kWideZones, "FF 00 00 00 00 33 10 00 80 01 02 10 01 00 01 02 04 08 10 20")},
        {17, 5, 15, Hex("00 33 10 01 00 00 00 00 00 01 00 00 01 02 04")},
        {18, 5, 19, Hex("00 33 10 01 00 00 00 00 00 00 00 00 00 01 00 0A 01 02 04")},
    };
}

class EveryClass : public ::testing::TestWithParam<ClassCase> {};

TEST_P(EveryClass, DefaultWriteFrame) {
    const auto& c = GetParam();
    ASSERT_EQ(c.defaults.size(), c.l);
    auto dev = CreateDevice(c.code);
    ASSERT_TRUE(dev);
    EXPECT_EQ(dev->DevType, c.code);
    EXPECT_EQ(dev->Version, 0);
    EXPECT_EQ(dev->H(), c.h);
    EXPECT_EQ(dev->L(), c.l);
    const auto f = dev->BuildWriteFrame();
    ASSERT_EQ(f.size(), std::size_t(c.h + c.l + 1));
    EXPECT_EQ(f[0], 0x7E);
    EXPECT_EQ(f[1], f.size());
    EXPECT_EQ(f[2], 0x57);
    EXPECT_EQ(f[3], 0x01);
    if (c.h == 5) {
        EXPECT_EQ(f[4], c.code);
    }
    for (std::size_t i = 0; i < c.l; ++i) {
        EXPECT_EQ(f[c.h + i], c.defaults[i]) << "payload offset " << i;
    }
    EXPECT_EQ(f.back(), frame::Crc8(f.data(), f.size() - 1));
}

TEST_P(EveryClass, LoadFromReplyAndEchoWindow) {
    const auto& c = GetParam();
    auto dev = CreateDevice(c.code);
    std::vector<Byte> reply(c.l + 6);
    reply[0] = 0x7E;
    reply[1] = static_cast<Byte>(reply.size());
    reply[2] = 0x44;
    reply[3] = 99; // the type byte is not copied
    reply[4] = 42;
    for (std::size_t i = 0; i < c.l; ++i) {
        reply[5 + i] = static_cast<Byte>(0xA0 ^ (i * 7));
    }
    frame::SealFrame(reply.data(), reply.size());
    dev->LoadFromReply(ReplyView(reply.data(), reply.size()));
    EXPECT_EQ(dev->Version, 42);
    EXPECT_EQ(dev->DevType, c.code);
    for (std::size_t i = 0; i < c.l; ++i) {
        EXPECT_EQ(dev->Buf[c.h + i], reply[5 + i]);
    }
    EXPECT_TRUE(dev->CheckWriteReply(ReplyView(reply.data(), reply.size())));

    // Outside the window nothing counts: header, type byte, checksum.
    auto other = reply;
    other[0] = other[1] = other[2] = other[3] = other[4] = 0;
    other[other.size() - 1] ^= 0xFF;
    EXPECT_TRUE(dev->CheckWriteReply(ReplyView(other.data(), other.size())));
    for (std::size_t i = 0; i < c.l; ++i) {
        auto bad = reply;
        bad[5 + i] ^= 0x01;
        EXPECT_FALSE(dev->CheckWriteReply(ReplyView(bad.data(), bad.size()))) << i;
    }
}

TEST_P(EveryClass, ShortReplyReadsZerosBeyondItsCount) {
    const auto& c = GetParam();
    auto dev = CreateDevice(c.code);
    std::vector<Byte> reply(8, 0x55);
    dev->LoadFromReply(ReplyView(reply.data(), reply.size()));
    EXPECT_EQ(dev->Version, 0x55);
    EXPECT_EQ(dev->Buf[c.h], 0x55);
    EXPECT_EQ(dev->Buf[c.h + 2], 0x55);
    for (std::size_t i = 3; i < c.l; ++i) {
        EXPECT_EQ(dev->Buf[c.h + i], 0) << i;
    }
}

TEST_P(EveryClass, SetDefaultsRestoresFactoryPayload) {
    const auto& c = GetParam();
    auto dev = CreateDevice(c.code);
    for (std::size_t i = 0; i < c.l; ++i) {
        dev->Buf[c.h + i] = 0xEE;
    }
    dev->SetDefaults();
    for (std::size_t i = 0; i < c.l; ++i) {
        EXPECT_EQ(dev->Buf[c.h + i], c.defaults[i]);
    }
}

TEST_P(EveryClass, UnheldParamIndexReadsZeroAndIsIgnored) {
    auto dev = CreateDevice(GetParam().code);
    const auto before = dev->Buf;
    for (Byte index : {Byte{7}, Byte{8}, Byte{200}}) {
        EXPECT_EQ(dev->GetParam(index), 0);
        dev->SetParam(index, 0x5A);
    }
    EXPECT_EQ(dev->Buf, before);
}

TEST_P(EveryClass, OutOfRangeZonesNeitherReadNorWrite) {
    auto dev = CreateDevice(GetParam().code);
    const auto before = dev->Buf;
    for (int zone : {-1, 0, 9, 100}) {
        try {
            dev->SetZoneType(zone, 3);
            dev->SetZoneCID(zone, 3);
            dev->SetZoneRearm(zone, true);
            dev->SetZoneFireReCheck(zone, true);
            dev->SetOutput(zone, 7);
        } catch (const UnsupportedOperation&) {
        }
    }
    EXPECT_EQ(dev->Buf, before);
}

INSTANTIATE_TEST_SUITE_P(Classes, EveryClass, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return "type" + std::to_string(info.param.code); });

TEST(DeviceFrame, Tdv1FrameBeginsAsDocumented) {
    TDV1_I8 d;
    const auto f = d.BuildWriteFrame();
    EXPECT_EQ(f.size(), 46u);
    EXPECT_EQ(f[0], 0x7E);
    EXPECT_EQ(f[1], 0x2E);
    EXPECT_EQ(f[2], 0x57);
    EXPECT_EQ(f[3], 0x01);
}

TEST(DeviceFrame, Tdv10FrameCarriesTypeNotVersion) {
    TDV10_T8 d;
    d.Version = 77;
    const auto f = d.BuildWriteFrame();
    const std::vector<Byte> head(f.begin(), f.begin() + 5);
    EXPECT_EQ(head, (std::vector<Byte>{0x7E, 0x32, 0x57, 0x01, 0x0A}));
}

TEST(DeviceFrame, SameReplyGivesSameFieldsForT5AndT5K) {
    TDV5_T5 a;
    TDV9_T5K b;
    std::vector<Byte> reply(24);
    for (std::size_t i = 0; i < reply.size(); ++i) {
        reply[i] = static_cast<Byte>(i * 11);
    }
    a.LoadFromReply(ReplyView(reply.data(), reply.size()));
    b.LoadFromReply(ReplyView(reply.data(), reply.size()));
    for (int z = 1; z <= 5; ++z) {
        EXPECT_EQ(a.GetZoneType(z), b.GetZoneType(z));
        EXPECT_EQ(a.GetZoneCID(z), b.GetZoneCID(z));
    }
    EXPECT_EQ(a.GetBusID(), b.GetBusID());
    EXPECT_EQ(a.GetBuzzer(), b.GetBuzzer());
    EXPECT_EQ(a.GetGsmConnected(), b.GetGsmConnected());
    EXPECT_EQ(b.BuildWriteFrame()[4], 9);
}

TEST(DeviceFrame, Cnc3AndCnc11AgreeExceptAlarmReset) {
    TDV3_C8 a;
    TDV11_TC8 b;
    std::vector<Byte> reply(18, 0);
    const Byte payload[12] = {0x86, 0x21, 0x30, 1, 0x85, 1, 1, 0x83, 1, 0, 1, 10};
    std::copy(std::begin(payload), std::end(payload), reply.begin() + 5);
    a.LoadFromReply(ReplyView(reply.data(), reply.size()));
    b.LoadFromReply(ReplyView(reply.data(), reply.size()));
    for (Byte p : {prmOPsCheck, prmReleAlarmFire, prmReleCtrlFail}) {
        EXPECT_EQ(a.GetParam(p), b.GetParam(p));
    }
    EXPECT_EQ(a.GetExpanders(), b.GetExpanders());
    EXPECT_EQ(a.GetBviAlarm(), b.GetBviAlarm());
    EXPECT_EQ(a.GetBviButtons(), b.GetBviButtons());
    EXPECT_EQ(a.GetUseTD(), b.GetUseTD());
    EXPECT_EQ(a.GetGsmConnected(), b.GetGsmConnected());
    EXPECT_EQ(a.GetGsmControl(), b.GetGsmControl());
    EXPECT_EQ(a.GetGsmTx(), b.GetGsmTx());
    EXPECT_EQ(a.GetAutoReset(), 0);
    EXPECT_EQ(b.GetAutoReset(), 10);
    a.SetAutoReset(10);
    EXPECT_EQ(a.GetAutoReset(), 0);
}

} // namespace
