#include "frame/frame.h"
#include "support/case_names.h"

#include <gtest/gtest.h>

#include <vector>

using namespace orv;

namespace {

using orv::test::NamedBy;
using orv::test::NumberedBy;

struct CrcCase {
    std::vector<Byte> input;
    Byte crc;
};

void PrintTo(const CrcCase& c, std::ostream* os) {
    *os << "CRC " << int{c.crc} << " of";
    for (const Byte b : c.input) {
        *os << ' ' << int{b};
    }
}

class CrcExamples : public ::testing::TestWithParam<CrcCase> {};

TEST_P(CrcExamples, MatchesWorkedExample) {
    const auto& c = GetParam();
    EXPECT_EQ(frame::Crc8(c.input.data(), c.input.size()), c.crc);
}

INSTANTIATE_TEST_SUITE_P(Requests, CrcExamples,
                         ::testing::Values(CrcCase{{0x7E, 0x0A, 0x52, 0x01, 0, 0, 0, 0, 0}, 0xE3},
                                           CrcCase{{0x7E, 0x0A, 0x52, 0x02, 0, 0, 0, 0, 0}, 0xEC},
                                           CrcCase{{0x7E, 0x0A, 0x52, 0x03, 0, 0, 0, 0, 0}, 0xE9},
                                           CrcCase{{0x7E, 0x0A, 0x52, 0x04, 0, 0, 0, 0, 0}, 0xF2},
                                           CrcCase{{0x7E, 0x0A, 0x52, 0x05, 0, 0, 0, 0, 0}, 0xF7},
                                           CrcCase{{0x7E, 0x0A, 0x52, 0x06, 0, 0, 0, 0, 0}, 0xF8},
                                           CrcCase{{0x7E, 0x0A, 0x52, 0x06, 1, 0, 0, 0, 0}, 0x3C},
                                           CrcCase{{0x7E, 0x0A, 0x52, 0x06, 2, 0, 0, 0, 0}, 0x01},
                                           CrcCase{{0x7E, 0x0A, 0x52, 0x06, 3, 0, 0, 0, 0}, 0xC5},
                                           CrcCase{{'a', 'b', 'c'}, 0x87}, CrcCase{{}, 0x00}),
                         NamedBy([](const CrcCase& c) {
                             std::string hex;
                             for (const Byte b : c.input) {
                                 static const char digits[] = "0123456789ABCDEF";
                                 hex += digits[b >> 4];
                                 hex += digits[b & 15];
                             }
                             return hex.empty() ? std::string("Empty") : hex;
                         }));

TEST(Crc, BitwiseFormAgreesWithTable) {
    for (int a = 0; a < 256; ++a) {
        const Byte in[2] = {static_cast<Byte>(a), static_cast<Byte>(255 - a)};
        Byte crc = 0;
        for (Byte b : in) {
            crc ^= b;
            for (int i = 0; i < 8; ++i) {
                crc = (crc & 1) ? static_cast<Byte>((crc >> 1) ^ 0xB8) : static_cast<Byte>(crc >> 1);
            }
        }
        EXPECT_EQ(frame::Crc8(in, 2), crc) << a;
    }
}

TEST(ReadRequest, IdentificationOnTheWire) {
    const auto r = frame::BuildReadRequest(frame::subConfig);
    const std::array<Byte, 10> expected{0x7E, 0x0A, 0x52, 0x01, 0, 0, 0, 0, 0, 0xE3};
    EXPECT_EQ(r, expected);
}

TEST(ReadRequest, PageOnlyForSmsPages) {
    for (Byte sub = 1; sub <= 6; ++sub) {
        const auto r = frame::BuildReadRequest(sub, 2);
        EXPECT_EQ(r[4], sub == 6 ? 2 : 0) << int(sub);
        for (int i = 5; i < 9; ++i) {
            EXPECT_EQ(r[i], 0);
        }
        EXPECT_EQ(r[9], frame::Crc8(r.data(), 9));
    }
}

std::vector<Byte> Reply(Byte type, std::size_t length) {
    std::vector<Byte> r(length, 0);
    r[0] = 0x7E;
    r[1] = static_cast<Byte>(length);
    r[2] = 0x44;
    r[3] = type;
    r[4] = 7;
    for (std::size_t i = 5; i + 1 < length; ++i) {
        r[i] = static_cast<Byte>(i * 3);
    }
    frame::SealFrame(r.data(), length);
    return r;
}

TEST(Reply, CompleteOnlyWhenCountMatchesAndChecksumRight) {
    auto r = Reply(1, 47);
    EXPECT_TRUE(frame::ReplyComplete(ReplyView(r.data(), r.size())));
    EXPECT_FALSE(frame::ReplyComplete(ReplyView(r.data(), 46)));
    r.push_back(0);
    EXPECT_FALSE(frame::ReplyComplete(ReplyView(r.data(), r.size())));
    r.pop_back();
    for (int bit = 0; bit < 8; ++bit) {
        auto bad = r;
        bad[bad.size() - 1] ^= static_cast<Byte>(1 << bit);
        EXPECT_FALSE(frame::ReplyComplete(ReplyView(bad.data(), bad.size())));
    }
}

TEST(Reply, TwelveBytesWhenTenAnnouncedIsNotComplete) {
    auto r = Reply(1, 10);
    r.resize(12, 0);
    EXPECT_FALSE(frame::ReplyComplete(ReplyView(r.data(), 12)));
}

TEST(Reply, ShortCountsAreNeverComplete) {
    const Byte one[1] = {0x01};
    EXPECT_FALSE(frame::ReplyComplete(ReplyView(one, 1)));
    EXPECT_FALSE(frame::ReplyComplete(ReplyView(nullptr, 0)));
}

struct IdCase {
    Byte typeByte;
    Byte expected;
};
void PrintTo(const IdCase& c, std::ostream* os) {
    *os << "type byte " << int{c.typeByte};
}
class Identification : public ::testing::TestWithParam<IdCase> {};

TEST_P(Identification, TypeByteRule) {
    const auto r = Reply(GetParam().typeByte, 47);
    EXPECT_EQ(frame::IdentifyReply(ReplyView(r.data(), r.size())), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Codes, Identification,
                         ::testing::Values(IdCase{1, 1}, IdCase{18, 18}, IdCase{14, 14}, IdCase{0, 0},
                                           IdCase{19, 0}, IdCase{127, 0}, IdCase{0x81, 0x81},
                                           IdCase{0xFF, 0xFF}),
                         NamedBy([](const IdCase& c) { return "TypeByte" + std::to_string(c.typeByte); }));

TEST(Identification, NeedsStartAndReplyLetter) {
    auto r = Reply(1, 47);
    r[2] = 0x57;
    frame::SealFrame(r.data(), r.size());
    EXPECT_EQ(frame::IdentifyReply(ReplyView(r.data(), r.size())), 0);
    r = Reply(1, 47);
    r[0] = 0x7F;
    frame::SealFrame(r.data(), r.size());
    EXPECT_EQ(frame::IdentifyReply(ReplyView(r.data(), r.size())), 0);
}

TEST(ReplyView, BytesBeyondTheCountReadZero) {
    const Byte b[3] = {1, 2, 3};
    ReplyView v(b, 2);
    EXPECT_EQ(v[1], 2);
    EXPECT_EQ(v[2], 0);
    EXPECT_EQ(v[100000], 0);
}

TEST(Confirmations, WindowsOfEachWriteKind) {
    std::vector<Byte> written(40);
    for (std::size_t i = 0; i < written.size(); ++i) {
        written[i] = static_cast<Byte>(i + 1);
    }
    written[0] = 0x7E;
    written[2] = 0x57;
    written[3] = 2;
    auto reply = written;
    reply[2] = 0x44;
    const std::size_t L = written.size();
    auto view = [&] { return ReplyView(reply.data(), reply.size()); };

    EXPECT_TRUE(frame::ConfirmGsmWrite(view(), written));
    reply[L - 2] ^= 1; // L-2 is outside the GSM window (4..L-3)
    EXPECT_TRUE(frame::ConfirmGsmWrite(view(), written));
    EXPECT_FALSE(frame::ConfirmGprsWrite(view(), written)); // but inside 4..L-2
    reply[L - 2] ^= 1;
    reply[3] = 3;
    EXPECT_FALSE(frame::ConfirmGsmWrite(view(), written));     // sub-command must be 2
    EXPECT_TRUE(frame::ConfirmGprsWrite(view(), written));     // byte 3 not compared
    EXPECT_FALSE(frame::ConfirmObjectsWrite(view(), written)); // byte 3 compared
    reply[3] = 2;
    reply[L - 4] ^= 1;
    EXPECT_FALSE(frame::ConfirmSmsPageWrite(view(), written));
    reply[L - 4] ^= 1;
    reply[L - 3] ^= 1;
    EXPECT_TRUE(frame::ConfirmSmsPageWrite(view(), written)); // window ends at L-4
    EXPECT_FALSE(frame::ConfirmSmsWrite(view(), written));
}

} // namespace
