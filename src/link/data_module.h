#pragma once

#include "link/comm_port_driver.h"
#include "link/receive_buffer.h"

#include <QObject>

namespace orv {

// Owns the protocol port and the receive buffer its polling fills. Created first at start-up
// on the thread that runs the window (or, in tools and tests, the main thread).
class TmodData : public QObject {
    Q_OBJECT
public:
    explicit TmodData(QObject* parent = nullptr);
    ~TmodData() override;

    TCommPortDriver cmprtdrvr1;
    TReceiveBuffer RxBuf;
};

} // namespace orv
