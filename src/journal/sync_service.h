#pragma once

// The journal's synchronisation in the background of a running program: on a thread of its own,
// at start, after each new entry and every few minutes; reads, writes and saves never wait for it,
// and neither does closing the program.

#include "journal/sync.h"

#include <QMutex>
#include <QObject>

#include <memory>
#include <thread>

namespace orv::journal {

class TJournalSyncService : public QObject {
    Q_OBJECT
public:
    static constexpr int kPeriodMs = 5 * 60 * 1000;

    // Starts the thread and the first synchronisation. stallMs: how long the server may keep a
    // synchronisation waiting for an answer before it is broken off.
    TJournalSyncService(QString journalPath, TServerSettings server, int periodMs = kPeriodMs,
                        QObject* parent = nullptr, int stallMs = TJournalSync::kStallMs);
    // Never waits on the network: a synchronisation under way is broken off (its connection is
    // cut) and given a moment to end; one still making its connection (a few seconds at most)
    // ends on its own thread, its outcome unseen.
    ~TJournalSyncService() override;

    // Asks for a synchronisation soon; requests made while one runs make one more, not many.
    void Request();

    // The connection's state for the user, in Russian; changes are signalled by StateChanged.
    QString StateText() const;
    // The status of the last synchronisation; NotSet before the first has ended.
    TSyncStatus Status() const;

signals:
    void StateChanged(const QString& text);
    // A synchronisation ended; fetched: how many entries of others it brought.
    void Synchronised(qint64 sent, qint64 fetched);

private:
    struct TShared;
    void Finished(const TSyncReport& report);

    std::shared_ptr<TShared> shared_;
    std::thread thread_;
    mutable QMutex mutex_;
    QString text_;
    TSyncStatus status_ = TSyncStatus::NotSet;
};

} // namespace orv::journal
