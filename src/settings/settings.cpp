#include "settings.h"

#include "device/catalogue.h"
#include "device/contact_id.h"
#include "device/retranslator.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

namespace orv {

namespace {

// Page and dialog captions.
constexpr std::string_view kPageZones = "Шлейфы";
constexpr std::string_view kPagePeriph = "Периферия";
constexpr std::string_view kPageOP5 = "Основные настройки";
constexpr std::string_view kPageKP2 = "КП2";
constexpr std::string_view kPageTx = "Передача";
constexpr std::string_view kPageCnc = "Концентратор";
constexpr std::string_view kPageRet = "RET_32";
constexpr std::string_view kPageOutputs = "Выходы";
constexpr std::string_view kDialogObjects = "Объекты";
constexpr std::string_view kDialogSms = "SMS";
constexpr std::string_view kDialogRetSms = "Передача SMS";
constexpr std::string_view kDialogGprs = "Параметры GPRS";

constexpr std::string_view kRelayGroup = "Режим работы реле ";
constexpr std::string_view kBviGroup = "БВИ: ";

constexpr std::array<std::string_view, 7> kOutputFunctions = {
    "Неисправность", "Тревога", "Пожар", "Потеря БС", "Сирена", "Лампа", "Внимание"};
constexpr std::array<std::string_view, 6> kOutputNames = {"Реле1", "Реле2", "Реле3", "Реле4", "SND", "SVT"};
constexpr std::array<std::string_view, 4> kRetTxModes = {"Выключено", "Mirel-410", "Mirel-420", "ТерсАн"};
constexpr std::array<std::string_view, 4> kObjectTypes = {"Выключен", "Кнопка", "Mirel", "Консьерж"};

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

// The checked members of a group of check boxes, in the page's order; "нет" when none is.
std::string Members(Byte mask, std::initializer_list<std::pair<int, std::string_view>> boxes) {
    std::string text;
    for (const auto& [bit, caption] : boxes) {
        if ((mask >> bit) & 1) {
            text += text.empty() ? "" : ", ";
            text += caption;
        }
    }
    return text.empty() ? "нет" : text;
}

bool Bit(Byte value, int bit) {
    return (value >> bit) & 1;
}

class Builder {
public:
    explicit Builder(SettingsList& list) : list_(list) { list_.items.reserve(320); }

    void Page(std::string_view page) { page_ = page; }

    void Add(std::string key, std::string label, std::string value, long long raw) {
        Push(std::move(key), std::move(label), std::move(value), std::to_string(raw), true);
    }
    void Flag(std::string key, std::string label, bool on, long long raw) {
        Add(std::move(key), std::move(label), YesNo(on), raw);
    }
    // A whole-byte flag: any non-zero byte is on.
    void ByteFlag(std::string key, std::string label, Byte raw) {
        Add(std::move(key), std::move(label), YesNo(raw != 0), raw);
    }
    void Choice(std::string key, std::string label, std::span<const std::string_view> names, int index) {
        Add(std::move(key), std::move(label), ListName(names, index), index);
    }
    void Number(std::string key, std::string label, long long value) {
        Add(std::move(key), std::move(label), std::to_string(value), value);
    }

    // One cell of a table: key table.n.field, label "row: column".
    struct Row {
        std::string table;
        int n;
        std::string caption;
    };
    void Cell(const Row& row, std::string_view field, std::string_view column, std::string value,
              std::string raw, bool rawIsNumber) {
        Push(row.table + "." + std::to_string(row.n) + "." + std::string(field),
             row.caption + ": " + std::string(column), std::move(value), std::move(raw), rawIsNumber);
        Setting& s = list_.items.back();
        s.table = row.table;
        s.row = row.caption;
        s.column = column;
    }
    void Cell(const Row& row, std::string_view field, std::string_view column, std::string value,
              long long raw) {
        Cell(row, field, column, std::move(value), std::to_string(raw), true);
    }
    void TextCell(const Row& row, std::string_view field, std::string_view column, const std::string& text) {
        Cell(row, field, column, text, text, false);
    }

private:
    void Push(std::string key, std::string label, std::string value, std::string raw, bool rawIsNumber) {
        Setting s;
        s.page = page_;
        s.key = std::move(key);
        s.label = std::move(label);
        s.value = std::move(value);
        s.raw = std::move(raw);
        s.rawIsNumber = rawIsNumber;
        list_.items.push_back(std::move(s));
    }

    SettingsList& list_;
    std::string page_;
};

Builder::Row ZoneRow(int zone) {
    return {"zones", zone, "ШС" + std::to_string(zone)};
}

void ZoneTypeAndEvent(Builder& b, const TDevice& d, int zone, int typeCount) {
    const auto row = ZoneRow(zone);
    const Byte type = d.GetZoneType(zone);
    const auto names =
        std::span<const std::string_view>(ZoneTypeNames).first(static_cast<std::size_t>(typeCount));
    b.Cell(row, "type", "Тип шлейфа", ListName(names, type), type);
    b.Cell(row, "event", "Код события", EventText(d.GetZoneCID(zone)), d.GetZoneCID(zone));
}

// Relays, the fire relay's circuit check and the buzzer, as the control-centre, keypad and
// retranslator pages show them.
void RelayBlock(Builder& b, const TDevice& d) {
    const Byte relays = d.GetParam(prmReleAlarmFire);
    b.Choice("relays.alarm", std::string(kRelayGroup) + "\"Тревога\"", RelayModeNames, relays >> 4);
    b.Choice("relays.fire", std::string(kRelayGroup) + "\"Пожар\"", RelayModeNames, relays & 0x0F);
    const bool check = Bit(d.GetParam(prmOPsCheck), 1);
    b.Flag("relays.fire_line_check", "Контроль цепи реле \"пожар\"", check, check);
    b.ByteFlag("buzzer", "Использовать внутренний зуммер", d.GetBuzzer());
}

void Outputs(Builder& b, const TDevice& d) {
    if (d.OutputCount() == 0) {
        return;
    }
    b.Page(kPageOutputs);
    const int functions = d.OutputCount() == 6 ? 7 : 4;
    const Byte named = static_cast<Byte>((1u << functions) - 1);
    for (int n = 1; n <= d.OutputCount(); ++n) {
        const Byte value = static_cast<Byte>(d.GetOutput(n) & named);
        std::string text;
        for (int bit = 0; bit < functions; ++bit) {
            if (Bit(value, bit)) {
                text += text.empty() ? "" : ", ";
                text += kOutputFunctions[static_cast<std::size_t>(bit)];
            }
        }
        const Builder::Row row{"outputs", n, std::string(kOutputNames[static_cast<std::size_t>(n - 1)])};
        b.Cell(row, "functions", "Функции", text.empty() ? "нет" : text, value);
    }
}

// A typed-in cell, as it will be stored: a number when the text is one ("007" stores 7).
void NumberOrTextCell(Builder& b, const Builder::Row& row, std::string_view field, std::string_view column,
                      const std::string& text) {
    if (!text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos) {
        b.Cell(row, field, column, text, std::stol(text));
    } else {
        b.Cell(row, field, column, text, text, false);
    }
}

// A directions grid cell's stored index: its position in the list, or the text when it is none.
void ListCell(Builder& b, const Builder::Row& row, std::string_view field, std::string_view column,
              std::span<const std::string_view> names, const std::string& text) {
    const int index = IndexOfText(names, text);
    if (index >= 0) {
        b.Cell(row, field, column, text, index);
    } else {
        b.Cell(row, field, column, text, text, false);
    }
}

// The GSM communicator's settings on the transmission page and in its dialogs; only while it
// is connected.
void Gsm(Builder& b, const TProgramState& s, bool retranslator) {
    b.Page(kPageTx);
    b.Add("gsm.device_number", "Номер прибора", DeviceNumberText(s.GsmFrame), GetDeviceNumber(s.GsmFrame));
    // The directions as a save or a write stores them (a telephone number without its
    // punctuation, a row without a target off), so a file saved a moment ago compares equal.
    FrameBuffer frame = s.GsmFrame;
    EncodeDirections(s.Directions, frame);
    DirectionsModel stored;
    DecodeDirections(frame, stored);
    for (int r = 0; r < DirectionsModel::kRows; ++r) {
        const Builder::Row row{"gsm.directions", r + 1, "Направление " + std::to_string(r + 1)};
        ListCell(b, row, "attempts", "Попытки", AttemptNames, stored.Cell(r, dcAttempts));
        ListCell(b, row, "sim", "SIM", SimNames, stored.Cell(r, dcSim));
        ListCell(b, row, "protocol", "Протокол", ProtocolNames, stored.Cell(r, dcProtocol));
        b.TextCell(row, "number", "Телефон\\Хост", stored.Cell(r, dcTarget));
    }
    const Byte smsFlag = s.GsmFrame[gsm::kSmsFlag];
    const Byte gprsFlag = s.GsmFrame[gsm::kGprsFlag];
    b.ByteFlag("gsm.sms_on", "Передавать SMS", smsFlag);
    b.ByteFlag("gsm.gprs_on", "Использовать конфигурацию GPRS", gprsFlag);
    if (smsFlag != 0) {
        // The SMS lists as stored too: rows without a number left out, the rest packed together,
        // numbers as digits.
        if (const auto* ret = retranslator ? dynamic_cast<const TDV15_Ret*>(s.device.get()) : nullptr) {
            T_SMS_List list = ret->Sms();
            RetSmsModel edited = s.RetSms;
            edited.UpdateDevice(list);
            RetSmsModel stored;
            stored.Fill(list);
            b.Page(kDialogRetSms);
            for (int r = 0; r < RetSmsModel::kRows; ++r) {
                const Builder::Row row{"gsm.sms", r + 1, "SMS " + std::to_string(r + 1)};
                b.Cell(row, "type", "Передача", stored.Cell(r, sms::kColType), stored.Row(r).type);
                const std::string source = stored.Cell(r, sms::kColPartition);
                b.Cell(row, "source", "Источн.", source, SmsSourceValue(source));
                b.TextCell(row, "phone", "Телефон", stored.Cell(r, sms::kColPhone));
            }
        } else {
            SmsModel stored = s.Sms;
            if (s.device) {
                stored.Setup(*s.device);
            }
            FrameBuffer smsFrame = s.SmsFrame;
            // A list the commit step refuses is listed as typed: it cannot be stored.
            const SmsModel& shown = stored.Encode(smsFrame) ? s.Sms : stored;
            if (&shown == &stored) {
                stored.RefreshControls(smsFrame);
            }
            b.Page(kDialogSms);
            for (int r = 0; r < shown.RowCount(); ++r) {
                const Builder::Row row{"gsm.sms", r + 1, "SMS " + std::to_string(r + 1)};
                b.Cell(row, "type", "Передача SMS", shown.Cell(r, sms::kColType), shown.Row(r).type);
                NumberOrTextCell(b, row, "partition", "Раздел", shown.Cell(r, sms::kColPartition));
                b.TextCell(row, "phone", "Телефон", shown.Cell(r, sms::kColPhone));
            }
        }
    }
    if (gprsFlag != 0) {
        b.Page(kDialogGprs);
        for (int sim = 0; sim < GprsModel::kSims; ++sim) {
            const GprsSim& g = s.Gprs.Sim(sim);
            const Builder::Row row{"gsm.gprs", sim + 1, "SIM-карта №" + std::to_string(sim + 1)};
            b.TextCell(row, "apn", "APN", g.apn);
            b.TextCell(row, "user", "Пользователь", g.user);
            b.TextCell(row, "password", "Пароль", g.password);
        }
    }
}

// "GSM-ORV подключен" with the two GSM flags of the families that store them as bytes or bits.
void GsmFlags(Builder& b, Byte connected, bool connectedOn, long long control, bool controlOn, long long tx,
              bool txOn) {
    b.Flag("gsm.connected", "GSM-ORV подключен", connectedOn, connected);
    b.Flag("gsm.sms_control", "Разрешить управление по SMS", controlOn, control);
    b.Flag("gsm.events", "Передавать события по GSM", txOn, tx);
}

void ListOP8(Builder& b, const TDevOP8& d, const TProgramState& s, const ZonePageView* view) {
    const Op8Layout& layout = d.Layout();
    const bool narrow = d.ZoneTypeCount() == 8;
    b.Page(kPageZones);
    for (int zone = 1; zone <= 8; ++zone) {
        const auto row = ZoneRow(zone);
        ZoneTypeAndEvent(b, d, zone, d.ZoneTypeCount());
        b.Cell(row, "entry_delay", "Вход, сек", std::to_string(d.GetZoneDelay(zone, false)),
               d.GetZoneDelay(zone, false));
        b.Cell(row, "exit_delay", "Выход, сек", std::to_string(d.GetZoneDelay(zone, true)),
               d.GetZoneDelay(zone, true));
        const Byte part = d.GetZonePart(zone);
        b.Cell(row, "partition", "Раздел", std::to_string(part + 1), part);
        const Byte rearmBit = narrow ? 0x40 : static_cast<Byte>(1u << (zone - 1));
        const Byte rearm = view ? (view->Zone(zone).rearm ? rearmBit : 0) : d.GetZoneRearm(zone);
        const Byte recheck = view ? (view->Zone(zone).fireReQuery ? 0x80 : 0) : d.GetZoneFireReCheck(zone);
        b.Cell(row, "rearm", "Авто восст.", YesNo(rearm != 0), rearm);
        b.Cell(row, "fire_recheck", "Перезапрос", YesNo(recheck != 0), recheck);
    }
    Byte dependency = static_cast<Byte>(d.GetPartDep() & 0xFE);
    if (view) {
        dependency = 0;
        for (int n = 2; n <= 8; ++n) {
            dependency |= view->PartDep(n) ? static_cast<Byte>(1u << (n - 1)) : Byte{0};
        }
    }
    b.Add("partition_dependency", "Зависимость охраны раздела 1",
          Members(dependency, {{1, "2"}, {2, "3"}, {3, "4"}, {4, "5"}, {5, "6"}, {6, "7"}, {7, "8"}}),
          dependency);

    b.Page(kPagePeriph);
    const Byte relays = d.GetParam(prmReleAlarmFire);
    b.Choice("relays.alarm", std::string(kRelayGroup) + "\"Тревога\"", RelayModeNames, relays >> 4);
    if (d.HasGsmExtras()) {
        b.Flag("relays.alarm_by_sms", "Реле \"Тревога\" по СМС", d.GetReleOnGsm(0), d.GetReleOnGsm(0));
    }
    b.Choice("relays.fire", std::string(kRelayGroup) + "\"Пожар\"", RelayModeNames, relays & 0x0F);
    if (d.HasGsmExtras()) {
        b.Flag("relays.fire_by_sms", "Реле \"Пожар\" по СМС", d.GetReleOnGsm(1), d.GetReleOnGsm(1));
    }
    b.Choice("relays.control", std::string(kRelayGroup) + "\"Управление\"", RelayModeNames,
             d.GetParam(prmReleCtrlFail) >> 4);
    const Byte lines = static_cast<Byte>(d.GetParam(prmOPsCheck) & 0xC6);
    b.Add("line_check", "Контроль цепей оповещения",
          Members(lines, {{6, "Сирена"}, {7, "Лампа"}, {2, "Реле 4"}, {1, "Реле 3"}}), lines);
    b.Number("siren_time", "Время работы сирены, мин", d.GetParam(prmSndWrkTime));
    const Byte lamp = d.GetParam(prmLampMode);
    b.Choice("lamp_mode", "Режим работы лампы", LampModeNames, lamp & 0x0F);
    const Byte sys = d.GetParam(prmSysCFG);
    b.Add("system_partition", "Раздел для внутренних событий", std::to_string((sys & 7) + 1), sys & 7);
    b.Choice("reader_led", "Светодиод считывателя Touch Memory", IndicatorModeNames, lamp >> 4);
    if (d.HasArmFeedback()) {
        b.Flag("arm_feedback",
               "Светодиод считывателя Touch Memory: Отображать взятие с учетом обратной связи",
               d.GetArmFeedback() != 0, d.GetArmFeedback());
    }
    b.Flag("buzzer", "Использовать внутренний зуммер", d.GetBuzzer() != 0, d.GetBuzzer());
    if (layout.guardSnd < 0) {
        b.Flag("guard_siren", "Сигналы взятия\\снятия сиреной", d.GetGuardSnd(), d.GetGuardSnd());
    } else {
        b.ByteFlag("guard_siren", "Сигналы взятия\\снятия сиреной", d.Payload(layout.guardSnd));
    }
    if (!narrow) {
        const std::string group = "Двухпороговые шлейфы, при сработке \"Внимание\": ";
        b.Flag("fire2.send_events", group + "Передавать события на ПЦН", Bit(sys, 5), Bit(sys, 5));
        b.Flag("fire2.siren", group + "включить сирену", Bit(sys, 6), Bit(sys, 6));
    }

    b.Page(kPageTx);
    const Byte tx = d.GetParam(prmDevTX);
    const auto kinds = std::span<const std::string_view>(TxTypeNames).first(d.DevType == 1 ? 3 : 4);
    b.Choice("transmitter", "Вид передачи", kinds, tx);
    if (layout.busId >= 0) {
        b.Number("bus_number", "Сетевой номер", d.GetBusID());
    }
    if (d.HasGsmExtras()) {
        b.ByteFlag("gsm.disarm_by_sms", "Разрешить снятие  по SMS", d.GetDisarmBySms());
    }
    if (d.GetGsmConnected()) {
        Gsm(b, s, false);
    }
    Outputs(b, d);
}

void ListOP5(Builder& b, const TDevOP5& d, const TProgramState& s) {
    const Op5Layout& layout = d.Layout();
    b.Page(kPageOP5);
    b.Flag("buzzer", "Использовать внутренний зуммер", d.GetBuzzer() != 0, d.GetBuzzer());
    b.ByteFlag("arm_feedback", "Отображать взятие с учетом обратной связи", d.GetArmFeedback());
    // Not offered by the page, yet stored in the panel and written with the rest.
    b.Number("siren_time", "Время работы сирены, мин", d.GetParam(prmSndWrkTime));
    for (int zone = 1; zone <= d.ZoneCount(); ++zone) {
        ZoneTypeAndEvent(b, d, zone, static_cast<int>(ZoneTypeNames.size()));
    }

    b.Page(kPageTx);
    b.Choice("transmitter", "Вид передачи", TxTypeNamesOP5, d.GetParam(prmDevTX));
    b.Number("bus_number", "Сетевой номер", d.GetBusID());
    if (d.HasGsm()) {
        const Byte connected = d.Payload(layout.gsmConnected);
        const Byte control = d.Payload(layout.gsmControl);
        const Byte tx = d.Payload(layout.gsmTx);
        GsmFlags(b, connected, connected != 0, control, control != 0, tx, tx != 0);
        if (d.GetGsmConnected()) {
            Gsm(b, s, false);
        }
    }
}

void ListKP2(Builder& b, const TDV6_KP2& d, const TProgramState& s) {
    b.Page(kPageKP2);
    for (int zone = 1; zone <= d.ZoneCount(); ++zone) {
        ZoneTypeAndEvent(b, d, zone, 5);
    }
    RelayBlock(b, d);

    b.Page(kPageTx);
    b.ByteFlag("use_td", "Терсан ППМ, TDm", d.Payload(8));
    GsmFlags(b, d.Payload(9), d.Payload(9) != 0, d.Payload(10), d.Payload(10) != 0, d.Payload(11),
             d.Payload(11) != 0);
    if (d.GetGsmConnected()) {
        Gsm(b, s, false);
    }
}

void ListCnc(Builder& b, const TDevCnc& d, const TProgramState& s) {
    const CncLayout& layout = d.CLayout();
    const Byte bvi = d.GetBviAlarm();
    b.Page(kPageCnc);
    if (auto* c8 = dynamic_cast<const TDevCnc8*>(&d)) {
        const Byte mask = c8->GetExpanders();
        b.Add("expanders", "Расширители",
              MaskToText({static_cast<Byte>(mask & 0x7F), 0, 0, 0, Byte(mask >> 7)}), mask);
        b.Flag("bvi.silent_alarm", std::string(kBviGroup) + "Вкл. звук при тихой тревоге на расширителях",
               Bit(bvi, 0), Bit(bvi, 0));
        b.Flag("bvi.duress", std::string(kBviGroup) + "Вкл. звук при \"принуждении\" на расширителях",
               Bit(bvi, 1), Bit(bvi, 1));
        b.Flag("bvi.reset", std::string(kBviGroup) + "Сброс концентратора с БВИ (версия > 2)", Bit(bvi, 7),
               Bit(bvi, 7));
        b.ByteFlag("bvi.buttons", std::string(kBviGroup) + "Разрешить сброс расширителей кнопками",
                   d.Payload(layout.bviButtons));
    } else if (auto* c5 = dynamic_cast<const TDevCnc5*>(&d)) {
        const ExpanderMask mask = c5->GetExpanderMask();
        long long raw = 0;
        for (std::size_t i = 0; i < mask.size(); ++i) {
            raw |= static_cast<long long>(i == 4 ? mask[i] & 1 : mask[i]) << (8 * i);
        }
        b.Add("expanders", "Расширители", c5->ExpanderMaskText(), raw);
        b.Flag("bvi.duress", std::string(kBviGroup) + "Вкл. звук при \"принуждении\" на расширителях",
               Bit(bvi, 1), Bit(bvi, 1));
        b.Flag("bvi.reset", std::string(kBviGroup) + "Сброс концентратора с БВИ", Bit(bvi, 7), Bit(bvi, 7));
    }
    RelayBlock(b, d);
    if (layout.armFeedback >= 0) {
        b.ByteFlag("arm_feedback", "Подтверждение взятия по обратной связи", d.GetArmFeedback());
    }
    if (d.HasAutoReset()) {
        const Byte reset = d.GetAutoReset();
        b.Add("alarm_reset", "Сброс тревог",
              reset != 0 ? "автоматически через 10 минут" : "до нажатия кнопки \"сброс\"", reset);
    }

    b.Page(kPageTx);
    b.ByteFlag("use_td", "Терсан ППМ, TDm", d.Payload(layout.useTD));
    const Byte connected = d.Payload(layout.gsmConnected);
    const Byte control = d.Payload(layout.gsmControl);
    const Byte tx = d.Payload(layout.gsmTx);
    GsmFlags(b, connected, connected != 0, control, control != 0, tx, tx != 0);
    if (d.GetGsmConnected()) {
        Gsm(b, s, false);
    }
    Outputs(b, d);
}

void ListRet(Builder& b, const TDV15_Ret& d, const TProgramState& s) {
    b.Page(kPageRet);
    b.Number("rx_liter", "Литера приёма", d.GetLiterRX());
    b.Flag("relay_indication.reader", "Индикация ретрансляции: На светодиоде считывателя",
           d.GetRelayIndication(0), d.GetRelayIndication(0));
    b.Flag("relay_indication.leds", "Индикация ретрансляции: На светодиодах 1-4", d.GetRelayIndication(1),
           d.GetRelayIndication(1));
    RelayBlock(b, d);
    b.Choice("tx.mode", "Передача: Режим", kRetTxModes, d.GetTxMode());
    b.Number("tx.liter", "Передача: Литера", d.GetLiterTX());
    b.Flag("tx.rs485", "Передача: Дублировать по RS-485", d.GetTx485(), d.GetTx485());
    const auto period = [](Byte v) { return v == 0 ? std::string("Выкл.") : std::to_string(v); };
    b.Add("concierge_period", "Контроль канала передатчиков Консьерж, часов.", period(d.GetKnsPeriod()),
          d.GetKnsPeriod());
    b.Add("stationary_period", "Контроль канала  стационарных передатчиков, мин",
          period(d.GetStationaryPeriod()), d.GetStationaryPeriod());
    b.ByteFlag("concierge_delay", "Задержка передачи приборов Консьерж", d.GetKnsDelay());
    b.ByteFlag("object_relays", "Активировать реле от событий на объектах", d.GetObjRelay());

    b.Page(kDialogObjects);
    for (int n = 1; n <= TDV15_Ret::kObjects; ++n) {
        const ObjectRecord record = d.GetObject(n);
        const Builder::Row row{"objects", n, "Объект " + std::to_string(n)};
        b.Cell(row, "number", "Эф.номер", d.ObjectNumberText(n), ObjectNumber(record));
        b.Cell(row, "type", "Тип", std::string(kObjectTypes[record[0] & 3]), record[0] & 3);
    }

    b.Page(kPageZones);
    for (int zone = 1; zone <= d.ZoneCount(); ++zone) {
        ZoneTypeAndEvent(b, d, zone, 8);
    }
    b.Number("entry_delay", "Задержка, сек: вход", d.GetZoneDelay(0, false));
    b.Number("exit_delay", "Задержка, сек: выход", d.GetZoneDelay(0, true));
    b.ByteFlag("alarm_lock", "Блокировать сброс после тревоги", d.GetAlarmLock());

    b.Page(kPageTx);
    const Byte gsm = d.Payload(12);
    GsmFlags(b, gsm & 1, Bit(gsm, 0), Bit(gsm, 2), Bit(gsm, 2), Bit(gsm, 1), Bit(gsm, 1));
    if (d.GetGsmConnected()) {
        Gsm(b, s, true);
    }
}

} // namespace

const Setting* SettingsList::Find(std::string_view key) const {
    for (const Setting& s : items) {
        if (s.key == key) {
            return &s;
        }
    }
    return nullptr;
}

SettingsList ListSettings(const TProgramState& state, const ZonePageView* zonePage) {
    SettingsList list;
    if (!state.device) {
        return list;
    }
    const TDevice& d = *state.device;
    list.devType = d.DevType;
    list.deviceName = DeviceName(d.DevType);
    Builder b(list);
    if (auto* op8 = dynamic_cast<const TDevOP8*>(&d)) {
        ListOP8(b, *op8, state, zonePage);
    } else if (auto* ret = dynamic_cast<const TDV15_Ret*>(&d)) {
        ListRet(b, *ret, state);
    } else if (auto* op5 = dynamic_cast<const TDevOP5*>(&d)) {
        ListOP5(b, *op5, state);
    } else if (auto* cnc = dynamic_cast<const TDevCnc*>(&d)) {
        ListCnc(b, *cnc, state);
    } else if (auto* kp2 = dynamic_cast<const TDV6_KP2*>(&d)) {
        ListKP2(b, *kp2, state);
    }
    return list;
}

// ---------------------------------------------------------------------------------------------
// Compare

namespace {

SettingDiff MakeDiff(const Setting* a, const Setting* b) {
    const Setting& any = a ? *a : *b;
    SettingDiff diff{any.page, any.key, any.label, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
    if (a) {
        diff.a = a->value;
        diff.inA = *a;
    }
    if (b) {
        diff.b = b->value;
        diff.inB = *b;
    }
    // Equal texts over different stored values would read as no difference at all.
    if (a && b && a->value == b->value) {
        *diff.a += " (" + a->raw + ")";
        *diff.b += " (" + b->raw + ")";
    }
    return diff;
}

} // namespace

Comparison Compare(const SettingsList& a, const SettingsList& b) {
    Comparison c;
    c.typeA = a.devType;
    c.typeB = b.devType;
    c.deviceA = a.deviceName;
    c.deviceB = b.deviceName;
    const bool sameType = c.SameType();
    std::vector<bool> seen(b.items.size(), false);
    // Lists of one type mostly hold the same keys in the same order: look up only what is not
    // at its own index.
    std::unordered_map<std::string_view, std::size_t> index;
    const auto find = [&](std::size_t i, const std::string& key) -> std::optional<std::size_t> {
        if (i < b.items.size() && b.items[i].key == key) {
            return i;
        }
        if (index.empty()) {
            index.reserve(b.items.size());
            for (std::size_t j = 0; j < b.items.size(); ++j) {
                index.emplace(b.items[j].key, j);
            }
        }
        const auto it = index.find(key);
        return it == index.end() ? std::nullopt : std::optional<std::size_t>(it->second);
    };
    for (std::size_t i = 0; i < a.items.size(); ++i) {
        const Setting& sa = a.items[i];
        const auto j = find(i, sa.key);
        if (!j) {
            if (sameType) {
                c.diffs.push_back(MakeDiff(&sa, nullptr));
            }
            continue;
        }
        seen[*j] = true;
        if (!sa.SameValue(b.items[*j])) {
            c.diffs.push_back(MakeDiff(&sa, &b.items[*j]));
        }
    }
    if (sameType) {
        for (std::size_t j = 0; j < b.items.size(); ++j) {
            if (!seen[j]) {
                c.diffs.push_back(MakeDiff(nullptr, &b.items[j]));
            }
        }
    }
    return c;
}

// ---------------------------------------------------------------------------------------------
// JSON

namespace {

// Length of the well-formed UTF-8 sequence at text[i], 0 when it is not one.
std::size_t Utf8Sequence(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    std::size_t length = 0;
    unsigned min = 0;
    unsigned code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        min = 0x80;
        code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        min = 0x800;
        code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        min = 0x10000;
        code = c & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (byte(i + k) & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return length;
}

// A JSON string; malformed UTF-8 (a file may hold any bytes) becomes U+FFFD, byte by byte.
void JsonString(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    out += "\\u00";
                    out += kHex[c >> 4];
                    out += kHex[c & 0x0F];
                } else {
                    out += static_cast<char>(c);
                }
            }
            ++i;
            continue;
        }
        const std::size_t length = Utf8Sequence(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        out.append(text.substr(i, length));
        i += length;
    }
    out += '"';
}

void JsonRaw(std::string& out, const Setting& s) {
    if (s.rawIsNumber) {
        out += s.raw;
    } else {
        JsonString(out, s.raw);
    }
}

void JsonField(std::string& out, std::string_view name, std::string_view text) {
    JsonString(out, name);
    out += ": ";
    JsonString(out, text);
}

} // namespace

std::string ToJson(const SettingsList& list) {
    std::string out;
    out.reserve(160 * list.items.size() + 100);
    out += "{\n  \"type\": " + std::to_string(list.devType) + ",\n  ";
    JsonField(out, "device", list.deviceName);
    out += ",\n  \"settings\": [";
    for (std::size_t i = 0; i < list.items.size(); ++i) {
        const Setting& s = list.items[i];
        out += i == 0 ? "\n    {" : ",\n    {";
        JsonField(out, "page", s.page);
        out += ", ";
        JsonField(out, "key", s.key);
        out += ", ";
        JsonField(out, "label", s.label);
        out += ", ";
        JsonField(out, "value", s.value);
        out += ", \"raw\": ";
        JsonRaw(out, s);
        out += ", ";
        JsonField(out, "table", s.table);
        out += ", ";
        JsonField(out, "row", s.row);
        out += ", ";
        JsonField(out, "column", s.column);
        out += "}";
    }
    out += list.items.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

std::string ToJson(const Comparison& c) {
    std::string out;
    out += "{\n  \"equal\": ";
    out += c.Equal() ? "true" : "false";
    out += ",\n  \"same_type\": ";
    out += c.SameType() ? "true" : "false";
    out += ",\n  \"type_a\": " + std::to_string(c.typeA) + ",\n  ";
    JsonField(out, "device_a", c.deviceA);
    out += ",\n  \"type_b\": " + std::to_string(c.typeB) + ",\n  ";
    JsonField(out, "device_b", c.deviceB);
    out += ",\n  \"differences\": [";
    for (std::size_t i = 0; i < c.diffs.size(); ++i) {
        const SettingDiff& d = c.diffs[i];
        out += i == 0 ? "\n    {" : ",\n    {";
        JsonField(out, "page", d.page);
        out += ", ";
        JsonField(out, "key", d.key);
        out += ", ";
        JsonField(out, "label", d.label);
        // The plain shown values: the stored ones travel beside them.
        for (const auto& [name, side] : {std::pair{"a", &d.inA}, std::pair{"b", &d.inB}}) {
            out += ", ";
            JsonString(out, name);
            out += ": ";
            if (*side) {
                JsonString(out, (*side)->value);
            } else {
                out += "null";
            }
        }
        for (const auto& [name, side] : {std::pair{"raw_a", &d.inA}, std::pair{"raw_b", &d.inB}}) {
            out += ", ";
            JsonString(out, name);
            out += ": ";
            if (*side) {
                JsonRaw(out, **side);
            } else {
                out += "null";
            }
        }
        out += "}";
    }
    out += c.diffs.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

// ---------------------------------------------------------------------------------------------
// Text

namespace {

std::string Shown(std::string_view value) {
    return value.empty() ? std::string(kNoValue) : EscapeControls(value);
}

} // namespace

std::string DeviceTitle(Byte type, std::string_view name) {
    if (type == 0) {
        return "нет прибора";
    }
    return std::string(name) + " (тип " + std::to_string(type) + ")";
}

std::string ShownSide(const std::optional<std::string>& value) {
    if (!value) {
        return std::string(kAbsent);
    }
    return value->empty() ? std::string(kNoValue) : *value;
}

std::vector<PageDiffs> GroupByPage(const Comparison& comparison) {
    std::vector<PageDiffs> groups;
    for (const SettingDiff& diff : comparison.diffs) {
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const PageDiffs& g) { return g.page == diff.page; });
        if (group == groups.end()) {
            groups.push_back({diff.page, {}});
            group = std::prev(groups.end());
        }
        group->diffs.push_back(&diff);
    }
    return groups;
}

std::string EscapeControls(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    const auto escaped = [&](const char* prefix, unsigned char c) {
        out += prefix;
        out += kHex[c >> 4];
        out += kHex[c & 0x0F];
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == '\t') {
                out += "\\t";
            } else if (c == '\n') {
                out += "\\n";
            } else if (c == '\r') {
                out += "\\r";
            } else if (c < 0x20 || c == 0x7F) {
                escaped("\\x", c);
            } else {
                out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        const std::size_t length = Utf8Sequence(text, i);
        if (length == 0) {
            // Not a character: a terminal of 8-bit controls could take the byte for one.
            escaped("\\x", c);
            ++i;
        } else if (length == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            escaped("\\u00", static_cast<unsigned char>(text[i + 1])); // U+0080 to U+009F
            i += 2;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::string ToText(const SettingsList& list) {
    if (list.devType == 0) {
        return "Прибор не выбран\n";
    }
    std::string out = "Прибор: " + EscapeControls(DeviceTitle(list.devType, list.deviceName)) + "\n";
    std::string page;
    for (std::size_t i = 0; i < list.items.size();) {
        const Setting& s = list.items[i];
        if (i == 0 || s.page != page) {
            page = s.page;
            out += "\n" + EscapeControls(page) + "\n";
        }
        if (s.table.empty()) {
            out += "  " + EscapeControls(s.label) + ": " + Shown(s.value) + "\n";
            ++i;
            continue;
        }
        // A table's row on one line.
        out += "  " + EscapeControls(s.row) + ": ";
        std::size_t j = i;
        for (; j < list.items.size() && list.items[j].table == s.table && list.items[j].row == s.row &&
               list.items[j].page == page;
             ++j) {
            out += (j == i ? "" : "; ") + EscapeControls(list.items[j].column) + ": " +
                   Shown(list.items[j].value);
        }
        out += "\n";
        i = j;
    }
    return out;
}

std::string ToText(const Comparison& c) {
    std::string out;
    if (!c.SameType()) {
        out += "Разные типы приборов: " + EscapeControls(DeviceTitle(c.typeA, c.deviceA)) + " и " +
               EscapeControls(DeviceTitle(c.typeB, c.deviceB)) + "; сравниваются только общие параметры\n";
    }
    for (const PageDiffs& group : GroupByPage(c)) {
        for (const SettingDiff* d : group.diffs) {
            out += EscapeControls(d->page) + ", " + EscapeControls(d->label) + ": " +
                   EscapeControls(ShownSide(d->a)) + " → " + EscapeControls(ShownSide(d->b)) + "\n";
        }
    }
    return out;
}

} // namespace orv
