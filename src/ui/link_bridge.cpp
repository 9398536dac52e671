#include "link_bridge.h"

#include "link/data_module.h"
#include "link/port_discovery.h"
#include "link/result_codes.h"
#include "link/thread_buff.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>

namespace orv {

TLinkBridge::TLinkBridge(TmodData& data, TProgramState& state, QObject* parent)
    : QObject(parent), data_(data), state_(state) {}

TLinkBridge::~TLinkBridge() {
    next_.reset();
    if (worker_) {
        // Whoever took the results is going away: a worker still running reports to nobody.
        disconnect(worker_, nullptr, this, nullptr);
        // The worker closes the port and says it has ended through this thread's event queue,
        // so the queue is served while it finishes.
        while (!worker_->wait(QDeadlineTimer(10))) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        }
        delete worker_;
        worker_ = nullptr;
    }
    ClosePort();
}

QList<TPortListEntry> TLinkBridge::DiscoverPorts() const {
    QList<TPortListEntry> entries;
    for (const auto& port : orv::DiscoverPorts()) {
        entries.push_back({port.name, port.adapter});
    }
    return entries;
}

void TLinkBridge::SetPortName(const QString& entry) {
    portName_ = entry;
    data_.cmprtdrvr1.SetPortName(PortPathForEntry(entry));
}

void TLinkBridge::ClosePort() {
    data_.cmprtdrvr1.ClosePort();
}

bool TLinkBridge::Start(int mode, ResultSink sink) {
    if (busy_) {
        return false;
    }
    busy_ = true;
    Request request{mode, std::move(sink)};
    if (worker_) {
        // The previous worker has given its final code and only winds down: the port is
        // still its own until its thread has finished.
        next_ = std::move(request);
    } else {
        Launch(std::move(request));
    }
    return true;
}

void TLinkBridge::Launch(Request request) {
    // A name chosen while the previous worker still held the port open did not reach the port.
    if (!portName_.isEmpty()) {
        data_.cmprtdrvr1.SetPortName(PortPathForEntry(portName_));
    }
    worker_ = new TThreadBuff(data_, state_, this);
    worker_->SetMode(static_cast<Byte>(request.mode));
    connect(worker_, &TThreadBuff::ResultCode, this,
            [this, sink = std::move(request.sink)](int code, int argument) {
                // Idle from the final code on, so that its handler may already start the next one.
                if (IsFinalResult(code)) {
                    busy_ = false;
                }
                if (sink) {
                    sink(code, argument);
                }
            });
    connect(worker_, &TThreadBuff::Progress, this, &TLinkBridge::progress);
    connect(worker_, &QThread::finished, this, &TLinkBridge::WorkerFinished);
    worker_->Start();
}

void TLinkBridge::WorkerFinished() {
    worker_->wait();
    worker_->deleteLater();
    worker_ = nullptr;
    if (next_) {
        Request request = std::move(*next_);
        next_.reset();
        Launch(std::move(request));
    } else {
        // A worker that ended without a final code (it cannot run at all) leaves nothing running.
        busy_ = false;
    }
}

void TLinkBridge::SetSlowExchange(bool slow) {
    data_.SetSlowExchange(slow);
}

bool TLinkBridge::SlowExchange() const {
    return data_.SlowExchange();
}

QString TLinkBridge::LastPortError() const {
    return data_.cmprtdrvr1.LastError();
}

} // namespace orv
