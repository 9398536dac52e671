#include "device/retranslator.h"
#include "support/case_names.h"

#include <gtest/gtest.h>

#include <vector>

using namespace orv;

namespace {

using orv::test::NamedBy;
using orv::test::NumberedBy;

TEST(Retranslator, ObjectRecordAndText) {
    TDV15_Ret d;
    EXPECT_TRUE(d.SetObjectFromText(5, "1ABCD", objMirel));
    EXPECT_EQ(d.GetObject(5), (ObjectRecord{0x42, 0xAB, 0xCD}));
    EXPECT_EQ(d.ObjectNumberText(5), "1ABCD");
    EXPECT_EQ(d.ObjectCount(), 1);
    EXPECT_EQ(d.ObjectCountText(), "Объектов: 1");
    EXPECT_EQ(ObjectNumber(d.GetObject(5)), 0x1ABCDu);
}

TEST(Retranslator, SetObjectFromTextRefusals) {
    TDV15_Ret d;
    d.SetObject(2, {0x41, 1, 2});
    EXPECT_FALSE(d.SetObjectFromText(2, "", objButton));
    EXPECT_FALSE(d.SetObjectFromText(2, "xyz", objButton));
    EXPECT_FALSE(d.SetObjectFromText(2, "0", objButton));
    EXPECT_FALSE(d.SetObjectFromText(2, "FFFF", objOff)); // byte 0 stays 0: not stored
    EXPECT_EQ(d.GetObject(2), (ObjectRecord{0x41, 1, 2}));
    EXPECT_TRUE(d.SetObjectFromText(2, "30000", objOff)); // number bits 17..16 make byte 0 non-zero
    EXPECT_EQ(d.GetObject(2), (ObjectRecord{0xC0, 0, 0}));
    EXPECT_EQ(d.ObjectNumberText(2), ""); // type off: absent
    EXPECT_FALSE(d.SetObjectFromText(33, "1", objButton));
    EXPECT_FALSE(d.SetObjectFromText(0, "1", objButton));
}

TEST(Retranslator, OutOfRangeObjectsReadEmpty) {
    TDV15_Ret d;
    d.SetObject(0, {1, 2, 3});
    d.SetObject(33, {1, 2, 3});
    EXPECT_EQ(d.GetObject(0), ObjectRecord{});
    EXPECT_EQ(d.GetObject(33), ObjectRecord{});
    EXPECT_EQ(d.ObjectCount(), 0);
}

TEST(Retranslator, ObjectFrameAndLoad) {
    TDV15_Ret d;
    d.SetObject(1, {0x01, 0x00, 0x10});
    d.SetObject(16, {0x42, 0xAB, 0xCD});
    d.SetObject(32, {0xC3, 0xFF, 0xFF});
    const auto f = d.BuildObjectFrame();
    EXPECT_EQ(f[0], 0x7E);
    EXPECT_EQ(f[1], 102);
    EXPECT_EQ(f[2], 0x57);
    EXPECT_EQ(f[3], 5);
    EXPECT_EQ(f[4], 1);
    EXPECT_EQ(f[5], 0x01);
    EXPECT_EQ(f[7], 0x10);
    EXPECT_EQ(f[3 * 16 + 2], 0x42);
    EXPECT_EQ(f[3 * 32 + 4], 0xFF);
    EXPECT_EQ(f[101], frame::Crc8(f.data(), 101));

    TDV15_Ret e;
    e.LoadObjects(ReplyView(f.data(), f.size()));
    for (int k = 1; k <= 32; ++k) {
        EXPECT_EQ(e.GetObject(k), d.GetObject(k)) << k;
    }
    e.SetDefaults();
    EXPECT_EQ(e.ObjectCount(), 0);
}

struct ZoneByteCase {
    Byte t1, t2, stored, sent;
};
void PrintTo(const ZoneByteCase& c, std::ostream* os) {
    *os << "zone types " << int{c.t1} << " and " << int{c.t2} << ", stored " << int{c.stored};
}
class ZoneDependentByte : public ::testing::TestWithParam<ZoneByteCase> {};

TEST_P(ZoneDependentByte, RecomputedOnWrite) {
    const auto& c = GetParam();
    TDV15_Ret d;
    d.SetZoneType(1, c.t1);
    d.SetZoneType(2, c.t2);
    d.SetPayload(2, c.stored);
    const auto f = d.BuildWriteFrame();
    EXPECT_EQ(f[5 + 2], c.sent);
    EXPECT_EQ(f.size(), 26u);
    EXPECT_EQ(f[4], 15);
    EXPECT_EQ(f[25], frame::Crc8(f.data(), 25));
}

INSTANTIATE_TEST_SUITE_P(Types, ZoneDependentByte,
                         ::testing::Values(ZoneByteCase{0, 0, 77, 0}, ZoneByteCase{3, 1, 77, 255},
                                           ZoneByteCase{6, 0, 77, 77}, ZoneByteCase{1, 7, 12, 12},
                                           ZoneByteCase{0, 5, 9, 9}),
                         NumberedBy([](const ZoneByteCase& c) {
                             return "Zones" + std::to_string(c.t1) + "And" + std::to_string(c.t2);
                         }));

std::vector<Byte> PageReply(int records, Byte more) {
    std::vector<Byte> r(107, 0);
    r[0] = 0x7E;
    r[1] = 107;
    r[2] = 0x44;
    r[3] = 6;
    for (int k = 0; k < records; ++k) {
        r[5 + 10 * k] = 1 + (k % 2);
        r[6 + 10 * k] = static_cast<Byte>(k);
        for (int i = 2; i < 10; ++i) {
            r[5 + 10 * k + i] = static_cast<Byte>(0x10 * k + i);
        }
    }
    r[105] = more;
    frame::SealFrame(r.data(), r.size());
    return r;
}

TEST(SmsList, TakePageStopsAtEmptyRecord) {
    T_SMS_List list;
    for (int n = 1; n <= 10; ++n) {
        list.SetRecord(n, SmsRecord{2, 5, 1, 1, 1, 1, 1, 1, 1, 1});
    }
    const auto r = PageReply(3, 1);
    EXPECT_EQ(list.TakePage(0, ReplyView(r.data(), r.size())), 0);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Record(2)[1], 1);
    for (int n = 4; n <= 10; ++n) {
        EXPECT_EQ(list.Record(n)[0], 0);
    }
}

TEST(SmsList, FullPageReturnsMoreByte) {
    T_SMS_List list;
    const auto r = PageReply(10, 1);
    EXPECT_EQ(list.TakePage(1, ReplyView(r.data(), r.size())), 1);
    EXPECT_EQ(list.Record(11)[0], 1);
    EXPECT_EQ(list.Record(20)[0], 2);
    EXPECT_EQ(list.Record(1)[0], 0);
    EXPECT_EQ(list.TakePage(4, ReplyView(r.data(), r.size())), 0);
}

TEST(SmsList, PagesForWriting) {
    for (int count : {0, 3, 10, 13, 20, 40}) {
        T_SMS_List list;
        for (int n = 1; n <= count; ++n) {
            list.SetRecord(
                n, SmsRecord{1, static_cast<Byte>(n), 0x21, 0x43, 0x65, 0x87, 0xF9, 0xFF, 0xFF, 0xFF});
        }
        std::vector<std::size_t> lengths;
        std::array<Byte, 201> f{};
        for (int page = 0; page < 4; ++page) {
            const auto p = list.BuildPage(page, f.data());
            lengths.push_back(p.length);
            EXPECT_EQ(f[4], page);
            EXPECT_EQ(f[p.length - 1], frame::Crc8(f.data(), p.length - 1));
            if (p.length == 107) {
                EXPECT_EQ(f[105], p.more ? 1 : 0);
            }
            if (!p.more) {
                break;
            }
        }
        std::vector<std::size_t> expected;
        for (int left = count; left >= 0; left -= 10) {
            expected.push_back(left >= 10 ? 107 : static_cast<std::size_t>(10 * left + 6));
            if (expected.size() == 4) {
                break;
            }
        }
        if (count == 40) {
            expected = {107, 107, 107, 107};
        }
        EXPECT_EQ(lengths, expected) << count;
    }
}

TEST(SmsList, ClearKeepsNumbers) {
    T_SMS_List list;
    list.SetRecord(1, SmsRecord{1, 3, 9, 9, 9, 9, 9, 9, 9, 9});
    list.Clear();
    EXPECT_EQ(list.Record(1), (SmsRecord{0, 0, 9, 9, 9, 9, 9, 9, 9, 9}));
}

} // namespace

namespace {

TEST(SmsList, ShortPageWithoutEndMarkTakesOnlyWholeRecords) {
    // Three records and the checksum: the checksum must not become a fourth record.
    std::vector<Byte> r(36, 0);
    r[0] = 0x7E;
    r[1] = 36;
    r[2] = 0x44;
    r[3] = 6;
    for (int k = 0; k < 3; ++k) {
        r[5 + 10 * k] = 1;
    }
    frame::SealFrame(r.data(), r.size());
    ASSERT_NE(r[35], 0) << "the checksum must look like a record type for this test to mean anything";
    T_SMS_List list;
    EXPECT_EQ(list.TakePage(0, ReplyView(r.data(), r.size())), 0);
    EXPECT_EQ(list.Count(), 3);
}

} // namespace
