#pragma once

#include "frame/frame.h"
#include "link/hand_off.h"

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace orv {

enum TPortNumber {
    pnCustom = 0,
    pnCOM1,
    pnCOM2,
    pnCOM3,
    pnCOM4,
    pnCOM5,
    pnCOM6,
    pnCOM7,
    pnCOM8,
    pnCOM9,
    pnCOM10,
    pnCOM11,
    pnCOM12,
    pnCOM13,
    pnCOM14,
    pnCOM15,
    pnCOM16,
};

enum TBaudRate {
    brCustom = 0,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
};

enum TDataBits { db5BITS, db6BITS, db7BITS, db8BITS };
enum TStopBits { sb1BITS, sb1HALFBITS, sb2BITS };
enum TParity { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum THwFlowControl { hfNONE, hfNONERTSON, hfRTSCTS };
enum TSwFlowControl { sfNONE, sfXONXOFF };

// Bits per second of an enumerated rate; 0 for brCustom.
int BaudRateBits(TBaudRate rate);

// A port error as Qt words it, with the system's common reasons (no such port, permission, not a
// terminal, busy, ...) and a port locked by another program told in Russian whatever the locale.
QString PortErrorText(const QString& qtText);

// A serial port. Reception either polls (a timer on the owning thread reads what has arrived,
// at most InBufSize bytes per tick) or, with ReceiveOnArrival, reads as soon as the port reports
// bytes; either way OnReceiveData gets them in batches of at most InBufSize.
//
// The object belongs to the thread that created it (its timer and callback run there). The
// port operations may be called from any thread: they are carried out on the owning thread
// while the caller waits, so that thread must keep its event loop running meanwhile.
// Settings are meant to be changed on the owning thread.
class TCommPortDriver : public QObject {
    Q_OBJECT
public:
    using TReceiveDataEvent = std::function<void(TCommPortDriver& sender, const Byte* data, int count)>;

    static constexpr int kMinBufSize = 128;
    static constexpr int kMaxBufSize = 8192;
    static constexpr int kMinPollingDelay = 5;

    explicit TCommPortDriver(QObject* parent = nullptr);
    ~TCommPortDriver() override;

    TPortNumber Port() const { return port_; }
    void SetPort(TPortNumber port); // pnCOMn names the platform's n-th port
    QString PortName() const { return portName_; }
    void SetPortName(const QString& name);
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate rate);
    int BaudRateValue() const { return baudRateValue_; }
    void SetBaudRateValue(int bitsPerSecond); // makes BaudRate brCustom
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits bits);
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits bits);
    TParity Parity() const { return parity_; }
    void SetParity(TParity parity);
    THwFlowControl HwFlow() const { return hwFlow_; }
    void SetHwFlow(THwFlowControl flow);
    TSwFlowControl SwFlow() const { return swFlow_; }
    void SetSwFlow(TSwFlowControl flow);
    int InBufSize() const { return inBufSize_; }
    void SetInBufSize(int bytes);
    int OutBufSize() const { return outBufSize_; }
    void SetOutBufSize(int bytes);
    int PollingDelay() const { return pollingDelay_; }
    void SetPollingDelay(int ms);
    int OutputTimeout() const { return outputTimeout_; }
    void SetOutputTimeout(int ms) { outputTimeout_ = ms; }
    int InputTimeout() const { return inputTimeout_; }
    void SetInputTimeout(int ms) { inputTimeout_ = ms; }
    // Takes effect at once, also while open.
    bool ReceiveOnArrival() const { return receiveOnArrival_; }
    void SetReceiveOnArrival(bool on);
    bool EnableDTROnOpen() const { return enableDtrOnOpen_; }
    void SetEnableDTROnOpen(bool on) { enableDtrOnOpen_ = on; }
    void SetOnReceiveData(TReceiveDataEvent handler) { onReceiveData_ = std::move(handler); }

    // True when already open. Otherwise opens PortName exclusively and applies the settings;
    // on any failure nothing stays open and LastError tells why.
    bool OpenPort();
    void ClosePort();
    // False also once the device has gone away (unplugged, far end closed): the port closes itself.
    bool IsOpen() const;
    // Line settings, modem lines, flush of both directions. False when closed or refused.
    bool ApplySettings();
    bool PurgeQueues(bool input, bool output);
    // OutBufSize less what still waits to be sent; -1 when closed.
    int FreeOutputRoom() const;
    // Whether bytes have arrived that reception has not handed in yet (between two polls).
    bool InputWaiting() const;
    // ReceiveOnArrival asked from any thread.
    bool ReceivesOnArrival() const;
    // Timed write: gives up when no byte could be written for OutputTimeout ms.
    // Returns the number of bytes written (0 when closed).
    int WriteBytes(const Byte* data, int count);

    // The timed write without holding up the owning thread: the bytes go out from its event
    // loop as the port takes them, under the same rule (given up once no byte could be written
    // for OutputTimeout ms). WriteFinished tells how many were written; it may come before
    // BeginWrite returns. False, with nothing started, when closed or while a write is on.
    // Call on the owning thread only.
    bool BeginWrite(std::span<const Byte> bytes);
    bool Writing() const { return writing_; }
    // Ends a write begun with BeginWrite; what the port already took still goes out.
    void CancelWrite();

    // The operating system's reason for the last failed OpenPort (empty after a success), in
    // Russian for the common ones.
    QString LastError() const;

signals:
    void WriteFinished(int written);

private:
    void Poll();
    void ContinueWrite();
    void FinishWrite();
    bool ApplySettingsHere();
    bool SetModemLine(bool ok);
    void ApplyIfOpen();

    mutable THandOff handOff_;
    QSerialPort serial_;
    QTimer timer_;
    QTimer writeStall_; // no progress of a begun write for OutputTimeout
    QTimer writeRetry_;
    std::vector<Byte> readBuf_;
    std::vector<Byte> writeBuf_; // a begun write
    std::size_t writeDone_ = 0;
    bool writing_ = false;
    QString lastError_;

    TPortNumber port_;
    QString portName_;
    TBaudRate baudRate_ = br9600;
    int baudRateValue_ = 9600;
    TDataBits dataBits_ = db8BITS;
    TStopBits stopBits_ = sb1BITS;
    TParity parity_ = ptNONE;
    THwFlowControl hwFlow_ = hfNONERTSON;
    TSwFlowControl swFlow_ = sfNONE;
    int inBufSize_ = 2048;
    int outBufSize_ = 2048;
    int pollingDelay_ = 50;
    int outputTimeout_ = 500;
    int inputTimeout_ = 200;
    bool enableDtrOnOpen_ = true;
    bool receiveOnArrival_ = false;
    TReceiveDataEvent onReceiveData_;
};

// The protocol port: 9600 bit/s, 8N1, no flow control, DTR and RTS low, 1024-byte buffers,
// receiving as bytes arrive (polled every 500 ms when ReceiveOnArrival is turned off).
std::unique_ptr<TCommPortDriver> Make_cmprtdrvr1(QObject* parent = nullptr);
void Configure_cmprtdrvr1(TCommPortDriver& port);

// The firmware update port: 115200 bit/s, 256-byte buffers, receiving as bytes arrive (polled
// every 10 ms when ReceiveOnArrival is turned off).
std::unique_ptr<TCommPortDriver> Make_cmprtdrvrUpdate(QObject* parent = nullptr);
void Configure_cmprtdrvrUpdate(TCommPortDriver& port);

} // namespace orv
