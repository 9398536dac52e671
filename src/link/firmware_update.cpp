#include "firmware_update.h"

namespace orv {

namespace {

// Closes the port however Send ends.
class PortCloser {
public:
    explicit PortCloser(TCommPortDriver& port) : port_(port) {}
    ~PortCloser() { port_.ClosePort(); }
    PortCloser(const PortCloser&) = delete;
    PortCloser& operator=(const PortCloser&) = delete;

private:
    TCommPortDriver& port_;
};

} // namespace

int UpdatePercent(std::size_t confirmedBytes, std::size_t imageBytes) {
    if (imageBytes == 0) {
        return 0;
    }
    return static_cast<int>(static_cast<unsigned long long>(confirmedBytes) * 100 / imageBytes);
}

TFirmwareSender::TFirmwareSender(TCommPortDriver& port, QObject* parent)
    : QObject(parent), port_(port), tmrUpdOff_(new QTimer(this)) {
    tmrUpdOff_->setObjectName(QStringLiteral("tmrUpdOff"));
    tmrUpdOff_->setInterval(kAnswerTimeoutMs);
    tmrUpdOff_->setSingleShot(true);
    // A coarse timer may fire up to 5 % early: a loader answering late but in time would be cut off.
    tmrUpdOff_->setTimerType(Qt::PreciseTimer);
    connect(tmrUpdOff_, &QTimer::timeout, this, &TFirmwareSender::tmrUpdOffTimer);
    connect(&port_, &TCommPortDriver::WriteFinished, this, &TFirmwareSender::BlockWritten);
    port_.SetOnReceiveData(
        [this](TCommPortDriver&, const Byte* data, int count) { OnReceiveData(data, count); });
}

TFirmwareSender::~TFirmwareSender() {
    port_.SetOnReceiveData({});
}

bool TFirmwareSender::Open(const QString& portPath) {
    // A port left open would keep its old name.
    port_.ClosePort();
    port_.SetBaudRate(br115200);
    port_.SetPortName(portPath);
    return port_.OpenPort();
}

TUpdateOutcome TFirmwareSender::Run(const TFirmwareImage& image, const QString& portPath,
                                    const Progress& progress) {
    if (!Open(portPath)) {
        return TUpdateOutcome::PortError;
    }
    return Send(image, progress);
}

TUpdateOutcome TFirmwareSender::Send(const TFirmwareImage& image, const Progress& progress) {
    if (running_) {
        return TUpdateOutcome::Aborted;
    }
    PortCloser closer(port_);
    running_ = true;
    aborted_ = false;
    std::size_t confirmed = 0;
    TUpdateOutcome outcome = TUpdateOutcome::Done;
    for (std::size_t i = 0; i < image.blocks.size() && outcome == TUpdateOutcome::Done; ++i) {
        if (aborted_) {
            outcome = TUpdateOutcome::Aborted;
            break;
        }
        const auto block = image.Block(i);
        // A late answer to an earlier block must not pass for the answer to this one.
        port_.PurgeQueues(true, true);
        answer_ = uaWaiting;
        // The block goes out from the event loop, so the window keeps painting however long
        // it takes; the answer's time-out starts once the port has taken it all.
        writing_ = true;
        if (!port_.BeginWrite(block)) {
            writing_ = false;
            tmrUpdOff_->start();
        }
        if (!Decided()) {
            wait_.exec();
        }
        tmrUpdOff_->stop();
        port_.CancelWrite();
        writing_ = false;
        switch (answer_) {
        case uaAccepted:
            if (progress) {
                progress(UpdatePercent(confirmed, image.bytes.size()), i + 1, image.blocks.size());
            }
            confirmed += block.size();
            break;
        case uaTimedOut:
            outcome = TUpdateOutcome::NoAnswer;
            break;
        case uaRefused:
            outcome = TUpdateOutcome::ChecksumError;
            break;
        default:
            // The loop ended without an answer: broken off, or the whole program is ending.
            outcome = TUpdateOutcome::Aborted;
            break;
        }
    }
    running_ = false;
    return outcome;
}

void TFirmwareSender::Abort() {
    if (running_) {
        aborted_ = true;
        wait_.quit();
    }
}

bool TFirmwareSender::Decided() const {
    return aborted_ || (!writing_ && answer_ != uaWaiting);
}

void TFirmwareSender::BlockWritten() {
    if (!running_ || !writing_) {
        return;
    }
    writing_ = false;
    tmrUpdOff_->start();
    if (Decided()) {
        wait_.quit();
    }
}

void TFirmwareSender::SetAnswer(Byte state) {
    // The first answer to a block decides, also one that comes while the block's last bytes
    // are still on their way out; whatever follows it until the next block is sent is
    // discarded with the port's queues.
    if (!running_ || answer_ != uaWaiting) {
        return;
    }
    answer_ = state;
    if (Decided()) {
        wait_.quit();
    }
}

void TFirmwareSender::OnReceiveData(const Byte* data, int count) {
    if (count > 0) {
        SetAnswer(data[0] == kAccept ? uaAccepted : uaRefused);
    }
}

void TFirmwareSender::tmrUpdOffTimer() {
    tmrUpdOff_->stop();
    SetAnswer(uaTimedOut);
}

} // namespace orv
