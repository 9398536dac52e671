#pragma once

#include "frame/frame.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>

namespace orv {

// The protocol's receive buffer: filled by the port's receive callback on the port's thread,
// emptied and read by the worker. One mutex guards the bytes and their count together. It also
// keeps when the line last brought a byte, which outlives the emptying: the pause before the
// next request is counted from it.
class TReceiveBuffer {
public:
    static constexpr std::size_t kCapacity = frame::kReceiveBuffer;
    using Clock = std::chrono::steady_clock;

    struct Snapshot {
        std::array<Byte, kCapacity> bytes{};
        std::size_t count = 0;
        ReplyView View() const { return ReplyView(bytes.data(), count); }
    };

    // All bytes to 0 and the count to 0.
    void Clear();

    // Appends what fits; bytes beyond the capacity cannot belong to any frame and are dropped.
    // Returns the number of bytes kept.
    std::size_t Append(const Byte* data, std::size_t count);

    std::size_t Count() const;

    Snapshot Take() const;

    // Waits until the count is no longer seen (bytes came, or the buffer was emptied) or the
    // deadline has passed; returns the count then.
    std::size_t WaitForChange(std::size_t seen, Clock::time_point deadline) const;

    // When the last bytes were handed in; nothing before the first.
    std::optional<Clock::time_point> LastArrival() const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::array<Byte, kCapacity> bytes_{};
    std::size_t count_ = 0;
    // Nanoseconds on Clock, kNever before the first byte: read by the worker while the port's
    // thread writes it, without waiting for the bytes' mutex.
    static constexpr std::int64_t kNever = INT64_MIN;
    std::atomic<std::int64_t> lastArrival_{kNever};
};

// What the wait for a reply makes of the bytes received so far.
enum class TReplyState {
    Waiting,    // the announced length may still be reached
    Complete,   // the count equals the announced length
    Impossible, // the count is past the announced length, or the length exceeds the buffer
};
TReplyState AssessReply(std::size_t count, Byte length);

} // namespace orv
