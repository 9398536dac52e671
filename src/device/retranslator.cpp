// The radio retranslator: its own payload, an object table of 32 entries and an SMS list.
#include "retranslator.h"

#include <cstdio>

namespace orv {

namespace {

constexpr Byte kDef15[20] = {0x01, 0x00, 0x00, 0x03, 0x04, 0x07, 0x17, 0x1E, 0x1E, 0x01,
                             0x01, 0x03, 0x00, 0x01, 0x18, 0x28, 0x01, 0x01, 0x33, 0x00};
constexpr DeviceSpec kSpec15{15, 5, 20, kDef15};

constexpr int kBuzzer = 0;
constexpr int kZoneDependent = 2;
constexpr int kExitDelay = 7;
constexpr int kEntryDelay = 8;
constexpr int kRelayIndication = 11;
constexpr int kGsm = 12;
constexpr int kRelays = 18;
constexpr int kFireRelayCheck = 19;

bool IsGuardType(Byte type) {
    return type == 5 || type == 6 || type == 7;
}

} // namespace

std::uint32_t ObjectNumber(const ObjectRecord& record) {
    return (static_cast<std::uint32_t>(record[0] >> 6) << 16) | (static_cast<std::uint32_t>(record[1]) << 8) |
           record[2];
}

ObjectRecord MakeObjectRecord(std::uint32_t number, Byte type) {
    return {static_cast<Byte>((((number >> 16) & 0x03) << 6) | (type & 0x03)), static_cast<Byte>(number >> 8),
            static_cast<Byte>(number)};
}

std::string ObjectNumberText(const ObjectRecord& r) {
    if ((r[0] & 0x03) == 0) {
        return {};
    }
    char text[8];
    std::snprintf(text, sizeof text, "%X%02X%02X", r[0] >> 6, r[1], r[2]);
    return text;
}

std::optional<std::uint32_t> ObjectNumberFromText(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint32_t number = 0;
    for (const char c : text) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else {
            return std::nullopt;
        }
        number = (number << 4) | static_cast<std::uint32_t>(digit);
    }
    return number;
}

TDV15_Ret::TDV15_Ret() : TDevice(kSpec15) {
    SetDefaults();
}

void TDV15_Ret::SetDefaults() {
    TDevice::SetDefaults();
    ClearObjects();
}

Byte TDV15_Ret::GetZoneType(int zone) const {
    return zone == 1 || zone == 2 ? Payload(2 * zone + 1) : Byte{0};
}

void TDV15_Ret::SetZoneType(int zone, Byte type) {
    if (zone == 1 || zone == 2) {
        SetPayload(2 * zone + 1, type);
    }
}

Byte TDV15_Ret::GetZoneCID(int zone) const {
    return zone == 1 || zone == 2 ? Payload(2 * zone + 2) : Byte{0};
}

void TDV15_Ret::SetZoneCID(int zone, Byte code) {
    if (zone == 1 || zone == 2) {
        SetPayload(2 * zone + 2, code);
    }
}

Byte TDV15_Ret::GetZoneDelay(int, bool exit) const {
    return Payload(exit ? kExitDelay : kEntryDelay);
}

void TDV15_Ret::SetZoneDelay(int, bool exit, Byte value) {
    SetPayload(exit ? kExitDelay : kEntryDelay, value > 99 ? Byte{30} : value);
}

Byte TDV15_Ret::GetParam(Byte index) const {
    if (index == prmReleAlarmFire) {
        return Payload(kRelays);
    }
    if (index == prmOPsCheck) {
        return Payload(kFireRelayCheck);
    }
    return 0;
}

void TDV15_Ret::SetParam(Byte index, Byte value) {
    if (index == prmReleAlarmFire) {
        SetPayload(kRelays, value);
    } else if (index == prmOPsCheck) {
        SetPayload(kFireRelayCheck, value);
    }
}

bool TDV15_Ret::GetGsmConnected() const {
    return Payload(kGsm) & 0x01;
}
void TDV15_Ret::SetGsmConnected(bool on) {
    SetPayloadBit(kGsm, 0, on);
}
Byte TDV15_Ret::GetBuzzer() const {
    return Payload(kBuzzer);
}
void TDV15_Ret::SetBuzzer(Byte value) {
    SetPayload(kBuzzer, value);
}
bool TDV15_Ret::GetGsmControl() const {
    return Payload(kGsm) & 0x04;
}
void TDV15_Ret::SetGsmControl(bool on) {
    SetPayloadBit(kGsm, 2, on);
}
bool TDV15_Ret::GetGsmTx() const {
    return Payload(kGsm) & 0x02;
}
void TDV15_Ret::SetGsmTx(bool on) {
    SetPayloadBit(kGsm, 1, on);
}

bool TDV15_Ret::GetRelayIndication(int bit) const {
    return bit >= 0 && bit <= 7 && ((Payload(kRelayIndication) >> bit) & 1);
}

void TDV15_Ret::SetRelayIndication(int bit, bool on) {
    SetPayloadBit(kRelayIndication, bit, on);
}

void TDV15_Ret::SetTxMode(Byte mode) {
    SetPayload(13, static_cast<Byte>((Payload(13) & ~0x03) | (mode & 0x03)));
}

std::span<const Byte> TDV15_Ret::BuildWriteFrame() {
    const Byte t1 = GetZoneType(1);
    const Byte t2 = GetZoneType(2);
    if (t1 == 0 && t2 == 0) {
        SetPayload(kZoneDependent, 0);
    } else if (!IsGuardType(t1) && !IsGuardType(t2)) {
        SetPayload(kZoneDependent, 255);
    }
    return TDevice::BuildWriteFrame();
}

ObjectRecord TDV15_Ret::GetObject(int object) const {
    if (object < 1 || object > kObjects) {
        return ObjectRecord{};
    }
    return objects_[static_cast<std::size_t>(object - 1)];
}

void TDV15_Ret::SetObject(int object, const ObjectRecord& record) {
    if (object >= 1 && object <= kObjects) {
        objects_[static_cast<std::size_t>(object - 1)] = record;
    }
}

int TDV15_Ret::ObjectCount() const {
    int count = 0;
    for (const auto& r : objects_) {
        if (r[0] & 0x03) {
            ++count;
        }
    }
    return count;
}

std::string TDV15_Ret::ObjectCountText() const {
    return "Объектов: " + std::to_string(ObjectCount());
}

std::string TDV15_Ret::ObjectNumberText(int object) const {
    return orv::ObjectNumberText(GetObject(object));
}

bool TDV15_Ret::SetObjectFromText(int object, const std::string& text, Byte type) {
    ObjectRecord record{};
    const auto number = ObjectNumberFromText(text);
    if (number && *number != 0) {
        record = MakeObjectRecord(*number, type);
    }
    if (record[0] == 0) {
        return false;
    }
    SetObject(object, record);
    return object >= 1 && object <= kObjects;
}

void TDV15_Ret::ClearObjects() {
    objects_.fill(ObjectRecord{});
}

std::array<Byte, TDV15_Ret::kObjectFrameLength> TDV15_Ret::BuildObjectFrame() const {
    std::array<Byte, kObjectFrameLength> f{};
    f[0] = frame::kStart;
    f[2] = frame::kCmdWrite;
    f[3] = frame::subObjects;
    f[4] = 1;
    for (std::size_t k = 0; k < objects_.size(); ++k) {
        for (std::size_t i = 0; i < 3; ++i) {
            f[5 + 3 * k + i] = objects_[k][i];
        }
    }
    frame::SealFrame(f.data(), f.size());
    return f;
}

void TDV15_Ret::LoadObjects(ReplyView reply) {
    for (std::size_t k = 0; k < objects_.size(); ++k) {
        for (std::size_t i = 0; i < 3; ++i) {
            objects_[k][i] = reply[5 + 3 * k + i];
        }
    }
}

} // namespace orv
