#include "settings.h"

#include "device/catalogue.h"
#include "device/contact_id.h"
#include "device/retranslator.h"
#include "settings/fields.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <type_traits>
#include <unordered_map>

namespace orv {

namespace {

using fields::Field;
using fields::TextKind;

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
constexpr std::array<std::string_view, 2> kAlarmReset = {"до нажатия кнопки \"сброс\"",
                                                         "автоматически через 10 минут"};

std::string YesNo(bool on) {
    return on ? "да" : "нет";
}

std::string ListName(std::span<const std::string_view> names, long long index) {
    if (index >= 0 && index < static_cast<long long>(names.size())) {
        return std::string(names[static_cast<std::size_t>(index)]);
    }
    return "код " + std::to_string(index);
}

std::string EventText(long long code) {
    if (code >= 1 && code <= static_cast<long long>(ContactIdTable.size())) {
        return CidShownText(ContactIdTable[static_cast<std::size_t>(code - 1)]);
    }
    return "код " + std::to_string(code);
}

// A group of check boxes: each box's bit and caption, in the page's order.
using Boxes = std::span<const std::pair<int, std::string_view>>;

// The checked members of a group, in the page's order; "нет" when none is.
std::string Members(long long mask, Boxes boxes) {
    std::string text;
    for (const auto& [bit, caption] : boxes) {
        if ((mask >> bit) & 1) {
            text += text.empty() ? "" : ", ";
            text += caption;
        }
    }
    return text.empty() ? "нет" : text;
}

constexpr std::pair<int, std::string_view> kDependencyBoxes[] = {{1, "2"}, {2, "3"}, {3, "4"}, {4, "5"},
                                                                 {5, "6"}, {6, "7"}, {7, "8"}};
constexpr std::pair<int, std::string_view> kLineBoxes[] = {
    {6, "Сирена"}, {7, "Лампа"}, {2, "Реле 4"}, {1, "Реле 3"}};
constexpr std::pair<int, std::string_view> kOutputBoxes[] = {
    {0, "Неисправность"}, {1, "Тревога"}, {2, "Пожар"},   {3, "Потеря БС"},
    {4, "Сирена"},        {5, "Лампа"},   {6, "Внимание"}};

bool Bit(long long value, int bit) {
    return (value >> bit) & 1;
}

// ---------------------------------------------------------------------------------------------
// The stored values a number takes, and how they show.

struct Range {
    long long min = 0;
    long long max = 0;
    long long mask = -1;
};
constexpr Range kFlag{0, 1};
constexpr Range kByte{0, 255};
constexpr Range Bits(int width) {
    return {0, (1LL << width) - 1};
}
constexpr Range Mask(long long mask) {
    return {0, mask, mask};
}

const auto kShowNumber = [](long long raw) { return std::to_string(raw); };
const auto kShowYesNo = [](long long raw) { return YesNo(raw != 0); };
const auto kShowPlusOne = [](long long raw) { return std::to_string(raw + 1); };
auto ShowChoice(std::span<const std::string_view> names) {
    return [names](long long raw) { return ListName(names, raw); };
}
auto ShowMembers(Boxes boxes) {
    return [boxes](long long raw) { return Members(raw, boxes); };
}

// ---------------------------------------------------------------------------------------------
// Where a value goes back. Every store takes the state being set, never the object being listed.

template <class F> auto OnDevice(F f) {
    return [f](TProgramState& s, long long v) { f(*s.device, v); };
}
template <class T, class F> auto On(F f) {
    return [f](TProgramState& s, long long v) { f(static_cast<T&>(*s.device), v); };
}
// width bits from shift of a GetParam byte, the others kept.
auto ParamBits(Byte index, int shift, int width) {
    return OnDevice([=](TDevice& d, long long v) {
        const unsigned field = ((1u << width) - 1) << shift;
        const unsigned kept = d.GetParam(index) & ~field;
        d.SetParam(index, static_cast<Byte>(kept | ((static_cast<unsigned>(v) << shift) & field)));
    });
}
// The bits of mask of a GetParam byte, the others kept.
auto ParamMask(Byte index, unsigned mask) {
    return OnDevice([=](TDevice& d, long long v) {
        d.SetParam(index, static_cast<Byte>((d.GetParam(index) & ~mask) | (static_cast<unsigned>(v) & mask)));
    });
}
auto PayloadByte(int offset) {
    return OnDevice([=](TDevice& d, long long v) { d.SetPayload(offset, static_cast<Byte>(v)); });
}

// A communicator switched on starts from fresh settings, as on the transmission page.
void GsmSwitched(TProgramState& s, bool wasOn) {
    if (!wasOn && s.device->GetGsmConnected()) {
        StartGsmSettings(s);
    }
}
template <class F> auto GsmSwitch(F f) {
    return [f](TProgramState& s, long long v) {
        const bool wasOn = s.device->GetGsmConnected();
        f(*s.device, v);
        GsmSwitched(s, wasOn);
    };
}

// ---------------------------------------------------------------------------------------------

class Builder {
public:
    Builder(SettingsList& list, std::vector<Field>* fields) : list_(list), fields_(fields) {
        list_.items.reserve(320);
        if (fields_) {
            fields_->reserve(320);
        }
    }

    void Page(std::string_view page) { page_ = page; }

    // A number: shown by show, stored by store. Without fields the store is never built.
    template <class Show, class Store>
    void Number(std::string key, std::string label, long long raw, Range range, Show show, Store store) {
        Push(std::move(key), std::move(label), show(raw), std::to_string(raw), true);
        if (fields_) {
            NumberField(range, show, store);
        }
    }
    template <class Store>
    void Number(std::string key, std::string label, long long raw, Range range, Store store) {
        Number(std::move(key), std::move(label), raw, range, kShowNumber, store);
    }
    // "да" / "нет": on when the stored value is not 0.
    template <class Store>
    void Flag(std::string key, std::string label, long long raw, Range range, Store store) {
        Number(std::move(key), std::move(label), raw, range, kShowYesNo, store);
    }
    template <class Store>
    void Choice(std::string key, std::string label, std::span<const std::string_view> names, long long raw,
                Range range, Store store) {
        Number(std::move(key), std::move(label), raw, range, ShowChoice(names), store);
    }
    // How the last setting's shown texts go back to stored values, when they are too many to find
    // by showing each.
    template <class Parse> void ParseWith(Parse parse) {
        if (fields_) {
            fields_->back().parse = parse;
        }
    }

    // One cell of a table: key table.n.field, label "row: column".
    struct Row {
        std::string table;
        int n;
        std::string caption;
    };
    template <class Show, class Store>
    void Cell(const Row& row, std::string_view field, std::string_view column, long long raw, Range range,
              Show show, Store store) {
        Number(CellKey(row, field), CellLabel(row, column), raw, range, show, store);
        Place(row, column);
    }
    template <class Store>
    void TextCell(const Row& row, std::string_view field, std::string_view column, const std::string& text,
                  TextKind kind, Store store) {
        Push(CellKey(row, field), CellLabel(row, column), text, text, false);
        Place(row, column);
        if (fields_) {
            Field f;
            f.text = kind;
            f.storeText = store;
            fields_->push_back(std::move(f));
        }
    }
    // A directions grid cell: stored as its position in the list, or as the text it holds when it
    // is none (empty in a row that is off).
    template <class Store>
    void ListCell(const Row& row, std::string_view field, std::string_view column,
                  std::span<const std::string_view> names, const std::string& text, Store store) {
        const int index = IndexOfText(names, text);
        if (index >= 0) {
            Push(CellKey(row, field), CellLabel(row, column), text, std::to_string(index), true);
        } else {
            Push(CellKey(row, field), CellLabel(row, column), text, text, false);
        }
        Place(row, column);
        if (fields_) {
            Field f;
            f.text = TextKind::Cell;
            f.names = names;
            f.max = static_cast<long long>(names.size()) - 1;
            f.storeText = store;
            fields_->push_back(std::move(f));
        }
    }

private:
    static std::string CellKey(const Row& row, std::string_view field) {
        return row.table + "." + std::to_string(row.n) + "." + std::string(field);
    }
    static std::string CellLabel(const Row& row, std::string_view column) {
        return row.caption + ": " + std::string(column);
    }
    void Place(const Row& row, std::string_view column) {
        Setting& s = list_.items.back();
        s.table = row.table;
        s.row = row.caption;
        s.column = column;
    }
    template <class Show, class Store> void NumberField(Range range, Show show, Store store) {
        Field f;
        f.min = range.min;
        f.max = range.max;
        f.mask = range.mask;
        f.show = show;
        f.store = store;
        fields_->push_back(std::move(f));
    }
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
    std::vector<Field>* fields_;
    std::string page_;
};

Builder::Row ZoneRow(int zone) {
    return {"zones", zone, "ШС" + std::to_string(zone)};
}

// Type and event of a zone; the type's stored field is typeRange wide, its list typeCount long.
void ZoneTypeAndEvent(Builder& b, const TDevice& d, int zone, int typeCount, Range typeRange) {
    const auto row = ZoneRow(zone);
    const auto names =
        std::span<const std::string_view>(ZoneTypeNames).first(static_cast<std::size_t>(typeCount));
    b.Cell(row, "type", "Тип шлейфа", d.GetZoneType(zone), typeRange, ShowChoice(names),
           OnDevice([zone](TDevice& t, long long v) { t.SetZoneType(zone, static_cast<Byte>(v)); }));
    b.Cell(row, "event", "Код события", d.GetZoneCID(zone), kByte, EventText,
           OnDevice([zone](TDevice& t, long long v) { t.SetZoneCID(zone, static_cast<Byte>(v)); }));
}

// Relays, the fire relay's circuit check and the buzzer, as the control-centre, keypad and
// retranslator pages show them.
void RelayBlock(Builder& b, const TDevice& d) {
    const Byte relays = d.GetParam(prmReleAlarmFire);
    b.Choice("relays.alarm", std::string(kRelayGroup) + "\"Тревога\"", RelayModeNames, relays >> 4, Bits(4),
             ParamBits(prmReleAlarmFire, 4, 4));
    b.Choice("relays.fire", std::string(kRelayGroup) + "\"Пожар\"", RelayModeNames, relays & 0x0F, Bits(4),
             ParamBits(prmReleAlarmFire, 0, 4));
    b.Flag("relays.fire_line_check", "Контроль цепи реле \"пожар\"", Bit(d.GetParam(prmOPsCheck), 1), kFlag,
           ParamBits(prmOPsCheck, 1, 1));
    b.Flag("buzzer", "Использовать внутренний зуммер", d.GetBuzzer(), kByte,
           OnDevice([](TDevice& t, long long v) { t.SetBuzzer(static_cast<Byte>(v)); }));
}

void Outputs(Builder& b, const TDevice& d) {
    if (d.OutputCount() == 0) {
        return;
    }
    b.Page(kPageOutputs);
    const int functions = d.OutputCount() == 6 ? 7 : 4;
    const Byte named = static_cast<Byte>((1u << functions) - 1);
    const Boxes boxes = Boxes(kOutputBoxes).first(static_cast<std::size_t>(functions));
    for (int n = 1; n <= d.OutputCount(); ++n) {
        const Builder::Row row{"outputs", n, std::string(kOutputNames[static_cast<std::size_t>(n - 1)])};
        b.Cell(row, "functions", "Функции", d.GetOutput(n) & named, Mask(named), ShowMembers(boxes),
               OnDevice([n, named](TDevice& t, long long v) {
                   t.SetOutput(n, static_cast<Byte>((t.GetOutput(n) & ~named) | (v & named)));
               }));
    }
}

// "GSM-ORV подключен" with the two GSM flags, stored as bytes or as bits by the family.
struct GsmFlagPlaces {
    long long connected, control, tx; // stored values
    Range range;
    std::function<void(TDevice&, long long)> connect, setControl, setTx;
};

void GsmFlags(Builder& b, const GsmFlagPlaces& p) {
    b.Flag("gsm.connected", "GSM-ORV подключен", p.connected, p.range, GsmSwitch(p.connect));
    b.Flag("gsm.sms_control", "Разрешить управление по SMS", p.control, p.range, OnDevice(p.setControl));
    b.Flag("gsm.events", "Передавать события по GSM", p.tx, p.range, OnDevice(p.setTx));
}

// The three flags as whole bytes at these payload offsets.
GsmFlagPlaces GsmFlagBytes(const TDevice& d, int connected, int control, int tx) {
    const auto byte = [](int offset) {
        return [offset](TDevice& t, long long v) { t.SetPayload(offset, static_cast<Byte>(v)); };
    };
    return {d.Payload(connected), d.Payload(control), d.Payload(tx), kByte,
            byte(connected),      byte(control),      byte(tx)};
}

// An SMS telephone number's text as the list shows it; the rows are stored packed, so a row's
// cells go into the model's row of the same number.
template <class Model> auto SmsRowStore(int r, void (*set)(SmsRow&, long long)) {
    return [r, set](TProgramState& s, long long v) {
        Model& model = [&]() -> Model& {
            if constexpr (std::is_same_v<Model, RetSmsModel>) {
                return s.RetSms;
            } else {
                return s.Sms;
            }
        }();
        SmsRow row = model.Row(r);
        set(row, v);
        model.SetRow(r, std::move(row));
    };
}
template <class Model> auto SmsPhoneStore(int r) {
    return [r](TProgramState& s, const std::string& text) {
        if constexpr (std::is_same_v<Model, RetSmsModel>) {
            s.RetSms.SetPhone(r, text);
        } else {
            s.Sms.SetPhone(r, text);
        }
    };
}

auto DirectionStore(int r, std::string DirectionRow::*cell) {
    return [r, cell](TProgramState& s, const std::string& text) {
        DirectionRow row = s.Directions.Row(r);
        row.*cell = text;
        s.Directions.SetRow(r, std::move(row));
    };
}

// The GSM communicator's settings on the transmission page and in its dialogs; only while it
// is connected.
void Gsm(Builder& b, const TProgramState& s, bool retranslator) {
    b.Page(kPageTx);
    b.Number(
        "gsm.device_number", "Номер прибора", GetDeviceNumber(s.GsmFrame), Range{0, 0xFFFF},
        [](long long raw) {
            std::array<Byte, gsm::kRecords> frame{};
            SetDeviceNumber(frame, static_cast<std::uint16_t>(raw));
            return DeviceNumberText(frame);
        },
        [](TProgramState& t, long long v) { SetDeviceNumber(t.GsmFrame, static_cast<std::uint16_t>(v)); });
    b.ParseWith([](std::string_view text) -> std::optional<long long> {
        std::array<Byte, gsm::kRecords> frame{};
        if (!SetDeviceNumberText(frame, text)) {
            return std::nullopt;
        }
        return GetDeviceNumber(frame);
    });
    // The directions as a save or a write stores them (a telephone number without its
    // punctuation, a row without a target off), so a file saved a moment ago compares equal.
    FrameBuffer frame = s.GsmFrame;
    EncodeDirections(s.Directions, frame);
    DirectionsModel stored;
    DecodeDirections(frame, stored);
    for (int r = 0; r < DirectionsModel::kRows; ++r) {
        const Builder::Row row{"gsm.directions", r + 1, "Направление " + std::to_string(r + 1)};
        b.ListCell(row, "attempts", "Попытки", AttemptNames, stored.Cell(r, dcAttempts),
                   DirectionStore(r, &DirectionRow::attempts));
        b.ListCell(row, "sim", "SIM", SimNames, stored.Cell(r, dcSim), DirectionStore(r, &DirectionRow::sim));
        b.ListCell(row, "protocol", "Протокол", ProtocolNames, stored.Cell(r, dcProtocol),
                   DirectionStore(r, &DirectionRow::protocol));
        b.TextCell(row, "number", "Телефон\\Хост", stored.Cell(r, dcTarget), TextKind::Target,
                   DirectionStore(r, &DirectionRow::target));
    }
    const Byte smsFlag = s.GsmFrame[gsm::kSmsFlag];
    const Byte gprsFlag = s.GsmFrame[gsm::kGprsFlag];
    b.Flag("gsm.sms_on", "Передавать SMS", smsFlag, kByte, [](TProgramState& t, long long v) {
        if (GetSmsFlag(t.GsmFrame) != (v != 0)) {
            SetSmsListOn(t, v != 0);
        }
        t.GsmFrame[gsm::kSmsFlag] = static_cast<Byte>(v);
    });
    b.Flag("gsm.gprs_on", "Использовать конфигурацию GPRS", gprsFlag, kByte,
           [](TProgramState& t, long long v) {
               if (GetGprsFlag(t.GsmFrame) != (v != 0)) {
                   SetGprsOn(t, v != 0);
               }
               t.GsmFrame[gsm::kGprsFlag] = static_cast<Byte>(v);
           });
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
                b.Cell(
                    row, "type", "Передача", stored.Row(r).type, kByte,
                    [](long long raw) { return SmsTypeName(static_cast<int>(raw & 0x7F)); },
                    SmsRowStore<RetSmsModel>(r,
                                             [](SmsRow& x, long long v) { x.type = static_cast<Byte>(v); }));
                b.Cell(
                    row, "source", "Источн.", SmsSourceValue(stored.Cell(r, sms::kColPartition)),
                    Range{0, 33}, [](long long raw) { return SmsSourceText(static_cast<Byte>(raw)); },
                    SmsRowStore<RetSmsModel>(r, [](SmsRow& x, long long v) {
                        x.partition = SmsSourceText(static_cast<Byte>(v));
                    }));
                b.TextCell(row, "phone", "Телефон", stored.Cell(r, sms::kColPhone), TextKind::Phone,
                           SmsPhoneStore<RetSmsModel>(r));
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
                b.Cell(
                    row, "type", "Передача SMS", shown.Row(r).type, kByte,
                    [](long long raw) { return SmsTypeName(static_cast<int>(raw)); },
                    SmsRowStore<SmsModel>(r, [](SmsRow& x, long long v) { x.type = static_cast<Byte>(v); }));
                // A typed-in partition, as it will be stored: a number when the text is one
                // ("007" stores 7).
                const std::string partition = shown.Cell(r, sms::kColPartition);
                const auto store =
                    SmsRowStore<SmsModel>(r, [](SmsRow& x, long long v) { x.partition = std::to_string(v); });
                if (!partition.empty() && partition.size() <= 9 &&
                    partition.find_first_not_of("0123456789") == std::string::npos) {
                    b.Cell(row, "partition", "Раздел", std::stol(partition), kByte, kShowNumber, store);
                } else {
                    b.TextCell(row, "partition", "Раздел", partition, TextKind::None,
                               [](TProgramState&, const std::string&) {});
                }
                b.TextCell(row, "phone", "Телефон", shown.Cell(r, sms::kColPhone), TextKind::Phone,
                           SmsPhoneStore<SmsModel>(r));
            }
        }
    }
    if (gprsFlag != 0) {
        b.Page(kDialogGprs);
        for (int sim = 0; sim < GprsModel::kSims; ++sim) {
            const GprsSim& g = s.Gprs.Sim(sim);
            const Builder::Row row{"gsm.gprs", sim + 1, "SIM-карта №" + std::to_string(sim + 1)};
            b.TextCell(row, "apn", "APN", g.apn, TextKind::Free,
                       [sim](TProgramState& t, const std::string& text) { t.Gprs.SetApn(sim, text); });
            b.TextCell(row, "user", "Пользователь", g.user, TextKind::Free,
                       [sim](TProgramState& t, const std::string& text) { t.Gprs.SetUser(sim, text); });
            b.TextCell(row, "password", "Пароль", g.password, TextKind::Free,
                       [sim](TProgramState& t, const std::string& text) { t.Gprs.SetPassword(sim, text); });
        }
    }
}

void ListOP8(Builder& b, const TDevOP8& d, const TProgramState& s, const ZonePageView* view) {
    const Op8Layout& layout = d.Layout();
    const bool narrow = d.ZoneTypeCount() == 8;
    b.Page(kPageZones);
    for (int zone = 1; zone <= 8; ++zone) {
        const auto row = ZoneRow(zone);
        ZoneTypeAndEvent(b, d, zone, d.ZoneTypeCount(), Bits(layout.wideType ? 4 : 3));
        for (const bool exit : {false, true}) {
            b.Cell(row, exit ? "exit_delay" : "entry_delay", exit ? "Выход, сек" : "Вход, сек",
                   d.GetZoneDelay(zone, exit), kByte, kShowNumber,
                   OnDevice([zone, exit](TDevice& t, long long v) {
                       t.SetZoneDelay(zone, exit, static_cast<Byte>(v));
                   }));
        }
        b.Cell(row, "partition", "Раздел", d.GetZonePart(zone), Bits(3), kShowPlusOne,
               OnDevice([zone](TDevice& t, long long v) { t.SetZonePart(zone, static_cast<Byte>(v)); }));
        const Byte rearmBit = narrow ? 0x40 : static_cast<Byte>(1u << (zone - 1));
        const Byte rearm = view ? (view->Zone(zone).rearm ? rearmBit : 0) : d.GetZoneRearm(zone);
        const Byte recheck = view ? (view->Zone(zone).fireReQuery ? 0x80 : 0) : d.GetZoneFireReCheck(zone);
        b.Cell(row, "rearm", "Авто восст.", rearm, Mask(rearmBit), kShowYesNo,
               OnDevice([zone](TDevice& t, long long v) { t.SetZoneRearm(zone, v != 0); }));
        b.Cell(row, "fire_recheck", "Перезапрос", recheck, Mask(0x80), kShowYesNo,
               OnDevice([zone](TDevice& t, long long v) { t.SetZoneFireReCheck(zone, v != 0); }));
    }
    Byte dependency = static_cast<Byte>(d.GetPartDep() & 0xFE);
    if (view) {
        dependency = 0;
        for (int n = 2; n <= 8; ++n) {
            dependency |= view->PartDep(n) ? static_cast<Byte>(1u << (n - 1)) : Byte{0};
        }
    }
    b.Number("partition_dependency", "Зависимость охраны раздела 1", dependency, Mask(0xFE),
             ShowMembers(kDependencyBoxes), On<TDevOP8>([](TDevOP8& t, long long v) {
                 t.SetPartDep(static_cast<Byte>((t.GetPartDep() & 0x01) | (v & 0xFE)));
             }));

    b.Page(kPagePeriph);
    const Byte relays = d.GetParam(prmReleAlarmFire);
    b.Choice("relays.alarm", std::string(kRelayGroup) + "\"Тревога\"", RelayModeNames, relays >> 4, Bits(4),
             ParamBits(prmReleAlarmFire, 4, 4));
    const auto relayBySms = [](int which) {
        return On<TDevOP8>([which](TDevOP8& t, long long v) { t.SetReleOnGsm(which, v != 0); });
    };
    if (d.HasGsmExtras()) {
        b.Flag("relays.alarm_by_sms", "Реле \"Тревога\" по СМС", d.GetReleOnGsm(0), kFlag, relayBySms(0));
    }
    b.Choice("relays.fire", std::string(kRelayGroup) + "\"Пожар\"", RelayModeNames, relays & 0x0F, Bits(4),
             ParamBits(prmReleAlarmFire, 0, 4));
    if (d.HasGsmExtras()) {
        b.Flag("relays.fire_by_sms", "Реле \"Пожар\" по СМС", d.GetReleOnGsm(1), kFlag, relayBySms(1));
    }
    b.Choice("relays.control", std::string(kRelayGroup) + "\"Управление\"", RelayModeNames,
             d.GetParam(prmReleCtrlFail) >> 4, Bits(4), ParamBits(prmReleCtrlFail, 4, 4));
    b.Number("line_check", "Контроль цепей оповещения", d.GetParam(prmOPsCheck) & 0xC6, Mask(0xC6),
             ShowMembers(kLineBoxes), ParamMask(prmOPsCheck, 0xC6));
    b.Number("siren_time", "Время работы сирены, мин", d.GetParam(prmSndWrkTime), kByte,
             ParamBits(prmSndWrkTime, 0, 8));
    const Byte lamp = d.GetParam(prmLampMode);
    b.Choice("lamp_mode", "Режим работы лампы", LampModeNames, lamp & 0x0F, Bits(4),
             ParamBits(prmLampMode, 0, 4));
    const Byte sys = d.GetParam(prmSysCFG);
    b.Number("system_partition", "Раздел для внутренних событий", sys & 7, Bits(3), kShowPlusOne,
             ParamBits(prmSysCFG, 0, 3));
    b.Choice("reader_led", "Светодиод считывателя Touch Memory", IndicatorModeNames, lamp >> 4, Bits(4),
             ParamBits(prmLampMode, 4, 4));
    if (d.HasArmFeedback()) {
        b.Flag("arm_feedback",
               "Светодиод считывателя Touch Memory: Отображать взятие с учетом обратной связи",
               d.GetArmFeedback(), kFlag,
               OnDevice([](TDevice& t, long long v) { t.SetArmFeedback(static_cast<Byte>(v)); }));
    }
    b.Flag("buzzer", "Использовать внутренний зуммер", d.GetBuzzer(), kFlag,
           OnDevice([](TDevice& t, long long v) { t.SetBuzzer(static_cast<Byte>(v)); }));
    if (layout.guardSnd < 0) {
        b.Flag("guard_siren", "Сигналы взятия\\снятия сиреной", d.GetGuardSnd(), kFlag,
               OnDevice([](TDevice& t, long long v) { t.SetGuardSnd(v != 0); }));
    } else {
        b.Flag("guard_siren", "Сигналы взятия\\снятия сиреной", d.Payload(layout.guardSnd), kByte,
               PayloadByte(layout.guardSnd));
    }
    if (!narrow) {
        const std::string group = "Двухпороговые шлейфы, при сработке \"Внимание\": ";
        b.Flag("fire2.send_events", group + "Передавать события на ПЦН", Bit(sys, 5), kFlag,
               ParamBits(prmSysCFG, 5, 1));
        b.Flag("fire2.siren", group + "включить сирену", Bit(sys, 6), kFlag, ParamBits(prmSysCFG, 6, 1));
    }

    b.Page(kPageTx);
    const auto kinds = std::span<const std::string_view>(TxTypeNames).first(d.DevType == 1 ? 3 : 4);
    b.Choice("transmitter", "Вид передачи", kinds, d.GetParam(prmDevTX), kByte,
             GsmSwitch([](TDevice& t, long long v) { t.SetParam(prmDevTX, static_cast<Byte>(v)); }));
    if (layout.busId >= 0) {
        b.Number("bus_number", "Сетевой номер", d.GetBusID(), kByte,
                 OnDevice([](TDevice& t, long long v) { t.SetBusID(static_cast<Byte>(v)); }));
    }
    if (d.HasGsmExtras()) {
        b.Flag("gsm.disarm_by_sms", "Разрешить снятие  по SMS", d.GetDisarmBySms(), kByte,
               On<TDevOP8>([](TDevOP8& t, long long v) { t.SetDisarmBySms(static_cast<Byte>(v)); }));
    }
    if (d.GetGsmConnected()) {
        Gsm(b, s, false);
    }
    Outputs(b, d);
}

void ListOP5(Builder& b, const TDevOP5& d, const TProgramState& s) {
    const Op5Layout& layout = d.Layout();
    b.Page(kPageOP5);
    b.Flag("buzzer", "Использовать внутренний зуммер", d.GetBuzzer(), kFlag,
           OnDevice([](TDevice& t, long long v) { t.SetBuzzer(static_cast<Byte>(v)); }));
    b.Flag("arm_feedback", "Отображать взятие с учетом обратной связи", d.GetArmFeedback(), kByte,
           OnDevice([](TDevice& t, long long v) { t.SetArmFeedback(static_cast<Byte>(v)); }));
    // Not offered by the page, yet stored in the panel and written with the rest.
    b.Number("siren_time", "Время работы сирены, мин", d.GetParam(prmSndWrkTime), kByte,
             ParamBits(prmSndWrkTime, 0, 8));
    for (int zone = 1; zone <= d.ZoneCount(); ++zone) {
        ZoneTypeAndEvent(b, d, zone, static_cast<int>(ZoneTypeNames.size()), kByte);
    }

    b.Page(kPageTx);
    b.Choice("transmitter", "Вид передачи", TxTypeNamesOP5, d.GetParam(prmDevTX), kByte,
             ParamBits(prmDevTX, 0, 8));
    b.Number("bus_number", "Сетевой номер", d.GetBusID(), kByte,
             OnDevice([](TDevice& t, long long v) { t.SetBusID(static_cast<Byte>(v)); }));
    if (d.HasGsm()) {
        GsmFlags(b, GsmFlagBytes(d, layout.gsmConnected, layout.gsmControl, layout.gsmTx));
        if (d.GetGsmConnected()) {
            Gsm(b, s, false);
        }
    }
}

void ListKP2(Builder& b, const TDV6_KP2& d, const TProgramState& s) {
    b.Page(kPageKP2);
    for (int zone = 1; zone <= d.ZoneCount(); ++zone) {
        ZoneTypeAndEvent(b, d, zone, 5, kByte);
    }
    RelayBlock(b, d);

    b.Page(kPageTx);
    b.Flag("use_td", "Терсан ППМ, TDm", d.Payload(8), kByte, PayloadByte(8));
    GsmFlags(b, GsmFlagBytes(d, 9, 10, 11));
    if (d.GetGsmConnected()) {
        Gsm(b, s, false);
    }
}

void ListCnc(Builder& b, const TDevCnc& d, const TProgramState& s) {
    const CncLayout& layout = d.CLayout();
    const Byte bvi = d.GetBviAlarm();
    const auto bviBit = [](int bit) {
        return On<TDevCnc>([bit](TDevCnc& t, long long v) {
            t.SetBviAlarm(static_cast<Byte>((t.GetBviAlarm() & ~(1u << bit)) | (v != 0 ? 1u << bit : 0u)));
        });
    };
    b.Page(kPageCnc);
    if (auto* c8 = dynamic_cast<const TDevCnc8*>(&d)) {
        b.Number(
            "expanders", "Расширители", c8->GetExpanders(), kByte,
            [](long long raw) {
                return MaskToText({static_cast<Byte>(raw & 0x7F), 0, 0, 0, static_cast<Byte>(raw >> 7)});
            },
            On<TDevCnc8>([](TDevCnc8& t, long long v) { t.SetExpanders(static_cast<Byte>(v)); }));
        b.Flag("bvi.silent_alarm", std::string(kBviGroup) + "Вкл. звук при тихой тревоге на расширителях",
               Bit(bvi, 0), kFlag, bviBit(0));
        b.Flag("bvi.duress", std::string(kBviGroup) + "Вкл. звук при \"принуждении\" на расширителях",
               Bit(bvi, 1), kFlag, bviBit(1));
        b.Flag("bvi.reset", std::string(kBviGroup) + "Сброс концентратора с БВИ (версия > 2)", Bit(bvi, 7),
               kFlag, bviBit(7));
        b.Flag("bvi.buttons", std::string(kBviGroup) + "Разрешить сброс расширителей кнопками",
               d.Payload(layout.bviButtons), kByte, PayloadByte(layout.bviButtons));
    } else if (auto* c5 = dynamic_cast<const TDevCnc5*>(&d)) {
        const ExpanderMask mask = c5->GetExpanderMask();
        long long raw = 0;
        for (std::size_t i = 0; i < mask.size(); ++i) {
            raw |= static_cast<long long>(i == 4 ? mask[i] & 1 : mask[i]) << (8 * i);
        }
        const auto toMask = [](long long value) {
            ExpanderMask m{};
            for (std::size_t i = 0; i < m.size(); ++i) {
                m[i] = static_cast<Byte>(value >> (8 * i));
            }
            return m;
        };
        b.Number(
            "expanders", "Расширители", raw, Mask(0x1FFFFFFFFLL),
            [toMask](long long value) { return MaskToText(toMask(value)); },
            On<TDevCnc5>([toMask](TDevCnc5& t, long long v) { t.SetExpanderMask(toMask(v)); }));
        b.ParseWith([](std::string_view text) -> std::optional<long long> {
            const auto m = MaskFromText(text);
            if (!m) {
                return std::nullopt;
            }
            long long value = 0;
            for (std::size_t i = 0; i < m->size(); ++i) {
                value |= static_cast<long long>((*m)[i]) << (8 * i);
            }
            return value;
        });
        b.Flag("bvi.duress", std::string(kBviGroup) + "Вкл. звук при \"принуждении\" на расширителях",
               Bit(bvi, 1), kFlag, bviBit(1));
        b.Flag("bvi.reset", std::string(kBviGroup) + "Сброс концентратора с БВИ", Bit(bvi, 7), kFlag,
               bviBit(7));
    }
    RelayBlock(b, d);
    if (layout.armFeedback >= 0) {
        b.Flag("arm_feedback", "Подтверждение взятия по обратной связи", d.GetArmFeedback(), kByte,
               OnDevice([](TDevice& t, long long v) { t.SetArmFeedback(static_cast<Byte>(v)); }));
    }
    if (d.HasAutoReset()) {
        b.Number(
            "alarm_reset", "Сброс тревог", d.GetAutoReset(), kByte,
            [](long long raw) { return std::string(kAlarmReset[raw != 0 ? 1 : 0]); },
            On<TDevCnc>([](TDevCnc& t, long long v) { t.SetAutoReset(static_cast<Byte>(v)); }));
    }

    b.Page(kPageTx);
    b.Flag("use_td", "Терсан ППМ, TDm", d.Payload(layout.useTD), kByte, PayloadByte(layout.useTD));
    GsmFlags(b, GsmFlagBytes(d, layout.gsmConnected, layout.gsmControl, layout.gsmTx));
    if (d.GetGsmConnected()) {
        Gsm(b, s, false);
    }
    Outputs(b, d);
}

void ListRet(Builder& b, const TDV15_Ret& d, const TProgramState& s) {
    using Ret = TDV15_Ret;
    b.Page(kPageRet);
    b.Number("rx_liter", "Литера приёма", d.GetLiterRX(), kByte,
             On<Ret>([](Ret& t, long long v) { t.SetLiterRX(static_cast<Byte>(v)); }));
    const auto indication = [](int bit) {
        return On<Ret>([bit](Ret& t, long long v) { t.SetRelayIndication(bit, v != 0); });
    };
    b.Flag("relay_indication.reader", "Индикация ретрансляции: На светодиоде считывателя",
           d.GetRelayIndication(0), kFlag, indication(0));
    b.Flag("relay_indication.leds", "Индикация ретрансляции: На светодиодах 1-4", d.GetRelayIndication(1),
           kFlag, indication(1));
    RelayBlock(b, d);
    b.Choice("tx.mode", "Передача: Режим", kRetTxModes, d.GetTxMode(), Bits(2),
             On<Ret>([](Ret& t, long long v) { t.SetTxMode(static_cast<Byte>(v)); }));
    b.Number("tx.liter", "Передача: Литера", d.GetLiterTX(), kByte,
             On<Ret>([](Ret& t, long long v) { t.SetLiterTX(static_cast<Byte>(v)); }));
    b.Flag("tx.rs485", "Передача: Дублировать по RS-485", d.GetTx485(), kFlag,
           On<Ret>([](Ret& t, long long v) { t.SetTx485(v != 0); }));
    const auto period = [](long long v) { return v == 0 ? std::string("Выкл.") : std::to_string(v); };
    b.Number("concierge_period", "Контроль канала передатчиков Консьерж, часов.", d.GetKnsPeriod(), kByte,
             period, On<Ret>([](Ret& t, long long v) { t.SetKnsPeriod(static_cast<Byte>(v)); }));
    b.Number("stationary_period", "Контроль канала  стационарных передатчиков, мин", d.GetStationaryPeriod(),
             kByte, period,
             On<Ret>([](Ret& t, long long v) { t.SetStationaryPeriod(static_cast<Byte>(v)); }));
    b.Flag("concierge_delay", "Задержка передачи приборов Консьерж", d.GetKnsDelay(), kByte,
           On<Ret>([](Ret& t, long long v) { t.SetKnsDelay(static_cast<Byte>(v)); }));
    b.Flag("object_relays", "Активировать реле от событий на объектах", d.GetObjRelay(), kByte,
           On<Ret>([](Ret& t, long long v) { t.SetObjRelay(static_cast<Byte>(v)); }));

    b.Page(kDialogObjects);
    for (int n = 1; n <= Ret::kObjects; ++n) {
        const ObjectRecord record = d.GetObject(n);
        const Builder::Row row{"objects", n, "Объект " + std::to_string(n)};
        // The number shows in hexadecimal, and not at all while the object is off.
        const Byte typeByte = record[0];
        const auto show = [typeByte](long long raw) {
            return ObjectNumberText(MakeObjectRecord(static_cast<std::uint32_t>(raw), typeByte & 3));
        };
        const auto parse = [](std::string_view text) -> std::optional<long long> {
            // Eight digits at most: a longer text would not fit the number it is read into.
            const auto number = text.size() <= 8 ? ObjectNumberFromText(text) : std::nullopt;
            return number ? std::optional<long long>(*number) : std::nullopt;
        };
        b.Cell(row, "number", "Эф.номер", ObjectNumber(record), Range{0, 0x3FFFF}, show,
               On<Ret>([n](Ret& t, long long v) {
                   const ObjectRecord now = t.GetObject(n);
                   ObjectRecord next = MakeObjectRecord(static_cast<std::uint32_t>(v), now[0] & 3);
                   next[0] = static_cast<Byte>(next[0] | (now[0] & 0x3C));
                   t.SetObject(n, next);
               }));
        b.ParseWith(parse);
        b.Cell(row, "type", "Тип", record[0] & 3, Bits(2), ShowChoice(kObjectTypes),
               On<Ret>([n](Ret& t, long long v) {
                   ObjectRecord next = t.GetObject(n);
                   next[0] = static_cast<Byte>((next[0] & ~3) | (v & 3));
                   t.SetObject(n, next);
               }));
    }

    b.Page(kPageZones);
    for (int zone = 1; zone <= d.ZoneCount(); ++zone) {
        ZoneTypeAndEvent(b, d, zone, 8, kByte);
    }
    for (const bool exit : {false, true}) {
        b.Number(exit ? "exit_delay" : "entry_delay", exit ? "Задержка, сек: выход" : "Задержка, сек: вход",
                 d.GetZoneDelay(0, exit), Range{0, 99}, OnDevice([exit](TDevice& t, long long v) {
                     t.SetZoneDelay(0, exit, static_cast<Byte>(v));
                 }));
    }
    b.Flag("alarm_lock", "Блокировать сброс после тревоги", d.GetAlarmLock(), kByte,
           On<Ret>([](Ret& t, long long v) { t.SetAlarmLock(static_cast<Byte>(v)); }));

    b.Page(kPageTx);
    const Byte gsm = d.Payload(12);
    GsmFlags(b, {Bit(gsm, 0), Bit(gsm, 2), Bit(gsm, 1), kFlag,
                 [](TDevice& t, long long v) { t.SetGsmConnected(v != 0); },
                 [](TDevice& t, long long v) { static_cast<Ret&>(t).SetGsmControl(v != 0); },
                 [](TDevice& t, long long v) { static_cast<Ret&>(t).SetGsmTx(v != 0); }});
    if (d.GetGsmConnected()) {
        Gsm(b, s, true);
    }
}

void Build(Builder& b, const TProgramState& state, const ZonePageView* zonePage) {
    const TDevice& d = *state.device;
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
}

void Start(SettingsList& list, const TProgramState& state) {
    list.devType = state.device->DevType;
    list.deviceName = DeviceName(state.device->DevType);
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
    Start(list, state);
    Builder b(list, nullptr);
    Build(b, state, zonePage);
    return list;
}

fields::Catalog fields::Collect(const TProgramState& state) {
    Catalog catalog;
    if (!state.device) {
        return catalog;
    }
    Start(catalog.list, state);
    Builder b(catalog.list, &catalog.fields);
    Build(b, state, nullptr);
    return catalog;
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
