#include "comm_port_driver.h"

#include "files/file_access.h"
#include "link/port_discovery.h"

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <array>
#include <cerrno>

namespace orv {

namespace {

constexpr std::array<int, 16> kBaudRates{0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                         14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

QSerialPort::DataBits ToQt(TDataBits bits) {
    switch (bits) {
    case db5BITS:
        return QSerialPort::Data5;
    case db6BITS:
        return QSerialPort::Data6;
    case db7BITS:
        return QSerialPort::Data7;
    case db8BITS:
        break;
    }
    return QSerialPort::Data8;
}

QSerialPort::StopBits ToQt(TStopBits bits) {
    switch (bits) {
    case sb1HALFBITS:
        return QSerialPort::OneAndHalfStop;
    case sb2BITS:
        return QSerialPort::TwoStop;
    case sb1BITS:
        break;
    }
    return QSerialPort::OneStop;
}

QSerialPort::Parity ToQt(TParity parity) {
    switch (parity) {
    case ptODD:
        return QSerialPort::OddParity;
    case ptEVEN:
        return QSerialPort::EvenParity;
    case ptMARK:
        return QSerialPort::MarkParity;
    case ptSPACE:
        return QSerialPort::SpaceParity;
    case ptNONE:
        break;
    }
    return QSerialPort::NoParity;
}

// The port knows one kind of flow control; the RTS/CTS handshake wins over XON/XOFF.
QSerialPort::FlowControl ToQt(THwFlowControl hw, TSwFlowControl sw) {
    if (hw == hfRTSCTS) {
        return QSerialPort::HardwareControl;
    }
    return sw == sfXONXOFF ? QSerialPort::SoftwareControl : QSerialPort::NoFlowControl;
}

} // namespace

int BaudRateBits(TBaudRate rate) {
    const auto index = static_cast<std::size_t>(rate);
    return index < kBaudRates.size() ? kBaudRates[index] : 0;
}

TCommPortDriver::TCommPortDriver(QObject* parent)
    : QObject(parent), handOff_(this), serial_(this), timer_(this), writeStall_(this), writeRetry_(this),
      port_(pnCOM2), portName_(PortPathForEntry(PortEntryForNumber(2))) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TCommPortDriver::Poll);
    connect(&serial_, &QSerialPort::readyRead, this, [this] {
        if (receiveOnArrival_) {
            Poll();
        }
    });
    writeStall_.setSingleShot(true);
    connect(&writeStall_, &QTimer::timeout, this, &TCommPortDriver::FinishWrite);
    // Some lines (pseudo-terminals among them) do not always report room freed for writing:
    // the begun write looks again every 10 ms, as the timed write does.
    writeRetry_.setInterval(10);
    connect(&writeRetry_, &QTimer::timeout, this, [this] {
        serial_.flush();
        ContinueWrite();
    });
    // Queued: the port does not report bytes written again while a handler of that report runs,
    // and the handler writes.
    connect(
        &serial_, &QSerialPort::bytesWritten, this,
        [this] {
            if (writing_) {
                ContinueWrite();
            }
        },
        Qt::QueuedConnection);
    // A device that has gone away (adapter unplugged, far end closed) fails every operation, and
    // the port would retry what waits to be sent without end: the port is closed instead. The
    // transaction finds the failure through the missing reply.
    connect(
        &serial_, &QSerialPort::errorOccurred, this,
        [this](QSerialPort::SerialPortError error) {
            if (error == QSerialPort::ResourceError && serial_.isOpen()) {
                lastError_ = PortErrorText(serial_.errorString());
                timer_.stop();
                serial_.close();
                if (writing_) {
                    FinishWrite();
                }
            }
        },
        Qt::QueuedConnection);
}

TCommPortDriver::~TCommPortDriver() {
    ClosePort();
}

void TCommPortDriver::SetPort(TPortNumber port) {
    if (IsOpen()) {
        return;
    }
    port_ = port;
    if (port != pnCustom) {
        portName_ = PortPathForEntry(PortEntryForNumber(static_cast<int>(port)));
    }
}

void TCommPortDriver::SetPortName(const QString& name) {
    if (IsOpen()) {
        return;
    }
    portName_ = name;
}

void TCommPortDriver::SetBaudRate(TBaudRate rate) {
    baudRate_ = rate;
    if (rate != brCustom) {
        baudRateValue_ = BaudRateBits(rate);
    }
    ApplyIfOpen();
}

void TCommPortDriver::SetBaudRateValue(int bitsPerSecond) {
    baudRate_ = brCustom;
    baudRateValue_ = bitsPerSecond;
    ApplyIfOpen();
}

void TCommPortDriver::SetDataBits(TDataBits bits) {
    dataBits_ = bits;
    ApplyIfOpen();
}

void TCommPortDriver::SetStopBits(TStopBits bits) {
    stopBits_ = bits;
    ApplyIfOpen();
}

void TCommPortDriver::SetParity(TParity parity) {
    parity_ = parity;
    ApplyIfOpen();
}

void TCommPortDriver::SetHwFlow(THwFlowControl flow) {
    hwFlow_ = flow;
    ApplyIfOpen();
}

void TCommPortDriver::SetSwFlow(TSwFlowControl flow) {
    swFlow_ = flow;
    ApplyIfOpen();
}

void TCommPortDriver::SetInBufSize(int bytes) {
    if (!IsOpen()) {
        inBufSize_ = std::clamp(bytes, kMinBufSize, kMaxBufSize);
    }
}

void TCommPortDriver::SetOutBufSize(int bytes) {
    if (!IsOpen()) {
        outBufSize_ = std::clamp(bytes, kMinBufSize, kMaxBufSize);
    }
}

void TCommPortDriver::SetPollingDelay(int ms) {
    pollingDelay_ = std::max(ms, kMinPollingDelay);
    handOff_.Call([this] {
        if (timer_.isActive()) {
            timer_.start(pollingDelay_);
        }
    });
}

void TCommPortDriver::SetReceiveOnArrival(bool on) {
    handOff_.Call([this, on] {
        receiveOnArrival_ = on;
        if (!serial_.isOpen()) {
            return;
        }
        if (on) {
            timer_.stop();
            Poll(); // what came before the switch
        } else {
            timer_.start(pollingDelay_);
        }
    });
}

bool TCommPortDriver::OpenPort() {
    return handOff_.Call([this] {
        if (serial_.isOpen()) {
            return true;
        }
        lastError_.clear();
        serial_.setPortName(portName_);
        if (!serial_.open(QIODevice::ReadWrite)) {
            lastError_ = PortErrorText(serial_.errorString());
            return false;
        }
        if (!ApplySettingsHere()) {
            lastError_ = PortErrorText(serial_.errorString());
            serial_.close();
            return false;
        }
        readBuf_.assign(static_cast<std::size_t>(inBufSize_), 0);
        if (!receiveOnArrival_) {
            timer_.start(pollingDelay_);
        }
        return true;
    });
}

void TCommPortDriver::ClosePort() {
    handOff_.Call([this] {
        if (serial_.isOpen()) {
            timer_.stop();
            serial_.close();
        }
        if (writing_) {
            FinishWrite();
        }
    });
}

bool TCommPortDriver::IsOpen() const {
    return handOff_.Call([this] { return serial_.isOpen(); });
}

bool TCommPortDriver::ApplySettings() {
    return handOff_.Call([this] { return ApplySettingsHere(); });
}

void TCommPortDriver::ApplyIfOpen() {
    handOff_.Call([this] {
        if (serial_.isOpen()) {
            ApplySettingsHere();
        }
    });
}

// Ports without modem lines (pseudo-terminals, some adapters, network bridges) refuse DTR and
// RTS requests. The protocol does not need those lines, so such a refusal is not a failure.
bool TCommPortDriver::SetModemLine(bool ok) {
    if (ok) {
        return true;
    }
    if (serial_.error() == QSerialPort::UnsupportedOperationError) {
        serial_.clearError();
        return true;
    }
    return false;
}

bool TCommPortDriver::ApplySettingsHere() {
    if (!serial_.isOpen()) {
        return false;
    }
    serial_.clearError();
    if (!serial_.setBaudRate(baudRateValue_) || !serial_.setDataBits(ToQt(dataBits_)) ||
        !serial_.setParity(ToQt(parity_)) || !serial_.setStopBits(ToQt(stopBits_)) ||
        !serial_.setFlowControl(ToQt(hwFlow_, swFlow_))) {
        return false;
    }
    if (!SetModemLine(serial_.setDataTerminalReady(enableDtrOnOpen_))) {
        return false;
    }
    // Under the RTS/CTS handshake the driver owns RTS.
    if (hwFlow_ != hfRTSCTS && !SetModemLine(serial_.setRequestToSend(hwFlow_ == hfNONERTSON))) {
        return false;
    }
    return serial_.clear(QSerialPort::AllDirections);
}

bool TCommPortDriver::PurgeQueues(bool input, bool output) {
    return handOff_.Call([&] {
        if (!serial_.isOpen()) {
            return false;
        }
        QSerialPort::Directions directions;
        if (input) {
            directions |= QSerialPort::Input;
        }
        if (output) {
            directions |= QSerialPort::Output;
        }
        return directions == QSerialPort::Directions() || serial_.clear(directions);
    });
}

int TCommPortDriver::FreeOutputRoom() const {
    return handOff_.Call([this] {
        if (!serial_.isOpen()) {
            return -1;
        }
        return outBufSize_ - static_cast<int>(serial_.bytesToWrite());
    });
}

bool TCommPortDriver::InputWaiting() const {
    return handOff_.Call([this] { return serial_.isOpen() && serial_.bytesAvailable() > 0; });
}

bool TCommPortDriver::ReceivesOnArrival() const {
    return handOff_.Call([this] { return receiveOnArrival_; });
}

int TCommPortDriver::WriteBytes(const Byte* data, int count) {
    return handOff_.Call([&] {
        if (!serial_.isOpen() || count <= 0) {
            return 0;
        }
        int written = 0;
        QElapsedTimer sinceProgress;
        sinceProgress.start();
        while (written < count) {
            const int room = outBufSize_ - static_cast<int>(serial_.bytesToWrite());
            if (room > 0) {
                const qint64 n = serial_.write(reinterpret_cast<const char*>(data + written),
                                               std::min(room, count - written));
                serial_.flush();
                if (n > 0) {
                    written += static_cast<int>(n);
                    sinceProgress.restart();
                    continue;
                }
                if (n < 0) {
                    break;
                }
            }
            if (sinceProgress.elapsed() > outputTimeout_) {
                break;
            }
            serial_.waitForBytesWritten(10);
        }
        return written;
    });
}

bool TCommPortDriver::BeginWrite(std::span<const Byte> bytes) {
    if (writing_ || !serial_.isOpen()) {
        return false;
    }
    writeBuf_.assign(bytes.begin(), bytes.end());
    writeDone_ = 0;
    writing_ = true;
    writeStall_.start(outputTimeout_);
    writeRetry_.start();
    ContinueWrite();
    return true;
}

// Hands the port as much of the begun write as its output buffer has room for; the rest
// follows each time the port reports bytes written.
void TCommPortDriver::ContinueWrite() {
    while (writing_ && writeDone_ < writeBuf_.size()) {
        const int room = serial_.isOpen() ? outBufSize_ - static_cast<int>(serial_.bytesToWrite()) : -1;
        if (room < 0) {
            FinishWrite();
            return;
        }
        if (room == 0) {
            return;
        }
        const qint64 n = serial_.write(reinterpret_cast<const char*>(writeBuf_.data() + writeDone_),
                                       static_cast<qint64>(std::min<std::size_t>(
                                           static_cast<std::size_t>(room), writeBuf_.size() - writeDone_)));
        if (n < 0) {
            FinishWrite();
            return;
        }
        if (n == 0) {
            return;
        }
        writeDone_ += static_cast<std::size_t>(n);
        writeStall_.start(outputTimeout_);
    }
    if (writing_) {
        FinishWrite();
    }
}

void TCommPortDriver::FinishWrite() {
    if (!writing_) {
        return;
    }
    writing_ = false;
    writeStall_.stop();
    writeRetry_.stop();
    const int written = static_cast<int>(writeDone_);
    writeBuf_.clear();
    emit WriteFinished(written);
}

void TCommPortDriver::CancelWrite() {
    if (writing_) {
        writing_ = false;
        writeStall_.stop();
        writeRetry_.stop();
        writeBuf_.clear();
    }
}

QString PortErrorText(const QString& qtText) {
    // Qt passes the system's reason on as the C library words it, in English under most locales.
    static constexpr int kCommon[] = {ENOENT, ENOTDIR, EACCES, EPERM, EROFS,  ENOSPC, ENAMETOOLONG, ENOTTY,
                                      EBUSY,  EISDIR,  EIO,    ENXIO, ENODEV, EMFILE, ENFILE};
    for (const int error : kCommon) {
        if (qtText == qt_error_string(error)) {
            return QString::fromStdString(SystemErrorText(error));
        }
    }
    // Another program holds the port's lock file (its own words, translated or not).
    if (qtText == QSerialPort::tr("Permission error while locking the device")) {
        return QString::fromStdString(SystemErrorText(EBUSY));
    }
    return qtText;
}

QString TCommPortDriver::LastError() const {
    return handOff_.Call([this] { return lastError_; });
}

void TCommPortDriver::Poll() {
    // A poll takes at most one buffer; on arrival everything waiting is taken, since the port
    // reports bytes only once.
    do {
        if (!serial_.isOpen()) {
            return;
        }
        const qint64 waiting = serial_.bytesAvailable();
        if (waiting <= 0) {
            serial_.clearError();
            return;
        }
        const qint64 n = serial_.read(reinterpret_cast<char*>(readBuf_.data()),
                                      std::min<qint64>(waiting, static_cast<qint64>(readBuf_.size())));
        if (n <= 0) {
            return;
        }
        if (onReceiveData_) {
            onReceiveData_(*this, readBuf_.data(), static_cast<int>(n));
        }
    } while (receiveOnArrival_);
}

void Configure_cmprtdrvr1(TCommPortDriver& port) {
    port.SetPort(pnCustom);
    port.SetPortName(PortPathForEntry(DefaultPortEntry()));
    port.SetBaudRate(br9600);
    port.SetHwFlow(hfNONE);
    port.SetInBufSize(1024);
    port.SetOutBufSize(1024);
    port.SetPollingDelay(500);
    port.SetReceiveOnArrival(true);
    port.SetEnableDTROnOpen(false);
    port.SetOutputTimeout(200);
}

void Configure_cmprtdrvrUpdate(TCommPortDriver& port) {
    port.SetPort(pnCustom);
    port.SetPortName(PortPathForEntry(DefaultPortEntry()));
    port.SetBaudRateValue(115200);
    port.SetHwFlow(hfNONE);
    port.SetInBufSize(256);
    port.SetOutBufSize(256);
    port.SetPollingDelay(10);
    port.SetReceiveOnArrival(true);
    port.SetEnableDTROnOpen(false);
    port.SetOutputTimeout(200);
    port.SetInputTimeout(10);
}

std::unique_ptr<TCommPortDriver> Make_cmprtdrvr1(QObject* parent) {
    auto port = std::make_unique<TCommPortDriver>(parent);
    port->setObjectName(QStringLiteral("cmprtdrvr1"));
    Configure_cmprtdrvr1(*port);
    return port;
}

std::unique_ptr<TCommPortDriver> Make_cmprtdrvrUpdate(QObject* parent) {
    auto port = std::make_unique<TCommPortDriver>(parent);
    port->setObjectName(QStringLiteral("cmprtdrvrUpdate"));
    Configure_cmprtdrvrUpdate(*port);
    return port;
}

} // namespace orv
