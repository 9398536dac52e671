#include "frame_receiver.h"

namespace orv::sim {

void TFrameReceiver::Feed(std::span<const Byte> bytes, TClock::time_point now, const FrameHandler& onFrame) {
    if (bytes.empty()) {
        return;
    }
    lastByte_ = now;
    for (const Byte b : bytes) {
        buffer_.push_back(b);
        Scan(onFrame);
    }
}

std::optional<TClock::time_point> TFrameReceiver::NextDeadline() const {
    if (buffer_.empty()) {
        return std::nullopt;
    }
    return lastByte_ + kStaleAfter;
}

void TFrameReceiver::Expire(TClock::time_point now, const FrameHandler& onFrame) {
    if (buffer_.empty() || now < lastByte_ + kStaleAfter) {
        return;
    }
    // The line has gone quiet, so a frame still waiting for its rest is not coming: look for
    // whole frames behind each later start byte and drop the remainder.
    while (!buffer_.empty()) {
        Skip(1);
        Scan(onFrame);
    }
}

void TFrameReceiver::Skip(std::size_t n) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    skipped_ += n;
}

bool TFrameReceiver::WholeFrameAt(std::size_t start) const {
    if (start + 1 >= buffer_.size() || buffer_[start] != frame::kStart) {
        return false;
    }
    const std::size_t length = buffer_[start + 1];
    return length >= kMinFrame && length <= frame::kMaxFrame && start + length <= buffer_.size() &&
           frame::Crc8(buffer_.data() + start, length - 1) == buffer_[start + length - 1];
}

std::size_t TFrameReceiver::LaterWholeFrame() const {
    for (std::size_t start = 1; start + kMinFrame <= buffer_.size(); ++start) {
        if (WholeFrameAt(start)) {
            return start;
        }
    }
    return 0;
}

void TFrameReceiver::Scan(const FrameHandler& onFrame) {
    for (;;) {
        std::size_t start = 0;
        while (start < buffer_.size() && buffer_[start] != frame::kStart) {
            ++start;
        }
        if (start > 0) {
            Skip(start);
        }
        if (buffer_.size() < 2) {
            return;
        }
        const std::size_t length = buffer_[1];
        if (length < kMinFrame || length > frame::kMaxFrame) {
            Skip(1);
            continue;
        }
        if (buffer_.size() < length) {
            // Still short: unless a whole sound frame already lies behind a later start byte,
            // in which case this start was garbage.
            if (const std::size_t later = LaterWholeFrame(); later != 0) {
                Skip(later);
                continue;
            }
            return;
        }
        if (frame::Crc8(buffer_.data(), length - 1) == buffer_[length - 1]) {
            const std::vector<Byte> frame(buffer_.begin(),
                                          buffer_.begin() + static_cast<std::ptrdiff_t>(length));
            buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(length));
            onFrame(frame);
            continue;
        }
        Skip(1);
    }
}

} // namespace orv::sim
