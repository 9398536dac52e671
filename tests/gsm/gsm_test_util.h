#pragma once

#include "gsm/frame_buffer.h"

#include <initializer_list>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace orv::test {

inline std::vector<Byte> Bytes(std::initializer_list<int> values) {
    std::vector<Byte> out;
    for (const int v : values) {
        out.push_back(static_cast<Byte>(v));
    }
    return out;
}

inline void Append(std::vector<Byte>& out, const std::vector<Byte>& more) {
    out.insert(out.end(), more.begin(), more.end());
}

inline void AppendText(std::vector<Byte>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

// A complete frame: body (byte 1 is overwritten) followed by its checksum.
inline std::vector<Byte> Sealed(std::vector<Byte> body) {
    body.push_back(0);
    frame::SealFrame(body.data(), body.size());
    return body;
}

// The frame as the link leaves it in a buffer: copied over whatever was there before.
inline FrameBuffer InBuffer(const std::vector<Byte>& frame, Byte fill = 0) {
    if (frame.size() > kFrameBufferSize) {
        throw std::length_error("test frame longer than a frame buffer");
    }
    FrameBuffer buffer;
    buffer.fill(fill);
    std::copy(frame.begin(), frame.end(), buffer.begin());
    return buffer;
}

inline std::vector<Byte> Head(const FrameBuffer& buffer, std::size_t count) {
    return {buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(count)};
}

// The same frame as a panel's reply: command letter 'D', checksum recomputed.
inline std::vector<Byte> AsReply(std::vector<Byte> frame) {
    frame[2] = frame::kCmdReply;
    frame::SealFrame(frame.data(), frame.size());
    return frame;
}

} // namespace orv::test
