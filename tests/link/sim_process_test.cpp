// The simulator as a process: its terminal, its pace, its files and its clean stop.
#include "sim/hex.h"
#include "support/raw_terminal.h"
#include "support/sim_process.h"

#include <QElapsedTimer>
#include <QFile>

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

// Paced, a request is taken and its reply sent at the line's pace.
TEST(SimProcess, PacesItsRepliesAtTheBitRate) {
    test::EnsureQtApp();
    test::SimProcess sim({"--type", "15", "--sms-records", "10", "--baud", "2400"});
    ASSERT_TRUE(sim.Start()) << sim.Error().toStdString();
    test::RawTerminal line(sim.PortPath(), 2400);
    ASSERT_TRUE(line.Valid());
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(line.Write(Request(6, 0)));
    const auto reply = line.Read(107, 10'000);
    const qint64 elapsed = clock.elapsed();
    ASSERT_EQ(reply.size(), 107u);
    EXPECT_TRUE(frame::ReplyComplete(ReplyView(reply)));
    // The request's and the reply's line time, 487 ms, less a tick of slack.
    EXPECT_GE(elapsed, (10 + 107) * 10 * 1000 / 2400 - 20);
}

// A panel's UART hears only its own rate and framing; what it cannot make out is logged with why.
struct LineCase {
    const char* name;
    QStringList args;
    int bitsPerSecond;
    int stopBits;
    std::vector<Byte> request;
    std::size_t answer; // bytes expected back; 0 for none
    const char* why = "";
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

const std::vector<Byte> kBlock{0x00, 0x03, 0xAA, 0xBB, 0xCC};

class SimLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(SimLine, AnswersOnlyAtItsOwnRateAndFraming) {
    const LineCase& c = GetParam();
    test::EnsureQtApp();
    test::SimProcess sim(QStringList{"--no-pace"} + c.args);
    ASSERT_TRUE(sim.Start()) << sim.Error().toStdString();
    {
        test::RawTerminal line(sim.PortPath(), c.bitsPerSecond, c.stopBits);
        ASSERT_TRUE(line.Valid());
        ASSERT_TRUE(line.Write(c.request));
        EXPECT_EQ(line.Read(std::max<std::size_t>(c.answer, 1), c.answer ? 5000 : 300).size(), c.answer);
    }
    EXPECT_TRUE(sim.Stop());
    QFile log(sim.LogPath());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(log.readAll());
    if (c.answer) {
        EXPECT_FALSE(text.contains("ignored")) << text.toStdString();
    } else {
        EXPECT_TRUE(
            text.startsWith("ignored " + QString::fromStdString(sim::ToHex(c.request)) + ": " + c.why))
            << text.toStdString();
    }
}

const LineCase kLineCases[] = {
    {"Panel9600", {"--type", "3"}, 9600, 1, Request(1), 17},
    {"Panel19200",
     {"--type", "3"},
     19200,
     1,
     Request(1),
     0,
     "line set to 19200 8N1, this end runs at 9600 8N1"},
    {"PanelTwoStopBits",
     {"--type", "3"},
     9600,
     2,
     Request(1),
     0,
     "line set to 9600 8N2, this end runs at 9600 8N1"},
    {"PanelAtItsBaud", {"--type", "3", "--baud", "57600"}, 57600, 1, Request(1), 17},
    {"PanelAtLoaderRate", {"--type", "3"}, 115200, 1, Request(1), 0, "line set to 115200 8N1"},
    {"Loader115200", {"--loader"}, 115200, 1, kBlock, 1},
    {"Loader9600", {"--loader"}, 9600, 1, kBlock, 0, "line set to 9600 8N1, this end runs at 115200 8N1"},
};

INSTANTIATE_TEST_SUITE_P(Sim, SimLine, ::testing::ValuesIn(kLineCases),
                         [](const auto& info) { return info.param.name; });

TEST(SimProcess, BadArgumentsEndTheProcessWithoutAPath) {
    test::EnsureQtApp();
    test::SimProcess sim({"--type", "300"}, {.log = false, .dump = false});
    EXPECT_FALSE(sim.Start());
    EXPECT_FALSE(sim.Error().isEmpty());
    EXPECT_FALSE(sim.Running());
}

} // namespace
} // namespace orv
