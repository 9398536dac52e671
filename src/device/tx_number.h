#pragma once

// The transmitter number of a retranslator object (18 bits, 0 = no number) and the three forms
// the transmitter number dialog shows it in.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv::txnum {

inline constexpr std::uint32_t kNumberMask = 0x3FFFF; // what an object record holds

// The three forms; a number of 0 shows as empty text. A number above 18 bits (only the station
// form can produce one) is shown as it stands, so the user sees what was entered.
std::string HexForm(std::uint32_t number);     // "2A5F3": bits 17..16 as one digit, then two bytes
std::string StationForm(std::uint32_t number); // "2.165.243": bits 17..16, then two bytes in decimal
std::string BoardForm(std::uint32_t number);   // "173555": six decimal digits

// Reading a field when it is left. nullopt means the field is empty: the number becomes 0 and the
// other fields keep what they show.

// The first six characters as a hexadecimal number, low 18 bits kept; text that is not
// hexadecimal gives 0.
std::optional<std::uint32_t> FromHexForm(std::string_view text);
// Character 1, characters 3 to 5 and 7 to 9 (blanks and "_" read as 0, other non-digits too) as
// a * 65536 + b * 256 + c. The parts are not range-checked, so a first digit above 3 gives a
// number above 18 bits; one whose station form would need two leading digits cannot be shown in
// the field, and only its low 18 bits are kept.
std::uint32_t FromStationForm(std::string_view text);
// The first six characters without blanks and "_" as a decimal number, low 18 bits kept; text
// that is not a number gives 0.
std::optional<std::uint32_t> FromBoardForm(std::string_view text);

// Key filter of the hex field: Enter, Escape, Backspace, digits and "A".."F" pass, "a".."f" pass
// upper-cased; 0 means the key is dropped.
char32_t FilterHexKey(char32_t key);

} // namespace orv::txnum
