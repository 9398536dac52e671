#pragma once

#include "gsm/program_state.h"

#include <string>

namespace orv::cli {

// Every setting of the configuration in the program's own Russian terms, one per line.
std::string DescribeConfiguration(const TProgramState& state);

} // namespace orv::cli
