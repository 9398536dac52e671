// orvanta-sim: a simulated panel on a pseudo-terminal, for tests and benchmarks.

#include "sim/loader_personality.h"
#include "sim/panel_personality.h"
#include "sim/pty_link.h"
#include "sim/sim_options.h"
#include "sim/simulator.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {

int g_stopPipe[2] = {-1, -1};

void OnStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_stopPipe[1], &byte, 1);
}

bool InstallStopSignals() {
    if (::pipe(g_stopPipe) != 0) {
        return false;
    }
    for (const int fd : g_stopPipe) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    using namespace orv::sim;
#ifdef __linux__
    // A test that dies must not leave its panel behind.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
    std::string error;
    auto options = ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "orvanta-sim: " << error << "\n" << SimUsage();
        return 2;
    }
    if (options->help) {
        std::cout << SimUsage();
        return 0;
    }
    if (!InstallStopSignals()) {
        std::perror("orvanta-sim: pipe");
        return 1;
    }
    auto link = TPtyLink::Open(error);
    if (!link) {
        std::cerr << "orvanta-sim: " << error << "\n";
        return 1;
    }
    link->SetBitRate(options->pace ? options->baud : 0);

    std::unique_ptr<TPersonality> personality;
    if (options->personality == "loader") {
        personality = std::make_unique<TLoaderPersonality>(TLoaderPersonality::Options{
            options->pace ? options->baud : 0, options->logPath, std::move(options->loaderFaults)});
    } else {
        personality = std::make_unique<TPanelPersonality>(
            std::move(options->panel), std::move(options->faults),
            TPanelPersonality::Files{options->logPath, options->dumpPath},
            TPanelTiming{options->pace ? options->baud : 0, options->deafAfterReply});
    }

    std::cout << link->SlavePath() << std::endl;
    return RunSimulator(*link, *personality, g_stopPipe[0], options->baud);
}
