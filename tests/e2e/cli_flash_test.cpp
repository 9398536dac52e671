// orvanta-cli flash against the simulator's loader: progress, messages, exit statuses, and files
// refused before anything is sent.
#include "cli/cli.h"
#include "cli/flash_command.h"
#include "firmware_support.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace orv::e2e {
namespace {

struct CliRun {
    int status;
    std::string out, err;
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        if (!part.empty()) {
            parts.push_back(part);
        }
    }
    return parts;
}

class CliFlash : public ::testing::Test {
protected:
    void SetUp() override { test::EnsureQtApp(); }

    void StartLoader(QStringList args = {}) {
        sim = std::make_unique<test::SimProcess>(QStringList{"--loader"} + args);
        ASSERT_TRUE(sim->Start()) << sim->Error().toStdString();
    }

    std::string File(const std::string& text) {
        const std::string path = dir.File("fw" + std::to_string(++files) + ".enc");
        WriteTextFile(path, text);
        return path;
    }

    CliRun Flash(const std::string& file, const std::string& port = {}) {
        std::ostringstream out, err;
        const int status = cli::RunCli(
            {"flash", "--port", port.empty() ? sim->PortPath().toStdString() : port, file}, out, err);
        return {status, out.str(), err.str()};
    }

    QStringList Received() {
        EXPECT_TRUE(sim->Stop());
        return LoaderLog(*sim);
    }

    test::TempDir dir;
    int files = 0;
    std::unique_ptr<test::SimProcess> sim;
};

TEST_F(CliFlash, UpdatesWithAProgressLine) {
    StartLoader();
    const auto bytes = FirmwareChain({4, 2});
    const auto run = Flash(File(ToFirmwareText(bytes)));
    EXPECT_EQ(run.status, cli::kExitOk) << run.err;
    const auto lines = Split(run.out, '\n');
    ASSERT_EQ(lines.size(), 2u) << run.out;
    // One line, rewritten after each block.
    EXPECT_EQ(Split(lines[0], '\r'),
              (std::vector<std::string>{"Прошивка: 0%, блок 1 из 2", "Прошивка: 60%, блок 2 из 2"}));
    EXPECT_EQ(lines[1], "Прошивка прибора обновлена");
    EXPECT_TRUE(run.err.empty());
    EXPECT_EQ(Received(), BlockLines(ImageOf(bytes)));
}

struct FailureCase {
    const char* fault;
    int status;
    const char* message;
};

TEST_F(CliFlash, LoaderFailuresHaveTheirOwnStatus) {
    for (const FailureCase& c : {FailureCase{"nak:2", cli::kExitChecksumError, "Ошибка контрольной суммы"},
                                 FailureCase{"mute:1", cli::kExitNoAnswer, "Нет связи с устройством"}}) {
        StartLoader({"--fault", c.fault});
        const auto run = Flash(File(ToFirmwareText(FirmwareChain({3, 3, 3}))));
        EXPECT_EQ(run.status, c.status) << c.fault;
        EXPECT_EQ(Split(run.out, '\n').back(), c.message) << c.fault;
        sim->Stop();
    }
    EXPECT_NE(cli::kExitNoAnswer, cli::kExitChecksumError);
    const std::string usage = cli::Usage();
    EXPECT_NE(usage.find("flash --port PORT FILE.enc"), std::string::npos);
    EXPECT_NE(usage.find("9 no answer"), std::string::npos);
    EXPECT_NE(usage.find("10 write errors (flash: the loader refused a block"), std::string::npos);
}

struct RefusedFile {
    const char* name;
    std::string text;
    const char* refusal;
};

// Each refused file exits with 3 and the loader receives not a single byte.
TEST_F(CliFlash, RefusedFilesSendNothing) {
    const std::string largest = ToFirmwareText(FirmwareChain(FirmwareFilling(kFirmwareMaxBytes + 1, 256)));
    for (const RefusedFile& c : {
             RefusedFile{"trailing line break", "0003AABBCC\r\n", kFirmwareNotFoundText},
             RefusedFile{"odd length", "0003AABBC", kFirmwareNotFoundText},
             RefusedFile{"not hexadecimal", "0003AABBCX", kFirmwareNotFoundText},
             RefusedFile{"oversize", largest, "Файл прошивки слишком велик"},
             RefusedFile{"last block overruns", "0003AABBCC0004AABBCC",
                         "Файл прошивки поврежден: последний блок обрывается"},
             RefusedFile{"empty", "", "Файл прошивки пуст"},
         }) {
        StartLoader();
        const std::string file = File(c.text);
        const auto run = Flash(file);
        EXPECT_EQ(run.status, cli::kExitFile) << c.name;
        EXPECT_TRUE(run.out.empty()) << c.name;
        EXPECT_EQ(run.err.rfind(std::string(c.refusal) + ": " + file + "\n", 0), 0u)
            << c.name << ": " << run.err;
        EXPECT_TRUE(Received().isEmpty()) << c.name;
    }
}

TEST_F(CliFlash, MissingFileIsRefusedBeforeThePort) {
    const auto run = Flash(dir.File("missing.enc"), "/dev/orvanta-no-such-port");
    EXPECT_EQ(run.status, cli::kExitFile);
    EXPECT_NE(run.err.find(kFirmwareNotFoundText), std::string::npos);
}

TEST_F(CliFlash, MissingPortIsThePortError) {
    const std::string port = "/dev/orvanta-no-such-port";
    const auto run = Flash(File("0003AABBCC"), port);
    EXPECT_EQ(run.status, 8);
    EXPECT_EQ(run.out, "Ошибка порта\n");
    EXPECT_NE(run.err.find(port + ": "), std::string::npos);
}

TEST_F(CliFlash, UsageErrors) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"flash"},
             {"flash", "fw.enc"},
             {"flash", "--port", "ttyUSB0"},
             {"flash", "--port", "ttyUSB0", "a.enc", "b.enc"},
             {"flash", "--port", "ttyUSB0", "--out", "x", "a.enc"},
         }) {
        std::ostringstream out, err;
        EXPECT_EQ(cli::RunCli(args, out, err), cli::kExitUsage) << args.size();
        EXPECT_TRUE(out.str().empty());
        EXPECT_FALSE(err.str().empty());
    }
}

} // namespace
} // namespace orv::e2e
