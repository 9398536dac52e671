#pragma once

#include "frame/frame.h"

#include <array>
#include <cstddef>
#include <span>

namespace orv {

// Every frame buffer is sized for the largest frame that can be received or built.
inline constexpr std::size_t kFrameBufferSize = frame::kReceiveBuffer;
using FrameBuffer = std::array<Byte, kFrameBufferSize>;

// End (exclusive) of the bytes a decoder may read. A sealed frame (start byte, a length that
// fits the buffer, a matching checksum) ends before its checksum: bytes after a received reply
// are left-overs of older frames. Anything else may be read up to the end of the buffer.
std::size_t FrameDataEnd(std::span<const Byte> frame);

// Copies a frame built apart (bytes before the checksum; byte 1 is set here) into frame, with
// its length and checksum. A frame longer than the protocol allows or than frame can hold is
// refused and nothing is written.
bool PutFrame(std::span<Byte> frame, std::span<const Byte> body);

} // namespace orv
