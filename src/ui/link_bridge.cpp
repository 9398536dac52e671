#include "link_bridge.h"

#include "link/data_module.h"
#include "link/port_discovery.h"
#include "link/thread_buff.h"

namespace orv {

TLinkBridge::TLinkBridge(TmodData& data, TProgramState& state, QObject* parent)
    : QObject(parent), data_(data), state_(state) {}

TLinkBridge::~TLinkBridge() {
    if (worker_) {
        worker_->wait();
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
    if (worker_) {
        return false;
    }
    worker_ = new TThreadBuff(data_, state_, this);
    worker_->SetMode(static_cast<Byte>(mode));
    connect(worker_, &TThreadBuff::ResultCode, this, [sink = std::move(sink)](int code, int argument) {
        if (sink) {
            sink(code, argument);
        }
    });
    connect(worker_, &QThread::finished, this, [this] {
        worker_->wait();
        worker_->deleteLater();
        worker_ = nullptr;
    });
    worker_->Start();
    return true;
}

bool TLinkBridge::Busy() const {
    return worker_ != nullptr;
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
