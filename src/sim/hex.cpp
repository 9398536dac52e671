#include "hex.h"

namespace orv::sim {

namespace {
int Digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}
} // namespace

std::string ToHex(std::span<const Byte> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const Byte b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
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
        const int d = Digit(c);
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
