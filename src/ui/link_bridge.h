#pragma once

#include "gsm/program_state.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

namespace orv {

class TmodData;
class TThreadBuff;

struct TPortListEntry {
    QString name; // as the platform names the port: COM3, ttyUSB0
    bool adapter; // a USB-to-serial adapter
};

// The window's only way to the serial link: the protocol port (cmprtdrvr1 of the data module),
// port discovery and the protocol worker.
class TLinkBridge : public QObject {
    Q_OBJECT
public:
    TLinkBridge(TmodData& data, TProgramState& state, QObject* parent = nullptr);
    ~TLinkBridge() override;

    QList<TPortListEntry> DiscoverPorts() const;

    // The port the next transaction opens, given as an entry of the port list.
    void SetPortName(const QString& entry);
    QString PortName() const { return portName_; }
    void ClosePort();

    // Result codes of a transaction with their argument, delivered on this object's thread
    // while the worker waits.
    using ResultSink = std::function<void(int code, int argument)>;
    // Starts a read (mode 0) or a write (mode 1); false when one is still running.
    bool Start(int mode, ResultSink sink);
    bool Busy() const;

    // The compatible exchange (the port polled every 500 ms); takes effect at once.
    void SetSlowExchange(bool slow);
    bool SlowExchange() const;

    // The operating system's reason for the last failed open of the port, for the error box.
    QString LastPortError() const;

private:
    TmodData& data_;
    TProgramState& state_;
    QString portName_;
    TThreadBuff* worker_ = nullptr;
};

} // namespace orv
