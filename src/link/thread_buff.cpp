#include "thread_buff.h"

#include "link/data_module.h"

#include <thread>

// QThread::wait orders everything the thread did before the owner goes on, through a futex
// ThreadSanitizer does not see; the ordering is stated to it directly, or the owner's next use
// of the same memory (a worker made again on the stack) reads as a race.
#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#define ORV_TSAN_RELEASE(p) __tsan_release(p)
#define ORV_TSAN_ACQUIRE(p) __tsan_acquire(p)
#else
#define ORV_TSAN_RELEASE(p) (void)(p)
#define ORV_TSAN_ACQUIRE(p) (void)(p)
#endif

namespace orv {

TThreadBuff::TThreadBuff(TCommPortDriver& port, TReceiveBuffer& receive, TProgramState& state,
                         QObject* parent)
    : QThread(parent), port_(port), receive_(receive), state_(state) {
    setObjectName(QStringLiteral("ThreadBuff"));
}

TThreadBuff::TThreadBuff(TmodData& data, TProgramState& state, QObject* parent)
    : TThreadBuff(data.cmprtdrvr1, data.RxBuf, state, parent) {
    framePause_ = data.FramePause;
}

TThreadBuff::~TThreadBuff() {
    wait();
    ORV_TSAN_ACQUIRE(this);
    std::lock_guard lock(endMutex_);
    device_.reset();
}

void TThreadBuff::Start() {
    start(QThread::LowPriority);
}

void TThreadBuff::run() {
    {
        std::lock_guard lock(endMutex_);
        if (!port_.OpenPort()) {
            SendResult(rcPortError);
        } else {
            polled_ = !port_.ReceivesOnArrival();
            SendResult(rcPortOpen);
            Line line(*this);
            TTransactionSteps steps(line, state_);
            if (mode_ == modeRead) {
                if (const Byte type = steps.RunRead()) {
                    SendResult(rcReadDone, type);
                }
            } else if (mode_ == modeWrite) {
                if (steps.RunWrite()) {
                    SendResult(rcWriteDone);
                }
            }
            // Released on the owner's thread, after the worker has ended.
            device_ = steps.Device();
            port_.ClosePort();
        }
    }
    handOff_.Run([this] { emit Ended(); });
    ORV_TSAN_RELEASE(this);
}

void TThreadBuff::SendResult(int code, int argument) {
    handOff_.Run([&] { emit ResultCode(code, argument); });
}

void TThreadBuff::SendProgress(int done, int total) {
    handOff_.Run([&] { emit Progress(done, total); });
}

namespace {

// How often the port is asked for bytes it holds but has not handed in: the compatible exchange
// hands them in only every 500 ms.
constexpr std::chrono::milliseconds kQuietCheck{10};

} // namespace

// A byte that comes during the pause starts it again: the line must have been quiet for the
// whole pause. Bytes still waiting at the port count as come.
bool TThreadBuff::AwaitQuietLine(TReceiveBuffer::Clock::time_point deadline) const {
    using Clock = TReceiveBuffer::Clock;
    for (;;) {
        const auto last = receive_.LastArrival();
        const auto now = Clock::now();
        const bool waiting = polled_ && port_.InputWaiting();
        if (!waiting && (!last || now >= *last + framePause_)) {
            return true;
        }
        if (now >= deadline) {
            return false;
        }
        const auto until = waiting ? now + kQuietCheck : *last + framePause_;
        std::this_thread::sleep_until(std::min(until, deadline));
    }
}

// The frame pause after a complete reply, watched: any byte in it, handed in or (when the port
// is polled) waiting at the port, belongs to the reply, which is then longer than its length byte
// says. Bytes handed in as they arrive wake the wait at once.
bool TThreadBuff::QuietAfterReply() const {
    using Clock = TReceiveBuffer::Clock;
    const auto last = receive_.LastArrival();
    const auto end = (last ? *last : Clock::now()) + framePause_;
    for (;;) {
        if (receive_.Count() != reply_.count || receive_.LastArrival() != last ||
            (polled_ && port_.InputWaiting())) {
            return false;
        }
        const auto now = Clock::now();
        if (now >= end) {
            return true;
        }
        receive_.WaitForChange(reply_.count, polled_ ? std::min(end, now + kQuietCheck) : end);
    }
}

bool TThreadBuff::SendFrame(const Byte* frame, std::size_t length) {
    if (!AwaitQuietLine(TReceiveBuffer::Clock::now() + kFirstByteWait)) {
        return false;
    }
    // Purge first: a late byte of an earlier reply must not land in the emptied buffer.
    port_.PurgeQueues(true, true);
    receive_.Clear();
    port_.WriteBytes(frame, static_cast<int>(length));
    return true;
}

bool TThreadBuff::AwaitReply() {
    using Clock = TReceiveBuffer::Clock;
    auto deadline = Clock::now() + kFirstByteWait;
    std::size_t count = receive_.Count();
    while (count < 2 && Clock::now() < deadline) {
        count = receive_.WaitForChange(count, deadline);
    }
    if (count == 0) {
        reply_ = {};
        return false;
    }
    SendResult(rcReplyArriving);
    // Judged on one copy at a time, so the test and the bytes used later agree.
    reply_ = receive_.Take();
    TReplyState state = AssessReply(reply_.count, reply_.bytes[1]);
    deadline = Clock::now() + kCompleteWait;
    while (state == TReplyState::Waiting && Clock::now() < deadline) {
        receive_.WaitForChange(reply_.count, deadline);
        reply_ = receive_.Take();
        state = AssessReply(reply_.count, reply_.bytes[1]);
    }
    return state == TReplyState::Complete && frame::ReplyComplete(reply_.View()) && QuietAfterReply();
}

bool TThreadBuff::Line::Exchange(std::span<const Byte> frame) {
    if (!worker_.SendFrame(frame.data(), frame.size())) {
        worker_.reply_ = {};
        return false;
    }
    return worker_.AwaitReply();
}

} // namespace orv
