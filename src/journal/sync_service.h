#pragma once

// The journal's synchronisation in the background of a running program: on a thread of its own,
// at start, after each new entry and every few minutes; reads, writes and saves never wait for it.

#include "journal/sync.h"

#include <QMutex>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <atomic>

namespace orv::journal {

class TSyncWorker;

class TJournalSyncService : public QObject {
    Q_OBJECT
public:
    static constexpr int kPeriodMs = 5 * 60 * 1000;

    // Starts the thread and the first synchronisation.
    TJournalSyncService(QString journalPath, TServerSettings server, int periodMs = kPeriodMs,
                        QObject* parent = nullptr);
    // Waits for a synchronisation under way (bounded by the connection's timeout).
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
    void Finished(int status, const QString& text, qint64 sent, qint64 fetched);

    QThread thread_;
    TSyncWorker* worker_ = nullptr;
    QTimer timer_;
    mutable QMutex mutex_;
    QString text_;
    TSyncStatus status_ = TSyncStatus::NotSet;
};

// Runs the synchronisation on the service's thread; owns its database connections there.
class TSyncWorker : public QObject {
    Q_OBJECT
public:
    TSyncWorker(QString journalPath, TServerSettings server);
    ~TSyncWorker() override;

    std::atomic<bool> pending{false};

public slots:
    void Run();
    void Stop();

signals:
    void Finished(int status, const QString& text, qint64 sent, qint64 fetched);

private:
    QString path_;
    TServerSettings server_;
    std::unique_ptr<TJournalSync> sync_;
};

} // namespace orv::journal
