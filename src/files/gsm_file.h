#pragma once

#include "files/safe_save.h"
#include "gsm/program_state.h"

#include <pugixml.hpp>

#include <string>

namespace orv {

inline constexpr const char* kNoDirectionsInFileText =
    "В конфигурации отсутствует информация о направлениях передачи по GSM";

// The "CFG" subtree of a configuration file's "configMPI": device number, directions, SMS
// list and GPRS settings.
void WriteGsmSubtree(pugi::xml_node configMPI, const TProgramState& state);
bool ReadGsmSubtree(pugi::xml_node configMPI, TProgramState& state);

// A file of its own with only the five report directions.
std::string BuildGsmDirectionsDocument(const TProgramState& state);
SaveResult WriteGsmDirectionsFile(const TProgramState& state, const std::string& path);
// Also takes any configuration file that holds a GSM subtree; only the directions change.
bool ReadGsmDirectionsFile(TProgramState& state, const std::string& path);

} // namespace orv
