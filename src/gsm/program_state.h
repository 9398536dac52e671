#pragma once

#include "device/device.h"

#include <array>
#include <memory>

namespace orv {

// Every frame buffer is sized for the largest frame that can be received or built.
inline constexpr std::size_t kFrameBufferSize = frame::kReceiveBuffer;
using FrameBuffer = std::array<Byte, kFrameBufferSize>;

// The process-wide state of the program: the current device object and the three GSM frames.
// The program creates one and passes it down; tests make their own.
struct TProgramState {
    // Replaced by a read, a device-menu choice or a file open. Shared so that a replaced
    // object lives until nothing refers to it any more.
    std::shared_ptr<TDevice> device;

    FrameBuffer GsmFrame{};
    FrameBuffer GprsFrame{};
    FrameBuffer SmsFrame{};
};

} // namespace orv
