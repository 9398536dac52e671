#include "describe.h"

#include "device/catalogue.h"
#include "device/contact_id.h"
#include "device/retranslator.h"

#include <sstream>

namespace orv::cli {

namespace {

std::string YesNo(bool on) {
    return on ? "да" : "нет";
}

std::string ListName(std::span<const std::string_view> names, int index) {
    if (index >= 0 && index < static_cast<int>(names.size())) {
        return std::string(names[static_cast<std::size_t>(index)]);
    }
    return "код " + std::to_string(index);
}

std::string EventText(Byte code) {
    if (code >= 1 && code <= ContactIdTable.size()) {
        return CidShownText(ContactIdTable[code - 1]);
    }
    return "код " + std::to_string(code);
}

std::string Bits(Byte mask, std::initializer_list<std::pair<int, const char*>> names) {
    std::string text;
    for (const auto& [bit, name] : names) {
        if ((mask >> bit) & 1) {
            text += text.empty() ? "" : ", ";
            text += name;
        }
    }
    return text.empty() ? "нет" : text;
}

std::string Partitions(Byte mask, int first) {
    std::string text;
    for (int bit = first - 1; bit < 8; ++bit) {
        if ((mask >> bit) & 1) {
            text += text.empty() ? "" : ", ";
            text += std::to_string(bit + 1);
        }
    }
    return text.empty() ? "нет" : text;
}

void Relays(std::ostream& out, const TDevice& d, bool control) {
    const Byte af = d.GetParam(prmReleAlarmFire);
    out << "Реле \"Тревога\": " << ListName(RelayModeNames, af >> 4) << "\n";
    out << "Реле \"Пожар\": " << ListName(RelayModeNames, af & 0x0F) << "\n";
    if (control) {
        out << "Реле \"Управление\": " << ListName(RelayModeNames, d.GetParam(prmReleCtrlFail) >> 4) << "\n";
    }
}

void Outputs(std::ostream& out, const TDevice& d) {
    if (d.OutputCount() == 0) {
        return;
    }
    static constexpr const char* kFunctions[7] = {"Неисправность", "Тревога", "Пожар",   "Потеря БС",
                                                  "Сирена",        "Лампа",   "Внимание"};
    static constexpr const char* kOutputs6[6] = {"Реле1", "Реле2", "Реле3", "Реле4", "SND", "SVT"};
    out << "Выходы:\n";
    for (int n = 1; n <= d.OutputCount(); ++n) {
        std::string functions;
        for (int bit = 0; bit < 7; ++bit) {
            if ((d.GetOutput(n) >> bit) & 1) {
                functions += functions.empty() ? "" : ", ";
                functions += kFunctions[bit];
            }
        }
        out << "  " << kOutputs6[n - 1] << ": " << (functions.empty() ? "нет" : functions) << "\n";
    }
}

void Zones(std::ostream& out, const TDevice& d, bool partitions, bool delays) {
    out << "Шлейфы:\n";
    for (int z = 1; z <= d.ZoneCount(); ++z) {
        const Byte type = d.GetZoneType(z);
        out << "  ШС" << z << ": " << ListName(ZoneTypeNames, type);
        if (type != 0) {
            out << ", событие " << EventText(d.GetZoneCID(z));
        }
        if (partitions) {
            out << ", раздел " << d.GetZonePart(z) + 1 << ", автовосст. " << YesNo(d.GetZoneRearm(z) != 0);
            if (type == 3 || type == 8) {
                out << ", перезапрос " << YesNo(d.GetZoneFireReCheck(z) != 0);
            }
        }
        if (delays) {
            out << ", вход " << int(d.GetZoneDelay(z, false)) << " с, выход " << int(d.GetZoneDelay(z, true))
                << " с";
        }
        out << "\n";
    }
}

void Gsm(std::ostream& out, const TProgramState& s) {
    out << "GSM-ORV: номер прибора " << DeviceNumberText(s.GsmFrame) << "\n";
    out << "  Направления:\n";
    const DirectionRecords records = ReadDirectionRecords(s.GsmFrame);
    for (std::size_t i = 0; i < records.size(); ++i) {
        out << "    " << i + 1 << ": ";
        const auto& r = records[i];
        if (!r.enabled || (r.settings >> 5) == 0) {
            out << "Выкл.\n";
            continue;
        }
        out << "попыток " << ListName(AttemptNames, std::min(r.settings >> 5, 5)) << ", SIM "
            << ListName(SimNames, ((r.settings >> 3) & 3) == 3 ? 0 : (r.settings >> 3) & 3) << ", "
            << ListName(ProtocolNames, (r.settings & 7) > 3 ? 0 : r.settings & 7) << ", " << r.text << "\n";
    }
    out << "  Передавать SMS: " << YesNo(GetSmsFlag(s.GsmFrame)) << "\n";
    if (GetSmsFlag(s.GsmFrame)) {
        auto record = [&out](int n, const SmsRecord& r, const std::string& source) {
            std::array<Byte, 8> packed{};
            std::copy(r.begin() + 2, r.end(), packed.begin());
            out << "    " << n << ": " << SmsTypeName(r[0]) << ", " << source << ", "
                << UnpackPhoneBcd(packed) << "\n";
        };
        if (auto* ret = dynamic_cast<const TDV15_Ret*>(s.device.get())) {
            for (int n = 1; n <= ret->Sms().Count(); ++n) {
                const SmsRecord r = ret->Sms().Record(n);
                record(n, r, SmsSourceText(r[1]));
            }
        } else {
            int n = 0;
            for (const SmsRecord& r : ReadSmsRecords(s.SmsFrame, SmsRowCount(s.device->DevType))) {
                record(++n, r, "раздел " + std::to_string(r[1]));
            }
        }
    }
    out << "  Использовать конфигурацию GPRS: " << YesNo(GetGprsFlag(s.GsmFrame)) << "\n";
    if (GetGprsFlag(s.GsmFrame)) {
        for (int sim = 0; sim < 2; ++sim) {
            const GprsSim& g = s.Gprs.Sim(sim);
            out << "    SIM-карта №" << sim + 1 << ": APN " << g.apn << ", пользователь " << g.user
                << ", пароль " << g.password << "\n";
        }
    }
}

void DescribeOP8(std::ostream& out, const TDevOP8& d, const TProgramState& s) {
    Zones(out, d, true, true);
    out << "Зависимость охраны раздела 1 от разделов: " << Partitions(d.GetPartDep(), 2) << "\n";
    Relays(out, d, true);
    out << "Контроль цепей оповещения: "
        << Bits(d.GetParam(prmOPsCheck), {{1, "Реле 3"}, {2, "Реле 4"}, {6, "Сирена"}, {7, "Лампа"}}) << "\n";
    out << "Время работы сирены, мин: " << int(d.GetParam(prmSndWrkTime)) << "\n";
    const Byte lamp = d.GetParam(prmLampMode);
    out << "Режим работы лампы: " << ListName(LampModeNames, lamp & 0x0F) << "\n";
    out << "Светодиод считывателя Touch Memory: " << ListName(IndicatorModeNames, lamp >> 4) << "\n";
    out << "Использовать внутренний зуммер: " << YesNo(d.GetBuzzer() != 0) << "\n";
    out << "Сигналы взятия\\снятия сиреной: " << YesNo(d.GetGuardSnd()) << "\n";
    out << "Раздел для внутренних событий: " << (d.GetParam(prmSysCFG) & 7) + 1 << "\n";
    if (d.ZoneTypeCount() == 9) {
        out << "Двухпороговые шлейфы, при сработке \"Внимание\": передавать события на ПЦН "
            << YesNo(d.GetParam(prmSysCFG) & 0x20) << ", включить сирену "
            << YesNo(d.GetParam(prmSysCFG) & 0x40) << "\n";
    }
    if (d.HasArmFeedback()) {
        out << "Отображать взятие с учетом обратной связи: " << YesNo(d.GetArmFeedback() != 0) << "\n";
    }
    const Byte tx = d.GetParam(prmDevTX);
    out << "Вид передачи: " << ListName(TxTypeNames, tx) << "\n";
    if (tx == 3) {
        out << "Сетевой номер: " << int(d.GetBusID()) << "\n";
    }
    if (d.GetGsmConnected()) {
        Gsm(out, s);
        if (d.HasGsmExtras()) {
            out << "Разрешить снятие  по SMS: " << YesNo(d.GetDisarmBySms() != 0) << "\n";
            out << "Реле \"Тревога\" по СМС: " << YesNo(d.GetReleOnGsm(0)) << "\n";
            out << "Реле \"Пожар\" по СМС: " << YesNo(d.GetReleOnGsm(1)) << "\n";
        }
    }
    Outputs(out, d);
}

template <class Dev> void GsmFlags(std::ostream& out, const Dev& d, const TProgramState& s) {
    out << "GSM-ORV подключен: " << YesNo(d.GetGsmConnected()) << "\n";
    if (d.GetGsmConnected()) {
        out << "Разрешить управление по SMS: " << YesNo(d.GetGsmControl()) << "\n";
        out << "Передавать события по GSM: " << YesNo(d.GetGsmTx()) << "\n";
        Gsm(out, s);
    }
}

void DescribeOP5(std::ostream& out, const TDevOP5& d, const TProgramState& s) {
    Zones(out, d, false, false);
    out << "Использовать внутренний зуммер: " << YesNo(d.GetBuzzer() != 0) << "\n";
    out << "Отображать взятие с учетом обратной связи: " << YesNo(d.GetArmFeedback() != 0) << "\n";
    out << "Время работы сирены, мин: " << int(d.GetParam(prmSndWrkTime)) << "\n";
    const Byte tx = d.GetParam(prmDevTX);
    out << "Вид передачи: " << ListName(TxTypeNamesOP5, tx) << "\n";
    if (tx == 2) {
        out << "Сетевой номер: " << int(d.GetBusID()) << "\n";
    }
    if (d.HasGsm()) {
        GsmFlags(out, d, s);
    }
}

void DescribeCnc(std::ostream& out, const TDevCnc& d, const TProgramState& s) {
    if (auto* c8 = dynamic_cast<const TDevCnc8*>(&d)) {
        const Byte mask = c8->GetExpanders();
        out << "Расширители: "
            << Bits(mask, {{0, "1"}, {1, "2"}, {2, "3"}, {3, "4"}, {4, "5"}, {5, "6"}, {6, "7"}, {7, "БВИ"}})
            << "\n";
        out << "Разрешить сброс расширителей кнопками: " << YesNo(c8->GetBviButtons()) << "\n";
    } else if (auto* c5 = dynamic_cast<const TDevCnc5*>(&d)) {
        out << "Расширители: " << c5->ExpanderMaskText() << "\n";
        out << "Подтверждение взятия по обратной связи: " << YesNo(c5->GetArmFeedback() != 0) << "\n";
    }
    const Byte bvi = d.GetBviAlarm();
    out << "БВИ: звук при тихой тревоге " << YesNo(bvi & 1) << ", звук при \"принуждении\" " << YesNo(bvi & 2)
        << ", сброс концентратора с БВИ " << YesNo(bvi & 0x80) << "\n";
    Relays(out, d, false);
    out << "Контроль цепи реле \"пожар\": " << YesNo(d.GetParam(prmOPsCheck) & 2) << "\n";
    out << "Использовать внутренний зуммер: " << YesNo(d.GetBuzzer() != 0) << "\n";
    if (d.HasAutoReset()) {
        out << "Сброс тревог: "
            << (d.GetAutoReset() ? "автоматически через 10 минут" : "до нажатия кнопки \"сброс\"") << "\n";
    }
    out << "Терсан ППМ, TDm: " << YesNo(d.GetUseTD()) << "\n";
    GsmFlags(out, d, s);
    Outputs(out, d);
}

void DescribeKP2(std::ostream& out, const TDV6_KP2& d, const TProgramState& s) {
    Zones(out, d, false, false);
    Relays(out, d, false);
    out << "Контроль цепи реле \"пожар\": " << YesNo(d.GetParam(prmOPsCheck) & 2) << "\n";
    out << "Использовать внутренний зуммер: " << YesNo(d.GetBuzzer() != 0) << "\n";
    out << "Терсан ППМ, TDm: " << YesNo(d.GetUseTD()) << "\n";
    GsmFlags(out, d, s);
}

void DescribeRet(std::ostream& out, const TDV15_Ret& d, const TProgramState& s) {
    Zones(out, d, false, false);
    out << "Задержка, сек: вход " << int(d.GetZoneDelay(0, false)) << ", выход "
        << int(d.GetZoneDelay(0, true)) << "\n";
    out << "Блокировать сброс после тревоги: " << YesNo(d.GetAlarmLock() != 0) << "\n";
    out << "Литера приёма: " << int(d.GetLiterRX()) << "\n";
    static constexpr std::string_view kModes[4] = {"Выключено", "Mirel-410", "Mirel-420", "ТерсАн"};
    out << "Передача: режим " << kModes[d.GetTxMode()] << ", литера " << int(d.GetLiterTX())
        << ", дублировать по RS-485 " << YesNo(d.GetTx485()) << "\n";
    out << "Индикация ретрансляции: на светодиоде считывателя " << YesNo(d.GetRelayIndication(0))
        << ", на светодиодах 1-4 " << YesNo(d.GetRelayIndication(1)) << "\n";
    Relays(out, d, false);
    out << "Контроль цепи реле \"пожар\": " << YesNo(d.GetParam(prmOPsCheck) & 2) << "\n";
    out << "Использовать внутренний зуммер: " << YesNo(d.GetBuzzer() != 0) << "\n";
    auto period = [](Byte v, const char* unit) {
        return v == 0 ? std::string("Выкл.") : std::to_string(v) + unit;
    };
    out << "Контроль канала передатчиков Консьерж: " << period(d.GetKnsPeriod(), " ч") << "\n";
    out << "Контроль канала стационарных передатчиков: " << period(d.GetStationaryPeriod(), " мин") << "\n";
    out << "Задержка передачи приборов Консьерж: " << YesNo(d.GetKnsDelay() != 0) << "\n";
    out << "Активировать реле от событий на объектах: " << YesNo(d.GetObjRelay() != 0) << "\n";
    out << d.ObjectCountText() << "\n";
    static constexpr std::string_view kTypes[4] = {"Выключен", "Кнопка", "Mirel", "Консьерж"};
    for (int k = 1; k <= TDV15_Ret::kObjects; ++k) {
        const std::string number = d.ObjectNumberText(k);
        if (!number.empty()) {
            out << "  " << k << ": " << number << ", " << kTypes[d.GetObject(k)[0] & 3] << "\n";
        }
    }
    GsmFlags(out, d, s);
}

} // namespace

std::string DescribeConfiguration(const TProgramState& state) {
    std::ostringstream out;
    if (!state.device) {
        return "Прибор не выбран\n";
    }
    const TDevice& d = *state.device;
    out << "Прибор: " << DeviceName(d.DevType) << " (тип " << int(d.DevType) << ")\n";
    if (d.Version != 0) {
        out << "Версия прибора: " << int(d.Version) << "\n";
    }
    if (auto* op8 = dynamic_cast<const TDevOP8*>(&d)) {
        DescribeOP8(out, *op8, state);
    } else if (auto* ret = dynamic_cast<const TDV15_Ret*>(&d)) {
        DescribeRet(out, *ret, state);
    } else if (auto* op5 = dynamic_cast<const TDevOP5*>(&d)) {
        DescribeOP5(out, *op5, state);
    } else if (auto* cnc = dynamic_cast<const TDevCnc*>(&d)) {
        DescribeCnc(out, *cnc, state);
    } else if (auto* kp2 = dynamic_cast<const TDV6_KP2*>(&d)) {
        DescribeKP2(out, *kp2, state);
    }
    return out.str();
}

} // namespace orv::cli
