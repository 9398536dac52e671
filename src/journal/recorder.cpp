#include "recorder.h"

namespace orv::journal {

QString RecordingProblemText(const QString& problem) {
    return problem + QStringLiteral("\nЧтение, запись и сохранение конфигураций продолжаются без журнала.");
}

TJournalRecorder::TJournalRecorder(TTell tell, QString path)
    : tell_(std::move(tell)), path_(std::move(path)) {}

TJournalRecorder::~TJournalRecorder() = default;

TJournal& TJournalRecorder::Journal() {
    if (!journal_) {
        journal_ = std::make_unique<TJournal>(path_.isEmpty() ? TJournal::DefaultPath() : path_);
    }
    return *journal_;
}

std::optional<qint64> TJournalRecorder::Record(const TNewEntry& entry) {
    const auto id = Journal().Record(entry);
    if (!id && !told_) {
        told_ = true;
        if (tell_) {
            tell_(RecordingProblemText(journal_->Problem()));
        }
    }
    return id;
}

std::optional<qint64> TJournalRecorder::Record(TAction action, const TProgramState& state,
                                               const QString& port, const QString& filePath) {
    if (!state.device) {
        return std::nullopt;
    }
    return Record(EntryFromState(action, state, port, filePath));
}

} // namespace orv::journal
