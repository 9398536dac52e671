#pragma once

#include "sim/panel.h"

#include <optional>
#include <string>

namespace orv::sim {

// The panel's state as text, one "key HEX" line per item ("type" and "version" in decimal);
// "sms-records" holds the list up to its first empty record.
std::string FormatState(const TPanelState& state);
std::optional<TPanelState> ParseState(const std::string& text);

// Written under a temporary name and renamed, so a reader never sees half a file.
bool WriteStateFile(const std::string& path, const TPanelState& state);
std::optional<TPanelState> ReadStateFile(const std::string& path);

} // namespace orv::sim
