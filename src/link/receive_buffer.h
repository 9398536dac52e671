#pragma once

#include "frame/frame.h"

#include <array>
#include <cstddef>
#include <mutex>

namespace orv {

// The protocol's receive buffer: filled by the port's receive callback on the port's thread,
// emptied and read by the worker. One mutex guards the bytes and their count together.
class TReceiveBuffer {
public:
    static constexpr std::size_t kCapacity = frame::kReceiveBuffer;

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

private:
    mutable std::mutex mutex_;
    std::array<Byte, kCapacity> bytes_{};
    std::size_t count_ = 0;
};

// What the wait for a reply makes of the bytes received so far.
enum class TReplyState {
    Waiting,    // the announced length may still be reached
    Complete,   // the count equals the announced length
    Impossible, // the count is past the announced length, or the length exceeds the buffer
};
TReplyState AssessReply(std::size_t count, Byte length);

} // namespace orv
