#pragma once

#include "files/safe_save.h"
#include "gsm/program_state.h"

#include <string>

namespace orv {

inline constexpr const char* kDamagedFileText = "Файл поврежден или не найден";
inline constexpr const char* kReadErrorCaption = "Ошибка чтения файла";

// The configuration document for the state's current device object and GSM settings.
std::string BuildConfigDocument(const TProgramState& state);

// Writes the document; the previous file stays intact when anything fails.
SaveResult WriteConfigFile(const TProgramState& state, const std::string& path);

// Reads a configuration into a new device object and new GSM settings and puts them in place
// only when the whole file was read; on failure the state is left exactly as it was. reason: why
// the file could not be read, when it could not (empty when it was read but is no configuration).
bool ReadConfigFile(TProgramState& state, const std::string& path, std::string* reason = nullptr);
bool ReadConfigDocument(TProgramState& state, const char* data, std::size_t size);

} // namespace orv
