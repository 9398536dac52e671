#pragma once

#include "gsm/program_state.h"
#include "link/comm_port_driver.h"
#include "link/hand_off.h"
#include "link/receive_buffer.h"
#include "link/result_codes.h"
#include "link/transaction_steps.h"

#include <QThread>

#include <chrono>
#include <memory>
#include <mutex>

namespace orv {

class TmodData;

// One transaction with the panel on a thread of its own: a read (identify, make the device
// object, load it, then the retranslator's objects and the GSM settings where present) or a
// write of the current device object and the GSM frames.
//
// Bytes are judged as soon as the port hands them in. Every request goes out no sooner than the
// frame pause after the last byte the line brought, so that a panel gets a moment between its
// reply and the next request; counted on a monotonic clock, also across transactions on the
// same receive buffer. A quiet line lets the first request of a transaction go out at once; one
// that has not gone quiet within the first-byte wait fails the exchange as unanswered. A reply
// is whole only when the line stays quiet for the frame pause after it: bytes that follow it
// make it no reply, in either exchange.
//
// Create it on the thread that owns the port; that thread must keep its event loop running
// until the worker has ended. Every result code is emitted as ResultCode on the creating thread
// while the worker waits for the handlers to return, so a handler may read the device object
// and the GSM frames. Exactly one of the codes 0, 1 and 8..14 ends a read or a write. Ended
// follows, also on the creating thread, once the worker touches nothing any more: the place to
// release it (deleteLater); the destructor waits for the thread to finish.
class TThreadBuff : public QThread {
    Q_OBJECT
public:
    enum Mode : Byte { modeRead = 0, modeWrite = 1 };

    static constexpr std::chrono::milliseconds kFirstByteWait{2500}; // for a reply to begin
    static constexpr std::chrono::milliseconds kCompleteWait{1500};  // more for it to complete
    static constexpr std::chrono::milliseconds kDefaultFramePause{50};

    TThreadBuff(TCommPortDriver& port, TReceiveBuffer& receive, TProgramState& state,
                QObject* parent = nullptr);
    TThreadBuff(TmodData& data, TProgramState& state, QObject* parent = nullptr);
    ~TThreadBuff() override;

    // Any other value only opens and closes the port.
    void SetMode(Byte mode) { mode_ = mode; }
    Byte GetMode() const { return mode_; }

    // Set before Start; the data module's FramePause when made from the data module.
    void SetFramePause(std::chrono::milliseconds pause) { framePause_ = pause; }
    std::chrono::milliseconds FramePause() const { return framePause_; }

    // Starts the thread one priority step below normal.
    void Start();

signals:
    void ResultCode(int code, int argument);
    // Exchanges done of those the transaction will make as far as known (TTransactionLine).
    void Progress(int done, int total);
    void Ended();

protected:
    void run() override;

private:
    // The steps' line: the port, the receive buffer and the polling waits.
    class Line final : public TTransactionLine {
    public:
        explicit Line(TThreadBuff& worker) : worker_(worker) {}
        bool Exchange(std::span<const Byte> frame) override;
        ReplyView Reply() const override { return worker_.reply_.View(); }
        void Report(int code, int argument) override { worker_.SendResult(code, argument); }
        void Progress(int done, int total) override { worker_.SendProgress(done, total); }

    private:
        TThreadBuff& worker_;
    };

    void SendResult(int code, int argument = 0);
    void SendProgress(int done, int total);
    bool AwaitQuietLine(TReceiveBuffer::Clock::time_point deadline) const;
    bool QuietAfterReply() const;
    bool SendFrame(const Byte* frame, std::size_t length);
    bool AwaitReply();

    TCommPortDriver& port_;
    TReceiveBuffer& receive_;
    TProgramState& state_;
    Byte mode_ = modeRead;
    std::chrono::milliseconds framePause_ = kDefaultFramePause;
    TReceiveBuffer::Snapshot reply_; // the reply last waited for
    bool polled_ = false;            // the port hands bytes in every so often (the compatible exchange)
    std::shared_ptr<TDevice> device_;
    THandOff handOff_;
    std::mutex endMutex_; // orders the worker's last writes before the owner's clean-up
};

} // namespace orv
