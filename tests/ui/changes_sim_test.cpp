// What a write changes in the panel, against the simulated panel.
#include "panel_fixture.h"

#include <QCheckBox>
#include <QLineEdit>

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
    // The panel holds what was written: the next write changes nothing there.
    dialogs.answers.push_back(MsgAnswer::No);
    window->ButtonWriteClick();
    EXPECT_TRUE(dialogs.shown.back().text.startsWith(QStringLiteral("Будет изменено параметров: 0\r\n")));
    EXPECT_TRUE(dialogs.shown.back().details.isEmpty());

    // A configuration that was not read from the panel: no count (and, without GSM, no box).
    ChooseFromMenu(10);
    const std::size_t shown = dialogs.shown.size();
    RunAndWait("ButtonWrite");
    EXPECT_EQ(dialogs.shown.size(), shown);
    EXPECT_EQ(window->StatusText(), QStringLiteral("Конфигурация записана"));
}

} // namespace
