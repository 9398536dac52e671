#include "device/tx_number.h"
#include "support/case_names.h"

#include <gtest/gtest.h>

namespace orv::txnum {
namespace {

using orv::test::NamedBy;
using orv::test::NumberedBy;

struct Forms {
    std::uint32_t number;
    const char* hex;
    const char* station;
    const char* board;
};

void PrintTo(const Forms& c, std::ostream* os) {
    *os << c.number;
}

class TxNumberForms : public ::testing::TestWithParam<Forms> {};

TEST_P(TxNumberForms, ShowsAndReadsBack) {
    const Forms& f = GetParam();
    EXPECT_EQ(HexForm(f.number), f.hex);
    EXPECT_EQ(StationForm(f.number), f.station);
    EXPECT_EQ(BoardForm(f.number), f.board);
    EXPECT_EQ(FromHexForm(f.hex), f.number);
    EXPECT_EQ(FromStationForm(f.station), f.number);
    EXPECT_EQ(FromBoardForm(f.board), f.number);
}

INSTANTIATE_TEST_SUITE_P(Numbers, TxNumberForms,
                         ::testing::Values(Forms{173555, "2A5F3", "2.165.243", "173555"},
                                           Forms{300, "0012C", "0.001.044", "000300"},
                                           Forms{4080, "00FF0", "0.015.240", "004080"},
                                           Forms{1, "00001", "0.000.001", "000001"},
                                           Forms{0x3FFFF, "3FFFF", "3.255.255", "262143"},
                                           Forms{0x1ABCD, "1ABCD", "1.171.205", "109517"}),
                         NamedBy([](const Forms& f) { return "Number" + std::to_string(f.number); }));

TEST(TxNumber, ZeroShowsEmptyFields) {
    EXPECT_EQ(HexForm(0), "");
    EXPECT_EQ(StationForm(0), "");
    EXPECT_EQ(BoardForm(0), "");
}

TEST(TxNumber, EveryNumberSurvivesEachForm) {
    for (std::uint32_t n = 1; n <= kNumberMask; ++n) {
        ASSERT_EQ(FromHexForm(HexForm(n)), n);
        ASSERT_EQ(FromStationForm(StationForm(n)), n);
        ASSERT_EQ(FromBoardForm(BoardForm(n)), n);
    }
}

TEST(TxNumber, EmptyFieldsGiveNoNumber) {
    EXPECT_EQ(FromHexForm(""), std::nullopt);
    EXPECT_EQ(FromBoardForm(""), std::nullopt);
    EXPECT_EQ(FromBoardForm("______"), std::nullopt);
    EXPECT_EQ(FromBoardForm("      "), std::nullopt);
    // The station field always has its points: all blanks read as 0.
    EXPECT_EQ(FromStationForm("_.___.___"), 0u);
    EXPECT_EQ(FromStationForm(" .   .   "), 0u);
}

TEST(TxNumber, HexReadsSixCharactersAndKeeps18Bits) {
    EXPECT_EQ(FromHexForm("FF0"), 4080u);
    EXPECT_EQ(FromHexForm("ff0"), 4080u);
    EXPECT_EQ(FromHexForm("FFFFFF"), kNumberMask);
    EXPECT_EQ(FromHexForm("12345678"), 0x123456u & kNumberMask);
    EXPECT_EQ(FromHexForm("4ABCD"), 0x0ABCDu);
    EXPECT_EQ(FromHexForm("12G4"), 0u);
}

TEST(TxNumber, StationPartsAreNotRangeChecked) {
    // The monitoring-station entry 0.000.300 is the number 300.
    EXPECT_EQ(FromStationForm("0.000.300"), 300u);
    EXPECT_EQ(FromStationForm("0.300.000"), 300u * 256);
    // A first digit above 3 goes past 18 bits and is shown as entered.
    const std::uint32_t big = FromStationForm("5.000.001");
    EXPECT_EQ(big, 5u * 65536 + 1);
    EXPECT_EQ(StationForm(big), "5.000.001");
    EXPECT_EQ(HexForm(big), "50001");
    EXPECT_EQ(BoardForm(big), "327681");
    // Blanks left by the mask read as 0.
    EXPECT_EQ(FromStationForm("2.1__.2_3"), 2u * 65536 + 100 * 256 + 203);
}

TEST(TxNumber, StationNumberTheFieldCannotShowKeepsItsLow18Bits) {
    // 9.999.999 would need "12" before the first point.
    const std::uint32_t n = FromStationForm("9.999.999");
    EXPECT_EQ(n, (9u * 65536 + 999 * 256 + 999) & kNumberMask);
    EXPECT_EQ(StationForm(n).find('.'), 1u);
    // Still room for one digit: kept whole.
    EXPECT_EQ(FromStationForm("9.255.255"), 9u * 65536 + 255 * 256 + 255);
}

TEST(TxNumber, BoardDropsBlanksAndKeeps18Bits) {
    EXPECT_EQ(FromBoardForm("000300"), 300u);
    EXPECT_EQ(FromBoardForm("12_4__"), 124u);
    EXPECT_EQ(FromBoardForm("999999"), 999999u & kNumberMask);
    EXPECT_EQ(FromBoardForm("1234567"), 123456u);
    EXPECT_EQ(FromBoardForm("12a"), 0u);
}

TEST(TxNumber, HexKeyFilter) {
    struct Key {
        char32_t in;
        char32_t out;
    };
    const Key keys[] = {{U'0', U'0'}, {U'9', U'9'},   {U'A', U'A'},   {U'F', U'F'},
                        {U'a', U'A'}, {U'f', U'F'},   {U'\r', U'\r'}, {0x1B, 0x1B},
                        {0x08, 0x08}, {U'g', 0},      {U'G', 0},      {U' ', 0},
                        {U'-', 0},    {U'\x0401', 0}, {U'\x0430', 0}, {U'\t', 0}};
    for (const Key& k : keys) {
        EXPECT_EQ(FilterHexKey(k.in), k.out) << static_cast<unsigned>(k.in);
    }
}

} // namespace
} // namespace orv::txnum
