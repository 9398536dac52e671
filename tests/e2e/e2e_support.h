#pragma once

// Helpers of the end-to-end tests: a simulator, the protocol port on its pseudo-terminal, and
// frames built the way the program builds them.

#include "device/catalogue.h"
#include "gsm/program_state.h"
#include "link/data_module.h"
#include "link/result_codes.h"
#include "link/thread_buff.h"
#include "link/transaction.h"
#include "sim/hex.h"
#include "support/sim_process.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace orv::e2e {

using Bytes = std::vector<Byte>;

inline constexpr std::array<Byte, 17> kTypeCodes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18};

inline QString Hex(std::span<const Byte> bytes) {
    return QString::fromStdString(sim::ToHex(bytes));
}

inline Bytes RandomBytes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes bytes(count);
    for (Byte& b : bytes) {
        b = static_cast<Byte>(byte(random));
    }
    return bytes;
}

inline Bytes ReadRequest(Byte sub, Byte page = 0) {
    const auto r = frame::BuildReadRequest(sub, page);
    return {r.begin(), r.end()};
}

inline Bytes FrameBytes(const FrameBuffer& buffer) {
    return Bytes(buffer.begin(), buffer.begin() + buffer[1]);
}

// A frame as the program keeps it in a frame buffer: start, length, command, sub-command, the
// data and the checksum.
inline FrameBuffer MakeFrame(Byte command, Byte sub, const Bytes& data) {
    FrameBuffer f{};
    f[0] = frame::kStart;
    f[2] = command;
    f[3] = sub;
    std::copy(data.begin(), data.end(), f.begin() + 4);
    frame::SealFrame(f.data(), data.size() + 5);
    return f;
}

// The data of a frame: bytes 4 up to the checksum.
inline Bytes Data(const Bytes& frame) {
    return frame.size() < 5 ? Bytes{} : Bytes(frame.begin() + 4, frame.end() - 1);
}

inline std::vector<int> Codes(const std::vector<TResult>& results) {
    std::vector<int> codes;
    for (const auto& r : results) {
        codes.push_back(r.code);
    }
    return codes;
}

// Makes the configuration carry a GSM communicator, the way each family stores it.
inline void ConnectGsm(TDevice& device, bool on) {
    if (IsOP8(device)) {
        device.SetParam(prmDevTX, on ? 2 : 0);
    } else {
        device.SetGsmConnected(on);
    }
}

struct Transaction {
    std::vector<TResult> results;
    std::chrono::milliseconds elapsed{};
    std::vector<std::pair<int, int>> steps; // done, total: as reported
};

// The steps reported count the exchanges the panel saw: from none, one at a time, to all of them
// of all. A write knows how many it will make before it starts; a read learns more as it goes,
// never expecting more than it makes.
inline void ExpectStepsCount(const Transaction& t, std::size_t exchanges, bool write) {
    ASSERT_FALSE(t.steps.empty());
    const int all = static_cast<int>(exchanges);
    EXPECT_EQ(t.steps.front().first, 0);
    for (std::size_t i = 0; i < t.steps.size(); ++i) {
        const auto [done, total] = t.steps[i];
        EXPECT_GE(total, std::max(done, 1)) << i;
        EXPECT_LE(total, all) << i;
        if (write) {
            EXPECT_EQ(total, all) << i;
        }
        if (i > 0) {
            EXPECT_TRUE(done == t.steps[i - 1].first || done == t.steps[i - 1].first + 1) << i;
            EXPECT_GE(total, t.steps[i - 1].second) << i;
        }
    }
    EXPECT_EQ(t.steps.back(), std::make_pair(all, all));
}

// How the program takes the panel's replies: as they arrive, or every 500 ms (the compatible
// exchange). Every exchange with the panel is tested in both.
enum class ExchangeMode { Fast, Slow };
inline constexpr std::array<ExchangeMode, 2> kExchangeModes{ExchangeMode::Fast, ExchangeMode::Slow};

inline std::string ModeName(ExchangeMode mode) {
    return mode == ExchangeMode::Fast ? "Fast" : "Slow";
}

inline void PrintTo(ExchangeMode mode, std::ostream* os) {
    *os << ModeName(mode);
}

class E2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureQtApp();
        data = std::make_unique<TmodData>();
    }

    void SetMode(ExchangeMode m) {
        mode = m;
        data->SetSlowExchange(m == ExchangeMode::Slow);
    }
    bool Slow() const { return mode == ExchangeMode::Slow; }

    // A simulator on its own terminal; --no-pace unless the pace is what the test is about.
    test::SimProcess& StartSim(QStringList args, bool paced = false) {
        if (!paced) {
            args << QStringLiteral("--no-pace");
        }
        sim = std::make_unique<test::SimProcess>(args);
        EXPECT_TRUE(sim->Start()) << sim->Error().toStdString();
        data->cmprtdrvr1.SetPortName(sim->PortPath());
        return *sim;
    }

    Transaction Run(Byte mode) {
        QElapsedTimer clock;
        clock.start();
        Transaction t;
        t.results = RunTransaction(*data, state, mode, {},
                                   [&t](int done, int total) { t.steps.emplace_back(done, total); });
        t.elapsed = std::chrono::milliseconds(clock.elapsed());
        return t;
    }

    std::unique_ptr<TmodData> data;
    std::unique_ptr<test::SimProcess> sim;
    TProgramState state;
    ExchangeMode mode = ExchangeMode::Fast;
};

// A suite run in each exchange mode; the mode is its parameter.
class InEachMode : public E2eTest, public ::testing::WithParamInterface<ExchangeMode> {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        SetMode(GetParam());
    }
};

inline std::string ModeParamName(const ::testing::TestParamInfo<ExchangeMode>& info) {
    return ModeName(info.param);
}

// A table of cases run in each exchange mode; the parameter is the mode and the case.
template <typename Case>
class CasesInEachMode : public E2eTest, public ::testing::WithParamInterface<std::tuple<ExchangeMode, Case>> {
protected:
    void SetUp() override {
        E2eTest::SetUp();
        SetMode(std::get<0>(this->GetParam()));
    }
    const Case& Param() const { return std::get<1>(this->GetParam()); }

public:
    // The parameters of the cases with each mode, named "<mode>_<case>" by caseName.
    template <typename Cases> static auto Each(const Cases& cases) {
        return ::testing::Combine(::testing::ValuesIn(kExchangeModes), ::testing::ValuesIn(cases));
    }
    template <typename NameOf> static auto Named(NameOf caseName) {
        return [caseName](const ::testing::TestParamInfo<std::tuple<ExchangeMode, Case>>& info) {
            return ModeName(std::get<0>(info.param)) + "_" + std::string(caseName(std::get<1>(info.param)));
        };
    }
};

} // namespace orv::e2e
