// The window's saves where the disk refuses: the user is told why in an error box, the old file
// stays byte for byte, and nothing claims the file was saved.
#include "faults/save_faults.h"
#include "window_fixture.h"

#include <QAction>

using namespace orv;
using namespace orv::test;

namespace {

class WindowSaveUnderFault : public WindowTest, public ::testing::WithParamInterface<SaveFault> {
protected:
    void Trigger(const char* action) const {
        auto* a = window->findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(a, nullptr) << action;
        a->trigger();
    }

    // One error box naming the file and the reason; the old file and the folder as they were.
    void ExpectRefused(const FaultyFolder& folder, std::size_t boxes) const {
        ASSERT_EQ(dialogs.shown.size(), boxes);
        const auto& box = dialogs.shown.back();
        EXPECT_EQ(box.kind, MsgKind::Error);
        EXPECT_TRUE(box.text.contains(QString::fromStdString(folder.Reason()))) << box.text.toStdString();
        EXPECT_TRUE(box.text.contains(QString::fromStdString(folder.Target()))) << box.text.toStdString();
        EXPECT_TRUE(window->StatusText().isEmpty()) << window->StatusText().toStdString();
        if (folder.HasOldFile()) {
            EXPECT_EQ(ReadWholeFile(folder.Target()), folder.OldContent());
        }
        EXPECT_EQ(folder.EntriesNow(), folder.Entries());
    }
};

TEST_P(WindowSaveUnderFault, SaveAsThenSave) {
    FaultyFolder folder(GetParam());
    if (!folder.Unavailable().empty()) {
        GTEST_SKIP() << folder.Unavailable() << "; the injected variants cover this failure";
    }
    ChooseFromMenu(13);
    settings->Store(QStringLiteral("filepath"), QStringLiteral("/kept/"));
    dialogs.fileNames.push_back(QString::fromStdString(folder.Target()));
    Trigger("FileSaveAs");
    ExpectRefused(folder, 1);
    // The folder of a file that was not saved is not remembered.
    EXPECT_EQ(settings->Stored(QStringLiteral("filepath")), QStringLiteral("/kept/"));
    // "Сохранить" to the name chosen fails the same way, without asking again.
    Trigger("FileSave");
    EXPECT_TRUE(dialogs.fileNames.empty());
    EXPECT_EQ(dialogs.fileDialogs.size(), 1u);
    ExpectRefused(folder, 2);
}

INSTANTIATE_TEST_SUITE_P(Faults, WindowSaveUnderFault,
                         ::testing::Values(SaveFault::FullDisk, SaveFault::ReadOnlyFolder,
                                           SaveFault::VanishedFolder, SaveFault::InjectedNoSpace,
                                           SaveFault::InjectedReadOnly),
                         [](const auto& info) { return std::string(SaveFaultName(info.param)); });

} // namespace
