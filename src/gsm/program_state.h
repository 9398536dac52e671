#pragma once

#include "device/device.h"
#include "gsm/directions.h"
#include "gsm/frame_buffer.h"
#include "gsm/gprs.h"
#include "gsm/sms.h"

#include <array>
#include <memory>

namespace orv {

// The process-wide state of the program: the current device object, the three GSM frames and
// the models the GSM page and dialogs show. The program creates one and passes it down; tests
// make their own.
struct TProgramState {
    // Replaced by a read, a device-menu choice or a file open. Shared so that a replaced
    // object lives until nothing refers to it any more.
    std::shared_ptr<TDevice> device;

    FrameBuffer GsmFrame{};
    FrameBuffer GprsFrame{};
    FrameBuffer SmsFrame{};

    // Models over the frames (and over the retranslator's T_SMS_List). The frames are what is
    // sent and saved: UpdateAllTXBuffers encodes the models into them, RefreshGsmModels
    // (gsm/tx_buffers.h) fills the models again after the frames were read or loaded.
    DirectionsModel Directions; // the directions grid, over GsmFrame
    SmsModel Sms;               // the "SMS" dialog, over SmsFrame
    RetSmsModel RetSms;         // the retranslator's T_SMS_List as "Передача SMS" last saved it
    GprsModel Gprs;             // the "Параметры GPRS" dialog, over GprsFrame
};

} // namespace orv
