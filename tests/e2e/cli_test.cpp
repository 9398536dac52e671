// The command-line tool: dispatch and usage errors, and its transaction runner against the simulator.
#include "cli/cli.h"
#include "e2e_support.h"
#include "link/port_discovery.h"
#include "support/cli_run.h"

#include <sstream>

namespace orv::e2e {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

using test::Cli;
using test::CliRun;

TEST(Cli, UsageErrorsExitWithTwo) {
    test::EnsureQtApp();
    for (const auto& args :
         std::vector<std::vector<std::string>>{{}, {"frobnicate"}, {"ports", "extra"}, {"--port"}}) {
        const auto run = Cli(args);
        EXPECT_EQ(run.status, cli::kExitUsage) << (args.empty() ? "(none)" : args[0]);
        EXPECT_TRUE(run.out.empty());
        EXPECT_FALSE(run.err.empty());
    }
    const auto help = Cli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("ports"), std::string::npos);
}

TEST(Cli, PortsListsOneLinePerPort) {
    test::EnsureQtApp();
    const auto run = Cli({"ports"});
    EXPECT_EQ(run.status, 0);
    const auto lines = Lines(run.out);
    const auto ports = DiscoverPorts();
    ASSERT_EQ(lines.size(), ports.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].substr(0, lines[i].find('\t')), ports[i].name.toStdString());
    }
}

TEST(Cli, ParsesOptionsAndPositionals) {
    const std::string_view options[] = {"--port", "--out"};
    std::string error;
    const auto parsed = cli::ParseArgs({"--port", "ttyUSB0", "file.cf8", "--out", "x.cf8"}, options, error);
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(parsed->options.at("--port"), "ttyUSB0");
    EXPECT_EQ(parsed->options.at("--out"), "x.cf8");
    EXPECT_EQ(parsed->positional, std::vector<std::string>{"file.cf8"});
    for (const auto& bad :
         std::vector<cli::TCommandArgs>{{"--port"}, {"--baud", "1"}, {"--port", "a", "--port", "b"}}) {
        error.clear();
        EXPECT_FALSE(cli::ParseArgs(bad, options, error));
        EXPECT_FALSE(error.empty());
    }
}

class CliTransaction : public InEachMode {
protected:
    CliRun Transact(Byte mode, bool terminal = false) {
        std::ostringstream out, err;
        cli::TCliIo io{out, err, nullptr, terminal};
        const int status = cli::RunTransactionCommand(sim ? sim->PortPath().toStdString() : missingPort,
                                                      state, mode, io, Slow());
        return {status, out.str(), err.str()};
    }
    std::string missingPort = "/dev/orvanta-no-such-port";
};

INSTANTIATE_TEST_SUITE_P(Link, CliTransaction, ::testing::ValuesIn(kExchangeModes), ModeParamName);

TEST_P(CliTransaction, ReadPrintsEachStatusAsTheWindowShowsIt) {
    StartSim({"--type", "10", "--version", "5"});
    const auto run = Transact(TThreadBuff::modeRead);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(Lines(run.out),
              (std::vector<std::string>{"Порт открыт", "Ответ прибора получен", "Ответ прибора получен",
                                        "Конфигурация прочитана, версия прибора - 5"}));
    EXPECT_TRUE(run.err.empty());
    // On a terminal the lines from the first exchange on count the steps done of those known.
    const auto shown = Transact(TThreadBuff::modeRead, true);
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(
        Lines(shown.out),
        (std::vector<std::string>{"Порт открыт", "[0/1] Ответ прибора получен", "[1/1] Ответ прибора получен",
                                  "[1/1] Конфигурация прочитана, версия прибора - 5"}));
}

TEST_P(CliTransaction, FailuresExitWithTheirFinalCode) {
    StartSim({"--type", "10", "--fault", "wrong-echo"});
    state.device = CreateDevice(10);
    const auto run = Transact(TThreadBuff::modeWrite);
    EXPECT_EQ(run.status, rcWriteMismatch);
    EXPECT_EQ(Lines(run.out).back(), "Обнаружены ошибки записи, попробуйте ещё раз");
}

TEST_P(CliTransaction, UnsupportedDeviceNamesIt) {
    StartSim({"--type", "1", "--fault", "unsupported-type"});
    const auto run = Transact(TThreadBuff::modeRead);
    EXPECT_EQ(run.status, rcUnsupportedDevice);
    EXPECT_EQ(Lines(run.out).back(), "Ошибка. Прибор не поддерживается програматором");
    EXPECT_NE(run.err.find("Подключенный прибор:\r\n" + DeviceName(14) + ",\r\n"), std::string::npos);
}

TEST_P(CliTransaction, MissingPortGivesTheReason) {
    const auto run = Transact(TThreadBuff::modeRead);
    EXPECT_EQ(run.status, rcPortError);
    EXPECT_EQ(Lines(run.out), std::vector<std::string>{"Ошибка порта"});
    EXPECT_NE(run.err.find(missingPort + ": "), std::string::npos);
    EXPECT_GT(run.err.size(), missingPort.size() + 16);
}

} // namespace
} // namespace orv::e2e
