#include "device.h"

#include <algorithm>
#include <string>

namespace orv {

UnsupportedOperation::UnsupportedOperation(Byte devType, const char* operation)
    : std::logic_error(std::string(operation) + " is not an operation of device type " +
                       std::to_string(devType)) {}

TDevice::TDevice(const DeviceSpec& spec) : DevType(spec.code), spec_(spec) {}

void TDevice::Unsupported(const char* operation) const {
    throw UnsupportedOperation(DevType, operation);
}

Byte TDevice::Payload(int p) const {
    if (p < 0 || p >= spec_.l) {
        return 0;
    }
    return Buf[static_cast<std::size_t>(spec_.h + p)];
}

void TDevice::SetPayload(int p, Byte value) {
    if (p < 0 || p >= spec_.l) {
        return;
    }
    Buf[static_cast<std::size_t>(spec_.h + p)] = value;
}

void TDevice::SetPayloadBit(int p, int bit, bool on) {
    if (bit < 0 || bit > 7) {
        return;
    }
    const Byte mask = static_cast<Byte>(1u << bit);
    SetPayload(p, on ? static_cast<Byte>(Payload(p) | mask) : static_cast<Byte>(Payload(p) & ~mask));
}

Byte TDevice::GetZoneType(int) const {
    Unsupported("GetZoneType");
}
void TDevice::SetZoneType(int, Byte) {
    Unsupported("SetZoneType");
}
Byte TDevice::GetZonePart(int) const {
    return 0;
}
void TDevice::SetZonePart(int, Byte) {
    Unsupported("SetZonePart");
}
Byte TDevice::GetZoneCID(int) const {
    Unsupported("GetZoneCID");
}
void TDevice::SetZoneCID(int, Byte) {
    Unsupported("SetZoneCID");
}
Byte TDevice::GetZoneRearm(int) const {
    return 0;
}
void TDevice::SetZoneRearm(int, bool) {}
Byte TDevice::GetZoneFireReCheck(int) const {
    return 0;
}
void TDevice::SetZoneFireReCheck(int, bool) {}
Byte TDevice::GetZoneDelay(int, bool) const {
    Unsupported("GetZoneDelay");
}
void TDevice::SetZoneDelay(int, bool, Byte) {
    Unsupported("SetZoneDelay");
}
Byte TDevice::GetParam(Byte) const {
    Unsupported("GetParam");
}
void TDevice::SetParam(Byte, Byte) {
    Unsupported("SetParam");
}
bool TDevice::GetGsmConnected() const {
    return false;
}
void TDevice::SetGsmConnected(bool) {}
Byte TDevice::GetBuzzer() const {
    return 0;
}
void TDevice::SetBuzzer(Byte) {}
bool TDevice::GetGuardSnd() const {
    return false;
}
void TDevice::SetGuardSnd(bool) {}
Byte TDevice::GetBusID() const {
    return 0;
}
void TDevice::SetBusID(Byte) {}
Byte TDevice::GetArmFeedback() const {
    return 0;
}
void TDevice::SetArmFeedback(Byte) {}
bool TDevice::HasArmFeedback() const {
    return false;
}
Byte TDevice::GetOutput(int) const {
    return 0;
}
void TDevice::SetOutput(int, Byte) {}

void TDevice::SetDefaults() {
    std::copy_n(spec_.defaults.begin(), std::min<std::size_t>(spec_.defaults.size(), spec_.l),
                Buf.begin() + spec_.h);
}

void TDevice::LoadFromReply(ReplyView reply) {
    Version = reply[4];
    for (int i = 0; i < spec_.l; ++i) {
        SetPayload(i, reply[static_cast<std::size_t>(5 + i)]);
    }
}

std::span<const Byte> TDevice::BuildWriteFrame() {
    const std::size_t length = FrameLength();
    Buf[0] = frame::kStart;
    Buf[2] = frame::kCmdWrite;
    Buf[3] = frame::subConfig;
    if (spec_.h == 5) {
        Buf[4] = DevType;
    }
    frame::SealFrame(Buf.data(), length);
    return {Buf.data(), length};
}

bool TDevice::CheckWriteReply(ReplyView reply) const {
    for (int i = 0; i < spec_.l; ++i) {
        if (reply[static_cast<std::size_t>(5 + i)] != Payload(i)) {
            return false;
        }
    }
    return true;
}

} // namespace orv
