// Full reads and writes of the largest configurations against the simulated panel, paced at the
// line's 9600 bit/s, in the fast exchange and in the compatible (slow) one. Each is set against
// the wire time (the bytes of every exchange at 9600 bit/s) and the fast exchange's floor: the
// wire time plus one frame pause before every request but the first.

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "gsm/program_state.h"
#include "link/data_module.h"
#include "link/thread_buff.h"
#include "link/transaction.h"
#include "sim/hex.h"
#include "support/sim_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace orv {
namespace {

using Bytes = std::vector<Byte>;

constexpr int kBitsPerSecond = 9600;
constexpr double kFloorGoal = 1.10; // the fast exchange within this share of its floor

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

// Five directions with the longest texts: device number, GPRS and SMS flags, records.
Bytes GsmData(bool gprs, bool sms) {
    Bytes data{0x27, 0x0F, static_cast<Byte>(gprs), static_cast<Byte>(sms)};
    for (int k = 0; k < 5; ++k) {
        const std::string text =
            k % 2 ? "192.168.100.200:24333" + std::string(9, '0') : "+7(903)123-45-67" + std::string(14, '8');
        data.push_back(static_cast<Byte>(text.size() + 1));
        data.push_back(static_cast<Byte>(0xA0 | (k % 3) << 3 | (k % 4)));
        Append(data, Text(text));
    }
    return data;
}

Bytes GprsData() {
    Bytes data;
    for (int sim = 0; sim < 2; ++sim) {
        const Bytes apn = Text(std::string("internet.operator-") + char('a' + sim) + ".example.ru");
        const Bytes user = Text("installer01");
        const Bytes pass = Text("secret-pass");
        data.push_back(static_cast<Byte>(apn.size() + user.size() + pass.size() + 3));
        for (const Bytes* t : {&apn, &user, &pass}) {
            Append(data, *t);
            data.push_back(0);
        }
    }
    return data;
}

Bytes SmsData() {
    Bytes data;
    for (Byte k = 1; k <= 8; ++k) {
        Append(data, {static_cast<Byte>(1 + k % 2), k, 0x97, 0x30, 0x21, 0x43, 0x65, 0x87, 0xF9, 0xFF});
    }
    return data;
}

FrameBuffer WriteFrame(Byte sub, const Bytes& data) {
    FrameBuffer f{};
    f[0] = frame::kStart;
    f[2] = frame::kCmdWrite;
    f[3] = sub;
    std::copy(data.begin(), data.end(), f.begin() + 4);
    frame::SealFrame(f.data(), data.size() + 5);
    return f;
}

// The reply the panel sends to a request, by its length: what the panel held (reads) or the echo.
std::size_t ReplyLength(const Bytes& request, const sim::TPanelState& panel) {
    const Byte sub = request[3];
    if (request[2] == frame::kCmdRead) {
        switch (sub) {
        case 1:
            return panel.config.size() + 6;
        case 2:
            return panel.gsm.size() + 5;
        case 3:
            return panel.gprs.size() + 5;
        case 4:
            return panel.sms.size() + 5;
        case 5:
            return 102;
        default:
            return 107;
        }
    }
    return sub == 1 ? panel.config.size() + 6 : request.size();
}

struct Scenario {
    const char* name;
    QStringList panel;
    std::shared_ptr<TDevice> device; // for the write
    FrameBuffer gsm{}, gprs{}, sms{};
};

struct Measured {
    double seconds = 0;
    double wire = 0;
    std::size_t exchanges = 0;
    std::size_t bytes = 0;
    bool ok = false;
};

Measured RunOnce(const Scenario& s, Byte mode, bool slow) {
    Measured m;
    test::SimProcess sim(s.panel);
    if (!sim.Start()) {
        std::fprintf(stderr, "%s\n", sim.Error().toStdString().c_str());
        return m;
    }
    TmodData data;
    data.SetSlowExchange(slow);
    data.cmprtdrvr1.SetPortName(sim.PortPath());
    TProgramState state;
    if (mode == TThreadBuff::modeWrite) {
        state.device = s.device;
        state.GsmFrame = s.gsm;
        state.GprsFrame = s.gprs;
        state.SmsFrame = s.sms;
    }
    const auto before = sim.Dump();
    QElapsedTimer clock;
    clock.start();
    const auto results = RunTransaction(data, state, mode);
    m.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    m.ok =
        !results.empty() && results.back().code == (mode == TThreadBuff::modeRead ? rcReadDone : rcWriteDone);
    const auto after = sim.Dump();
    for (const auto& request : sim.LoggedFrames()) {
        // A write's echo repeats what the panel holds after it.
        const auto& panel = request[2] == frame::kCmdWrite ? *after : *before;
        const std::size_t bytes = request.size() + ReplyLength(request, panel);
        m.bytes += bytes;
        m.wire += static_cast<double>(bytes) * 10.0 / kBitsPerSecond;
        ++m.exchanges;
    }
    return m;
}

// The median of the runs; ok when every run ended as it should.
Measured Median(const Scenario& s, Byte mode, bool slow, int repeats) {
    std::vector<Measured> runs;
    for (int i = 0; i < repeats; ++i) {
        runs.push_back(RunOnce(s, mode, slow));
    }
    std::sort(runs.begin(), runs.end(),
              [](const Measured& a, const Measured& b) { return a.seconds < b.seconds; });
    Measured median = runs[runs.size() / 2];
    median.ok = std::all_of(runs.begin(), runs.end(), [](const Measured& m) { return m.ok; });
    return median;
}

// False when a run did not end as it should.
bool Report(const Scenario& s, Byte mode, int repeats, double pause) {
    const Measured fast = Median(s, mode, false, repeats);
    const Measured slow = Median(s, mode, true, repeats);
    const double floor = fast.wire + pause * static_cast<double>(fast.exchanges > 0 ? fast.exchanges - 1 : 0);
    const double ratio = fast.seconds / floor;
    std::printf("%-36s %-5s %2zu %5zu  %5.2f  %5.2f  %5.2f  %5.2f  %5.2f  %5.2f  %5.2f  %s\n", s.name,
                mode == TThreadBuff::modeRead ? "read" : "write", fast.exchanges, fast.bytes, fast.wire,
                floor, fast.seconds, ratio, fast.seconds / fast.wire, slow.seconds,
                slow.seconds / fast.seconds,
                !fast.ok || !slow.ok  ? "FAILED"
                : ratio <= kFloorGoal ? "ok"
                                      : "OVER");
    return fast.ok && slow.ok;
}

} // namespace
} // namespace orv

int main(int argc, char** argv) {
    using namespace orv;
    QCoreApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    auto t8x = std::shared_ptr<TDevice>(CreateDevice(16));
    t8x->SetParam(prmDevTX, 2);
    Scenario eightZone{"type 16, GSM + GPRS + 8 SMS numbers",
                       {"--type", "16", "--config-hex",
                        QString::fromStdString(sim::ToHex(t8x->PayloadBytes())), "--gsm",
                        QString::fromStdString(sim::ToHex(GsmData(true, true))), "--gprs",
                        QString::fromStdString(sim::ToHex(GprsData())), "--sms",
                        QString::fromStdString(sim::ToHex(SmsData()))},
                       t8x,
                       WriteFrame(2, GsmData(true, true)),
                       WriteFrame(3, GprsData()),
                       WriteFrame(4, SmsData())};

    auto ret = std::make_shared<TDV15_Ret>();
    ret->SetGsmConnected(true);
    for (int k = 1; k <= TDV15_Ret::kObjects; ++k) {
        ret->SetObjectFromText(k, std::to_string(0x10000 + 977 * k), static_cast<Byte>(1 + k % 3));
    }
    for (int k = 1; k <= T_SMS_List::kRecords; ++k) {
        ret->Sms().SetRecord(k, {static_cast<Byte>(1 + k % 2), static_cast<Byte>(k % 34), 0x97, 0x30, 0x21,
                                 0x43, 0x65, static_cast<Byte>(0x80 | k % 10), 0xF9, 0xFF});
    }
    Scenario retranslator{"type 15, 32 objects + 40 SMS numbers",
                          {"--type", "15", "--config-hex",
                           QString::fromStdString(sim::ToHex(ret->PayloadBytes())), "--gsm",
                           QString::fromStdString(sim::ToHex(GsmData(false, true))), "--object-count", "32",
                           "--sms-records", "40"},
                          ret,
                          WriteFrame(2, GsmData(false, true))};

    const double pause = std::chrono::duration<double>(TmodData().FramePause).count();
    std::printf("Paced simulated panel at %d bit/s, frame pause %.0f ms; the median of %d runs each.\n"
                "floor: wire time + a pause before every request but the first; goal: fast <= %.2f x floor\n",
                kBitsPerSecond, pause * 1000, repeats, kFloorGoal);
    std::printf("%-36s %-5s %2s %5s  %5s  %5s  %5s  %5s  %5s  %5s  %5s\n", "configuration", "", "ex", "bytes",
                "wire", "floor", "fast", "/flr", "/wire", "slow", "/fast");
    bool ok = true;
    for (const Scenario* s : {&eightZone, &retranslator}) {
        ok = Report(*s, TThreadBuff::modeRead, repeats, pause) && ok;
        ok = Report(*s, TThreadBuff::modeWrite, repeats, pause) && ok;
    }
    return ok ? 0 : 1;
}
