// The firmware sender against the simulator's loader, paced at 115200 bit/s.
#include "firmware_support.h"
#include "link/firmware_update.h"
#include "support/pty_pair.h"

#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace orv::e2e {
namespace {

struct Step {
    int percent;
    std::size_t block, blocks;
    friend bool operator==(const Step&, const Step&) = default;
};

void PrintTo(const Step& s, std::ostream* os) {
    *os << s.percent << "% " << s.block << "/" << s.blocks;
}

class FirmwareSend : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureQtApp();
        port = Make_cmprtdrvrUpdate();
        sender = std::make_unique<TFirmwareSender>(*port);
    }

    void StartLoader(QStringList args = {}) {
        sim = std::make_unique<test::SimProcess>(QStringList{"--loader"} + args);
        ASSERT_TRUE(sim->Start()) << sim->Error().toStdString();
    }

    TUpdateOutcome Send(const std::vector<Byte>& bytes) {
        image = ImageOf(bytes);
        EXPECT_FALSE(image.blocks.empty());
        steps.clear();
        QElapsedTimer clock;
        clock.start();
        const TUpdateOutcome outcome =
            sender->Run(image, sim->PortPath(), [this](int percent, std::size_t block, std::size_t blocks) {
                steps.push_back({percent, block, blocks});
            });
        elapsedMs = clock.elapsed();
        return outcome;
    }

    // What the loader received, once it has stopped.
    QStringList Received() {
        EXPECT_TRUE(sim->Stop());
        return LoaderLog(*sim);
    }

    std::unique_ptr<TCommPortDriver> port;
    std::unique_ptr<TFirmwareSender> sender;
    std::unique_ptr<test::SimProcess> sim;
    TFirmwareImage image;
    std::vector<Step> steps;
    qint64 elapsedMs = 0;
};

TEST_F(FirmwareSend, OneBlockGoesWholeAndTheBarStaysAtZero) {
    StartLoader();
    EXPECT_EQ(Send(FirmwareChain({3})), TUpdateOutcome::Done);
    EXPECT_EQ(sender->AnswerState(), uaAccepted);
    EXPECT_EQ(steps, (std::vector<Step>{{0, 1, 1}}));
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(Received(), BlockLines(image));
}

TEST_F(FirmwareSend, TheFileOfTheExampleArrivesAsItsFiveBytes) {
    StartLoader();
    const TFirmwareLoad load = ParseFirmwareText("0003AABBCC");
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(sender->Run(load.image, sim->PortPath()), TUpdateOutcome::Done);
    EXPECT_EQ(Received(), QStringList{"0003AABBCC"});
}

TEST_F(FirmwareSend, ProgressIsTheShareConfirmedBeforeEachBlock) {
    StartLoader();
    EXPECT_EQ(Send(FirmwareChain({4, 2})), TUpdateOutcome::Done);
    EXPECT_EQ(steps, (std::vector<Step>{{0, 1, 2}, {60, 2, 2}}));
    EXPECT_EQ(Received(), BlockLines(image));
}

TEST_F(FirmwareSend, LargestImageArrivesBlockByBlockExactly) {
    StartLoader();
    const auto bytes = FirmwareChain(FirmwareFilling(kFirmwareMaxBytes, 256));
    ASSERT_EQ(bytes.size(), kFirmwareMaxBytes);
    EXPECT_EQ(Send(bytes), TUpdateOutcome::Done);
    ASSERT_EQ(steps.size(), image.blocks.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].percent, static_cast<int>(image.blocks[i].offset * 100 / bytes.size())) << i;
        EXPECT_EQ(steps[i].block, i + 1);
    }
    EXPECT_LT(steps.back().percent, 100);
    EXPECT_EQ(Received(), BlockLines(image));
}

TEST_F(FirmwareSend, RefusedBlockEndsTheUpdate) {
    StartLoader({"--fault", "nak:2"});
    EXPECT_EQ(Send(FirmwareChain({5, 6, 7})), TUpdateOutcome::ChecksumError);
    EXPECT_EQ(sender->AnswerState(), uaRefused);
    EXPECT_EQ(steps, (std::vector<Step>{{0, 1, 3}}));
    EXPECT_FALSE(port->IsOpen());
    // No block is repeated and none follows the refused one.
    EXPECT_EQ(Received(), BlockLines(image).mid(0, 2));
}

TEST_F(FirmwareSend, SilenceEndsTheUpdateAfterTheTimeOut) {
    StartLoader({"--fault", "mute:2"});
    EXPECT_EQ(Send(FirmwareChain({5, 6, 7})), TUpdateOutcome::NoAnswer);
    EXPECT_EQ(sender->AnswerState(), uaTimedOut);
    EXPECT_GE(elapsedMs, TFirmwareSender::kAnswerTimeoutMs);
    EXPECT_LT(elapsedMs, TFirmwareSender::kAnswerTimeoutMs + 3000);
    EXPECT_EQ(steps.size(), 1u);
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(Received(), BlockLines(image).mid(0, 2));
}

TEST_F(FirmwareSend, MissingPortIsAPortError) {
    image = ImageOf(FirmwareChain({3}));
    EXPECT_EQ(sender->Run(image, QStringLiteral("/dev/orvanta-no-such-port")), TUpdateOutcome::PortError);
    EXPECT_FALSE(port->IsOpen());
    EXPECT_FALSE(port->LastError().isEmpty());
}

TEST_F(FirmwareSend, PortIsSetForTheLoader) {
    StartLoader();
    port->SetBaudRate(br9600);
    ASSERT_TRUE(sender->Open(sim->PortPath()));
    EXPECT_EQ(port->BaudRateValue(), 115200);
    EXPECT_EQ(port->PortName(), sim->PortPath());
    EXPECT_EQ(port->PollingDelay(), 10);
    EXPECT_TRUE(port->ReceiveOnArrival());
    port->ClosePort();
}

// After a failure the same sender and port serve the next update.
TEST_F(FirmwareSend, NextUpdateAfterAFailureSucceeds) {
    StartLoader({"--fault", "nak:1"});
    EXPECT_EQ(Send(FirmwareChain({3})), TUpdateOutcome::ChecksumError);
    EXPECT_EQ(Send(FirmwareChain({4, 4})), TUpdateOutcome::Done);
    EXPECT_EQ(steps.size(), 2u);
    EXPECT_EQ(Received().size(), 3);
}

// The wait keeps the thread's events running, and can be broken off from them.
TEST_F(FirmwareSend, WaitKeepsEventsRunningAndCanBeAborted) {
    StartLoader({"--fault", "mute:1"});
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (++ticks == 5) {
            sender->Abort();
        }
    });
    ticker.start(20);
    EXPECT_EQ(Send(FirmwareChain({3, 3})), TUpdateOutcome::Aborted);
    EXPECT_EQ(ticks, 5);
    EXPECT_LT(elapsedMs, TFirmwareSender::kAnswerTimeoutMs);
    EXPECT_FALSE(sender->Running());
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(Received(), BlockLines(image).mid(0, 1));
}

// A block of the largest image is far more than the line's buffers hold: it goes out only while
// the thread's events run, here taken by a loader that reads on a timer of the same thread.
TEST(FirmwareLargeBlock, GoesOutWhileEventsRun) {
    test::EnsureQtApp();
    test::PtyPair loader;
    ASSERT_TRUE(loader.Valid());
    const auto port = Make_cmprtdrvrUpdate();
    TFirmwareSender sender(*port);
    const TFirmwareImage image = ImageOf(FirmwareChain({kFirmwareMaxBytes - 2}));
    const auto block = image.Block(0);
    std::string got;
    int ticksWhileSending = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ticksWhileSending += port->Writing() ? 1 : 0;
        if (got.size() < block.size()) {
            got += loader.Read(block.size() - got.size(), 1);
            if (got.size() == block.size()) {
                loader.Write("\x11", 1);
            }
        }
    });
    ticker.start(10);
    EXPECT_EQ(sender.Run(image, QString::fromStdString(loader.SlavePath())), TUpdateOutcome::Done);
    EXPECT_GT(ticksWhileSending, 0);
    EXPECT_TRUE(got == std::string(block.begin(), block.end())) << got.size() << " of " << block.size();
}

} // namespace
} // namespace orv::e2e
