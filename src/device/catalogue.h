#pragma once

#include "device.h"

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

struct TDevices {
    Byte Code;
    Byte Group;
    Byte FromVersion;
    std::string_view Name;
    bool Enabled;
};

extern const std::array<TDevices, 19> DeviceList;
extern const std::array<std::string_view, 6> DeviceGroupNames;

// A new device object of the class for the code (low seven bits), with its factory defaults;
// nullptr for 0, 14 and codes without a class.
std::unique_ptr<TDevice> CreateDevice(Byte code);
// A device object of the same type holding the same configuration, objects and SMS list.
std::unique_ptr<TDevice> CopyDevice(const TDevice& device);
// Puts from's configuration into to, a device object of the same type.
void CopyDeviceInto(const TDevice& from, TDevice& to);
std::string DeviceName(Byte code);
bool DeviceSupported(Byte code);

// Zone types: position = type code.
extern const std::array<std::string_view, 9> ZoneTypeNames;
int ZoneTypeIndex(std::string_view caption);
Byte ZoneTypeDefaultCID(Byte code);

extern const std::array<std::string_view, 4> TxTypeNames;
extern const std::array<std::string_view, 3> TxTypeNamesOP5;
extern const std::array<std::string_view, 6> RelayModeNames;
extern const std::array<std::string_view, 10> LampModeNames;
extern const std::array<std::string_view, 9> IndicatorModeNames;

// Expanders 1..32 (bits of bytes 0..3) and the indication unit (bit 0 of byte 4) as the page
// shows them: "1-3, 32, БВИ", "Нет" for none; and such a text back, nothing when it is not one.
std::string MaskToText(const std::array<Byte, 5>& mask);
std::optional<std::array<Byte, 5>> MaskFromText(std::string_view text);

int IndexOfText(std::span<const std::string_view> strings, std::string_view text);
int IndexOfText(std::span<const std::string> strings, std::string_view text);
// Lines each ended by CR LF: the number of lines before the first equal to text.
int IndexOfLine(std::string_view lines, std::string_view text);

// The "П&рибор" menu as data: the window only renders it.
struct DeviceMenuItem {
    std::string caption;
    Byte code;
};
struct DeviceMenuGroup {
    std::string caption;
    std::vector<DeviceMenuItem> items;
};
inline constexpr std::string_view kLastUsedCaption = "Последний использованный";
std::vector<DeviceMenuGroup> BuildDeviceMenu();

// Family tests used by the pages and the files.
bool IsOP8(const TDevice& d);
bool IsOP5(const TDevice& d);
bool IsCnc(const TDevice& d);
bool IsCnc8(const TDevice& d);
bool IsCnc5(const TDevice& d);

} // namespace orv
