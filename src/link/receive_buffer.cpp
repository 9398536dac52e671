#include "receive_buffer.h"

#include <algorithm>

namespace orv {

void TReceiveBuffer::Clear() {
    std::lock_guard lock(mutex_);
    bytes_.fill(0);
    count_ = 0;
}

std::size_t TReceiveBuffer::Append(const Byte* data, std::size_t count) {
    std::lock_guard lock(mutex_);
    const std::size_t kept = std::min(count, kCapacity - count_);
    std::copy_n(data, kept, bytes_.begin() + static_cast<std::ptrdiff_t>(count_));
    count_ += kept;
    return kept;
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
