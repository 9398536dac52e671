// The simulator as a process: its terminal, its pace, its files and its clean stop.
#include "sim/hex.h"
#include "support/raw_terminal.h"
#include "support/sim_process.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace orv {
namespace {

std::vector<Byte> Request(Byte sub, Byte page = 0) {
    const auto r = frame::BuildReadRequest(sub, page);
    return {r.begin(), r.end()};
}

TEST(SimProcess, AnswersLogsDumpsAndStopsCleanly) {
    test::EnsureQtApp();
    test::SimProcess sim({"--type", "3", "--version", "12", "--no-pace"});
    ASSERT_TRUE(sim.Start()) << sim.Error().toStdString();
    EXPECT_TRUE(sim.PortPath().startsWith("/dev/pts/")) << sim.PortPath().toStdString();
    EXPECT_GT(sim.Pid(), 0);
    {
        test::RawTerminal line(sim.PortPath());
        ASSERT_TRUE(line.Valid());
        // Garbage first: the panel falls back in step and answers the request behind it.
        std::vector<Byte> bytes{0x00, 0x7E, 0x03};
        const auto request = Request(1);
        bytes.insert(bytes.end(), request.begin(), request.end());
        ASSERT_TRUE(line.Write(bytes));
        const auto reply = line.Read(17, 5000);
        ASSERT_EQ(reply.size(), 17u);
        EXPECT_TRUE(frame::ReplyComplete(ReplyView(reply)));
        EXPECT_EQ(frame::IdentifyReply(ReplyView(reply)), 3);
        EXPECT_EQ(reply[4], 12);
    }
    EXPECT_EQ(sim.LoggedFrames(), std::vector<std::vector<Byte>>{Request(1)});
    EXPECT_TRUE(sim.Stop());
    EXPECT_FALSE(sim.Running());
    const auto dump = sim.Dump();
    ASSERT_TRUE(dump);
    EXPECT_EQ(dump->type, 3);
    EXPECT_EQ(dump->version, 12);
}

// The line stays usable when the program closes its port and opens it again.
TEST(SimProcess, SurvivesThePortBeingReopened) {
    test::EnsureQtApp();
    test::SimProcess sim({"--type", "6", "--no-pace"});
    ASSERT_TRUE(sim.Start()) << sim.Error().toStdString();
    for (int round = 0; round < 3; ++round) {
        test::RawTerminal line(sim.PortPath());
        ASSERT_TRUE(line.Valid());
        ASSERT_TRUE(line.Write(Request(1)));
        EXPECT_EQ(line.Read(18, 5000).size(), 18u) << round;
    }
    EXPECT_TRUE(sim.Stop());
}

// Paced, a reply takes at least its bytes' time on the line.
TEST(SimProcess, PacesItsRepliesAtTheBitRate) {
    test::EnsureQtApp();
    test::SimProcess sim({"--type", "15", "--sms-records", "10", "--baud", "2400"});
    ASSERT_TRUE(sim.Start()) << sim.Error().toStdString();
    test::RawTerminal line(sim.PortPath());
    ASSERT_TRUE(line.Valid());
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(line.Write(Request(6, 0)));
    const auto reply = line.Read(107, 10'000);
    const qint64 elapsed = clock.elapsed();
    ASSERT_EQ(reply.size(), 107u);
    EXPECT_TRUE(frame::ReplyComplete(ReplyView(reply)));
    EXPECT_GE(elapsed, 107 * 10 * 1000 / 2400 - 20); // 445 ms of line time, less a tick of slack
}

TEST(SimProcess, BadArgumentsEndTheProcessWithoutAPath) {
    test::EnsureQtApp();
    test::SimProcess sim({"--type", "300"}, {.log = false, .dump = false});
    EXPECT_FALSE(sim.Start());
    EXPECT_FALSE(sim.Error().isEmpty());
    EXPECT_FALSE(sim.Running());
}

} // namespace
} // namespace orv
