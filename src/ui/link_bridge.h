#pragma once

#include "gsm/program_state.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

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

    // The port the next transaction opens, given as an entry of the port list (taken over when
    // that transaction starts, should the port still be open then).
    void SetPortName(const QString& entry);
    QString PortName() const { return portName_; }
    void ClosePort();

    // Result codes of a transaction with their argument, delivered on this object's thread
    // while the worker waits.
    using ResultSink = std::function<void(int code, int argument)>;
    // Starts a read (mode 0) or a write (mode 1); false while one has not given its final
    // code. A transaction started while the previous worker is still winding down (after its
    // final code) begins as soon as that worker has ended.
    bool Start(int mode, ResultSink sink);
    // A transaction has been started and has not given its final code yet.
    bool Busy() const { return busy_; }

    // The compatible exchange (the port polled every 500 ms); takes effect at once.
    void SetSlowExchange(bool slow);
    bool SlowExchange() const;

    // The operating system's reason for the last failed open of the port, for the error box.
    QString LastPortError() const;

signals:
    // Exchanges done of those the running transaction will make, as far as it knows them.
    void progress(int done, int total);

private:
    struct Request {
        int mode;
        ResultSink sink;
    };
    void Launch(Request request);
    void WorkerFinished();

    TmodData& data_;
    TProgramState& state_;
    QString portName_;
    TThreadBuff* worker_ = nullptr; // from its start until its thread has finished
    std::optional<Request> next_;   // waits for worker_ to finish
    bool busy_ = false;
};

} // namespace orv
