// What a write changes in the panel, against the simulated panel.
#include "panel_fixture.h"

#include "files/config_file.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>

#include <string_view>

using namespace orv;
using namespace orv::test;

namespace {

TEST_F(WindowWithPanel, WriteWarningCountsTheChangesAgainstWhatWasRead) {
    StartPanel({QStringLiteral("--type"), QStringLiteral("10"), QStringLiteral("--no-pace")});
    RunAndWait("ButtonRead");
    ASSERT_TRUE(state.device);
    const SettingsList read = window->ScreenSettings();
    Click(Find<QCheckBox>(QStringLiteral("chkUseBuzzer")));
    auto* delay = Find<QLineEdit>(QStringLiteral("edtDelayIn1"));
    Focus(delay);
    TypeAndLeave(delay, QStringLiteral("45"));

    // No: nothing is written.
    dialogs.answers.push_back(MsgAnswer::No);
    window->ButtonWriteClick();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    const auto box = dialogs.shown.back();
    EXPECT_EQ(box.caption, QStringLiteral("Программатор"));
    EXPECT_EQ(box.buttons, MsgButtons::YesNo);
    EXPECT_EQ(box.text, QStringLiteral("Будет изменено параметров: 2\r\nЗаписать конфигурацию в прибор?"));
    const QStringList lines = box.details.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << box.details.toStdString();
    const auto line = [&](const char* key, const QString& now) {
        const Setting* s = read.Find(key);
        return QString::fromStdString(s->page + ", " + s->label + ": " + s->value + " → ") + now;
    };
    EXPECT_EQ(lines[0], line("zones.1.entry_delay", QStringLiteral("45")));
    EXPECT_EQ(lines[1],
              line("buzzer", QString::fromStdString(window->ScreenSettings().Find("buzzer")->value)));
    EXPECT_FALSE(window->Link().Busy());

    dialogs.answers.push_back(MsgAnswer::Yes);
    RunAndWait("ButtonWrite");
    EXPECT_EQ(window->StatusText(), QStringLiteral("Конфигурация записана"));
    // The panel holds what was written: writing it again changes nothing there and asks nothing.
    const std::size_t asked = dialogs.shown.size();
    RunAndWait("ButtonWrite");
    EXPECT_EQ(dialogs.shown.size(), asked);
    EXPECT_EQ(window->StatusText(), QStringLiteral("Конфигурация записана"));

    // Whatever configuration of the panel's type is on screen, a device chosen from the menu
    // among them, counts against what the panel on that port holds.
    const SettingsList inPanel = window->ScreenSettings();
    ChooseFromMenu(10);
    const std::size_t expected = Compare(inPanel, window->ScreenSettings()).diffs.size();
    ASSERT_GT(expected, 0u);
    dialogs.answers.push_back(MsgAnswer::No);
    window->ButtonWriteClick();
    EXPECT_EQ(
        dialogs.shown.back().text,
        QStringLiteral("Будет изменено параметров: %1\r\nЗаписать конфигурацию в прибор?").arg(expected));
    EXPECT_FALSE(window->Link().Busy());

    // Another port: what its panel holds is not known, so there is nothing to count.
    SimProcess other({QStringLiteral("--type"), QStringLiteral("10"), QStringLiteral("--no-pace")});
    ASSERT_TRUE(other.Start()) << other.Error().toStdString();
    PointAt(other);
    const std::size_t shown = dialogs.shown.size();
    RunAndWait("ButtonWrite");
    EXPECT_EQ(dialogs.shown.size(), shown);
    EXPECT_EQ(window->StatusText(), QStringLiteral("Конфигурация записана"));
    other.Stop();
}

// While a read runs nothing may replace, save or compare the configuration, nor change the link:
// the menus are disabled and their handlers refuse.
TEST_F(WindowWithPanel, NothingTouchesTheConfigurationWhileATransactionRuns) {
    StartPanel({QStringLiteral("--type"), QStringLiteral("16")});
    ChooseFromMenu(16);
    const auto shownDevice = state.device;
    QTest::mouseClick(Find<QPushButton>(QStringLiteral("ButtonRead")), Qt::LeftButton);
    ASSERT_TRUE(window->Busy());
    for (const char* name : {"FileOpen", "FileSave", "FileSaveAs", "FileCompare", "FileReport", "FileJournal",
                             "FileSites", "FileSettings", "FileJournalSettings"}) {
        EXPECT_FALSE(Find<QAction>(QString::fromLatin1(name))->isEnabled()) << name;
    }
    const int execs = dialogs.execs;
    window->FileOpenClick();
    window->FileSaveAsClick();
    window->FileJournalClick();
    window->FileJournalClick(true);
    window->SettingsClick();
    window->JournalSettingsClick();
    window->FileReportClick();
    window->ChooseDevice(10);
    window->ButtonWriteClick();
    EXPECT_FALSE(window->OpenConfigText(BuildConfigDocument(state), QStringLiteral("text")));
    EXPECT_EQ(dialogs.execs, execs);
    EXPECT_TRUE(dialogs.fileDialogs.empty());
    EXPECT_TRUE(dialogs.shown.empty());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Busy(); }, 30'000));
    EXPECT_EQ(window->StatusText().left(22), QStringLiteral("Конфигурация прочитана"));
    EXPECT_NE(state.device, shownDevice);
    EXPECT_EQ(state.device->DevType, 16);
}

// The status bar's bar follows the exchanges of a read and of a write to the last one the panel
// saw, and is gone once the transaction has ended.
TEST_F(WindowWithPanel, ProgressCountsTheExchangesInTheStatusBar) {
    StartPanel({QStringLiteral("--type"), QStringLiteral("15"), QStringLiteral("--object-count"),
                QStringLiteral("4"), QStringLiteral("--no-pace")});
    auto* bar = Find<QProgressBar>(QStringLiteral("pbTransfer"));
    struct Step {
        int done, total, value, maximum;
        bool shown;
    };
    std::vector<Step> steps;
    // Connected after the window's own handler: sees the bar as the step left it.
    QObject::connect(&window->Link(), &TLinkBridge::progress, window.get(), [&](int done, int total) {
        steps.push_back({done, total, bar->value(), bar->maximum(), bar->isVisible()});
    });
    EXPECT_FALSE(bar->isVisible());
    for (const char* button : {"ButtonRead", "ButtonWrite"}) {
        SCOPED_TRACE(button);
        steps.clear();
        const std::size_t before = sim->LoggedFrames().size();
        RunAndWait(button);
        const int exchanges = static_cast<int>(sim->LoggedFrames().size() - before);
        EXPECT_GE(exchanges, 2); // the configuration and the objects at least
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.front().done, 0);
        for (std::size_t i = 0; i < steps.size(); ++i) {
            if (i > 0) {
                EXPECT_LE(steps[i].done - steps[i - 1].done, 1);
                EXPECT_GE(steps[i].done, steps[i - 1].done);
            }
            EXPECT_LE(steps[i].total, exchanges);
            EXPECT_EQ(steps[i].value, steps[i].done);
            EXPECT_EQ(steps[i].maximum, steps[i].total);
            EXPECT_TRUE(steps[i].shown);
        }
        EXPECT_EQ(steps.back().done, exchanges);
        EXPECT_EQ(steps.back().total, exchanges);
        EXPECT_FALSE(bar->isVisible());
    }
    EXPECT_EQ(window->StatusText(), QStringLiteral("Конфигурация записана"));
}

} // namespace
