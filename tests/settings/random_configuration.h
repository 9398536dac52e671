#pragma once

// A configuration with every setting its type can list: random field values, a GSM communicator
// where the type has one, five directions of every kind, a full SMS list, GPRS settings and, for
// the retranslator, 32 objects. The GSM part lives in the models, as the dialogs leave it; a
// caller that saves or writes runs the commit step first.

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "gsm/tx_buffers.h"

#include <random>
#include <string>

namespace orv::test {

inline std::string RandomDigits(std::mt19937& random, int count) {
    std::string digits;
    for (int i = 0; i < count; ++i) {
        digits += static_cast<char>('0' + random() % 10);
    }
    return digits;
}

// fill: every payload byte this value instead of a random one.
inline TProgramState RandomConfiguration(Byte code, unsigned seed, int fill = -1) {
    std::mt19937 random(seed);
    TProgramState s;
    s.device = CreateDevice(code);
    TDevice& d = *s.device;
    for (int p = 0; p < d.L(); ++p) {
        d.SetPayload(p, static_cast<Byte>(fill >= 0 ? fill : random()));
    }
    if (IsOP8(d)) {
        d.SetParam(prmDevTX, 2);
    } else {
        d.SetGsmConnected(true);
    }
    ResetGsmFrame(s.GsmFrame);
    RefreshGsmModels(s);
    SetDeviceNumber(s.GsmFrame, static_cast<std::uint16_t>(random() % 10000));
    for (int row = 0; row < DirectionsModel::kRows; ++row) {
        if (row == 3) {
            continue; // one direction stays off
        }
        s.Directions.ChooseAttempts(row, 1 + static_cast<int>(random() % 5));
        s.Directions.ChooseSim(row, static_cast<int>(random() % 3));
        const int protocol = static_cast<int>(random() % 4);
        s.Directions.ChooseProtocol(row, protocol);
        s.Directions.SetTarget(row, protocol < 2
                                        ? "+7" + RandomDigits(random, 10)
                                        : "10.0." + std::to_string(row) + ".1:2433" + std::to_string(row));
    }

    SetSmsListOn(s, true);
    if (auto* ret = dynamic_cast<TDV15_Ret*>(&d)) {
        for (int row = 0; row < RetSmsModel::kRows; ++row) {
            s.RetSms.ChooseType(row, 1 + static_cast<int>(random() % 2));
            s.RetSms.ChooseSource(row, static_cast<int>(random() % 34));
            s.RetSms.SetPhone(row, "+7" + RandomDigits(random, 10));
        }
        for (int n = 1; n <= TDV15_Ret::kObjects; ++n) {
            ret->SetObject(n, MakeObjectRecord(1 + random() % 0x3FFFF, static_cast<Byte>(1 + random() % 3)));
        }
    } else {
        for (int row = 0; row < s.Sms.RowCount(); ++row) {
            s.Sms.ChooseType(row, 1 + static_cast<int>(random() % 2));
            if (s.Sms.GetFamily() == SmsModel::Family::EightZone) {
                s.Sms.ChoosePartition(row, static_cast<int>(random() % 8));
            } else if (s.Sms.GetFamily() == SmsModel::Family::Other) {
                s.Sms.SetPartition(row, std::to_string(random() % 65));
            }
            s.Sms.SetPhone(row, "+7" + RandomDigits(random, 10));
        }
    }

    SetGprsOn(s, true);
    for (int sim = 0; sim < GprsModel::kSims; ++sim) {
        s.Gprs.SetApn(sim, "apn" + RandomDigits(random, 4) + ".example");
        s.Gprs.SetUser(sim, "user" + RandomDigits(random, 3));
        s.Gprs.SetPassword(sim, "pw" + RandomDigits(random, 6));
    }
    return s;
}

} // namespace orv::test
