// A panel that answers anything: the steps of a read (and of a write) fed with replies made of
// the fuzzer's bytes, judged exactly as the worker judges what reaches its receive buffer.
//
// Input: one byte of set-up, then replies. Set-up bit 0: a write instead of a read; for a write,
// bits 1..5 choose the type to write and bit 6 gives it a GSM communicator. Each reply is a flags
// byte and a count n, then n bytes. Flags bit 0: nothing arrives (n and the bytes are still
// taken); bit 1: the length byte and the checksum are put right, so that deeper steps are reached.
#include "fuzz_support.h"
#include "gsm/tx_buffers.h"
#include "link/receive_buffer.h"
#include "link/transaction_steps.h"

#include <algorithm>

namespace {

using namespace orv;
using namespace orv::fuzz;

class BytesLine final : public TTransactionLine {
public:
    explicit BytesLine(Input& input) : input_(input) {}

    bool Exchange(std::span<const Byte> frame) override {
        ORV_CHECK(!frame.empty() && frame.size() <= frame::kMaxFrame);
        ORV_CHECK(frame[0] == frame::kStart && frame[1] == frame.size());
        ORV_CHECK(frame::Crc8(frame.data(), frame.size() - 1) == frame.back());
        ++exchanges;
        receive_.Clear();
        const Byte flags = input_.Take();
        std::vector<Byte> bytes = input_.Take(input_.Take());
        if (flags & 0x02) {
            if (bytes.size() >= 2) {
                bytes[1] = static_cast<Byte>(bytes.size());
                bytes.back() = frame::Crc8(bytes.data(), bytes.size() - 1);
            }
        }
        if ((flags & 0x01) == 0) {
            receive_.Append(bytes.data(), bytes.size());
        }
        // As the worker waits: nothing at all fails at once; anything makes the reply begun.
        if (receive_.Count() == 0) {
            reply_ = {};
            return false;
        }
        Report(rcReplyArriving, 0);
        reply_ = receive_.Take();
        if (exchanges == 1) {
            first = reply_;
        }
        return AssessReply(reply_.count, reply_.bytes[1]) == TReplyState::Complete &&
               frame::ReplyComplete(reply_.View());
    }
    ReplyView Reply() const override { return reply_.View(); }
    void Report(int code, int argument) override { codes.push_back({code, argument}); }

    std::vector<TResult> codes;
    int exchanges = 0;
    TReceiveBuffer::Snapshot first; // the identification reply

private:
    Input& input_;
    TReceiveBuffer receive_;
    TReceiveBuffer::Snapshot reply_;
};

bool InProgress(int code) {
    return code >= rcPortOpen && code <= rcWritingObjects;
}

// After a read: the pages and dialogs show the frames, and a commit puts them back. Doing that
// twice must change nothing more: decode, encode, decode is stable.
void CheckModelsRoundTrip(TProgramState& state) {
    RefreshGsmModels(state);
    if (!UpdateAllTXBuffers(state, nullptr).ok()) {
        return;
    }
    RefreshGsmModels(state);
    const StateImage once = Snapshot(state);
    ORV_CHECK(UpdateAllTXBuffers(state, nullptr).ok());
    RefreshGsmModels(state);
    const StateImage twice = Snapshot(state);
    ORV_CHECK(twice.directions == once.directions);
    ORV_CHECK(twice.smsRows == once.smsRows);
    ORV_CHECK(twice.retSmsRows == once.retSmsRows);
    ORV_CHECK(twice.gprsSims == once.gprsSims);
    ORV_CHECK(twice.smsList == once.smsList);
    if (state.device->GetGsmConnected()) {
        ORV_CHECK(FrameBytes(twice.gsm) == FrameBytes(once.gsm));
    }
}

void Read(Input& input) {
    TProgramState state = LivedInState();
    const StateImage before = Snapshot(state);
    BytesLine line(input);
    TTransactionSteps steps(line, state);
    const Byte type = steps.RunRead();
    if (type != 0) {
        line.Report(rcReadDone, type);
    }
    ORV_CHECK(!line.codes.empty());
    const TResult last = line.codes.back();
    ORV_CHECK(IsFinalResult(last.code));
    for (std::size_t i = 0; i + 1 < line.codes.size(); ++i) {
        ORV_CHECK(InProgress(line.codes[i].code));
    }
    const StateImage after = Snapshot(state);
    if (after.device != before.device) {
        // A new device object holds the identification reply's configuration and version,
        // bytes past the reply reading as zero.
        const ReplyView id = line.first.View();
        ORV_CHECK(after.type == frame::IdentifyReply(id) && after.version == id[4]);
        const auto payload = state.device->PayloadBytes();
        for (std::size_t i = 0; i < payload.size(); ++i) {
            ORV_CHECK(payload[i] == id[5 + i]);
        }
    }
    switch (last.code) {
    case rcNoLink:
    case rcUnknownDevice:
    case rcUnsupportedDevice:
        // Nothing is taken from a panel that was not identified.
        ORV_CHECK(after == before);
        ORV_CHECK(last.code != rcUnsupportedDevice || !DeviceSupported(static_cast<Byte>(last.argument)));
        break;
    case rcObjectsError:
        // The new device object stays, without objects, and no GSM block was read.
        ORV_CHECK(after.device != before.device && after.type == 15);
        ORV_CHECK(after.objects == decltype(after.objects){});
        ORV_CHECK(after.gsm == before.gsm && after.gprs == before.gprs && after.sms == before.sms);
        break;
    case rcGsmError:
        ORV_CHECK(after.device != before.device && state.device->GetGsmConnected());
        break;
    case rcReadDone: {
        ORV_CHECK(after.device != before.device && last.argument == after.type);
        CheckModelsRoundTrip(state);
        break;
    }
    default:
        ORV_CHECK(false);
    }
}

void Write(Input& input, Byte setup) {
    TProgramState state = WriteState(setup);
    if (!state.device) {
        return;
    }
    const TDevice* device = state.device.get();
    const auto payload = std::vector<Byte>(device->PayloadBytes().begin(), device->PayloadBytes().end());
    const FrameBuffer gsmFrame = state.GsmFrame;
    const FrameBuffer gprsFrame = state.GprsFrame;

    BytesLine line(input);
    TTransactionSteps steps(line, state);
    if (steps.RunWrite()) {
        line.Report(rcWriteDone, 0);
    }
    ORV_CHECK(!line.codes.empty() && IsFinalResult(line.codes.back().code));
    ORV_CHECK(line.codes.back().code != rcReadDone);
    // A write changes nothing in the program, whatever the panel answers.
    ORV_CHECK(state.device.get() == device);
    ORV_CHECK(std::equal(payload.begin(), payload.end(), device->PayloadBytes().begin(),
                         device->PayloadBytes().end()));
    ORV_CHECK(state.GsmFrame == gsmFrame && state.GprsFrame == gprsFrame);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    const Byte setup = input.Take();
    if (setup & 0x01) {
        Write(input, setup);
    } else {
        Read(input);
    }
    return 0;
}
