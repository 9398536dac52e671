#include "hex.h"

#include "frame/hex_digits.h"

namespace orv::sim {

std::string ToHex(std::span<const Byte> bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const Byte b : bytes) {
        text.push_back(kUpperHexDigits[b >> 4]);
        text.push_back(kUpperHexDigits[b & 0x0F]);
    }
    return text;
}

std::optional<std::vector<Byte>> FromHex(std::string_view text) {
    std::vector<Byte> bytes;
    int high = -1;
    for (const char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            continue;
        }
        const int d = HexDigitValue(c);
        if (d < 0) {
            return std::nullopt;
        }
        if (high < 0) {
            high = d;
        } else {
            bytes.push_back(static_cast<Byte>(high << 4 | d));
            high = -1;
        }
    }
    if (high >= 0) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace orv::sim
