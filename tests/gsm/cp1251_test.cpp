#include "gsm/cp1251.h"

#include <gtest/gtest.h>

using namespace orv;

namespace {

TEST(Cp1251, KnownCharactersBothWays) {
    struct Case {
        const char* utf8;
        const char* bytes;
    };
    const Case cases[] = {
        {"Привет", "\xCF\xF0\xE8\xE2\xE5\xF2"},
        {"АЯаяЁё", "\xC0\xDF\xE0\xFF\xA8\xB8"},
        {"№ € «»", "\xB9\x20\x88\x20\xAB\xBB"},
        {"ЂЏђџЎўІіЇїЄєҐґ", "\x80\x8F\x90\x9F\xA1\xA2\xB2\xB3\xAF\xBF\xAA\xBA\xA5\xB4"},
        {"internet.mts.ru", "internet.mts.ru"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToCp1251(c.utf8), c.bytes) << c.utf8;
        EXPECT_EQ(Cp1251ToUtf8(c.bytes), c.utf8) << c.utf8;
    }
}

TEST(Cp1251, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const std::string utf8 = Cp1251ToUtf8(all);
    EXPECT_EQ(Utf8ToCp1251(utf8), all);
    EXPECT_EQ(Utf8Length(utf8), 256u);
}

TEST(Cp1251, CharactersWithoutAFormBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1251("a日b"), "a?b");
    EXPECT_EQ(Utf8ToCp1251("x\xF0\x9F\x98\x80y"), "x?y"); // one character outside the plane: one mark
    EXPECT_EQ(Utf8ToCp1251("\xFF\xFE"), "??");            // malformed: one mark per byte
    EXPECT_EQ(Utf8ToCp1251("ab\xD0"), "ab?");             // cut sequence at the end
    EXPECT_EQ(Utf8ToCp1251("\xD0\x41"), "?A");            // lead byte without continuation
    EXPECT_EQ(Utf8ToCp1251("\xC0\x80"), "??");            // overlong form
}

TEST(Cp1251, LengthCountsCharacters) {
    EXPECT_EQ(Utf8Length(""), 0u);
    EXPECT_EQ(Utf8Length("Об.№7"), 5u);
    EXPECT_EQ(Utf8Length("+7(903)"), 7u);
    EXPECT_EQ(Utf8Length("\xFF"), 1u);
}

} // namespace
