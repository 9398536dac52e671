#include "device/catalogue.h"
#include "support/case_names.h"

#include <gtest/gtest.h>

using namespace orv;

namespace {

using orv::test::NamedBy;
using orv::test::NumberedBy;

struct Lookup {
    Byte code;
    const char* name;
    bool supported;
    bool creates;
};

void PrintTo(const Lookup& c, std::ostream* os) {
    *os << "type " << int{c.code};
}

class CatalogueLookup : public ::testing::TestWithParam<Lookup> {};

TEST_P(CatalogueLookup, NameSupportAndCreation) {
    const auto& c = GetParam();
    EXPECT_EQ(DeviceName(c.code), c.name);
    EXPECT_EQ(DeviceSupported(c.code), c.supported);
    auto d = CreateDevice(c.code);
    EXPECT_EQ(d != nullptr, c.creates);
    if (d) {
        EXPECT_EQ(d->DevType, c.code & 0x7F);
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, CatalogueLookup,
                         ::testing::Values(Lookup{0, "Неизвестный прибор", false, false},
                                           Lookup{13, "Терсан 34x, Ирвел-ОП8", true, true},
                                           Lookup{14, "KV-310RET-32TK V1", false, false},
                                           Lookup{16, "Терсан 34x, Ирвел-ОП8", true, true},
                                           Lookup{19, "", false, false},
                                           Lookup{15, "KV-310RET-32TK", true, true},
                                           Lookup{3, "Ирвел-ОП-КС старый на плате BRD7C", true, true},
                                           Lookup{0x81, "", false, true}, Lookup{255, "", false, false}),
                         NamedBy([](const Lookup& c) { return "Code" + std::to_string(c.code); }));

TEST(Catalogue, EveryClassCodeCreatesItsOwnType) {
    for (int code = 0; code < 256; ++code) {
        const int low = code & 0x7F;
        const bool hasClass = low >= 1 && low <= 18 && low != 14;
        auto d = CreateDevice(static_cast<Byte>(code));
        EXPECT_EQ(d != nullptr, hasClass) << code;
        if (d) {
            EXPECT_EQ(d->DevType, low);
        }
    }
}

TEST(DeviceMenu, GroupsAndCaptionsInOrder) {
    const auto menu = BuildDeviceMenu();
    ASSERT_EQ(menu.size(), 5u);
    EXPECT_EQ(menu[0].caption, "ТерсАн");
    EXPECT_EQ(menu[0].items.size(), 9u);
    EXPECT_EQ(menu[0].items[6].caption, "Терсан 34x, Ирвел-ОП8 c 6-й версии");
    EXPECT_EQ(menu[0].items[6].code, 16);
    EXPECT_EQ(menu[0].items[3].caption, "Терсан 34x, Ирвел-ОП8");
    EXPECT_EQ(menu[1].caption, "Mirel");
    ASSERT_EQ(menu[1].items.size(), 1u);
    EXPECT_EQ(menu[1].items[0].code, 15);
    EXPECT_EQ(menu[1].items[0].caption, "KV-310RET-32TK c 2-й версии");
    EXPECT_EQ(menu[2].caption, "Ирвел-ОП8");
    EXPECT_EQ(menu[2].items[0].code, 1);
    EXPECT_EQ(menu[3].caption, "Ирвел-ОП8C");
    ASSERT_EQ(menu[3].items.size(), 3u);
    EXPECT_EQ(menu[3].items[0].code, 2);
    EXPECT_EQ(menu[3].items[0].caption, "Ирвел-ОП8C");
    EXPECT_EQ(menu[3].items[2].code, 12);
    EXPECT_EQ(menu[4].caption, "Прочее");
    std::vector<Byte> other;
    for (const auto& i : menu[4].items) {
        other.push_back(i.code);
    }
    EXPECT_EQ(other, (std::vector<Byte>{9, 6, 3}));
    // The "c" of the suffix is Latin.
    EXPECT_NE(menu[0].items[6].caption.find(" c 6"), std::string::npos);
}

struct MaskCase {
    std::array<Byte, 5> mask;
    const char* text;
};

void PrintTo(const MaskCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}
class MaskText : public ::testing::TestWithParam<MaskCase> {};

TEST_P(MaskText, Renders) {
    EXPECT_EQ(MaskToText(GetParam().mask), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, MaskText,
    ::testing::Values(MaskCase{{0, 0, 0, 0, 0}, "Нет"}, MaskCase{{0x18, 0, 0, 0, 0}, "4, 5"},
                      MaskCase{{0, 0, 0, 0, 1}, "БВИ"}, MaskCase{{0x37, 0x01, 0, 0, 1}, "1-3, 5, 6, 9, БВИ"},
                      MaskCase{{0xC7, 0, 0, 0, 1}, "1-3, 7, 8, БВИ"},
                      MaskCase{{0xFF, 0xFF, 0xFF, 0xFF, 0}, "1-32"}, MaskCase{{0, 0, 0, 0x80, 0xFE}, "32"},
                      MaskCase{{0x07, 0, 0, 0, 1}, "1-3, БВИ"}),
    NumberedBy([](const MaskCase& c) {
        return std::string(c.text == std::string("Нет") ? "None" : c.text);
    }));

TEST(ZoneTypes, DefaultsAndIndex) {
    const Byte expected[9] = {1, 16, 15, 4, 37, 20, 21, 23, 4};
    for (Byte t = 0; t < 9; ++t) {
        EXPECT_EQ(ZoneTypeDefaultCID(t), expected[t]);
        EXPECT_EQ(ZoneTypeDefaultCID(static_cast<Byte>(t | 0x80)), expected[t]);
        EXPECT_EQ(ZoneTypeIndex(ZoneTypeNames[t]), t);
    }
    EXPECT_EQ(ZoneTypeDefaultCID(9), 222);
    EXPECT_EQ(ZoneTypeIndex("нет такого"), -1);
}

TEST(Lists, IndexOfLine) {
    EXPECT_EQ(IndexOfLine("a\r\nb\r\nc\r\n", "b"), 1);
    EXPECT_EQ(IndexOfLine("a\r\nb\r\nc\r\n", "z"), 3);
    EXPECT_EQ(IndexOfLine("a\r\nb\r\n", ""), 0);
    EXPECT_EQ(IndexOfLine("", "a"), 0);
    EXPECT_EQ(IndexOfText(TxTypeNames, "RS-485"), 3);
    EXPECT_EQ(IndexOfText(TxTypeNamesOP5, "RS-485"), 2);
}

} // namespace
