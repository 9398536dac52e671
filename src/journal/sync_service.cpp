#include "sync_service.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace orv::journal {

// What the service and its thread share; the thread keeps it alive after the service is gone.
struct TJournalSyncService::TShared {
    QString path;
    TServerSettings server;
    int periodMs = 0;
    int stallMs = 0;

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable ended;
    bool requested = false;
    bool stop = false;
    bool finished = false;
    TJournalSync* running = nullptr;      // while a synchronisation runs
    TJournalSyncService* owner = nullptr; // none once the service is gone

    void Work();
};

void TJournalSyncService::TShared::Work() {
    // The connections belong to this thread: made, used and closed on it.
    std::unique_ptr<TJournalSync> sync;
    std::unique_lock lock(mutex);
    while (!stop) {
        wake.wait_for(lock, std::chrono::milliseconds(periodMs), [this] { return stop || requested; });
        if (stop) {
            break;
        }
        requested = false;
        lock.unlock();
        if (!sync) {
            sync = std::make_unique<TJournalSync>(path, server);
            sync->SetLimits(stallMs);
        }
        lock.lock();
        if (stop) {
            break;
        }
        running = sync.get();
        lock.unlock();
        const TSyncReport report = sync->Run();
        lock.lock();
        running = nullptr;
        if (owner != nullptr) {
            // Queued to the service's thread; dropped with the service if it goes first.
            QMetaObject::invokeMethod(
                owner, [owner = owner, report] { owner->Finished(report); }, Qt::QueuedConnection);
        }
    }
    lock.unlock();
    sync.reset();
    lock.lock();
    finished = true;
    ended.notify_all();
}

TJournalSyncService::TJournalSyncService(QString journalPath, TServerSettings server, int periodMs,
                                         QObject* parent, int stallMs)
    : QObject(parent), shared_(std::make_shared<TShared>()) {
    text_ = QStringLiteral("Журнал еще не синхронизирован с сервером %1").arg(server.Address());
    shared_->path = std::move(journalPath);
    shared_->server = std::move(server);
    shared_->periodMs = periodMs;
    shared_->stallMs = stallMs;
    shared_->owner = this;
    shared_->requested = true;
    thread_ = std::thread([shared = shared_] { shared->Work(); });
}

TJournalSyncService::~TJournalSyncService() {
    std::unique_lock lock(shared_->mutex);
    shared_->owner = nullptr;
    shared_->stop = true;
    if (shared_->running != nullptr) {
        shared_->running->Cancel();
    }
    shared_->wake.notify_all();
    // A cut connection ends its wait at once; only the making of a connection cannot be cut.
    const bool ended =
        shared_->ended.wait_for(lock, std::chrono::milliseconds(300), [this] { return shared_->finished; });
    lock.unlock();
    if (ended) {
        thread_.join();
    } else {
        thread_.detach();
    }
}

void TJournalSyncService::Request() {
    std::lock_guard lock(shared_->mutex);
    shared_->requested = true;
    shared_->wake.notify_all();
}

QString TJournalSyncService::StateText() const {
    QMutexLocker lock(&mutex_);
    return text_;
}

TSyncStatus TJournalSyncService::Status() const {
    QMutexLocker lock(&mutex_);
    return status_;
}

void TJournalSyncService::Finished(const TSyncReport& report) {
    bool changed = false;
    {
        QMutexLocker lock(&mutex_);
        changed = report.text != text_;
        text_ = report.text;
        status_ = report.status;
    }
    if (changed) {
        emit StateChanged(report.text);
    }
    emit Synchronised(report.sentEntries + report.sentChanges, report.fetchedEntries + report.fetchedChanges);
}

} // namespace orv::journal
