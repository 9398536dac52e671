// File -> "Настройки журнала..." points the window at a PostgreSQL server (a real one, started by
// the test): the check shows the connection's state, the settings are stored without a password,
// and the background synchronisation sends the journal there.
#include "window_fixture.h"

#include "device/catalogue.h"
#include "journal/recorder.h"
#include "journal/sync.h"
#include "journal/sync_service.h"
#include "support/pg_server.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>

using namespace orv;
using namespace orv::test;

namespace {

TEST_F(WindowTest, JournalSettingsShareTheJournal) {
    if (PgServer::BinDir().isEmpty()) {
        GTEST_SKIP() << "No PostgreSQL server programs in /usr/lib/postgresql/*/bin";
    }
    PgServer server;
    ASSERT_TRUE(server.Ok() && server.CreateDatabase(QStringLiteral("journal")))
        << server.Error().toStdString();
    QTemporaryDir dir;
    journal::TJournalRecorder recorder(nullptr, dir.filePath(QStringLiteral("journal.sqlite")));
    TProgramState panel;
    panel.device = CreateDevice(13);
    ASSERT_TRUE(recorder.Record(journal::TAction::Read, panel, QStringLiteral("/dev/ttyUSB0")));
    window->SetJournal(&recorder);
    EXPECT_EQ(window->JournalSync(), nullptr);
    EXPECT_TRUE(window->JournalSyncState().startsWith(QStringLiteral("Сервер журнала не задан")));

    QString checked;
    dialogs.dialogSteps.push_back([&](QDialog& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("edHost"))->setText(server.Host());
        dialog.findChild<QSpinBox*>(QStringLiteral("spPort"))->setValue(server.Port());
        dialog.findChild<QLineEdit*>(QStringLiteral("edDatabase"))->setText(QStringLiteral("journal"));
        dialog.findChild<QLineEdit*>(QStringLiteral("edUser"))->setText(PgServer::Superuser());
        EXPECT_TRUE(dialog.findChild<QLabel*>(QStringLiteral("lblPassword"))
                        ->text()
                        .contains(QStringLiteral("~/.pgpass")));
        auto* state = dialog.findChild<QLabel*>(QStringLiteral("lblState"));
        dialog.findChild<QPushButton*>(QStringLiteral("btnCheck"))->click();
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return state->text().contains(QStringLiteral("доступен")); }, 20000));
        checked = state->text();
        dialog.accept();
    });
    QSignalSpy changes(window.get(), &TFormMain::journalSyncStateChanged);
    window->findChild<QAction*>(QStringLiteral("FileJournalSettings"))->trigger();
    EXPECT_EQ(checked,
              QStringLiteral("Сервер журнала %1 доступен").arg(server.Host() + QStringLiteral(":5432")));

    const journal::TServerSettings stored = journal::TServerSettings::Load();
    EXPECT_EQ(stored.host, server.Host());
    EXPECT_EQ(stored.database, QStringLiteral("journal"));
    ASSERT_NE(window->JournalSync(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return window->JournalSyncState().startsWith(QStringLiteral("Журнал синхронизирован")); },
        20000))
        << window->JournalSyncState().toStdString();
    EXPECT_GE(changes.count(), 1);
    EXPECT_EQ(server.Exec(QStringLiteral("journal"), QStringLiteral("SELECT COUNT(*) FROM entries")).toInt(),
              1);
    EXPECT_TRUE(recorder.Journal().List().entries.at(0).sent);

    // The journal window shows the shared journal's state.
    QString shown;
    dialogs.dialogSteps.push_back([&](QDialog& dialog) {
        auto* label = dialog.findChild<QLabel*>(QStringLiteral("lblConnection"));
        shown = label->isHidden() ? QString() : label->text();
        dialog.reject();
    });
    window->findChild<QAction*>(QStringLiteral("FileJournal"))->trigger();
    EXPECT_EQ(shown, window->JournalSyncState());
}

} // namespace
