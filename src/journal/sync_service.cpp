#include "sync_service.h"

namespace orv::journal {

TSyncWorker::TSyncWorker(QString journalPath, TServerSettings server)
    : path_(std::move(journalPath)), server_(std::move(server)) {}

TSyncWorker::~TSyncWorker() = default;

void TSyncWorker::Run() {
    pending = false;
    if (!sync_) {
        sync_ = std::make_unique<TJournalSync>(path_, server_);
    }
    const TSyncReport report = sync_->Run();
    emit Finished(static_cast<int>(report.status), report.text, report.sentEntries + report.sentChanges,
                  report.fetchedEntries + report.fetchedChanges);
}

void TSyncWorker::Stop() {
    // The connections are closed on the thread they were made on.
    sync_.reset();
}

TJournalSyncService::TJournalSyncService(QString journalPath, TServerSettings server, int periodMs,
                                         QObject* parent)
    : QObject(parent) {
    text_ = QStringLiteral("Журнал еще не синхронизирован с сервером %1").arg(server.Address());
    worker_ = new TSyncWorker(std::move(journalPath), std::move(server));
    worker_->moveToThread(&thread_);
    connect(worker_, &TSyncWorker::Finished, this, &TJournalSyncService::Finished, Qt::QueuedConnection);
    thread_.setObjectName(QStringLiteral("journal-sync"));
    thread_.start(QThread::LowPriority);
    timer_.setInterval(periodMs);
    connect(&timer_, &QTimer::timeout, this, &TJournalSyncService::Request);
    timer_.start();
    Request();
}

TJournalSyncService::~TJournalSyncService() {
    timer_.stop();
    QMetaObject::invokeMethod(worker_, &TSyncWorker::Stop, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
    delete worker_;
}

void TJournalSyncService::Request() {
    if (!worker_->pending.exchange(true)) {
        QMetaObject::invokeMethod(worker_, &TSyncWorker::Run, Qt::QueuedConnection);
    }
}

QString TJournalSyncService::StateText() const {
    QMutexLocker lock(&mutex_);
    return text_;
}

TSyncStatus TJournalSyncService::Status() const {
    QMutexLocker lock(&mutex_);
    return status_;
}

void TJournalSyncService::Finished(int status, const QString& text, qint64 sent, qint64 fetched) {
    bool changed = false;
    {
        QMutexLocker lock(&mutex_);
        changed = text != text_;
        text_ = text;
        status_ = static_cast<TSyncStatus>(status);
    }
    if (changed) {
        emit StateChanged(text);
    }
    emit Synchronised(sent, fetched);
}

} // namespace orv::journal
