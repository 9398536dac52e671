#include "frame_buffer.h"

#include <algorithm>

namespace orv {

std::size_t FrameDataEnd(std::span<const Byte> frame) {
    if (frame.size() < 2 || frame[0] != frame::kStart) {
        return frame.size();
    }
    const std::size_t length = frame[1];
    if (length < 5 || length > frame.size() || frame::Crc8(frame.data(), length - 1) != frame[length - 1]) {
        return frame.size();
    }
    return length - 1;
}

bool PutFrame(std::span<Byte> frame, std::span<const Byte> body) {
    const std::size_t length = body.size() + 1;
    if (body.size() < 2 || length > frame::kMaxFrame || length > frame.size()) {
        return false;
    }
    std::copy(body.begin(), body.end(), frame.begin());
    frame::SealFrame(frame.data(), length);
    return true;
}

} // namespace orv
