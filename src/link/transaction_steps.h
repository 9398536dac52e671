#pragma once

// The steps of a read and a write transaction, apart from the thread, the port and the clock
// that carry them: what is sent, what a reply decides and which result codes follow. The
// protocol worker runs them over the serial port; the tests and the fuzzers run them over
// replies given as bytes. Plain C++.

#include "frame/frame.h"
#include "gsm/program_state.h"
#include "link/result_codes.h"

#include <memory>
#include <span>

namespace orv {

class TDV15_Ret;

// The line a transaction talks over.
class TTransactionLine {
public:
    virtual ~TTransactionLine() = default;
    // Empties the receive buffer, sends the frame and waits for one reply. True when a complete,
    // sound reply came and nothing followed it. Reports rcReplyArriving itself as soon as reply bytes begin
    // to arrive.
    virtual bool Exchange(std::span<const Byte> frame) = 0;
    // The reply last waited for, also after a failed wait.
    virtual ReplyView Reply() const = 0;
    // One result code; returns once it has been handled.
    virtual void Report(int code, int argument) = 0;
    // Exchanges done of those the transaction will make, as far as it knows them: a write knows
    // them all at its start, a read learns them from the replies (the type, the GSM flags, each
    // SMS page's "more"). Given before the first exchange and after each one that succeeded.
    virtual void Progress(int /*done*/, int /*total*/) {}
};

class TTransactionSteps {
public:
    TTransactionSteps(TTransactionLine& line, TProgramState& state) : line_(line), state_(state) {}

    // Identifies the panel, makes the current device object of its type and loads it, then the
    // retranslator's objects and the GSM settings where present. Returns the type code once
    // everything was read, else 0 after the failure's code.
    Byte RunRead();
    // Writes the current device object, then the retranslator's objects and the GSM frames
    // where present. False after the failure's code.
    bool RunWrite();

    // The device object the transaction made or wrote.
    const std::shared_ptr<TDevice>& Device() const { return device_; }

private:
    // One exchange that counts as a step of the transaction.
    bool Exchange(std::span<const Byte> frame);
    void Plan(int more) {
        total_ += more;
        line_.Progress(done_, total_);
    }
    // The exchanges a write of the current objects makes.
    int WriteSteps(const TDV15_Ret* ret) const;
    bool ExchangeRequest(Byte subCommand, Byte page = 0);
    bool ReadGsm(TDV15_Ret* ret);
    bool WriteGsm(TDV15_Ret* ret);
    bool ReadObjectTable(TDV15_Ret& ret);
    bool WriteObjectTable(TDV15_Ret& ret);
    bool ReadSmsPages(TDV15_Ret& ret);
    bool WriteSmsPages(TDV15_Ret& ret);
    bool ReadOptionalBlock(Byte subCommand, FrameBuffer& target);
    bool SendFromBuffer(const FrameBuffer& frame, bool (*confirm)(ReplyView, std::span<const Byte>));
    void Report(int code, int argument = 0) { line_.Report(code, argument); }

    TTransactionLine& line_;
    TProgramState& state_;
    std::shared_ptr<TDevice> device_;
    int done_ = 0;
    int total_ = 0;
};

} // namespace orv
