#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace orv {

using Byte = std::uint8_t;

// A received reply seen through its byte count: bytes beyond the count read as zero,
// as they would in the cleared receive buffer, and nothing is ever read past it.
class ReplyView {
public:
    ReplyView() = default;
    ReplyView(const Byte* data, std::size_t count) : data_(data), count_(data ? count : 0) {}
    explicit ReplyView(std::span<const Byte> bytes) : data_(bytes.data()), count_(bytes.size()) {}

    Byte operator[](std::size_t i) const { return i < count_ ? data_[i] : Byte{0}; }
    std::size_t size() const { return count_; }
    const Byte* data() const { return data_; }

private:
    const Byte* data_ = nullptr;
    std::size_t count_ = 0;
};

namespace frame {

inline constexpr Byte kStart = 0x7E;
inline constexpr Byte kCmdRead = 0x52;  // 'R'
inline constexpr Byte kCmdWrite = 0x57; // 'W'
inline constexpr Byte kCmdReply = 0x44; // 'D'

inline constexpr std::size_t kMaxFrame = 201;      // largest frame buffer
inline constexpr std::size_t kReceiveBuffer = 202; // the protocol's receive buffer
inline constexpr std::size_t kReadRequestLength = 10;

enum SubCommand : Byte {
    subConfig = 1,
    subGsm = 2,
    subGprs = 3,
    subSms = 4,
    subObjects = 5,
    subSmsPage = 6,
};

// CRC-8, polynomial 0x1D taken least significant bit first (0xB8), initial 0, no final xor.
Byte Crc8(const Byte* data, std::size_t count);
inline Byte Crc8(std::span<const Byte> bytes) {
    return Crc8(bytes.data(), bytes.size());
}

// The 10-byte read request; the page goes into byte 4 only for sub-command 6.
std::array<Byte, kReadRequestLength> BuildReadRequest(Byte subCommand, Byte page = 0);

// Count equals the length byte and the last byte is the checksum of the others.
bool ReplyComplete(ReplyView reply);

// Type code from a sound reply to sub-command 1, or 0 when it identifies nothing.
Byte IdentifyReply(ReplyView reply);

// Replies to sub-commands 3, 4 and 6 are used only when they look like data replies.
bool ReplyUsable(ReplyView reply);

// Bytes first..last (inclusive) of the reply equal those of the frame written.
bool RepeatsWritten(ReplyView reply, std::span<const Byte> written, std::size_t first, std::size_t last);

// Confirmation rules of the writes other than the configuration (which the device checks).
bool ConfirmGsmWrite(ReplyView reply, std::span<const Byte> written);
bool ConfirmGprsWrite(ReplyView reply, std::span<const Byte> written);
bool ConfirmSmsWrite(ReplyView reply, std::span<const Byte> written);
bool ConfirmObjectsWrite(ReplyView reply, std::span<const Byte> written);
bool ConfirmSmsPageWrite(ReplyView reply, std::span<const Byte> written);

// Puts the checksum of bytes 0..length-2 into byte length-1 and the length into byte 1.
void SealFrame(Byte* frame, std::size_t length);

} // namespace frame
} // namespace orv
