#include "thread_buff.h"

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "link/data_module.h"

#include <algorithm>

namespace orv {

TThreadBuff::TThreadBuff(TCommPortDriver& port, TReceiveBuffer& receive, TProgramState& state,
                         QObject* parent)
    : QThread(parent), port_(port), receive_(receive), state_(state) {
    setObjectName(QStringLiteral("ThreadBuff"));
}

TThreadBuff::TThreadBuff(TmodData& data, TProgramState& state, QObject* parent)
    : TThreadBuff(data.cmprtdrvr1, data.RxBuf, state, parent) {}

TThreadBuff::~TThreadBuff() {
    wait();
    std::lock_guard lock(endMutex_);
    device_.reset();
}

void TThreadBuff::Start() {
    start(QThread::LowPriority);
}

void TThreadBuff::run() {
    {
        std::lock_guard lock(endMutex_);
        if (!port_.OpenPort()) {
            SendResult(rcPortError);
        } else {
            SendResult(rcPortOpen);
            if (mode_ == modeRead) {
                if (const Byte type = RunRead()) {
                    SendResult(rcReadDone, type);
                }
            } else if (mode_ == modeWrite) {
                if (RunWrite()) {
                    SendResult(rcWriteDone);
                }
            }
            port_.ClosePort();
        }
    }
    handOff_.Run([this] { emit Ended(); });
}

void TThreadBuff::SendResult(int code, int argument) {
    handOff_.Run([&] { emit ResultCode(code, argument); });
}

void TThreadBuff::SendFrame(const Byte* frame, std::size_t length) {
    // Purge first: a late byte of an earlier reply must not land in the emptied buffer.
    port_.PurgeQueues(true, true);
    receive_.Clear();
    port_.WriteBytes(frame, static_cast<int>(length));
}

bool TThreadBuff::AwaitReply() {
    for (int i = 0; i < kFirstBytePolls && receive_.Count() < 2; ++i) {
        msleep(kPollMs);
    }
    if (receive_.Count() == 0) {
        reply_ = {};
        return false;
    }
    SendResult(rcReplyArriving);
    // Judged on one copy at a time, so the test and the bytes used later agree.
    reply_ = receive_.Take();
    TReplyState state = AssessReply(reply_.count, reply_.bytes[1]);
    for (int i = 0; i < kCompletePolls && state == TReplyState::Waiting; ++i) {
        msleep(kPollMs);
        reply_ = receive_.Take();
        state = AssessReply(reply_.count, reply_.bytes[1]);
    }
    return state == TReplyState::Complete && frame::ReplyComplete(Reply());
}

Byte TThreadBuff::RunRead() {
    const auto request = frame::BuildReadRequest(frame::subConfig);
    SendFrame(request.data(), request.size());
    if (!AwaitReply()) {
        SendResult(rcNoLink);
        return 0;
    }
    SendResult(rcReplyArriving);
    const Byte type = frame::IdentifyReply(Reply());
    if (type == 0) {
        SendResult(rcUnknownDevice);
        return 0;
    }
    std::shared_ptr<TDevice> device = DeviceSupported(type) ? CreateDevice(type) : nullptr;
    if (!device) {
        SendResult(rcUnsupportedDevice, type);
        return 0;
    }
    device->LoadFromReply(Reply());
    device_ = device;
    state_.device = device;

    auto* ret = dynamic_cast<TDV15_Ret*>(device.get());
    if (ret) {
        SendResult(rcReadingObjects);
        if (!ReadObjectTable(*ret)) {
            SendResult(rcObjectsError);
            return 0;
        }
    }
    if (device->GetGsmConnected()) {
        SendResult(rcReadingGsm);
        if (!ReadGsm(ret)) {
            SendResult(rcGsmError);
            return 0;
        }
    }
    return type;
}

bool TThreadBuff::ReadObjectTable(TDV15_Ret& ret) {
    const auto request = frame::BuildReadRequest(frame::subObjects);
    SendFrame(request.data(), request.size());
    if (!AwaitReply()) {
        SendResult(rcReadingObjects);
        return false;
    }
    ret.LoadObjects(Reply());
    return true;
}

bool TThreadBuff::ReadOptionalBlock(Byte subCommand, FrameBuffer& target) {
    const auto request = frame::BuildReadRequest(subCommand);
    SendFrame(request.data(), request.size());
    if (!AwaitReply()) {
        return false;
    }
    if (frame::ReplyUsable(Reply())) {
        std::copy_n(reply_.bytes.begin(), reply_.count, target.begin());
    }
    return true;
}

bool TThreadBuff::ReadGsm(TDV15_Ret* ret) {
    const auto request = frame::BuildReadRequest(frame::subGsm);
    SendFrame(request.data(), request.size());
    if (!AwaitReply()) {
        return false;
    }
    std::copy_n(reply_.bytes.begin(), reply_.count, state_.GsmFrame.begin());

    if (state_.GsmFrame[6] != 0 && !ReadOptionalBlock(frame::subGprs, state_.GprsFrame)) {
        return false;
    }
    if (state_.GsmFrame[7] != 0) {
        if (ret) {
            return ReadSmsPages(*ret);
        }
        return ReadOptionalBlock(frame::subSms, state_.SmsFrame);
    }
    return true;
}

bool TThreadBuff::ReadSmsPages(TDV15_Ret& ret) {
    bool more = false;
    int page = 0;
    do {
        const auto request = frame::BuildReadRequest(frame::subSmsPage, static_cast<Byte>(page));
        SendFrame(request.data(), request.size());
        if (!AwaitReply()) {
            return false;
        }
        if (frame::ReplyUsable(Reply())) {
            more = ret.Sms().TakePage(page, Reply()) != 0;
        }
        ++page;
    } while (more && page < T_SMS_List::kPages);
    return true;
}

bool TThreadBuff::RunWrite() {
    device_ = state_.device;
    if (!device_) {
        // Nothing to write: the caller started a write without a device object.
        SendResult(rcNoLink);
        return false;
    }
    const auto frame = device_->BuildWriteFrame();
    SendFrame(frame.data(), frame.size());
    if (!AwaitReply()) {
        SendResult(rcNoLink);
        return false;
    }
    SendResult(rcReplyArriving);
    if (!device_->CheckWriteReply(Reply())) {
        SendResult(rcWriteMismatch);
        return false;
    }
    auto* ret = dynamic_cast<TDV15_Ret*>(device_.get());
    if (ret) {
        SendResult(rcWritingObjects);
        if (!WriteObjectTable(*ret)) {
            SendResult(rcObjectsError);
            return false;
        }
    }
    if (device_->GetGsmConnected()) {
        SendResult(rcWritingGsm);
        if (!WriteGsm(ret)) {
            SendResult(rcGsmError);
            return false;
        }
    }
    return true;
}

bool TThreadBuff::WriteObjectTable(TDV15_Ret& ret) {
    const auto frame = ret.BuildObjectFrame();
    SendFrame(frame.data(), frame.size());
    return AwaitReply() && frame::ConfirmObjectsWrite(Reply(), frame);
}

// Sends a frame kept in one of the GSM buffers, with the length its byte 1 records.
bool TThreadBuff::SendFromBuffer(const FrameBuffer& frame,
                                 bool (*confirm)(ReplyView, std::span<const Byte>)) {
    const std::size_t length = frame[1];
    // A length that no frame can have would send stale bytes or read past the buffer.
    if (frame[0] != frame::kStart || length < 5 || length > frame::kMaxFrame) {
        return false;
    }
    SendFrame(frame.data(), length);
    return AwaitReply() && confirm(Reply(), std::span<const Byte>(frame.data(), length));
}

bool TThreadBuff::WriteGsm(TDV15_Ret* ret) {
    if (!SendFromBuffer(state_.GsmFrame, &frame::ConfirmGsmWrite)) {
        return false;
    }
    if (state_.GsmFrame[6] != 0 && !SendFromBuffer(state_.GprsFrame, &frame::ConfirmGprsWrite)) {
        return false;
    }
    if (state_.GsmFrame[7] != 0) {
        if (ret) {
            return WriteSmsPages(*ret);
        }
        return SendFromBuffer(state_.SmsFrame, &frame::ConfirmSmsWrite);
    }
    return true;
}

bool TThreadBuff::WriteSmsPages(TDV15_Ret& ret) {
    for (int page = 0; page < T_SMS_List::kPages; ++page) {
        const auto built = ret.Sms().BuildPage(page, state_.SmsFrame.data());
        const std::span<const Byte> frame(state_.SmsFrame.data(), built.length);
        SendFrame(frame.data(), frame.size());
        if (!AwaitReply() || !frame::ConfirmSmsPageWrite(Reply(), frame)) {
            return false;
        }
        if (!built.more) {
            break;
        }
    }
    return true;
}

} // namespace orv
