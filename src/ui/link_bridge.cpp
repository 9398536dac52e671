#include "link_bridge.h"

#include <QSerialPortInfo>

namespace orv {

TLinkBridge::TLinkBridge(TProgramState& state, QObject* parent) : QObject(parent), state_(state) {}

TLinkBridge::~TLinkBridge() {
    ClosePort();
}

QList<TPortEntry> TLinkBridge::DiscoverPorts() const {
    QList<TPortEntry> entries;
    for (const auto& info : QSerialPortInfo::availablePorts()) {
        const bool adapter = info.description().contains(QLatin1String("CP210")) ||
                             (info.vendorIdentifier() == 0x10C4 && info.productIdentifier() == 0xEA60);
        entries.push_back({info.portName(), adapter});
    }
    return entries;
}

void TLinkBridge::SetPortName(const QString& entry) {
    portName_ = entry;
}

void TLinkBridge::ClosePort() {}

bool TLinkBridge::Start(int, ResultSink) {
    return false;
}

bool TLinkBridge::Busy() const {
    return false;
}

QString TLinkBridge::LastPortError() const {
    return {};
}

} // namespace orv
