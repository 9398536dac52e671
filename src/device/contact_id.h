#pragma once

#include "frame/frame.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

struct TCIDTable {
    std::string_view name;
    std::int32_t code;
    Byte byte;
    Byte hidden;
};

extern const std::array<TCIDTable, 225> ContactIdTable;

// Name, " - ", code.
std::string CidShownText(const TCIDTable& entry);

// The items of an event combo: every entry, or only those not hidden (178).
std::vector<std::string> CidItems(bool showAll);

// The stored byte for the combo's text; 0 without a selection or for an unknown text.
Byte GetCIDByte(bool hasSelection, std::string_view shownText);

// The item to select for a stored byte within the given items: its index, -1 when the entry
// is not among them (a hidden one), or nullopt-like -2 when no entry has the byte (leave as is).
inline constexpr int kCidKeepSelection = -2;
int SetCIDByte(const std::vector<std::string>& items, Byte value);

} // namespace orv
