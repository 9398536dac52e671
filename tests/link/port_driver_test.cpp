#include "files/file_access.h"
#include "link/comm_port_driver.h"
#include "link/port_discovery.h"
#include "support/pty_pair.h"
#include "support/sim_process.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryFile>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <termios.h>
#include <thread>

namespace orv {
namespace {

using test::PtyPair;

// Spins the event loop until done() or the deadline.
template <typename F> bool SpinUntil(F done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

class PortDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureQtApp();
        ASSERT_TRUE(pty.Valid());
        port.SetPortName(QString::fromStdString(pty.SlavePath()));
    }

    termios LineSettings() const {
        termios tio{};
        tcgetattr(pty.Master(), &tio);
        return tio;
    }

    PtyPair pty;
    TCommPortDriver port;
};

TEST(PortDriverSettings, DefaultsAtConstruction) {
    test::EnsureQtApp();
    TCommPortDriver port;
    EXPECT_EQ(port.Port(), pnCOM2);
    EXPECT_EQ(port.PortName(), PortPathForEntry(PortEntryForNumber(2)));
    EXPECT_EQ(port.BaudRate(), br9600);
    EXPECT_EQ(port.BaudRateValue(), 9600);
    EXPECT_EQ(port.DataBits(), db8BITS);
    EXPECT_EQ(port.StopBits(), sb1BITS);
    EXPECT_EQ(port.Parity(), ptNONE);
    EXPECT_EQ(port.HwFlow(), hfNONERTSON);
    EXPECT_EQ(port.SwFlow(), sfNONE);
    EXPECT_EQ(port.InBufSize(), 2048);
    EXPECT_EQ(port.OutBufSize(), 2048);
    EXPECT_EQ(port.PollingDelay(), 50);
    EXPECT_FALSE(port.ReceiveOnArrival());
    EXPECT_EQ(port.OutputTimeout(), 500);
    EXPECT_EQ(port.InputTimeout(), 200);
    EXPECT_TRUE(port.EnableDTROnOpen());
    EXPECT_FALSE(port.IsOpen());
}

TEST(PortDriverSettings, ProtocolAndUpdateInstances) {
    test::EnsureQtApp();
    const auto protocol = Make_cmprtdrvr1();
    EXPECT_EQ(protocol->objectName(), "cmprtdrvr1");
    EXPECT_EQ(protocol->Port(), pnCustom);
    EXPECT_EQ(protocol->PortName(), PortPathForEntry(DefaultPortEntry()));
    EXPECT_EQ(protocol->BaudRateValue(), 9600);
    EXPECT_EQ(protocol->HwFlow(), hfNONE);
    EXPECT_EQ(protocol->InBufSize(), 1024);
    EXPECT_EQ(protocol->OutBufSize(), 1024);
    EXPECT_EQ(protocol->PollingDelay(), 500);
    EXPECT_TRUE(protocol->ReceiveOnArrival());
    EXPECT_FALSE(protocol->EnableDTROnOpen());
    EXPECT_EQ(protocol->OutputTimeout(), 200);
    EXPECT_EQ(protocol->InputTimeout(), 200);

    const auto update = Make_cmprtdrvrUpdate();
    EXPECT_EQ(update->Port(), pnCustom);
    EXPECT_EQ(update->BaudRate(), brCustom);
    EXPECT_EQ(update->BaudRateValue(), 115200);
    EXPECT_EQ(update->HwFlow(), hfNONE);
    EXPECT_EQ(update->InBufSize(), 256);
    EXPECT_EQ(update->OutBufSize(), 256);
    EXPECT_EQ(update->PollingDelay(), 10);
    EXPECT_TRUE(update->ReceiveOnArrival());
    EXPECT_FALSE(update->EnableDTROnOpen());
    EXPECT_EQ(update->OutputTimeout(), 200);
    EXPECT_EQ(update->InputTimeout(), 10);
}

TEST(PortDriverSettings, BufferSizesAndPollingDelayAreClamped) {
    test::EnsureQtApp();
    struct Case {
        int given, buffer, polling;
    };
    for (const Case c :
         {Case{50, 128, 50}, Case{10000, 8192, 10000}, Case{128, 128, 128}, Case{8192, 8192, 8192},
          Case{1000, 1000, 1000}, Case{2, 128, 5}, Case{5, 128, 5}, Case{-1, 128, 5}, Case{0, 128, 5}}) {
        TCommPortDriver port;
        port.SetInBufSize(c.given);
        port.SetOutBufSize(c.given);
        port.SetPollingDelay(c.given);
        EXPECT_EQ(port.InBufSize(), c.buffer) << c.given;
        EXPECT_EQ(port.OutBufSize(), c.buffer) << c.given;
        EXPECT_EQ(port.PollingDelay(), c.polling) << c.given;
    }
}

TEST(PortDriverSettings, BaudRateEnumerationAndCustomValue) {
    test::EnsureQtApp();
    TCommPortDriver port;
    port.SetBaudRate(br115200);
    EXPECT_EQ(port.BaudRateValue(), 115200);
    port.SetBaudRateValue(12345);
    EXPECT_EQ(port.BaudRate(), brCustom);
    EXPECT_EQ(port.BaudRateValue(), 12345);
    port.SetBaudRate(br110);
    EXPECT_EQ(port.BaudRateValue(), 110);
    port.SetBaudRate(br256000);
    EXPECT_EQ(port.BaudRateValue(), 256000);
    port.SetPort(pnCOM5);
    EXPECT_EQ(port.PortName(), PortPathForEntry(PortEntryForNumber(5)));
    port.SetPort(pnCustom);
    EXPECT_EQ(port.PortName(), PortPathForEntry(PortEntryForNumber(5))); // custom keeps the name
}

TEST_F(PortDriverTest, ClosedPortRefusesEveryOperation) {
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.FreeOutputRoom(), -1);
    const Byte data[3] = {1, 2, 3};
    EXPECT_EQ(port.WriteBytes(data, 3), 0);
    EXPECT_FALSE(port.PurgeQueues(true, true));
    EXPECT_FALSE(port.ApplySettings());
    port.ClosePort(); // harmless
}

TEST_F(PortDriverTest, PseudoTerminalOpensAlthoughItRefusesModemLines) {
    // DTR raised and RTS held on: a pseudo-terminal has neither line.
    port.SetEnableDTROnOpen(true);
    port.SetHwFlow(hfNONERTSON);
    ASSERT_TRUE(port.OpenPort()) << port.LastError().toStdString();
    EXPECT_TRUE(port.IsOpen());
    EXPECT_TRUE(port.LastError().isEmpty());

    const termios tio = LineSettings();
    EXPECT_EQ(cfgetospeed(&tio), B9600);
    EXPECT_EQ(tio.c_cflag & CSIZE, CS8);
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
}

TEST_F(PortDriverTest, LineSettersApplyWhileOpen) {
    Configure_cmprtdrvr1(port);
    port.SetPortName(QString::fromStdString(pty.SlavePath()));
    ASSERT_TRUE(port.OpenPort());
    port.SetBaudRate(br19200);
    port.SetStopBits(sb2BITS);
    termios tio = LineSettings();
    EXPECT_EQ(cfgetospeed(&tio), B19200);
    EXPECT_EQ(tio.c_cflag & CSTOPB, tcflag_t{CSTOPB});
    port.SetBaudRateValue(4800);
    tio = LineSettings();
    EXPECT_EQ(cfgetospeed(&tio), B4800);
    EXPECT_TRUE(port.ApplySettings());
}

// A pseudo-terminal carries eight data bits without parity only: other framings are refused,
// and a refusal of the line settings is a refusal of the port.
TEST_F(PortDriverTest, RefusedLineSettingsLeaveNothingOpen) {
    for (const auto setUp : {+[](TCommPortDriver& p) { p.SetParity(ptEVEN); },
                             +[](TCommPortDriver& p) { p.SetDataBits(db7BITS); }}) {
        TCommPortDriver refused;
        refused.SetPortName(port.PortName());
        setUp(refused);
        EXPECT_FALSE(refused.OpenPort());
        EXPECT_FALSE(refused.IsOpen());
        EXPECT_FALSE(refused.LastError().isEmpty());
    }
    // Nothing was left holding the port.
    EXPECT_TRUE(port.OpenPort()) << port.LastError().toStdString();
}

// A port another program holds is refused, and the user is told so in Russian whatever the
// locale, as for a port that is missing or is no terminal.
TEST_F(PortDriverTest, ReasonsInRussian) {
    ASSERT_TRUE(port.OpenPort()) << port.LastError().toStdString();
    TCommPortDriver second;
    second.SetPortName(port.PortName());
    EXPECT_FALSE(second.OpenPort());
    EXPECT_EQ(second.LastError().toStdString(), SystemErrorText(EBUSY));

    TCommPortDriver missing;
    missing.SetPortName(QStringLiteral("/dev/no-such-port"));
    EXPECT_FALSE(missing.OpenPort());
    EXPECT_EQ(missing.LastError().toStdString(), SystemErrorText(ENOENT));
    QTemporaryFile plain;
    ASSERT_TRUE(plain.open());
    TCommPortDriver file;
    file.SetPortName(plain.fileName());
    EXPECT_FALSE(file.OpenPort());
    EXPECT_EQ(file.LastError().toStdString(), SystemErrorText(ENOTTY));
}

TEST_F(PortDriverTest, OpenPortOnAnOpenPortChangesNothing) {
    ASSERT_TRUE(port.OpenPort());
    const QString path = port.PortName();
    port.SetPortName(QStringLiteral("/dev/does-not-exist"));
    port.SetInBufSize(300);
    port.SetOutBufSize(300);
    EXPECT_EQ(port.PortName(), path);
    EXPECT_EQ(port.InBufSize(), 2048);
    EXPECT_EQ(port.OutBufSize(), 2048);
    EXPECT_TRUE(port.OpenPort());
    EXPECT_TRUE(port.IsOpen());
    port.ClosePort();
    EXPECT_FALSE(port.IsOpen());
    port.SetInBufSize(300);
    EXPECT_EQ(port.InBufSize(), 300);
}

TEST_F(PortDriverTest, PortIsNotShared) {
    ASSERT_TRUE(port.OpenPort());
    TCommPortDriver second;
    second.SetPortName(port.PortName());
    EXPECT_FALSE(second.OpenPort());
    EXPECT_FALSE(second.IsOpen());
    EXPECT_FALSE(second.LastError().isEmpty());
    port.ClosePort();
    EXPECT_TRUE(second.OpenPort()) << second.LastError().toStdString();
}

TEST(PortDriverOpen, RefusedPortsLeaveNothingOpen) {
    test::EnsureQtApp();
    // A path that does not exist, and a device that is no terminal at all.
    for (const char* path : {"/dev/orvanta-no-such-port", "/dev/null"}) {
        TCommPortDriver port;
        port.SetPortName(QString::fromLatin1(path));
        EXPECT_FALSE(port.OpenPort()) << path;
        EXPECT_FALSE(port.IsOpen()) << path;
        EXPECT_FALSE(port.LastError().isEmpty()) << path;
        EXPECT_EQ(port.FreeOutputRoom(), -1) << path;
    }
}

TEST_F(PortDriverTest, ReceptionComesInBatchesOfAtMostInBufSize) {
    port.SetInBufSize(1024);
    port.SetPollingDelay(500); // all 1500 bytes are in long before the first poll
    std::vector<int> calls;
    std::string received;
    port.SetOnReceiveData([&](TCommPortDriver& sender, const Byte* data, int count) {
        EXPECT_EQ(&sender, &port);
        calls.push_back(count);
        received.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(count));
    });
    ASSERT_TRUE(port.OpenPort());
    std::string sent(1500, '\0');
    for (std::size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<char>(i * 7 + 3);
    }
    ASSERT_TRUE(pty.Write(sent.data(), sent.size()));
    ASSERT_TRUE(SpinUntil([&] { return received.size() >= sent.size(); }, 5000));
    EXPECT_EQ(calls, (std::vector<int>{1024, 476}));
    EXPECT_EQ(received, sent);
}

TEST_F(PortDriverTest, ShorterPollingDelayRestartsTheTimer) {
    port.SetPollingDelay(60'000);
    std::size_t received = 0;
    port.SetOnReceiveData(
        [&](TCommPortDriver&, const Byte*, int count) { received += static_cast<std::size_t>(count); });
    ASSERT_TRUE(port.OpenPort());
    ASSERT_TRUE(pty.Write("abc", 3));
    port.SetPollingDelay(20);
    EXPECT_TRUE(SpinUntil([&] { return received == 3; }, 10'000));
}

// On arrival the bytes come at once, whatever the polling period, in batches of at most
// InBufSize; turned off while open, reception waits for the poll again.
TEST_F(PortDriverTest, OnArrivalTakesBytesWithoutWaitingForThePoll) {
    port.SetInBufSize(1024);
    port.SetPollingDelay(60'000);
    port.SetReceiveOnArrival(true);
    std::vector<int> calls;
    std::string received;
    port.SetOnReceiveData([&](TCommPortDriver&, const Byte* data, int count) {
        calls.push_back(count);
        received.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(count));
    });
    ASSERT_TRUE(port.OpenPort());
    std::string sent(1500, '\0');
    for (std::size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<char>(i * 11 + 5);
    }
    ASSERT_TRUE(pty.Write(sent.data(), sent.size()));
    ASSERT_TRUE(SpinUntil([&] { return received.size() >= sent.size(); }, 5000));
    EXPECT_EQ(received, sent);
    for (const int n : calls) {
        EXPECT_LE(n, 1024);
    }

    port.SetReceiveOnArrival(false);
    received.clear();
    ASSERT_TRUE(pty.Write("late", 4));
    EXPECT_FALSE(SpinUntil([&] { return !received.empty(); }, 300));
    port.SetReceiveOnArrival(true);
    EXPECT_TRUE(SpinUntil([&] { return received == "late"; }, 5000));
}

// A begun write leaves the owning thread free: the bytes go out as the line takes them, here
// as the test itself reads them between events.
TEST_F(PortDriverTest, BegunWriteGoesOutFromTheEventLoop) {
    ASSERT_TRUE(port.OpenPort());
    std::vector<Byte> data(64 * 1024); // far more than the terminal holds
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<Byte>(i * 7 + i / 251);
    }
    std::vector<int> finished;
    QObject::connect(&port, &TCommPortDriver::WriteFinished,
                     [&](int written) { finished.push_back(written); });
    ASSERT_TRUE(port.BeginWrite(data));
    EXPECT_TRUE(port.Writing());
    EXPECT_FALSE(port.BeginWrite(data)) << "one write at a time";
    std::string got;
    ASSERT_TRUE(SpinUntil(
        [&] {
            got += pty.Read(data.size() - got.size(), 1);
            return got.size() == data.size() && !port.Writing();
        },
        10'000))
        << got.size() << " bytes came";
    EXPECT_EQ(finished, std::vector<int>{static_cast<int>(data.size())});
    EXPECT_TRUE(got == std::string(data.begin(), data.end()));
}

// A line that takes nothing more ends the write after the output time-out, short.
TEST_F(PortDriverTest, BegunWriteGivesUpWhenTheLineStopsTakingBytes) {
    port.SetOutputTimeout(200);
    ASSERT_TRUE(port.OpenPort());
    const std::vector<Byte> data(256 * 1024, 0x55);
    std::vector<int> finished;
    QObject::connect(&port, &TCommPortDriver::WriteFinished,
                     [&](int written) { finished.push_back(written); });
    ASSERT_TRUE(port.BeginWrite(data));
    ASSERT_TRUE(SpinUntil([&] { return !finished.empty(); }, 10'000));
    EXPECT_GT(finished[0], 0);
    EXPECT_LT(finished[0], static_cast<int>(data.size()));
    EXPECT_FALSE(port.Writing());
}

TEST_F(PortDriverTest, WriteBytesSendsEverything) {
    ASSERT_TRUE(port.OpenPort());
    EXPECT_EQ(port.FreeOutputRoom(), port.OutBufSize());
    std::vector<Byte> data(3000);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<Byte>(i * 13 + 1);
    }
    // More than the output buffer holds: the timed write goes on while the line drains.
    EXPECT_EQ(port.WriteBytes(data.data(), static_cast<int>(data.size())), 3000);
    const std::string got = pty.Read(data.size(), 5000);
    EXPECT_EQ(got, std::string(data.begin(), data.end()));
    EXPECT_TRUE(SpinUntil([&] { return port.FreeOutputRoom() == port.OutBufSize(); }, 5000));
}

TEST_F(PortDriverTest, PurgeDropsWhatWaitsToBeDelivered) {
    port.SetPollingDelay(60'000);
    std::string received;
    port.SetOnReceiveData([&](TCommPortDriver&, const Byte* data, int count) {
        received.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(count));
    });
    ASSERT_TRUE(port.OpenPort());
    ASSERT_TRUE(pty.Write("stale", 5));
    SpinUntil([] { return false; }, 300); // the bytes reach the port; no poll is due yet
    EXPECT_TRUE(port.PurgeQueues(true, false));
    ASSERT_TRUE(pty.Write("new", 3));
    port.SetPollingDelay(20);
    ASSERT_TRUE(SpinUntil([&] { return received.size() >= 3; }, 5000));
    SpinUntil([] { return false; }, 100);
    EXPECT_EQ(received, "new");
}

// A device that goes away fails every operation; the port closes itself rather than retry
// the unsent bytes without end.
TEST_F(PortDriverTest, ClosesWhenTheLineGoesAway) {
    ASSERT_TRUE(port.OpenPort());
    pty.CloseMaster();
    const Byte frame[3] = {0x7E, 0x0A, 0x52};
    port.WriteBytes(frame, 3);
    EXPECT_TRUE(SpinUntil([&] { return !port.IsOpen(); }, 5000));
    EXPECT_FALSE(port.LastError().isEmpty());
    EXPECT_EQ(port.WriteBytes(frame, 3), 0);
}

TEST_F(PortDriverTest, OperationsFromAnotherThreadRunOnTheOwningThread) {
    port.SetPollingDelay(20);
    std::string received;
    port.SetOnReceiveData([&](TCommPortDriver&, const Byte* data, int count) {
        received.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(count));
    });
    std::atomic<bool> done = false;
    bool opened = false, openAfter = false, closedAfter = true;
    int written = 0, room = 0;
    std::thread worker([&] {
        opened = port.OpenPort();
        openAfter = port.IsOpen();
        const Byte frame[4] = {0x7E, 0x04, 0x52, 0x01};
        port.PurgeQueues(true, true);
        written = port.WriteBytes(frame, 4);
        room = port.FreeOutputRoom();
        done = true;
    });
    ASSERT_TRUE(SpinUntil([&] { return done.load(); }, 10'000));
    worker.join();
    EXPECT_TRUE(opened);
    EXPECT_TRUE(openAfter);
    EXPECT_EQ(written, 4);
    EXPECT_GT(room, 0);
    EXPECT_EQ(pty.Read(4, 5000), std::string("\x7E\x04\x52\x01", 4));

    ASSERT_TRUE(pty.Write("xyz", 3));
    ASSERT_TRUE(SpinUntil([&] { return received == "xyz"; }, 5000));

    done = false;
    std::thread closer([&] {
        port.ClosePort();
        closedAfter = port.IsOpen();
        done = true;
    });
    ASSERT_TRUE(SpinUntil([&] { return done.load(); }, 10'000));
    closer.join();
    EXPECT_FALSE(closedAfter);
}

} // namespace
} // namespace orv
