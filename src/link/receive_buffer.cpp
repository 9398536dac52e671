#include "receive_buffer.h"

#include <algorithm>

namespace orv {

void TReceiveBuffer::Clear() {
    {
        std::lock_guard lock(mutex_);
        bytes_.fill(0);
        count_ = 0;
    }
    changed_.notify_all();
}

std::size_t TReceiveBuffer::Append(const Byte* data, std::size_t count) {
    if (count == 0) {
        return 0;
    }
    std::size_t kept = 0;
    {
        // Dropped bytes came down the line all the same.
        lastArrival_.store(
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(),
            std::memory_order_release);
        std::lock_guard lock(mutex_);
        kept = std::min(count, kCapacity - count_);
        std::copy_n(data, kept, bytes_.begin() + static_cast<std::ptrdiff_t>(count_));
        count_ += kept;
    }
    changed_.notify_all();
    return kept;
}

std::size_t TReceiveBuffer::WaitForChange(std::size_t seen, Clock::time_point deadline) const {
    std::unique_lock lock(mutex_);
    changed_.wait_until(lock, deadline, [&] { return count_ != seen; });
    return count_;
}

std::optional<TReceiveBuffer::Clock::time_point> TReceiveBuffer::LastArrival() const {
    const std::int64_t ns = lastArrival_.load(std::memory_order_acquire);
    if (ns == kNever) {
        return std::nullopt;
    }
    return Clock::time_point(std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(ns)));
}

std::size_t TReceiveBuffer::Count() const {
    std::lock_guard lock(mutex_);
    return count_;
}

TReceiveBuffer::Snapshot TReceiveBuffer::Take() const {
    std::lock_guard lock(mutex_);
    Snapshot s;
    s.bytes = bytes_;
    s.count = count_;
    return s;
}

TReplyState AssessReply(std::size_t count, Byte length) {
    if (count < 2) {
        return TReplyState::Waiting;
    }
    if (count == length) {
        return TReplyState::Complete;
    }
    // The count only grows and the buffer keeps no more than its capacity.
    if (count > length || length > TReceiveBuffer::kCapacity) {
        return TReplyState::Impossible;
    }
    return TReplyState::Waiting;
}

} // namespace orv
