#pragma once

// The largest configuration of a type: every GSM direction on, every SMS row filled, both SIM
// cards with GPRS settings, and for the retranslator every object. `variant` changes numbers and
// texts, so two variants differ in many settings. The settings are in the models; the commit step
// (UpdateAllTXBuffers) puts them into the frames.

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "gsm/tx_buffers.h"

#include <string>

namespace orv::bench {

inline std::string Phone(int n) {
    return "+7916" + std::to_string(1000000 + n * 7919 % 9000000);
}

inline TProgramState Largest(Byte code, int variant) {
    TProgramState s;
    s.device = CreateDevice(code);
    if (IsOP8(*s.device)) {
        s.device->SetParam(prmDevTX, 2);
    } else {
        s.device->SetGsmConnected(true);
    }
    ResetGsmFrame(s.GsmFrame);
    RefreshGsmModels(s);
    SetDeviceNumber(s.GsmFrame, static_cast<std::uint16_t>(1234 + variant));
    for (int row = 0; row < DirectionsModel::kRows; ++row) {
        s.Directions.ChooseAttempts(row, 1 + (row + variant) % 5);
        s.Directions.ChooseProtocol(row, row % 4);
        s.Directions.SetTarget(row, row % 4 < 2 ? Phone(row + variant)
                                                : "10.0.0." + std::to_string(row) + ":24333");
    }
    SetSmsListOn(s, true);
    if (auto* ret = dynamic_cast<TDV15_Ret*>(s.device.get())) {
        for (int n = 1; n <= TDV15_Ret::kObjects; ++n) {
            ret->SetObject(n, MakeObjectRecord(static_cast<std::uint32_t>(0x10000 + 977 * n + variant),
                                               static_cast<Byte>(1 + n % 3)));
        }
        for (int row = 0; row < RetSmsModel::kRows; ++row) {
            s.RetSms.ChooseType(row, 1 + row % 2);
            s.RetSms.ChooseSource(row, row % 34);
            s.RetSms.SetPhone(row, Phone(row + variant));
        }
    } else {
        for (int row = 0; row < s.Sms.RowCount(); ++row) {
            s.Sms.ChooseType(row, 1 + row % 2);
            s.Sms.ChoosePartition(row, row % 8);
            s.Sms.SetPhone(row, Phone(row + variant));
        }
    }
    SetGprsOn(s, true);
    for (int sim = 0; sim < GprsModel::kSims; ++sim) {
        s.Gprs.SetApn(sim, "internet.operator" + std::to_string(sim) + ".example");
        s.Gprs.SetUser(sim, "user" + std::to_string(variant));
        s.Gprs.SetPassword(sim, "password" + std::to_string(sim));
    }
    return s;
}

} // namespace orv::bench
