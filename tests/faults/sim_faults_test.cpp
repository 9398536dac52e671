// The simulator's fault modes that shape a reply's bytes, hold them back or end the line: what
// the program under test receives, and when.
#include "device/catalogue.h"
#include "sim/faults.h"
#include "sim/panel_personality.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orv::sim {
namespace {

using Bytes = std::vector<Byte>;
using std::chrono::milliseconds;

Bytes Request(Byte sub) {
    const auto r = frame::BuildReadRequest(sub);
    return {r.begin(), r.end()};
}

Bytes Shaped(const char* fault, const Bytes& request, Bytes reply) {
    std::string error;
    auto made = MakeFault(fault, error);
    EXPECT_NE(made, nullptr) << fault << ": " << error;
    TExchange e;
    e.request = request;
    e.reply = std::move(reply);
    if (made) {
        made->Shape(e);
    }
    return e.reply;
}

TEST(SimFaultShapes, BytesOfTheReply) {
    TPanelModel panel(DefaultPanelState(1, 2));
    const Bytes id = Request(1);
    const Bytes reply = panel.Handle(id).reply;
    ASSERT_EQ(reply.size(), 47u);

    const Bytes noisy = Shaped("garbage:5", id, reply);
    ASSERT_EQ(noisy.size(), reply.size() + 5);
    EXPECT_EQ(Bytes(noisy.begin() + 5, noisy.end()), reply);
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_NE(noisy[i], frame::kStart) << i; // noise must not look like a frame start
    }

    const Bytes longer = Shaped("overlong:3", id, reply);
    ASSERT_EQ(longer.size(), reply.size() + 3);
    EXPECT_EQ(Bytes(longer.begin(), longer.begin() + 47), reply);

    for (const int n : {0, 1, 2, 255}) {
        const std::string fault = "length-byte:" + std::to_string(n);
        const Bytes lying = Shaped(fault.c_str(), id, reply);
        ASSERT_EQ(lying.size(), reply.size()) << n;
        EXPECT_EQ(lying[1], n);
        // Only the length is wrong: the checksum still covers the bytes sent.
        EXPECT_EQ(lying.back(), frame::Crc8(lying.data(), lying.size() - 1)) << n;
        EXPECT_FALSE(frame::ReplyComplete(ReplyView(lying))) << n;
    }

    // No reply stays no reply: noise is never sent on its own.
    EXPECT_TRUE(Shaped("garbage:5", id, {}).empty());
    EXPECT_TRUE(Shaped("overlong:5", id, {}).empty());
}

TEST(SimFaultShapes, SubCommandQualifier) {
    TPanelModel panel(DefaultPanelState(16, 1));
    const Bytes id = Request(1);
    const Bytes gsm = Request(2);
    const Bytes idReply = panel.Handle(id).reply;
    const Bytes gsmReply = panel.Handle(gsm).reply;
    EXPECT_EQ(Shaped("garbage:4@2", id, idReply), idReply);
    EXPECT_EQ(Shaped("garbage:4@2", gsm, gsmReply).size(), gsmReply.size() + 4);
    EXPECT_TRUE(Shaped("silent@2", gsm, gsmReply).empty());
    EXPECT_EQ(Shaped("silent@2", id, idReply), idReply);
}

TEST(SimFaultShapes, RefusedTexts) {
    for (const char* bad : {"garbage", "garbage:0", "garbage:256", "overlong:0", "length-byte:256",
                            "length-byte", "delay:-1", "drip:x", "vanish:256", "gap", "silent@0", "silent@7",
                            "partial:3@", "nothing@2", "garbage:4@2@3", "chatter:0", "chatter:5@2"}) {
        std::string error;
        EXPECT_EQ(MakeFault(bad, error), nullptr) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    const std::string help = FaultHelp();
    for (const char* name : {"garbage:N", "overlong:N", "chatter:MS", "length-byte:N", "delay:MS", "gap:MS",
                             "drip:MS", "vanish:K", "@SUB"}) {
        EXPECT_NE(help.find(name), std::string::npos) << name;
    }
}

// A line with a clock of its own: what was sent, when, and whether the panel left.
class ClockLine final : public TLine {
public:
    void Send(std::span<const Byte> bytes) override {
        sent.push_back({now, Bytes(bytes.begin(), bytes.end())});
    }
    TClock::time_point Now() const override { return now; }
    std::optional<TClock::time_point> LastSent() const override {
        return sent.empty() ? std::nullopt : std::optional(sent.back().at);
    }
    void Leave() override { left = now; }

    struct Piece {
        TClock::time_point at;
        Bytes bytes;
    };
    TClock::time_point now{};
    std::vector<Piece> sent;
    std::optional<TClock::time_point> left;
};

class HeldReplies : public ::testing::Test {
protected:
    void Make(std::vector<const char*> faults, Byte type = 1, TPanelTiming timing = {}) {
        std::vector<std::unique_ptr<TFault>> made;
        for (const char* f : faults) {
            std::string error;
            made.push_back(MakeFault(f, error));
            ASSERT_NE(made.back(), nullptr) << error;
        }
        panel = std::make_unique<TPanelPersonality>(DefaultPanelState(type, 1), std::move(made),
                                                    TPanelPersonality::Files{}, timing);
        reply = TPanelModel(DefaultPanelState(type, 1)).Handle(Request(1)).reply;
    }
    void Ask(Byte sub = 1) {
        const Bytes request = Request(sub);
        panel->OnReceive(request, line);
    }
    // Runs the personality's timer at each deadline until nothing is due within the horizon.
    void RunFor(milliseconds horizon) {
        const auto end = line.now + horizon;
        while (auto due = panel->NextDeadline()) {
            if (*due > end) {
                break;
            }
            line.now = std::max(line.now, *due);
            panel->OnTimer(line);
        }
        line.now = end;
    }
    Bytes Received() const {
        Bytes all;
        for (const auto& p : line.sent) {
            all.insert(all.end(), p.bytes.begin(), p.bytes.end());
        }
        return all;
    }
    milliseconds At(std::size_t piece) const {
        return std::chrono::duration_cast<milliseconds>(line.sent.at(piece).at - TClock::time_point{});
    }

    ClockLine line;
    std::unique_ptr<TPanelPersonality> panel;
    Bytes reply;
};

TEST_F(HeldReplies, DelayHoldsTheWholeReply) {
    Make({"delay:1600"});
    Ask();
    EXPECT_TRUE(line.sent.empty());
    RunFor(milliseconds(1599));
    EXPECT_TRUE(line.sent.empty());
    RunFor(milliseconds(1));
    ASSERT_EQ(line.sent.size(), 1u);
    EXPECT_EQ(line.sent[0].bytes, reply);
    EXPECT_EQ(At(0), milliseconds(1600));
    EXPECT_FALSE(line.left);
}

TEST_F(HeldReplies, GapAfterTheFirstTwoBytes) {
    Make({"gap:900"});
    Ask();
    RunFor(milliseconds(5000));
    ASSERT_EQ(line.sent.size(), 2u);
    EXPECT_EQ(line.sent[0].bytes, Bytes(reply.begin(), reply.begin() + 2));
    EXPECT_EQ(At(0), milliseconds(0));
    EXPECT_EQ(line.sent[1].bytes, Bytes(reply.begin() + 2, reply.end()));
    EXPECT_EQ(At(1), milliseconds(900));
}

TEST_F(HeldReplies, DripSendsOneByteAtATime) {
    Make({"drip:150"}, 6);
    Ask();
    RunFor(milliseconds(10'000));
    ASSERT_EQ(line.sent.size(), reply.size());
    for (std::size_t i = 0; i < reply.size(); ++i) {
        EXPECT_EQ(line.sent[i].bytes, Bytes{reply[i]}) << i;
        EXPECT_EQ(At(i), milliseconds(150 * static_cast<long>(i))) << i;
    }
    EXPECT_EQ(Received(), reply);
}

TEST_F(HeldReplies, VanishSendsThePrefixThenLeaves) {
    Make({"vanish:10"});
    Ask();
    RunFor(milliseconds(999));
    EXPECT_EQ(Received(), Bytes(reply.begin(), reply.begin() + 10));
    EXPECT_FALSE(line.left);
    RunFor(milliseconds(1));
    ASSERT_TRUE(line.left);
    // Once gone, the panel answers nothing more.
    Ask();
    RunFor(milliseconds(5000));
    EXPECT_EQ(Received(), Bytes(reply.begin(), reply.begin() + 10));
}

TEST_F(HeldReplies, TimingFaultsCombineWithByteFaults) {
    Make({"garbage:3", "delay:500", "gap:200"});
    Ask();
    RunFor(milliseconds(2000));
    ASSERT_EQ(line.sent.size(), 2u);
    EXPECT_EQ(At(0), milliseconds(500));
    EXPECT_EQ(At(1), milliseconds(700));
    const Bytes got = Received();
    ASSERT_EQ(got.size(), reply.size() + 3);
    EXPECT_EQ(Bytes(got.begin() + 3, got.end()), reply);
}

// A request that comes while an earlier reply is still held back is answered after it, in order.
TEST_F(HeldReplies, LaterRepliesQueueBehindHeldOnes) {
    Make({"delay:1000@1"}, 16);
    Ask(1);
    Ask(2);
    RunFor(milliseconds(3000));
    ASSERT_EQ(line.sent.size(), 2u);
    EXPECT_EQ(line.sent[0].bytes, reply);
    EXPECT_EQ(At(0), milliseconds(1000));
    EXPECT_EQ(line.sent[1].bytes[3], 2);
    EXPECT_EQ(At(1), milliseconds(1000));
}

// Deaf after a reply: a request sooner than that is lost, a later one answered.
TEST_F(HeldReplies, DeafPanelLosesWhatComesTooSoonAfterItsReply) {
    Make({}, 1, {.deafAfterReply = milliseconds(80)});
    Ask();
    ASSERT_EQ(line.sent.size(), 1u);
    line.now += milliseconds(79);
    Ask();
    EXPECT_EQ(line.sent.size(), 1u);
    line.now += milliseconds(1);
    Ask();
    ASSERT_EQ(line.sent.size(), 2u);
    EXPECT_EQ(line.sent[1].bytes, reply);
}

// Paced, a request is answered once its last byte would have come down the line.
TEST_F(HeldReplies, PacedPanelAnswersOnceTheRequestIsIn) {
    Make({}, 1, {.bitsPerSecond = 1000}); // 10 ms a byte
    Ask();
    RunFor(milliseconds(99));
    EXPECT_TRUE(line.sent.empty());
    RunFor(milliseconds(1));
    ASSERT_EQ(line.sent.size(), 1u);
    EXPECT_EQ(At(0), milliseconds(100));
}

} // namespace
} // namespace orv::sim
