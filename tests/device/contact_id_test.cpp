#include "device/contact_id.h"

#include <gtest/gtest.h>

#include <set>

using namespace orv;

namespace {

TEST(ContactId, TableIsDenseAndShownTextsUnique) {
    std::set<std::string> shown;
    int hidden = 0;
    for (std::size_t i = 0; i < ContactIdTable.size(); ++i) {
        EXPECT_EQ(ContactIdTable[i].byte, i + 1);
        EXPECT_TRUE(shown.insert(CidShownText(ContactIdTable[i])).second);
        hidden += ContactIdTable[i].hidden;
    }
    EXPECT_EQ(hidden, 47);
    EXPECT_EQ(CidItems(false).size(), 178u);
    EXPECT_EQ(CidItems(true).size(), 225u);
}

TEST(ContactId, KnownEntries) {
    EXPECT_EQ(CidShownText(ContactIdTable[3]), "ПОЖАР - 110");
    EXPECT_EQ(CidShownText(ContactIdTable[122]), "СНЯТ - 400");
    EXPECT_EQ(ContactIdTable[133 - 1].code, 441);
    EXPECT_EQ(ContactIdTable[134 - 1].code, 442);
    EXPECT_EQ(ContactIdTable[74].name, "РЕЛЕ НЕИСПР ");
    EXPECT_EQ(ContactIdTable[224].code, 654);
}

TEST(ContactId, GetAndSetByte) {
    const auto shortList = CidItems(false);
    const auto all = CidItems(true);
    EXPECT_EQ(GetCIDByte(true, "ПОЖАР - 110"), 4);
    EXPECT_EQ(GetCIDByte(false, "ПОЖАР - 110"), 0);
    EXPECT_EQ(GetCIDByte(true, "что-то"), 0);
    EXPECT_EQ(GetCIDByte(true, "СНЯТ С ПОЛЬЗ - 442"), 134);
    EXPECT_EQ(SetCIDByte(shortList, 123), -1); // hidden in the short list
    EXPECT_EQ(all[static_cast<std::size_t>(SetCIDByte(all, 123))], "СНЯТ - 400");
    EXPECT_EQ(SetCIDByte(all, 0), kCidKeepSelection);
    EXPECT_EQ(SetCIDByte(all, 226), kCidKeepSelection);
    for (Byte b = 1; b <= 225; ++b) {
        const int i = SetCIDByte(all, b);
        ASSERT_GE(i, 0);
        EXPECT_EQ(GetCIDByte(true, all[static_cast<std::size_t>(i)]), b);
    }
}

} // namespace
