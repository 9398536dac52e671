#include "port_discovery.h"

#include <QSerialPortInfo>

namespace orv {

namespace {
constexpr quint16 kCp210xVendor = 0x10C4;
constexpr quint16 kCp210xProduct = 0xEA60;
const QString kWindowsPrefix = QStringLiteral("\\\\.\\");
} // namespace

QString PortPathForEntry(const QString& entry, TPortPlatform platform) {
    const QString name = entry.trimmed();
    if (name.isEmpty()) {
        return {};
    }
    if (platform == TPortPlatform::Windows) {
        return name.startsWith(kWindowsPrefix) ? name : kWindowsPrefix + name;
    }
    return name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
}

QString PortEntryForNumber(int n, TPortPlatform platform) {
    if (platform == TPortPlatform::Windows) {
        return QStringLiteral("COM%1").arg(n);
    }
    return QStringLiteral("ttyS%1").arg(n - 1);
}

QString DefaultPortEntry(TPortPlatform platform) {
    return platform == TPortPlatform::Windows ? QStringLiteral("COM1") : QStringLiteral("ttyUSB0");
}

bool IsUsbUartAdapter(const QString& description, std::optional<quint16> vendorId,
                      std::optional<quint16> productId) {
    if (description.contains(QLatin1String("CP210"))) {
        return true;
    }
    return vendorId == kCp210xVendor && productId == kCp210xProduct;
}

std::vector<TPortEntry> DiscoverPorts() {
    std::vector<TPortEntry> entries;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        const auto vendor =
            info.hasVendorIdentifier() ? std::optional<quint16>(info.vendorIdentifier()) : std::nullopt;
        const auto product =
            info.hasProductIdentifier() ? std::optional<quint16>(info.productIdentifier()) : std::nullopt;
        entries.push_back(
            {info.portName(), IsUsbUartAdapter(info.description(), vendor, product), info.description()});
    }
    return entries;
}

} // namespace orv
