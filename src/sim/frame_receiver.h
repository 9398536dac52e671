#pragma once

#include "frame/frame.h"

#include <chrono>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace orv::sim {

using TClock = std::chrono::steady_clock;

// Cuts sound frames out of a byte stream: a frame starts with 0x7E, its byte 1 gives its
// length and its last byte is the checksum of the others. Whatever does not make such a frame
// is skipped one byte at a time, so reception falls back in step after garbage. The buffer
// never holds more than the longest frame.
class TFrameReceiver {
public:
    using FrameHandler = std::function<void(std::span<const Byte> frame)>;

    static constexpr std::size_t kMinFrame = 5; // start, length, command, sub-command, checksum
    static constexpr auto kStaleAfter = std::chrono::milliseconds(500);

    void Feed(std::span<const Byte> bytes, TClock::time_point now, const FrameHandler& onFrame);

    // A frame begun but not continued for kStaleAfter is given up; whole frames behind it in
    // the buffer are still delivered.
    std::optional<TClock::time_point> NextDeadline() const;
    void Expire(TClock::time_point now, const FrameHandler& onFrame);

    std::size_t Buffered() const { return buffer_.size(); }
    std::size_t Skipped() const { return skipped_; }

private:
    void Scan(const FrameHandler& onFrame);
    bool WholeFrameAt(std::size_t start) const;
    std::size_t LaterWholeFrame() const;
    void Skip(std::size_t n);

    std::vector<Byte> buffer_;
    TClock::time_point lastByte_{};
    std::size_t skipped_ = 0;
};

} // namespace orv::sim
