#pragma once

#include "files/firmware_image.h"
#include "link/comm_port_driver.h"

#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstddef>
#include <functional>

namespace orv {

// The answer state of the wait for the loader's answer to a block.
enum TUpdateAnswer : Byte {
    uaWaiting = 0,
    uaTimedOut = 1,
    uaAccepted = 17, // the loader answered 0x11
    uaRefused = 34,  // it answered anything else
};

enum class TUpdateOutcome {
    Done,
    PortError,     // the port cannot be opened
    NoAnswer,      // no answer within the time-out after a block
    ChecksumError, // the loader refused a block
    Aborted,       // the wait was broken off (the program is ending)
};

// Sends a firmware image to the panel's loader block by block over the update port, each block
// confirmed by one byte. Runs on the thread that owns the port: while a block goes out and while
// it waits for the answer it keeps that thread's events running (a nested event loop), so the
// block's bytes, the answer and the time-out come through and a window stays responsive.
class TFirmwareSender : public QObject {
    Q_OBJECT
public:
    static constexpr Byte kAccept = 0x11;
    static constexpr int kAnswerTimeoutMs = 4000;

    // Called after each accepted block: the share of the image confirmed before that block, in
    // percent; the block's number from 1, and how many there are.
    using Progress = std::function<void(int percent, std::size_t block, std::size_t blocks)>;

    // port: the update port (see Make_cmprtdrvrUpdate); its receive handler becomes this
    // sender's.
    explicit TFirmwareSender(TCommPortDriver& port, QObject* parent = nullptr);
    ~TFirmwareSender() override;

    // Puts the port at 115200 bit/s on the device path and opens it; false when it cannot be
    // opened (the port's LastError says why).
    bool Open(const QString& portPath);
    // Sends every block of the image over the open port. The port is closed on every way out.
    TUpdateOutcome Send(const TFirmwareImage& image, const Progress& progress = {});
    // Open and Send.
    TUpdateOutcome Run(const TFirmwareImage& image, const QString& portPath, const Progress& progress = {});

    // Breaks off a running Send, which then closes the port and reports Aborted.
    void Abort();
    bool Running() const { return running_; }

    Byte AnswerState() const { return answer_; }
    TCommPortDriver& Port() { return port_; }

private:
    void OnReceiveData(const Byte* data, int count);
    void tmrUpdOffTimer();
    void SetAnswer(Byte state);
    void BlockWritten();
    // The block is out and answered (or timed out), or the update was broken off.
    bool Decided() const;

    TCommPortDriver& port_;
    QTimer* tmrUpdOff_;
    QEventLoop wait_;
    Byte answer_ = uaWaiting;
    bool running_ = false;
    bool aborted_ = false;
    bool writing_ = false; // the current block is still going out
};

// The percentage the progress shows for a block: the share of the image before it.
int UpdatePercent(std::size_t confirmedBytes, std::size_t imageBytes);

} // namespace orv
