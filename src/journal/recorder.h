#pragma once

#include "journal/journal.h"

#include <functional>
#include <memory>

namespace orv::journal {

// Keeps the journal for one running program: opened on the first entry, never in the way of
// the work the entry is about. When the journal cannot be used, the user is told once what is
// wrong and where, and later entries are tried again silently.
class TJournalRecorder {
public:
    using TTell = std::function<void(const QString& message)>;

    // An empty path stands for TJournal::DefaultPath() at the first entry.
    explicit TJournalRecorder(TTell tell, QString path = {});
    ~TJournalRecorder();
    TJournalRecorder(const TJournalRecorder&) = delete;
    TJournalRecorder& operator=(const TJournalRecorder&) = delete;

    // The entry's id, or nothing when it could not be recorded.
    std::optional<qint64> Record(const TNewEntry& entry);
    std::optional<qint64> Record(TAction action, const TProgramState& state, const QString& port = {},
                                 const QString& filePath = {});

    // The journal itself, for the list and the changes of site names and notes.
    TJournal& Journal();
    // Whether the user has been told of a problem.
    bool Told() const { return told_; }

private:
    TTell tell_;
    QString path_;
    std::unique_ptr<TJournal> journal_;
    bool told_ = false;
};

// The message the user is shown when an entry could not be recorded.
QString RecordingProblemText(const QString& problem);

} // namespace orv::journal
