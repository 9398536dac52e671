#pragma once

#include "sim/faults.h"
#include "sim/loader_personality.h"
#include "sim/panel.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orv::sim {

struct TSimOptions {
    std::string personality = "panel";
    TPanelState panel;
    std::vector<std::unique_ptr<TFault>> faults;
    std::vector<TLoaderFault> loaderFaults; // the faults, in loader mode
    int baud = 9600;                        // 115200 in loader mode unless given
    bool pace = true;
    std::chrono::milliseconds deafAfterReply{}; // the panel ignores bytes this soon after it sent
    std::string logPath;
    std::string dumpPath;
    bool help = false;
};

// Reads the command line (without the program name). Nothing, with the reason in error, when
// it is not understood.
std::optional<TSimOptions> ParseSimOptions(const std::vector<std::string>& args, std::string& error);

std::string SimUsage();

// Fills the panel from a .cf8 configuration file (its type, configuration, GSM blocks, and a
// retranslator's objects and SMS list); the reason in the result when it cannot.
std::optional<std::string> LoadConfigFile(const std::string& path, TPanelState& panel);

} // namespace orv::sim
