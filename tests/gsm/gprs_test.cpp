#include "gsm/gprs.h"

#include "gsm_test_util.h"

#include <gtest/gtest.h>

using namespace orv;
using namespace orv::test;

namespace orv {
void PrintTo(const GprsSim& s, std::ostream* os) {
    *os << "{" << s.apn << " | " << s.user << " | " << s.password << " | " << s.preset << "}";
}
} // namespace orv

namespace {

std::vector<Byte> Block(const std::string& apn, const std::string& user, const std::string& password) {
    std::vector<Byte> out{static_cast<Byte>(apn.size() + user.size() + password.size() + 3)};
    for (const std::string* text : {&apn, &user, &password}) {
        AppendText(out, *text);
        out.push_back(0);
    }
    return out;
}

std::vector<Byte> GprsHead(int command = 0x44) {
    return Bytes({0x7E, 0, command, 0x03});
}

GprsSim Sim(const std::string& apn, const std::string& user, const std::string& password, int preset = 0) {
    return GprsSim{apn, user, password, preset};
}

TEST(GprsPresets, PublishedAccessPoints) {
    ASSERT_EQ(GprsPresets.size(), 4u);
    const GprsOperator expected[] = {{"Билайн", "internet.beeline.ru", "qirvost", "qirvost"},
                                     {"МТС", "internet.mts.ru", "dzu", "dzu"},
                                     {"Tele2", "internet.tele2.ru", "", ""},
                                     {"Megafon", "internet", "", ""}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(GprsPresets[i].name, expected[i].name);
        EXPECT_EQ(GprsPresets[i].apn, expected[i].apn);
        EXPECT_EQ(GprsPresets[i].user, expected[i].user);
        EXPECT_EQ(GprsPresets[i].password, expected[i].password);
    }
}

TEST(GprsModel, ResetAndPresets) {
    GprsModel m;
    EXPECT_EQ(m.Sim(0), Sim("internet.beeline.ru", "qirvost", "qirvost", 0));
    EXPECT_EQ(m.Sim(1), Sim("internet.beeline.ru", "qirvost", "qirvost", 0));
    m.ApplyPreset(1, 1);
    EXPECT_EQ(m.Sim(1), Sim("internet.mts.ru", "dzu", "dzu", 1));
    m.ApplyPreset(1, 2); // "Tele2" clears user and password
    EXPECT_EQ(m.Sim(1), Sim("internet.tele2.ru", "", "", 2));
    m.ApplyPreset(1, 4);
    m.ApplyPreset(2, 0);
    EXPECT_EQ(m.Sim(1).preset, 2);
    m.SetApn(0, "x");
    m.Reset();
    EXPECT_EQ(m.Sim(0), Sim("internet.beeline.ru", "qirvost", "qirvost", 0));
    EXPECT_EQ(m.Sim(1), Sim("internet.beeline.ru", "qirvost", "qirvost", 0));
}

TEST(GprsEncode, SimOneEmptySimTwoFilled) {
    GprsModel m;
    m.SetApn(0, "");
    m.ApplyPreset(1, 3);
    FrameBuffer f;
    f.fill(0xAA);
    ASSERT_FALSE(m.Encode(f));
    const std::vector<Byte> expected =
        Sealed(Bytes({0x7E, 0, 0x57, 0x03, 0x00, 0x0B, 'i', 'n', 't', 'e', 'r', 'n', 'e', 't', 0, 0, 0}));
    ASSERT_EQ(expected.size(), 18u);
    EXPECT_EQ(Head(f, 18), expected);
    EXPECT_EQ(f[18], 0xAA);
}

TEST(GprsEncode, BothSimCards) {
    GprsModel m;
    m.ApplyPreset(1, 1);
    FrameBuffer f{};
    ASSERT_FALSE(m.Encode(f));
    std::vector<Byte> body = GprsHead(0x57);
    Append(body, Block("internet.beeline.ru", "qirvost", "qirvost"));
    Append(body, Block("internet.mts.ru", "dzu", "dzu"));
    EXPECT_EQ(body[4], 36);
    EXPECT_EQ(body[41], 24);
    EXPECT_EQ(Head(f, 67), Sealed(body));
}

TEST(GprsEncode, WithoutAnApnOnlyByteZeroChanges) {
    GprsModel m;
    m.SetApn(0, "");
    m.SetApn(1, "");
    FrameBuffer f;
    f.fill(0x33);
    EXPECT_FALSE(m.HasApn());
    ASSERT_FALSE(m.Encode(f));
    EXPECT_EQ(f[0], 0);
    for (std::size_t i = 1; i < f.size(); ++i) {
        ASSERT_EQ(f[i], 0x33);
    }
    // Filling the dialog from such a frame gives the first preset on both SIM cards.
    GprsModel read;
    read.SetApn(0, "old");
    read.FillFromFrame(f);
    EXPECT_EQ(read.Sim(0), Sim("internet.beeline.ru", "qirvost", "qirvost"));
}

TEST(GprsEncode, TextsThatDoNotFitOneFrameAreRefused) {
    GprsModel m;
    m.SetApn(0, std::string(191, 'a')); // 4 + 1 + 194 + 1 + 1 = 201 bytes
    m.SetUser(0, "");
    m.SetPassword(0, "");
    m.SetApn(1, "");
    FrameBuffer f{};
    ASSERT_FALSE(m.Encode(f));
    EXPECT_EQ(f[1], 201);
    EXPECT_EQ(f[4], 194);

    f.fill(0x5A);
    m.SetPassword(0, "p");
    const auto refusal = m.Encode(f);
    ASSERT_TRUE(refusal);
    EXPECT_NE(refusal->find("на 1 симв."), std::string::npos) << *refusal;
    for (const Byte b : f) {
        ASSERT_EQ(b, 0x5A); // no frame built at all
    }
    // A block that alone would need a length above 255 is refused the same way.
    m.SetApn(0, std::string(300, 'a'));
    EXPECT_TRUE(m.Encode(f));
    m.SetApn(1, std::string(100, 'b'));
    m.SetApn(0, std::string(100, 'a'));
    EXPECT_TRUE(m.Encode(f));
}

TEST(GprsFill, FromAFrame) {
    std::vector<Byte> body = GprsHead();
    Append(body, Block("apn.one", "u1", "пароль"));
    Append(body, Block("apn.two", "", ""));
    // Texts are Windows-1251 in the frame.
    const std::string cyr = "\xEF\xE0\xF0\xEE\xEB\xFC";
    body = GprsHead();
    Append(body, Block("apn.one", "u1", cyr));
    Append(body, Block("apn.two", "", ""));
    GprsModel m;
    m.FillFromFrame(InBuffer(Sealed(body), 0x61));
    EXPECT_EQ(m.Sim(0), Sim("apn.one", "u1", "пароль"));
    EXPECT_EQ(m.Sim(1), Sim("apn.two", "", ""));

    FrameBuffer f{};
    ASSERT_FALSE(m.Encode(f));
    body[2] = 0x57;
    EXPECT_EQ(Head(f, body.size() + 1), Sealed(body));
}

TEST(GprsFill, SimOneEmpty) {
    std::vector<Byte> body = GprsHead();
    body.push_back(0);
    Append(body, Block("internet", "", ""));
    GprsModel m;
    m.FillFromFrame(InBuffer(Sealed(body)));
    EXPECT_EQ(m.Sim(0), Sim("", "", ""));
    EXPECT_EQ(m.Sim(1), Sim("internet", "", ""));
}

TEST(GprsFill, LongApnsAreReadWhole) {
    for (const std::size_t length : {31u, 40u, 120u}) {
        const std::string apn(length, 'q');
        std::vector<Byte> body = GprsHead();
        Append(body, Block(apn, "user", "pass"));
        body.push_back(0);
        GprsModel m;
        m.FillFromFrame(InBuffer(Sealed(body)));
        EXPECT_EQ(m.Sim(0), Sim(apn, "user", "pass")) << length;
    }
}

TEST(GprsFill, FramesThatHoldNothingReset) {
    std::vector<Byte> body = GprsHead();
    Append(body, Block("a", "b", "c"));
    body.push_back(0);
    std::vector<Byte> noStart = Sealed(body);
    noStart[0] = 0;
    std::vector<Byte> wrongSub = Sealed(body);
    wrongSub[3] = 4;
    for (const auto& frame : {noStart, wrongSub}) {
        GprsModel m;
        m.SetApn(0, "z");
        m.ApplyPreset(1, 2);
        m.FillFromFrame(InBuffer(frame));
        EXPECT_EQ(m.Sim(0), Sim("internet.beeline.ru", "qirvost", "qirvost"));
        EXPECT_EQ(m.Sim(1), Sim("internet.beeline.ru", "qirvost", "qirvost"));
    }
}

TEST(GprsFill, BlocksRunningPastTheEnd) {
    // SIM 1 claims 50 bytes of a 14-byte frame; the buffer behind holds left-overs.
    std::vector<Byte> body = Bytes({0x7E, 0, 0x44, 0x03, 50, 'a', 'b', 0, 'c', 'd', 'e', 'f', 'g'});
    GprsModel m;
    m.FillFromFrame(InBuffer(Sealed(body), 'x'));
    EXPECT_EQ(m.Sim(0), Sim("ab", "cdefg", ""));
    EXPECT_EQ(m.Sim(1), Sim("", "", ""));

    // Texts without a terminator end with their block.
    body = Bytes({0x7E, 0, 0x44, 0x03, 4, 'a', 'b', 'c', 'd', 2, 'e', 0});
    m.FillFromFrame(InBuffer(Sealed(body), 'x'));
    EXPECT_EQ(m.Sim(0), Sim("abcd", "", ""));
    EXPECT_EQ(m.Sim(1), Sim("e", "", ""));
}

TEST(GprsKeys, Filter) {
    for (const char32_t key : {U'a', U'z', U'A', U'Z', U'0', U'9', U'-', U'.', U'@', U'_', kKeyBackspace}) {
        EXPECT_TRUE(GprsModel::AcceptKey(key)) << static_cast<int>(key);
    }
    for (const char32_t key : {U' ', kKeyEnter, kKeyEscape, U':', U'/', U'+', U'ж', U'Ж', U'!', U'\t'}) {
        EXPECT_FALSE(GprsModel::AcceptKey(key)) << static_cast<int>(key);
    }
}

TEST(GprsRoundTrip, EveryFrameAPanelCanHoldComesBackUnchanged) {
    std::mt19937 rng(11);
    auto text = [&](std::size_t max) {
        std::string t;
        const std::size_t n = rng() % (max + 1);
        for (std::size_t i = 0; i < n; ++i) {
            t.push_back(static_cast<char>(1 + rng() % 255)); // any byte but the terminator
        }
        return t;
    };
    for (int i = 0; i < 500; ++i) {
        std::vector<Byte> body = GprsHead();
        bool any = false;
        for (int sim = 0; sim < 2; ++sim) {
            if (rng() % 4 == 0) {
                body.push_back(0);
                continue;
            }
            std::string apn = text(40); // two blocks of at most 93 bytes: a frame of at most 193
            if (apn.empty()) {
                apn = "a";
            }
            Append(body, Block(apn, text(25), text(25)));
            any = true;
        }
        if (!any) {
            continue;
        }
        const std::vector<Byte> read = Sealed(body);
        GprsModel m;
        m.FillFromFrame(InBuffer(read, static_cast<Byte>(rng())));
        FrameBuffer f{};
        ASSERT_FALSE(m.Encode(f));
        std::vector<Byte> expected = read;
        expected[2] = 0x57;
        frame::SealFrame(expected.data(), expected.size());
        ASSERT_EQ(Head(f, expected.size()), expected) << i;
    }
}

} // namespace
