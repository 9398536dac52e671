#include "transaction_steps.h"

#include "device/catalogue.h"
#include "device/retranslator.h"

#include <algorithm>

namespace orv {

bool TTransactionSteps::Exchange(std::span<const Byte> frame) {
    if (!line_.Exchange(frame)) {
        return false;
    }
    ++done_;
    line_.Progress(done_, total_);
    return true;
}

bool TTransactionSteps::ExchangeRequest(Byte subCommand, Byte page) {
    const auto request = frame::BuildReadRequest(subCommand, page);
    return Exchange(request);
}

int TTransactionSteps::WriteSteps(const TDV15_Ret* ret) const {
    int steps = 1 + (ret ? 1 : 0);
    if (device_->GetGsmConnected()) {
        steps += 1 + (state_.GsmFrame[6] != 0 ? 1 : 0);
        if (state_.GsmFrame[7] != 0) {
            if (ret) {
                FrameBuffer scratch{};
                int page = 0;
                while (page < T_SMS_List::kPages && ret->Sms().BuildPage(page, scratch.data()).more) {
                    ++page;
                }
                steps += page + 1;
            } else {
                ++steps;
            }
        }
    }
    return steps;
}

Byte TTransactionSteps::RunRead() {
    Plan(1); // the identification; what follows depends on the type and the GSM settings
    if (!ExchangeRequest(frame::subConfig)) {
        Report(rcNoLink);
        return 0;
    }
    Report(rcReplyArriving);
    const Byte type = frame::IdentifyReply(line_.Reply());
    if (type == 0) {
        Report(rcUnknownDevice);
        return 0;
    }
    std::shared_ptr<TDevice> device = DeviceSupported(type) ? CreateDevice(type) : nullptr;
    if (!device) {
        Report(rcUnsupportedDevice, type);
        return 0;
    }
    device->LoadFromReply(line_.Reply());
    device_ = device;
    state_.device = device;

    auto* ret = dynamic_cast<TDV15_Ret*>(device.get());
    Plan((ret ? 1 : 0) + (device->GetGsmConnected() ? 1 : 0));
    if (ret) {
        Report(rcReadingObjects);
        if (!ReadObjectTable(*ret)) {
            Report(rcObjectsError);
            return 0;
        }
    }
    if (device->GetGsmConnected()) {
        Report(rcReadingGsm);
        if (!ReadGsm(ret)) {
            Report(rcGsmError);
            return 0;
        }
    }
    return type;
}

bool TTransactionSteps::ReadObjectTable(TDV15_Ret& ret) {
    if (!ExchangeRequest(frame::subObjects)) {
        Report(rcReadingObjects);
        return false;
    }
    ret.LoadObjects(line_.Reply());
    return true;
}

bool TTransactionSteps::ReadOptionalBlock(Byte subCommand, FrameBuffer& target) {
    if (!ExchangeRequest(subCommand)) {
        return false;
    }
    const ReplyView reply = line_.Reply();
    if (frame::ReplyUsable(reply)) {
        std::copy_n(reply.data(), std::min(reply.size(), target.size()), target.begin());
    }
    return true;
}

bool TTransactionSteps::ReadGsm(TDV15_Ret* ret) {
    if (!ExchangeRequest(frame::subGsm)) {
        return false;
    }
    const ReplyView reply = line_.Reply();
    std::copy_n(reply.data(), std::min(reply.size(), state_.GsmFrame.size()), state_.GsmFrame.begin());
    Plan((state_.GsmFrame[6] != 0 ? 1 : 0) + (state_.GsmFrame[7] != 0 ? 1 : 0));

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

bool TTransactionSteps::ReadSmsPages(TDV15_Ret& ret) {
    bool more = false;
    int page = 0;
    do {
        if (!ExchangeRequest(frame::subSmsPage, static_cast<Byte>(page))) {
            return false;
        }
        if (frame::ReplyUsable(line_.Reply())) {
            more = ret.Sms().TakePage(page, line_.Reply()) != 0;
        }
        ++page;
        if (more && page < T_SMS_List::kPages) {
            Plan(1);
        }
    } while (more && page < T_SMS_List::kPages);
    return true;
}

bool TTransactionSteps::RunWrite() {
    device_ = state_.device;
    if (!device_) {
        // Nothing to write: the caller started a write without a device object.
        Report(rcNoLink);
        return false;
    }
    auto* ret = dynamic_cast<TDV15_Ret*>(device_.get());
    Plan(WriteSteps(ret));
    const auto frame = device_->BuildWriteFrame();
    if (!Exchange(frame)) {
        Report(rcNoLink);
        return false;
    }
    Report(rcReplyArriving);
    if (!device_->CheckWriteReply(line_.Reply())) {
        Report(rcWriteMismatch);
        return false;
    }
    if (ret) {
        Report(rcWritingObjects);
        if (!WriteObjectTable(*ret)) {
            Report(rcObjectsError);
            return false;
        }
    }
    if (device_->GetGsmConnected()) {
        Report(rcWritingGsm);
        if (!WriteGsm(ret)) {
            Report(rcGsmError);
            return false;
        }
    }
    return true;
}

bool TTransactionSteps::WriteObjectTable(TDV15_Ret& ret) {
    const auto frame = ret.BuildObjectFrame();
    return Exchange(frame) && frame::ConfirmObjectsWrite(line_.Reply(), frame);
}

// Sends a frame kept in one of the GSM buffers, with the length its byte 1 records.
bool TTransactionSteps::SendFromBuffer(const FrameBuffer& frame,
                                       bool (*confirm)(ReplyView, std::span<const Byte>)) {
    const std::size_t length = frame[1];
    // A length that no frame can have would send stale bytes or read past the buffer.
    if (frame[0] != frame::kStart || length < 5 || length > frame::kMaxFrame) {
        return false;
    }
    const std::span<const Byte> sent(frame.data(), length);
    return Exchange(sent) && confirm(line_.Reply(), sent);
}

bool TTransactionSteps::WriteGsm(TDV15_Ret* ret) {
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

bool TTransactionSteps::WriteSmsPages(TDV15_Ret& ret) {
    for (int page = 0; page < T_SMS_List::kPages; ++page) {
        const auto built = ret.Sms().BuildPage(page, state_.SmsFrame.data());
        const std::span<const Byte> frame(state_.SmsFrame.data(), built.length);
        if (!Exchange(frame) || !frame::ConfirmSmsPageWrite(line_.Reply(), frame)) {
            return false;
        }
        if (!built.more) {
            break;
        }
    }
    return true;
}

} // namespace orv
