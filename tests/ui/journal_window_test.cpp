// The window's reads, writes, saves and opens go into the journal it is given, each with the
// configuration it concerned.
#include "panel_fixture.h"

#include "files/config_file.h"
#include "journal/recorder.h"

#include <QAction>

using namespace orv;
using namespace orv::test;

namespace {

TEST_F(WindowWithPanel, ReadsWritesSavesAndOpensAreInTheJournal) {
    QTemporaryDir dir;
    std::vector<QString> told;
    journal::TJournalRecorder recorder([&](const QString& problem) { told.push_back(problem); },
                                       dir.filePath(QStringLiteral("journal.sqlite")));
    window->SetJournal(&recorder);
    StartPanel({QStringLiteral("--type"), QStringLiteral("10"), QStringLiteral("--no-pace")});
    // What the journal records is also what unsaved changes are counted from.
    RunAndWait("ButtonRead");
    ASSERT_TRUE(state.device);
    EXPECT_FALSE(window->ChangesMarked());
    auto* relay = Find<QComboBox>(QStringLiteral("bxReleAlarm"));
    Focus(relay);
    ChooseText(relay, QStringLiteral("Прерывисто 2 минуты"));
    Focus(Find<QComboBox>(QStringLiteral("cbbPorts"))); // leaving the box, as the user does
    EXPECT_TRUE(QTest::qWaitFor([this] { return window->ChangesMarked(); }, 2000));
    dialogs.answers.push_back(MsgAnswer::Yes); // the count of changes against the read
    RunAndWait("ButtonWrite");
    ASSERT_EQ(window->StatusText(), QStringLiteral("Конфигурация записана"));
    EXPECT_FALSE(window->ChangesMarked());
    const QString file = dir.filePath(QStringLiteral("site.cf8"));
    for (const char* action : {"FileSaveAs", "FileOpen"}) {
        dialogs.fileNames.push_back(file);
        window->findChild<QAction*>(QString::fromLatin1(action))->trigger();
        EXPECT_FALSE(window->ChangesMarked()) << action;
    }
    EXPECT_TRUE(told.empty());

    const journal::TListing listing = recorder.Journal().List();
    ASSERT_EQ(listing.entries.size(), 4u);
    const auto& open = listing.entries[0];
    const auto& save = listing.entries[1];
    const auto& write = listing.entries[2];
    const auto& read = listing.entries[3];
    EXPECT_EQ(read.action, journal::TAction::Read);
    EXPECT_EQ(write.action, journal::TAction::Write);
    EXPECT_EQ(save.action, journal::TAction::Save);
    EXPECT_EQ(open.action, journal::TAction::Open);
    for (const auto* e : {&read, &write}) {
        EXPECT_EQ(e->port, sim->PortPath());
        EXPECT_EQ(e->filePath, QString());
        EXPECT_EQ(e->deviceType, 10);
    }
    for (const auto* e : {&save, &open}) {
        EXPECT_EQ(e->port, QString());
        EXPECT_EQ(e->filePath, file);
    }
    // The write records as many changed settings as the question before it told; the others
    // changed nothing on a panel.
    ASSERT_FALSE(dialogs.shown.empty());
    ASSERT_TRUE(write.changed);
    EXPECT_GT(*write.changed, 0);
    EXPECT_TRUE(dialogs.shown.back().text.startsWith(
        QStringLiteral("Будет изменено параметров: %1\r\n").arg(*write.changed)))
        << dialogs.shown.back().text.toStdString();
    for (const auto* e : {&read, &save, &open}) {
        EXPECT_FALSE(e->changed) << e->id;
    }
    // The write changed the alarm relay; the file holds what was written.
    EXPECT_NE(write.sha256, read.sha256);
    EXPECT_EQ(save.sha256, write.sha256);
    EXPECT_EQ(open.sha256, write.sha256);
    const auto written = recorder.Journal().Configuration(write.id);
    ASSERT_TRUE(written && written->state == journal::TConfigState::Ok);
    TProgramState recorded;
    ASSERT_TRUE(ReadConfigDocument(recorded, written->text.data(), written->text.size()));
    const auto payload = recorded.device->PayloadBytes();
    EXPECT_EQ(sim->Dump()->config, std::vector<Byte>(payload.begin(), payload.end()));
}

} // namespace
