#pragma once

namespace orv {

// Key codes the key filters of the GSM grids and fields treat specially (the views pass the
// typed character as a code point).
inline constexpr char32_t kKeyEnter = U'\r';
inline constexpr char32_t kKeyEscape = 0x1B;
inline constexpr char32_t kKeyBackspace = 0x08;

} // namespace orv
