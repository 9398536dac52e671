#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace orv {

// How the platform names serial ports: COM3 on Windows; ttyUSB0, ttyACM0, ttyS0 elsewhere.
enum class TPortPlatform { Windows, Posix };

#ifdef Q_OS_WIN
inline constexpr TPortPlatform kHostPortPlatform = TPortPlatform::Windows;
#else
inline constexpr TPortPlatform kHostPortPlatform = TPortPlatform::Posix;
#endif

// The device path opened for a port list entry: "\\.\" + entry on Windows, "/dev/" + entry
// elsewhere; an entry already given as a full path is opened as it stands.
QString PortPathForEntry(const QString& entry, TPortPlatform platform = kHostPortPlatform);

// The entry of the n-th numbered port (n from 1): COMn on Windows, ttyS(n-1) elsewhere.
QString PortEntryForNumber(int n, TPortPlatform platform = kHostPortPlatform);

// The port a fresh installation starts with: COM1 on Windows, the first USB serial adapter
// (ttyUSB0) elsewhere.
QString DefaultPortEntry(TPortPlatform platform = kHostPortPlatform);

// The USB-to-UART adapter kind the port list marks with its own icon.
bool IsUsbUartAdapter(const QString& description, std::optional<quint16> vendorId,
                      std::optional<quint16> productId);

struct TPortEntry {
    QString name;         // as the platform names the port
    bool adapter = false; // the USB-to-UART adapter kind the port list marks
    QString description;
};

// The serial ports present now, in the order the system lists them.
std::vector<TPortEntry> DiscoverPorts();

} // namespace orv
