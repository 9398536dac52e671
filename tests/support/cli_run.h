#pragma once

// orvanta-cli run in this process, its status and both output streams kept.

#include "cli/cli.h"

#include <sstream>
#include <string>
#include <vector>

namespace orv::test {

struct CliRun {
    int status;
    std::string out, err;
};

inline CliRun Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = cli::RunCli(args, out, err);
    return {status, out.str(), err.str()};
}

} // namespace orv::test
