// Saving where the disk refuses: the files layer and the command-line tool. The old file stays
// byte for byte, nothing is left behind, and the user is told why.
#include "cli/cli.h"
#include "device/catalogue.h"
#include "e2e/e2e_support.h"
#include "files/config_file.h"
#include "files/gsm_file.h"
#include "files/safe_save.h"
#include "gsm/tx_buffers.h"
#include "save_faults.h"
#include "support/cli_run.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace orv::test {
namespace {

constexpr SaveFault kFaults[] = {SaveFault::FullDisk, SaveFault::ReadOnlyFolder, SaveFault::VanishedFolder,
                                 SaveFault::InjectedNoSpace, SaveFault::InjectedReadOnly};

std::string FaultName(const ::testing::TestParamInfo<SaveFault>& info) {
    return SaveFaultName(info.param);
}

// A state worth saving: a panel with GSM directions, so both files have content.
TProgramState SampleState() {
    TProgramState state;
    state.device = CreateDevice(13);
    e2e::ConnectGsm(*state.device, true);
    ResetGsmFrame(state.GsmFrame);
    RefreshGsmModels(state);
    state.Directions.ChooseAttempts(0, 3);
    state.Directions.SetTarget(0, "+79001112233");
    EXPECT_TRUE(UpdateAllTXBuffers(state, nullptr).ok());
    return state;
}

class SaveUnderFault : public ::testing::TestWithParam<SaveFault> {
protected:
    void SetUp() override {
        folder = std::make_unique<FaultyFolder>(GetParam());
        if (!folder->Unavailable().empty()) {
            GTEST_SKIP() << folder->Unavailable() << "; the injected variants cover this failure";
        }
    }

    // What every failed save must leave: the old file as it was, no stray files, and a message
    // naming the file and the reason.
    void ExpectRefused(const std::string& message) const {
        EXPECT_NE(message.find(folder->Target()), std::string::npos) << message;
        EXPECT_NE(message.find(folder->Reason()), std::string::npos) << message;
        EXPECT_NE(message.find("Не удалось сохранить файл"), std::string::npos) << message;
        if (folder->HasOldFile()) {
            EXPECT_EQ(ReadWholeFile(folder->Target()), folder->OldContent());
        }
        EXPECT_EQ(folder->EntriesNow(), folder->Entries());
    }

    std::unique_ptr<FaultyFolder> folder;
};

TEST_P(SaveUnderFault, ConfigurationFile) {
    const TProgramState state = SampleState();
    const SaveResult result = WriteConfigFile(state, folder->Target());
    EXPECT_FALSE(result.ok);
    ExpectRefused(result.message);
}

TEST_P(SaveUnderFault, GsmDirectionsFile) {
    const TProgramState state = SampleState();
    const SaveResult result = WriteGsmDirectionsFile(state, folder->Target());
    EXPECT_FALSE(result.ok);
    ExpectRefused(result.message);
}

using test::Cli;
using test::CliRun;

TEST_P(SaveUnderFault, CliNew) {
    const auto run = Cli({"new", "--type", "6", "--out", folder->Target()});
    EXPECT_EQ(run.status, cli::kExitFile);
    EXPECT_EQ(run.out.find("Файл сохранен"), std::string::npos) << run.out;
    ExpectRefused(run.err);
}

// The panel is read in full; only the save fails, and the tool says so instead of success.
TEST_P(SaveUnderFault, CliRead) {
    EnsureQtApp();
    SimProcess sim({"--type", "13", "--no-pace"});
    ASSERT_TRUE(sim.Start()) << sim.Error().toStdString();
    const auto run = Cli({"read", "--port", sim.PortPath().toStdString(), "--out", folder->Target()});
    EXPECT_EQ(run.status, cli::kExitFile);
    EXPECT_NE(run.out.find(ResultStatusText(rcReadDone, 1)), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Файл сохранен"), std::string::npos) << run.out;
    ExpectRefused(run.err);
}

INSTANTIATE_TEST_SUITE_P(Faults, SaveUnderFault, ::testing::ValuesIn(kFaults), FaultName);

// Once the fault is gone the same save goes through and replaces the old file whole.
TEST(SaveAfterFault, SucceedsOnceTheDiskAllows) {
    TempDir dir;
    const std::string target = dir.File("site.cf8");
    const TProgramState state = SampleState();
    {
        FaultyFolder injected(SaveFault::InjectedNoSpace);
        EXPECT_FALSE(WriteConfigFile(state, injected.Target()).ok);
    }
    const SaveResult result = WriteConfigFile(state, target);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(ReadWholeFile(target), BuildConfigDocument(state));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"site.cf8"});
}

// What the user set up around a file survives a save.

TEST(SaveKeeps, SymbolicLinkAndItsTarget) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("real"));
    const std::string target = dir.File("real/site.cf8");
    const std::string link = dir.File("site.cf8");
    std::ofstream(target) << "old";
    std::filesystem::create_symlink("real/site.cf8", link);
    std::filesystem::create_symlink("real/new.cf8", dir.File("dangling.cf8"));

    const TProgramState state = SampleState();
    ASSERT_TRUE(WriteConfigFile(state, link).ok);
    ASSERT_TRUE(WriteConfigFile(state, dir.File("dangling.cf8")).ok);

    for (const char* name : {"site.cf8", "dangling.cf8"}) {
        EXPECT_TRUE(std::filesystem::is_symlink(dir.File(name))) << name;
    }
    EXPECT_EQ(std::filesystem::read_symlink(link), "real/site.cf8");
    EXPECT_EQ(ReadWholeFile(target), BuildConfigDocument(state));
    EXPECT_EQ(ReadWholeFile(dir.File("real/new.cf8")), BuildConfigDocument(state));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"dangling.cf8", "real", "site.cf8"}));
}

// The permission bits, from the moment the temporary file exists: a private file is never
// readable by others, not even while it is being written.
TEST(SaveKeeps, PermissionBits) {
    TempDir dir;
    const TProgramState state = SampleState();
    static std::vector<mode_t> whenMade;
    SetTemporaryFileProbe([](const std::string& temp) {
        struct stat st {};
        whenMade.push_back(::stat(temp.c_str(), &st) == 0 ? st.st_mode & 07777 : 07777);
    });
    // The usual umask, which a file made with the default mode would show as 0644.
    struct Unset {
        mode_t umask = ::umask(0022);
        ~Unset() {
            SetTemporaryFileProbe(nullptr);
            ::umask(umask);
        }
    } unset;
    for (const auto mode : {0600, 0640, 0664}) {
        const std::string path = dir.File("site" + std::to_string(mode) + ".cf8");
        std::ofstream(path) << "old";
        ASSERT_EQ(::chmod(path.c_str(), static_cast<mode_t>(mode)), 0);
        whenMade.clear();
        ASSERT_TRUE(WriteConfigFile(state, path).ok);
        EXPECT_EQ(whenMade, std::vector<mode_t>{static_cast<mode_t>(mode & ~0022)}) << path;
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, static_cast<mode_t>(mode)) << path;
        EXPECT_EQ(ReadWholeFile(path), BuildConfigDocument(state));
    }
}

// A folder that refuses new files no longer refuses the save of a file that is itself writable:
// the file is overwritten where it stands, and nothing else appears in the folder.
TEST(SaveKeeps, WritableFileInClosedFolder) {
    ClosedFolder folder;
    if (!folder.Unavailable().empty()) {
        GTEST_SKIP() << folder.Unavailable();
    }
    const TProgramState state = SampleState();
    struct stat before {};
    ASSERT_EQ(::stat(folder.Target().c_str(), &before), 0);
    const SaveResult result = WriteConfigFile(state, folder.Target());
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(ReadWholeFile(folder.Target()), BuildConfigDocument(state));
    struct stat after {};
    ASSERT_EQ(::stat(folder.Target().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);

    // A shorter document leaves no tail of the longer one.
    ASSERT_LT(BuildGsmDirectionsDocument(state).size(), BuildConfigDocument(state).size());
    ASSERT_TRUE(WriteGsmDirectionsFile(state, folder.Target()).ok);
    EXPECT_EQ(ReadWholeFile(folder.Target()), BuildGsmDirectionsDocument(state));
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder.Folder())) {
        names.push_back(e.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"site.cf8"});
}

} // namespace
} // namespace orv::test
