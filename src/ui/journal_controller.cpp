#include "journal_controller.h"

#include "sites_dialog.h"

#include "dialogs.h"
#include "journal/recorder.h"
#include "journal/sync_service.h"
#include "journal_settings_dialog.h"

#include <QWidget>

#include <memory>

namespace orv {

TJournalController::TJournalController(IDialogs& dialogs, QWidget* window)
    : QObject(window), dialogs_(dialogs), window_(window) {}

TJournalController::~TJournalController() = default;

void TJournalController::SetRecorder(journal::TJournalRecorder* recorder) {
    recorder_ = recorder;
    StartSync();
}

void TJournalController::StartSync() {
    delete sync_;
    sync_ = nullptr;
    const journal::TServerSettings server = journal::TServerSettings::Load();
    if (recorder_ != nullptr && server.IsSet()) {
        sync_ = new journal::TJournalSyncService(recorder_->Journal().Path(), server,
                                                 journal::TJournalSyncService::kPeriodMs, this);
        connect(sync_, &journal::TJournalSyncService::StateChanged, this, &TJournalController::stateChanged);
    }
    emit stateChanged(StateText());
}

QString TJournalController::StateText() const {
    return sync_ != nullptr
               ? sync_->StateText()
               : QStringLiteral("Сервер журнала не задан; записи сохраняются на этом компьютере");
}

bool TJournalController::Record(const TRecord& record, const TProgramState& state) {
    if (recorder_ == nullptr || !state.device) {
        return false;
    }
    journal::TNewEntry entry = journal::EntryFromState(record.action, state, record.port, record.file);
    if (record.text != nullptr) {
        entry.config = *record.text;
    }
    entry.site = record.site;
    entry.note = record.note;
    entry.changed = record.changed;
    const bool recorded = recorder_->Record(entry).has_value();
    if (recorded && sync_ != nullptr) {
        sync_->Request();
    }
    return recorded;
}

QString TJournalController::SiteOfFile(const QString& file) {
    return recorder_ != nullptr ? recorder_->Journal().SiteOfFile(file) : QString();
}

bool TJournalController::Holds(const QByteArray& sha256) {
    return recorder_ != nullptr && recorder_->Journal().HoldsConfiguration(QString::fromLatin1(sha256));
}

void TJournalController::ShowSites(TJournalWindow window) {
    std::unique_ptr<journal::TJournal> own;
    if (recorder_ == nullptr) {
        own = std::make_unique<journal::TJournal>();
    }
    journal::TJournal& journal = own ? *own : recorder_->Journal();
    TSitesDialog* shown = nullptr;
    TSitesDialog sites(
        journal,
        [&](const journal::TSite& site, TSiteAction action) {
            // The journal's window, showing the site's entries with the latest chosen, does it.
            TJournalDialog entries(journal, dialogs_, window, shown);
            entries.SetShared(sync_ != nullptr);
            entries.ShowSite(site.site, site.latest);
            switch (action) {
            case TSiteAction::Open:
                entries.OpenClick();
                break;
            case TSiteAction::Report:
                entries.ReportClick();
                break;
            case TSiteAction::Compare:
                entries.CompareClick();
                break;
            case TSiteAction::Entries:
                dialogs_.Exec(entries);
                break;
            }
            return entries.result() == QDialog::Accepted;
        },
        window_);
    shown = &sites;
    dialogs_.Exec(sites);
}

void TJournalController::ShowJournal(TJournalWindow window) {
    // Without a recorder (the program's own tests) the journal is the one the program would keep.
    std::unique_ptr<journal::TJournal> own;
    if (recorder_ == nullptr) {
        own = std::make_unique<journal::TJournal>();
    }
    journal::TJournal& journal = own ? *own : recorder_->Journal();
    TJournalDialog dialog(journal, dialogs_, std::move(window), window_);
    dialog.SetShared(sync_ != nullptr);
    // With a server set, the state of the shared journal; what a synchronisation brings or
    // sends shows at once.
    if (sync_ != nullptr) {
        dialog.SetConnectionText(StateText());
        connect(this, &TJournalController::stateChanged, &dialog, &TJournalDialog::SetConnectionText);
        connect(sync_, &journal::TJournalSyncService::Synchronised, &dialog,
                [&dialog](qint64 sent, qint64 fetched) {
                    if (sent + fetched > 0) {
                        dialog.Refresh();
                    }
                });
    }
    dialogs_.Exec(dialog);
}

void TJournalController::ShowSettings() {
    TJournalSettingsDialog dialog(window_);
    dialog.Load(journal::TServerSettings::Load());
    if (dialogs_.Exec(dialog) != QDialog::Accepted) {
        return;
    }
    const journal::TServerSettings server = dialog.Collect();
    if (server.IsSet()) {
        server.Save();
    } else {
        journal::TServerSettings::Clear();
    }
    StartSync();
}

} // namespace orv
