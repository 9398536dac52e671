#pragma once

#include "link/comm_port_driver.h"
#include "link/receive_buffer.h"

#include <QObject>

#include <chrono>

namespace orv {

// Owns the protocol port and the receive buffer it fills. Created first at start-up on the
// thread that runs the window (or, in tools and tests, the main thread).
class TmodData : public QObject {
    Q_OBJECT
public:
    explicit TmodData(QObject* parent = nullptr);
    ~TmodData() override;

    // The compatible exchange: the port hands in what has arrived every 500 ms instead of as
    // it arrives. Takes effect at once, also on an open port.
    void SetSlowExchange(bool slow);
    bool SlowExchange() const { return !cmprtdrvr1.ReceiveOnArrival(); }

    TCommPortDriver cmprtdrvr1;
    TReceiveBuffer RxBuf;
    // The least quiet time on the line before each request; workers made from this module
    // take it when they are made.
    std::chrono::milliseconds FramePause{50};
};

} // namespace orv
