// Every typed field against its field-map offset and encoding: the setter changes exactly its
// own byte (or bits) and leaves every neighbour alone, whatever the image held before.
#include "device/field_cases.h"

#include <gtest/gtest.h>

using namespace orv;

namespace {

using namespace orv::test::fields;

std::string CaseName(const ::testing::TestParamInfo<FieldCase>& info) {
    std::string name = info.param.name;
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) {
            ch = '_';
        }
    }
    return name + "_" + std::to_string(info.index);
}

class FieldMap : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldMap, SetterTouchesOnlyItsField) {
    const auto& fc = GetParam();
    for (Byte code : fc.codes) {
        for (Byte pattern : {Byte{0x00}, Byte{0xFF}, Byte{0xA5}, Byte{0x5A}}) {
            auto dev = CreateDevice(code);
            ASSERT_TRUE(dev) << int(code);
            for (int p = 0; p < dev->L(); ++p) {
                dev->SetPayload(p, static_cast<Byte>(pattern ^ p));
            }
            const auto before = dev->Buf;
            fc.set(*dev);
            const int offset = fc.offset(code);
            for (int p = 0; p < dev->L(); ++p) {
                const Byte old = before[static_cast<std::size_t>(dev->H() + p)];
                const Byte expected = (p == offset && fc.expect) ? fc.expect(old) : old;
                EXPECT_EQ(dev->Payload(p), expected)
                    << "type " << int(code) << " offset " << p << " pattern " << int(pattern);
            }
            for (std::size_t i = 0; i < dev->H(); ++i) {
                EXPECT_EQ(dev->Buf[i], before[i]);
            }
            if (fc.check) {
                EXPECT_TRUE(fc.check(*dev)) << "type " << int(code) << " pattern " << int(pattern);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Families, FieldMap, ::testing::ValuesIn(Cases()), CaseName);

// Shared-byte cases that the table alone does not tell.

TEST(SharedBytes, Tdv1SirenAndBuzzerShareOneByte) {
    TDV1_I8 d;
    d.SetParam(prmSysCFG, 0);
    d.SetGuardSnd(true);
    d.SetBuzzer(1);
    EXPECT_EQ(d.GetParam(prmSysCFG), 0xC0);
    d.SetGuardSnd(false);
    EXPECT_EQ(d.GetParam(prmSysCFG), 0x80);
    EXPECT_EQ(d.GetBuzzer(), 1);
    d.SetBuzzer(0);
    d.SetGuardSnd(true);
    EXPECT_EQ(d.GetParam(prmSysCFG), 0x40);
}

TEST(SharedBytes, Tdv1ZoneTypeKeepsRestoreAndFireBits) {
    TDV1_I8 d;
    d.SetPayload(8, 0x48 | 0x80);
    d.SetZoneType(3, 5);
    EXPECT_EQ(d.Payload(8), 0x68 | 0x80);
    EXPECT_EQ(d.GetZoneRearm(3), 64);
    d.SetZoneType(3, 9); // wider than the field: never reaches the restore flag
    EXPECT_EQ(d.Payload(8) & 0x40, 0x40);
}

TEST(SharedBytes, Op8GsmFollowsTransmitter) {
    for (Byte code : kOp8) {
        auto d = CreateDevice(code);
        for (Byte tx = 0; tx < 5; ++tx) {
            d->SetParam(prmDevTX, tx);
            EXPECT_EQ(d->GetGsmConnected(), tx == 2);
        }
        d->SetGsmConnected(false);
        d->SetParam(prmDevTX, 2);
        d->SetGsmConnected(false);
        EXPECT_TRUE(d->GetGsmConnected());
    }
}

TEST(SharedBytes, Op10AndOp4DifferOnlyInHeader) {
    TDV10_T8 a;
    TDV4_I8 b;
    EXPECT_EQ(a.Buf[5], b.Buf[4]);
    a.SetZoneType(1, 3);
    EXPECT_EQ(a.Buf[5] >> 3 & 0x0F, 3);
}

TEST(ExpanderMask, FifthByteKeepsOnlyTheIndicationUnit) {
    TDV7_TC5 d;
    d.SetExpanderMask({0x07, 0x00, 0x00, 0x80, 0xFF});
    const auto m = d.GetExpanderMask();
    EXPECT_EQ(m[4], 0x01);
    EXPECT_EQ(d.Payload(4), 0x07);
    EXPECT_EQ(d.Payload(7), 0x80);
    EXPECT_EQ(d.Payload(8), 0x01);
    EXPECT_TRUE(d.HasBvi());
    EXPECT_EQ(d.ExpanderMaskText(), "1-3, 32, БВИ");
}

TEST(ExpanderMask, BitSevenOnMaskFive) {
    TDV11_TC8 d;
    d.SetExpanders(0x05);
    d.SetExpanderBit(7, true);
    EXPECT_EQ(d.GetExpanders(), 0x85);
}

TEST(Outputs, DefaultsPerModel) {
    TDV16_T8X op;
    TDV17_TC8X c8;
    TDV18_TC5X c5;
    for (int n = 1; n <= 6; ++n) {
        op.SetOutput(n, 0);
    }
    op.SetOutputsDefault();
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(op.GetOutput(n), 1 << (n - 1));
    }
    EXPECT_EQ(op.OutputCount(), 6);
    EXPECT_EQ(c8.OutputCount(), 3);
    EXPECT_EQ(c5.OutputCount(), 3);
    c8.SetOutput(1, 0x0F);
    c8.SetOutputsDefault();
    EXPECT_EQ(c8.GetOutput(1), 1);
    EXPECT_EQ(CreateDevice(11)->OutputCount(), 0);
}

TEST(Unsupported, OperationsWithoutBodyFailLoudly) {
    TDV5_T5 five;
    EXPECT_THROW(five.SetZonePart(1, 1), UnsupportedOperation);
    TDV6_KP2 keypad;
    EXPECT_THROW(keypad.GetZoneDelay(1, true), UnsupportedOperation);
    EXPECT_THROW(keypad.SetZonePart(1, 0), UnsupportedOperation);
    EXPECT_EQ(keypad.GetZonePart(1), 0);
    TDV15_Ret ret;
    EXPECT_THROW(ret.SetZonePart(1, 0), UnsupportedOperation);
}

} // namespace
