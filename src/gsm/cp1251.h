#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orv {

// The panel's frames carry single-byte Windows-1251 text; the models and files hold UTF-8.

// Replacement for a character that has no Windows-1251 form (and for malformed UTF-8, one per
// offending byte).
inline constexpr char kCp1251Replacement = '?';

// Every byte has a UTF-8 form, so frame text survives a round trip through the models.
// (0x98, unassigned in the code page, travels as U+0098.)
std::string Cp1251ToUtf8(std::string_view bytes);
std::string Utf8ToCp1251(std::string_view text);

// Number of characters (code points) of UTF-8 text; a malformed byte counts as one.
std::size_t Utf8Length(std::string_view text);

} // namespace orv
