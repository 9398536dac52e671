#pragma once

// Shared by the fuzz targets: a state snapshot to tell whether anything changed, a way to cut
// the fuzzer's bytes into pieces, and the check that turns a broken invariant into a crash the
// fuzzer keeps.

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "gsm/program_state.h"
#include "gsm/tx_buffers.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <unistd.h>
#include <vector>

namespace orv::fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "invariant broken at %s:%d: %s\n", file, line, what);
    std::abort();
}

#define ORV_CHECK(cond)                                                                                      \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            ::orv::fuzz::Fail(#cond, __FILE__, __LINE__);                                                    \
        }                                                                                                    \
    } while (0)

// Reads the fuzzer's bytes front to back; past the end everything reads as zero.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    std::size_t Left() const { return Empty() ? 0 : size_ - pos_; }
    Byte Take() { return Empty() ? Byte{0} : data_[pos_++]; }
    std::vector<Byte> Take(std::size_t n) {
        n = std::min(n, Left());
        std::vector<Byte> out(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A file of the fuzzing process's own, for readers that take a path: rewritten for every input,
// removed when the process ends.
class ScratchFile {
public:
    explicit ScratchFile(const char* name) {
        const char* dir = std::getenv("TMPDIR");
        path_ = std::string(dir && *dir ? dir : "/tmp") + "/orvanta-fuzz-" + std::to_string(::getpid()) +
                "-" + name;
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& Path() const { return path_; }
    void Put(const void* data, std::size_t size) const {
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        ORV_CHECK(f != nullptr);
        ORV_CHECK(size == 0 || std::fwrite(data, 1, size, f) == size);
        ORV_CHECK(std::fclose(f) == 0);
    }

private:
    std::string path_;
};

// Everything of a program state that a read or a file may change, by value.
struct StateImage {
    const TDevice* device = nullptr;
    Byte type = 0;
    Byte version = 0;
    std::array<Byte, TDevice::kBufSize> buf{};
    std::array<ObjectRecord, TDV15_Ret::kObjects> objects{};
    std::array<SmsRecord, T_SMS_List::kRecords> smsList{};
    FrameBuffer gsm{}, gprs{}, sms{};
    std::array<DirectionRow, DirectionsModel::kRows> directions{};
    std::vector<SmsRow> smsRows;
    std::vector<SmsRow> retSmsRows;
    std::array<GprsSim, GprsModel::kSims> gprsSims{};

    bool operator==(const StateImage&) const = default;
};

inline std::vector<SmsRow> SmsRows(const SmsModel& m) {
    std::vector<SmsRow> rows;
    for (int r = 0; r < m.RowCount(); ++r) {
        rows.push_back(m.Row(r));
    }
    return rows;
}

inline std::vector<SmsRow> RetSmsRows(const RetSmsModel& m) {
    std::vector<SmsRow> rows;
    for (int r = 0; r < RetSmsModel::kRows; ++r) {
        rows.push_back(m.Row(r));
    }
    return rows;
}

inline StateImage Snapshot(const TProgramState& s) {
    StateImage i;
    i.device = s.device.get();
    if (s.device) {
        i.type = s.device->DevType;
        i.version = s.device->Version;
        i.buf = s.device->Buf;
        if (const auto* ret = dynamic_cast<const TDV15_Ret*>(s.device.get())) {
            for (int k = 1; k <= TDV15_Ret::kObjects; ++k) {
                i.objects[static_cast<std::size_t>(k - 1)] = ret->GetObject(k);
            }
            i.smsList = ret->Sms().Records();
        }
    }
    i.gsm = s.GsmFrame;
    i.gprs = s.GprsFrame;
    i.sms = s.SmsFrame;
    i.directions = s.Directions.Rows();
    i.smsRows = SmsRows(s.Sms);
    i.retSmsRows = RetSmsRows(s.RetSms);
    for (int k = 0; k < GprsModel::kSims; ++k) {
        i.gprsSims[static_cast<std::size_t>(k)] = s.Gprs.Sim(k);
    }
    return i;
}

// A program state that already holds something of everything, so that a change shows.
inline TProgramState LivedInState() {
    TProgramState s;
    s.device = CreateDevice(2);
    s.device->SetZoneType(3, 4);
    s.device->SetZoneCID(3, 17);
    s.device->Version = 9;
    ResetGsmFrame(s.GsmFrame);
    SetDeviceNumber(s.GsmFrame, 4242);
    s.Directions.ChooseAttempts(1, 2);
    s.Directions.SetTarget(1, "+79001234567");
    EncodeDirections(s.Directions, s.GsmFrame);
    s.Gprs.SetApn(1, "apn.example");
    (void)s.Gprs.Encode(s.GprsFrame);
    s.Sms.Setup(*s.device);
    s.Sms.ChooseType(0, 1);
    s.Sms.SetPhone(0, "+79007654321");
    (void)s.Sms.Encode(s.SmsFrame);
    return s;
}

// What the transaction target writes, from its set-up byte: bits 1..5 choose the type, bit 6
// gives it a GSM communicator, bit 7 an SMS list and GPRS settings. Committed as before a
// write; no device when the commit refuses.
inline TProgramState WriteState(Byte setup) {
    static constexpr std::array<Byte, 17> kTypes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18};
    TProgramState state = LivedInState();
    state.device = CreateDevice(kTypes[static_cast<std::size_t>((setup >> 1) & 0x1F) % kTypes.size()]);
    const bool gsm = (setup & 0x40) != 0;
    if (IsOP8(*state.device)) {
        state.device->SetParam(prmDevTX, gsm ? 2 : 0);
    } else if (gsm) {
        state.device->SetGsmConnected(true);
    }
    ResetGsmFrame(state.GsmFrame);
    state.Directions.ChooseAttempts(0, 2);
    state.Directions.SetTarget(0, "+79001234567");
    SetSmsListOn(state, (setup & 0x80) != 0);
    SetGprsOn(state, (setup & 0x80) != 0);
    state.Gprs.SetApn(0, "internet");
    if (auto* ret = dynamic_cast<TDV15_Ret*>(state.device.get())) {
        for (int k = 1; k <= 23; ++k) {
            ret->Sms().SetRecord(k,
                                 {1, static_cast<Byte>(k), 0x97, 0x30, 0x21, 0x43, 0x65, 0xF7, 0xFF, 0xFF});
        }
        state.RetSms.Fill(ret->Sms());
    } else {
        state.Sms.ChooseType(0, 1);
        state.Sms.SetPhone(0, "+79031112233");
    }
    if (!UpdateAllTXBuffers(state, nullptr).ok()) {
        state.device.reset();
    }
    return state;
}

// The bytes of a frame buffer that belong to the frame it holds.
inline std::vector<Byte> FrameBytes(const FrameBuffer& f) {
    return std::vector<Byte>(f.begin(), f.begin() + f[1]);
}

} // namespace orv::fuzz
