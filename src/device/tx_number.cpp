#include "tx_number.h"

#include "frame/hex_digits.h"

#include <cstdio>

namespace orv::txnum {

namespace {

constexpr char32_t kEnter = U'\r';
constexpr char32_t kEscape = 0x1B;
constexpr char32_t kBackspace = 0x08;
constexpr std::size_t kFieldChars = 6;

bool IsBlank(char c) {
    return c == ' ' || c == '_';
}

// Digits text[first..last] (1-based, inclusive) as decimal; missing characters, blanks and
// anything else that is not a digit count as 0.
std::uint32_t Digits(std::string_view text, std::size_t first, std::size_t last) {
    std::uint32_t value = 0;
    for (std::size_t i = first; i <= last; ++i) {
        const char c = i <= text.size() ? text[i - 1] : '0';
        value = value * 10 + static_cast<std::uint32_t>(c >= '0' && c <= '9' ? c - '0' : 0);
    }
    return value;
}

} // namespace

std::string HexForm(std::uint32_t number) {
    if (number == 0) {
        return {};
    }
    char text[16];
    std::snprintf(text, sizeof text, "%X%02X%02X", static_cast<unsigned>(number >> 16),
                  static_cast<unsigned>((number >> 8) & 0xFF), static_cast<unsigned>(number & 0xFF));
    return text;
}

std::string StationForm(std::uint32_t number) {
    if (number == 0) {
        return {};
    }
    char text[24];
    std::snprintf(text, sizeof text, "%u.%03u.%03u", static_cast<unsigned>(number >> 16),
                  static_cast<unsigned>((number >> 8) & 0xFF), static_cast<unsigned>(number & 0xFF));
    return text;
}

std::string BoardForm(std::uint32_t number) {
    if (number == 0) {
        return {};
    }
    char text[16];
    std::snprintf(text, sizeof text, "%06u", static_cast<unsigned>(number));
    return text;
}

std::optional<std::uint32_t> FromHexForm(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : text.substr(0, kFieldChars)) {
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return 0;
        }
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return value & kNumberMask;
}

std::uint32_t FromStationForm(std::string_view text) {
    const std::uint32_t number = Digits(text, 1, 1) * 65536 + Digits(text, 3, 5) * 256 + Digits(text, 7, 9);
    // The field has room for one leading digit only.
    return (number >> 16) > 9 ? number & kNumberMask : number;
}

std::optional<std::uint32_t> FromBoardForm(std::string_view text) {
    std::string digits;
    for (const char c : text.substr(0, kFieldChars)) {
        if (!IsBlank(c)) {
            digits.push_back(c);
        }
    }
    if (digits.empty()) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return 0;
        }
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return value & kNumberMask;
}

char32_t FilterHexKey(char32_t key) {
    if (key == kEnter || key == kEscape || key == kBackspace) {
        return key;
    }
    if ((key >= U'0' && key <= U'9') || (key >= U'A' && key <= U'F')) {
        return key;
    }
    if (key >= U'a' && key <= U'f') {
        return key - U'a' + U'A';
    }
    return 0;
}

} // namespace orv::txnum
