#pragma once

#include "gsm/program_state.h"
#include "journal/journal.h"
#include "journal_dialog.h"

#include <QObject>

#include <functional>
#include <string>

class QWidget;

namespace orv {

namespace journal {
class TJournalRecorder;
class TJournalSyncService;
} // namespace journal

class IDialogs;

// The journal of a running window: the recorder, the background synchronisation with a journal
// server while one is set, and the journal's windows.
class TJournalController : public QObject {
    Q_OBJECT
public:
    TJournalController(IDialogs& dialogs, QWidget* window);
    ~TJournalController() override;

    // Entries go into this journal from now on (null: none); with a server set it is kept in
    // step with the server in the background.
    void SetRecorder(journal::TJournalRecorder* recorder);
    journal::TJournalRecorder* Recorder() const { return recorder_; }
    // The background synchronisation; null without a server.
    journal::TJournalSyncService* Sync() const { return sync_; }
    QString StateText() const;

    // What an entry records beyond the configuration on screen.
    struct TRecord {
        journal::TAction action = journal::TAction::Read;
        QString port;
        QString file;
        QString site;
        QString note{};
        // The configuration's text when it is not the one on screen as a save would store it.
        const std::string* text = nullptr;
        // A write: how many settings it changed on the panel, when known.
        std::optional<int> changed{};
    };
    bool Record(const TRecord& record, const TProgramState& state);
    // The site the journal last gave the file; empty when none.
    QString SiteOfFile(const QString& file);
    // Whether the journal holds a configuration of this text.
    bool Holds(const QByteArray& sha256);

    // File → "Журнал..."; busy: whether the window is in the middle of a transaction.
    void ShowJournal(TJournalWindow window);
    // File → "Объекты...": every site; from one, its latest configuration opened, reported on or
    // compared, or its entries shown in the journal's window.
    void ShowSites(TJournalWindow window);
    // File → "Настройки журнала...".
    void ShowSettings();

signals:
    // The journal server's connection state changed.
    void stateChanged(const QString& text);

private:
    void StartSync();

    IDialogs& dialogs_;
    QWidget* window_;
    journal::TJournalRecorder* recorder_ = nullptr;
    journal::TJournalSyncService* sync_ = nullptr; // a child of this object
};

} // namespace orv
