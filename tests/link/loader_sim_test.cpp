// The simulator's firmware loader: whole blocks answered, its faults, its log and its pace.
#include "sim/hex.h"
#include "sim/sim_options.h"
#include "support/raw_terminal.h"
#include "support/sim_process.h"

#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

namespace orv {
namespace {

using Bytes = std::vector<Byte>;

Bytes Hex(const char* text) {
    return *sim::FromHex(text);
}

Bytes Block(std::size_t payload, Byte fill) {
    Bytes b{static_cast<Byte>(payload >> 8), static_cast<Byte>(payload & 0xFF)};
    b.insert(b.end(), payload, fill);
    return b;
}

QStringList LogLines(const test::SimProcess& sim) {
    QFile file(sim.LogPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

struct OptionCase {
    std::vector<std::string> args;
    int baud;
    std::size_t faults;
};

TEST(LoaderOptions, ChoosesTheLoaderAndItsRate) {
    for (const OptionCase& c : std::vector<OptionCase>{
             {{"--loader"}, 115200, 0},
             {{"--personality", "loader"}, 115200, 0},
             {{"--loader", "--baud", "57600"}, 57600, 0},
             {{"--baud", "57600", "--loader"}, 57600, 0},
             {{"--loader", "--fault", "nak:3", "--fault", "mute:1"}, 115200, 2},
         }) {
        std::string error;
        const auto options = sim::ParseSimOptions(c.args, error);
        ASSERT_TRUE(options) << error;
        EXPECT_EQ(options->personality, "loader");
        EXPECT_EQ(options->baud, c.baud);
        EXPECT_EQ(options->loaderFaults.size(), c.faults);
    }
    std::string error;
    const auto panel = sim::ParseSimOptions({}, error);
    ASSERT_TRUE(panel);
    EXPECT_EQ(panel->baud, 9600);

    const auto faults = sim::ParseSimOptions({"--loader", "--fault", "nak:3", "--fault", "mute:12"}, error);
    ASSERT_TRUE(faults);
    EXPECT_EQ(faults->loaderFaults[0].kind, sim::TLoaderFault::Refuse);
    EXPECT_EQ(faults->loaderFaults[0].block, 3u);
    EXPECT_EQ(faults->loaderFaults[1].kind, sim::TLoaderFault::Mute);
    EXPECT_EQ(faults->loaderFaults[1].block, 12u);
}

TEST(LoaderOptions, RefusesFaultsItDoesNotKnow) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--loader", "--fault", "nak"},
             {"--loader", "--fault", "nak:0"},
             {"--loader", "--fault", "nak:x"},
             {"--loader", "--fault", "nak:2x"},
             {"--loader", "--fault", "mute:"},
             {"--loader", "--fault", "silent"},
             {"--fault", "nak:1"},
             {"--personality", "bootloader"},
         }) {
        std::string error;
        EXPECT_FALSE(sim::ParseSimOptions(args, error)) << args.back();
        EXPECT_FALSE(error.empty());
    }
}

class Loader : public ::testing::Test {
protected:
    void SetUp() override { test::EnsureQtApp(); }

    test::SimProcess& Start(QStringList args) {
        sim = std::make_unique<test::SimProcess>(QStringList{"--loader"} + args);
        EXPECT_TRUE(sim->Start()) << sim->Error().toStdString();
        return *sim;
    }

    std::unique_ptr<test::SimProcess> sim;
};

TEST_F(Loader, AnswersEachWholeBlockAndNothingBefore) {
    Start({"--no-pace"});
    test::RawTerminal line(sim->PortPath(), 115200);
    ASSERT_TRUE(line.Valid());

    ASSERT_TRUE(line.Write(Hex("0003AABBCC")));
    EXPECT_EQ(line.Read(1, 5000), Bytes{0x11});

    // A block in pieces: no answer until its last byte.
    ASSERT_TRUE(line.Write(Hex("00")));
    ASSERT_TRUE(line.Write(Hex("0411")));
    ASSERT_TRUE(line.Write(Hex("2233")));
    EXPECT_TRUE(line.Read(1, 200).empty());
    ASSERT_TRUE(line.Write(Hex("44")));
    EXPECT_EQ(line.Read(1, 5000), Bytes{0x11});

    // Two blocks at once, the second without payload: one answer each.
    ASSERT_TRUE(line.Write(Hex("0001EE0000")));
    EXPECT_EQ(line.Read(2, 5000), (Bytes{0x11, 0x11}));
    EXPECT_TRUE(line.Read(1, 200).empty());

    EXPECT_TRUE(sim->Stop());
    EXPECT_EQ(LogLines(*sim), (QStringList{"0003AABBCC", "000411223344", "0001EE", "0000"}));
}

struct FaultCase {
    const char* fault;
    Bytes answers; // to blocks 1, 2 and 3
};

TEST_F(Loader, FaultsShapeTheAnswerToOneBlock) {
    for (const FaultCase& c : {FaultCase{"nak:2", {0x11, 0x13, 0x11}}, FaultCase{"mute:2", {0x11, 0x11}},
                               FaultCase{"nak:1", {0x13, 0x11, 0x11}}, FaultCase{"mute:3", {0x11, 0x11}}}) {
        Start({"--no-pace", "--fault", c.fault});
        test::RawTerminal line(sim->PortPath(), 115200);
        ASSERT_TRUE(line.Valid());
        Bytes answers;
        for (Byte k = 1; k <= 3; ++k) {
            ASSERT_TRUE(line.Write(Block(k, k)));
            const Bytes a = line.Read(1, 400);
            answers.insert(answers.end(), a.begin(), a.end());
        }
        EXPECT_EQ(answers, c.answers) << c.fault;
        EXPECT_TRUE(sim->Stop());
        // Refused or not, every block counts as received.
        EXPECT_EQ(LogLines(*sim).size(), 3) << c.fault;
    }
}

TEST_F(Loader, LogsBytesThatNeverMadeABlock) {
    Start({"--no-pace"});
    {
        test::RawTerminal line(sim->PortPath(), 115200);
        ASSERT_TRUE(line.Write(Hex("0003AABBCC0005AABB")));
        EXPECT_EQ(line.Read(2, 500), Bytes{0x11});
    }
    EXPECT_TRUE(sim->Stop());
    EXPECT_EQ(LogLines(*sim), (QStringList{"0003AABBCC", "incomplete 0005AABB"}));
}

TEST_F(Loader, GivesUpABlockLeftUnfinished) {
    Start({"--no-pace"});
    test::RawTerminal line(sim->PortPath(), 115200);
    ASSERT_TRUE(line.Write(Hex("0005AABB")));
    EXPECT_TRUE(line.Read(1, 1500).empty());
    // The stale start is forgotten: the next block stands on its own.
    ASSERT_TRUE(line.Write(Hex("0003AABBCC")));
    EXPECT_EQ(line.Read(1, 5000), Bytes{0x11});
    EXPECT_TRUE(sim->Stop());
    EXPECT_EQ(LogLines(*sim), (QStringList{"incomplete 0005AABB", "0003AABBCC"}));
}

TEST_F(Loader, ReceivesNothingLogsNothing) {
    Start({});
    { test::RawTerminal line(sim->PortPath(), 115200); }
    EXPECT_TRUE(sim->Stop());
    EXPECT_TRUE(QFile::exists(sim->LogPath()));
    EXPECT_TRUE(LogLines(*sim).isEmpty());
}

// Paced, a block is answered no sooner than its bytes would take on the line.
TEST_F(Loader, TakesBlocksAtTheLinePace) {
    Start({"--baud", "19200"});
    test::RawTerminal line(sim->PortPath(), 19200);
    ASSERT_TRUE(line.Valid());
    const Bytes block = Block(958, 0x5A); // 960 bytes: 500 ms at 19200 bit/s
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(line.Write(block));
    EXPECT_EQ(line.Read(1, 5000), Bytes{0x11});
    EXPECT_GE(clock.elapsed(), 500 - 20);
}

} // namespace
} // namespace orv
