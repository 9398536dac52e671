#pragma once

#include "frame/frame.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv::sim {

// Upper-case digit pairs, no separators.
std::string ToHex(std::span<const Byte> bytes);

// Digit pairs in either case; blanks are ignored. Nothing for an odd count or a non-digit.
std::optional<std::vector<Byte>> FromHex(std::string_view text);

} // namespace orv::sim
