#include "frame.h"

namespace orv::frame {

namespace {

constexpr std::array<Byte, 256> MakeCrcTable() {
    std::array<Byte, 256> table{};
    for (int i = 0; i < 256; ++i) {
        Byte value = static_cast<Byte>(i);
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1) ? static_cast<Byte>((value >> 1) ^ 0xB8) : static_cast<Byte>(value >> 1);
        }
        table[static_cast<std::size_t>(i)] = value;
    }
    return table;
}

constexpr std::array<Byte, 256> kCrcTable = MakeCrcTable();
static_assert(kCrcTable[1] == 0x64 && kCrcTable[2] == 0xC8 && kCrcTable[0x80] == 0xB8);

} // namespace

Byte Crc8(const Byte* data, std::size_t count) {
    Byte crc = 0;
    for (std::size_t i = 0; i < count; ++i) {
        crc = kCrcTable[crc ^ data[i]];
    }
    return crc;
}

std::array<Byte, kReadRequestLength> BuildReadRequest(Byte subCommand, Byte page) {
    std::array<Byte, kReadRequestLength> request{kStart, static_cast<Byte>(kReadRequestLength), kCmdRead,
                                                 subCommand};
    if (subCommand == subSmsPage) {
        request[4] = page;
    }
    request[9] = Crc8(request.data(), 9);
    return request;
}

bool ReplyComplete(ReplyView reply) {
    const std::size_t count = reply.size();
    if (count < 2 || count != reply[1]) {
        return false;
    }
    return Crc8(reply.data(), count - 1) == reply[count - 1];
}

Byte IdentifyReply(ReplyView reply) {
    if (!ReplyComplete(reply) || reply[0] != kStart || reply[2] != kCmdReply) {
        return 0;
    }
    const auto signedType = static_cast<std::int8_t>(reply[3]);
    if (signedType == 0 || signedType > 18) {
        return 0;
    }
    return reply[3];
}

bool ReplyUsable(ReplyView reply) {
    return reply[0] == kStart && reply[1] > 5 && reply[2] == kCmdReply;
}

bool RepeatsWritten(ReplyView reply, std::span<const Byte> written, std::size_t first, std::size_t last) {
    if (first > last) {
        return true;
    }
    if (last >= written.size()) {
        return false;
    }
    for (std::size_t i = first; i <= last; ++i) {
        if (reply[i] != written[i]) {
            return false;
        }
    }
    return true;
}

namespace {
// Index L-k of a frame of length L, or "nothing to compare" for frames too short to have it.
bool RepeatsUpTo(ReplyView reply, std::span<const Byte> written, std::size_t first, std::size_t fromEnd) {
    const std::size_t length = written.size();
    if (length < first + fromEnd) {
        return true;
    }
    return RepeatsWritten(reply, written, first, length - fromEnd);
}
} // namespace

bool ConfirmGsmWrite(ReplyView reply, std::span<const Byte> written) {
    return reply[0] == kStart && reply[2] == kCmdReply && reply[3] == subGsm &&
           RepeatsUpTo(reply, written, 4, 3);
}

bool ConfirmGprsWrite(ReplyView reply, std::span<const Byte> written) {
    return RepeatsUpTo(reply, written, 4, 2);
}

bool ConfirmSmsWrite(ReplyView reply, std::span<const Byte> written) {
    return RepeatsUpTo(reply, written, 4, 2);
}

bool ConfirmObjectsWrite(ReplyView reply, std::span<const Byte> written) {
    return RepeatsUpTo(reply, written, 3, 2);
}

bool ConfirmSmsPageWrite(ReplyView reply, std::span<const Byte> written) {
    return RepeatsUpTo(reply, written, 4, 4);
}

void SealFrame(Byte* frame, std::size_t length) {
    if (length < 2) {
        return;
    }
    frame[1] = static_cast<Byte>(length);
    frame[length - 1] = Crc8(frame, length - 1);
}

} // namespace orv::frame
