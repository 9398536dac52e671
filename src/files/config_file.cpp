#include "config_file.h"

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "files/gsm_file.h"
#include "files/xml_rules.h"

#include "orvanta_version.h"

namespace orv {

namespace {

using namespace xml;

// --- writers ------------------------------------------------------------------------------

void WriteZone(pugi::xml_node loops, const TDevice& d, int zone, bool full) {
    pugi::xml_node z = loops.append_child("zone");
    SetInt(z, "ID", zone);
    SetInt(z, "PartID", d.GetZonePart(zone));
    SetInt(z, "tactics", d.GetZoneType(zone));
    SetInt(z, "rearm", d.GetZoneRearm(zone));
    SetInt(z, "CID", d.GetZoneCID(zone));
    if (full) {
        SetInt(z, "TimeIn", d.GetZoneDelay(zone, false));
        SetInt(z, "TimeOut", d.GetZoneDelay(zone, true));
        SetInt(z, "FireReCheck", d.GetZoneFireReCheck(zone));
    }
}

void WriteOutputs(pugi::xml_node device, const TDevice& d) {
    if (d.OutputCount() == 0) {
        return;
    }
    pugi::xml_node outs = device.append_child("OutsConfig");
    for (int n = 1; n <= d.OutputCount(); ++n) {
        pugi::xml_node o = outs.append_child("out");
        SetInt(o, "ID", n);
        SetInt(o, "Value", d.GetOutput(n));
    }
}

void WriteGsmBlock(pugi::xml_node device, const TProgramState& state, bool control, bool tx,
                   const char* attr) {
    WriteGsmSubtree(device.append_child("configMPI"), state);
    AddValue(device, "GSM_Control", attr, control ? 1 : 0);
    AddValue(device, "GSM_TX", attr, tx ? 1 : 0);
}

void WriteOP8(pugi::xml_node device, const TDevOP8& d, const TProgramState& state) {
    pugi::xml_node loops = device.append_child("loops");
    for (int zone = 1; zone <= 8; ++zone) {
        WriteZone(loops, d, zone, true);
    }
    AddValue(device, "PartDep", "mask", d.GetPartDep());
    pugi::xml_node rele = device.append_child("rele");
    SetInt(rele, "AlarmFire", d.GetParam(prmReleAlarmFire));
    SetInt(rele, "CtrlFail", d.GetParam(prmReleCtrlFail));
    AddValue(device, "sndWrkTime", "min", d.GetParam(prmSndWrkTime));
    AddValue(device, "OPsCheck", "mask", d.GetParam(prmOPsCheck));
    AddValue(device, "sysCFG", "Value", d.GetParam(prmSysCFG));
    AddValue(device, "GuardSnd", "On", d.GetGuardSnd() ? 1 : 0);
    AddValue(device, "LampMode", "mode", d.GetParam(prmLampMode));
    AddValue(device, "devTX", "ID", d.GetParam(prmDevTX));
    if (d.GetGsmConnected()) {
        WriteGsmSubtree(device.append_child("configMPI"), state);
    }
    // The panel keeps its SMS options while the communicator is off too; so does the file, or a
    // configuration saved then would come back without them.
    if (d.HasGsmExtras()) {
        AddValue(device, "DisguardBySMS", "Value", d.GetDisarmBySms());
        AddValue(device, "ReleAlarmOnGSM", "Value", d.GetReleOnGsm(0) ? 1 : 0);
        AddValue(device, "ReleFireOnGSM", "Value", d.GetReleOnGsm(1) ? 1 : 0);
    }
    AddValue(device, "SlaveBus", "BusID", d.GetBusID());
    WriteOutputs(device, d);
}

void WriteRet(pugi::xml_node device, const TDV15_Ret& d, const TProgramState& state) {
    AddValue(device, "buzzer", "isOn", d.GetBuzzer());
    AddValue(device, "AlarmLock", "isOn", d.GetAlarmLock());
    pugi::xml_node loops = device.append_child("loops");
    for (int zone = 1; zone <= 2; ++zone) {
        WriteZone(loops, d, zone, true);
    }
    AddValue(device, "DelayOut", "Value", d.GetZoneDelay(0, true));
    AddValue(device, "DelayIn", "Value", d.GetZoneDelay(0, false));
    AddValue(device, "LiterRX", "Value", d.GetLiterRX());
    AddValue(device, "LiterTX", "Value", d.GetLiterTX());
    AddValue(device, "TX_Mode", "Value", d.GetTxByte());
    pugi::xml_node ind = device.append_child("RetIndRX");
    SetInt(ind, "TM", d.GetRelayIndication(0) ? 1 : 0);
    SetInt(ind, "LD14", d.GetRelayIndication(1) ? 1 : 0);
    if (d.GetGsmConnected()) {
        WriteGsmBlock(device, state, d.GetGsmControl(), d.GetGsmTx(), "isOn");
    }
    AddValue(device, "KnsDelay", "Value", d.GetKnsDelay());
    AddValue(device, "ObjRele", "Value", d.GetObjRelay());
    AddValue(device, "toKNShr", "Value", d.GetKnsPeriod());
    AddValue(device, "toLNTmin", "Value", d.GetStationaryPeriod());
    pugi::xml_node rele = device.append_child("rele");
    SetInt(rele, "AlarmFire", d.GetParam(prmReleAlarmFire));
    SetInt(rele, "PB_opcfg", d.GetParam(prmOPsCheck));
    pugi::xml_node objects = device.append_child("RetObjects");
    for (int k = 1; k <= TDV15_Ret::kObjects; ++k) {
        const std::string number = d.ObjectNumberText(k);
        if (number.empty()) {
            continue;
        }
        pugi::xml_node o = objects.append_child("Obj");
        SetInt(o, "ID", k);
        SetText(o, "airNum", number);
        SetInt(o, "cfg", d.GetObject(k)[0] & 0x03);
    }
}

void WriteOP5(pugi::xml_node device, const TDevOP5& d, const TProgramState& state) {
    AddValue(device, "devTX", "ID", d.GetParam(prmDevTX));
    AddValue(device, "SlaveBus", "BusID", d.GetBusID());
    if (d.GetGsmConnected()) {
        WriteGsmBlock(device, state, d.GetGsmControl(), d.GetGsmTx(), "mask");
    }
    AddValue(device, "buzzer", "Value", d.GetBuzzer());
    AddValue(device, "GrdStatShow", "Value", d.GetArmFeedback());
}

void WriteCnc8(pugi::xml_node device, const TDevCnc8& d, const TProgramState& state) {
    AddValue(device, "expanders", "mask", d.GetExpanders());
    AddValue(device, "BVIAlarm", "mask", d.GetBviAlarm());
    AddValue(device, "BVIButtons", "mask", d.GetBviButtons() ? 1 : 0);
    AddValue(device, "rele", "AlarmFire", d.GetParam(prmReleAlarmFire));
    AddValue(device, "OPsCheck", "mask", d.GetParam(prmOPsCheck));
    AddValue(device, "buzzer", "Value", d.GetBuzzer());
    // The page edits the alarm reset of these models, so the file must keep it.
    if (d.HasAutoReset()) {
        AddValue(device, "autoRst", "Value", d.GetAutoReset());
    }
    AddValue(device, "useTD", "mask", d.GetUseTD() ? 1 : 0);
    if (d.GetGsmConnected()) {
        WriteGsmBlock(device, state, d.GetGsmControl(), d.GetGsmTx(), "mask");
    }
    WriteOutputs(device, d);
}

void WriteCnc5(pugi::xml_node device, const TDevCnc5& d, const TProgramState& state) {
    static constexpr const char* kMaskNames[5] = {"mask_1_8", "mask_9_16", "mask_17_24", "mask_25_32",
                                                  "mask_33_40"};
    pugi::xml_node expanders = device.append_child("expanders");
    const ExpanderMask mask = d.GetExpanderMask();
    for (std::size_t i = 0; i < mask.size(); ++i) {
        AddValue(expanders, kMaskNames[i], "mask", mask[i]);
    }
    AddValue(device, "BVIAlarm", "mask", d.GetBviAlarm());
    AddValue(device, "rele", "AlarmFire", d.GetParam(prmReleAlarmFire));
    AddValue(device, "OPsCheck", "mask", d.GetParam(prmOPsCheck));
    AddValue(device, "buzzer", "Value", d.GetBuzzer());
    AddValue(device, "autoRst", "Value", d.GetAutoReset());
    AddValue(device, "BzltCfg", "Value", d.GetArmFeedback());
    AddValue(device, "useTD", "mask", d.GetUseTD() ? 1 : 0);
    if (d.GetGsmConnected()) {
        WriteGsmBlock(device, state, d.GetGsmControl(), d.GetGsmTx(), "mask");
    }
    WriteOutputs(device, d);
}

void WriteKP2(pugi::xml_node device, const TDV6_KP2& d, const TProgramState& state) {
    pugi::xml_node loops = device.append_child("loops");
    for (int zone = 1; zone <= 2; ++zone) {
        WriteZone(loops, d, zone, false);
    }
    AddValue(device, "rele", "AlarmFire", d.GetParam(prmReleAlarmFire));
    AddValue(device, "OPsCheck", "mask", d.GetParam(prmOPsCheck));
    AddValue(device, "buzzer", "Value", d.GetBuzzer());
    AddValue(device, "useTD", "mask", d.GetUseTD() ? 1 : 0);
    if (d.GetGsmConnected()) {
        WriteGsmBlock(device, state, d.GetGsmControl(), d.GetGsmTx(), "mask");
    }
}

// --- readers ------------------------------------------------------------------------------

// Each applies one element when it is found; a missing element keeps the object's default.
template <class F> void WithSection(pugi::xml_node device, const char* name, F apply) {
    if (pugi::xml_node n = FindSection(device, name)) {
        apply(n);
    }
}

template <class F> void ForItems(pugi::xml_node list, const char* item, int first, int last, F apply) {
    for (pugi::xml_node n = list.first_child(); n; n = n.next_sibling()) {
        if (!IsItem(n, item)) {
            continue;
        }
        const int number = IntAt(n, 0);
        if (number >= first && number <= last) {
            apply(number, n);
        }
    }
}

void ReadOutputs(pugi::xml_node device, TDevice& d) {
    if (d.OutputCount() == 0) {
        return;
    }
    WithSection(device, "OutsConfig", [&](pugi::xml_node outs) {
        ForItems(outs, "out", 1, d.OutputCount(),
                 [&](int n, pugi::xml_node o) { d.SetOutput(n, ByteAt(o, 1)); });
    });
}

// Zones of the families that keep only type and event from the file.
void ReadTypeAndEvent(pugi::xml_node device, TDevice& d, int zones) {
    WithSection(device, "loops", [&](pugi::xml_node loops) {
        ForItems(loops, "zone", 1, zones, [&](int zone, pugi::xml_node z) {
            d.SetZoneType(zone, ByteAt(z, 2));
            d.SetZoneCID(zone, ByteAt(z, 4));
        });
    });
}

// "configMPI" of the families whose GSM presence is a flag: found means present.
template <class Dev> bool ReadGsmFlagBlock(pugi::xml_node device, Dev& d, TProgramState& state) {
    pugi::xml_node mpi = FindSection(device, "configMPI");
    if (!mpi) {
        return true;
    }
    d.SetGsmConnected(true);
    if (!ReadGsmSubtree(mpi, state)) {
        return false;
    }
    WithSection(device, "GSM_Control", [&](pugi::xml_node n) { d.SetGsmControl(IntAt(n, 0) != 0); });
    WithSection(device, "GSM_TX", [&](pugi::xml_node n) { d.SetGsmTx(IntAt(n, 0) != 0); });
    return true;
}

bool ReadOP8(pugi::xml_node device, TDevOP8& d, TProgramState& state) {
    WithSection(device, "loops", [&](pugi::xml_node loops) {
        ForItems(loops, "zone", 1, 8, [&](int zone, pugi::xml_node z) {
            d.SetZonePart(zone, ByteAt(z, 1));
            d.SetZoneType(zone, ByteAt(z, 2));
            d.SetZoneRearm(zone, IntAt(z, 3) != 0);
            d.SetZoneCID(zone, ByteAt(z, 4));
            d.SetZoneDelay(zone, false, ByteAt(z, 5));
            d.SetZoneDelay(zone, true, ByteAt(z, 6));
            d.SetZoneFireReCheck(zone, IntAt(z, 7) != 0);
        });
    });
    WithSection(device, "PartDep", [&](pugi::xml_node n) { d.SetPartDep(ByteAt(n, 0)); });
    WithSection(device, "rele", [&](pugi::xml_node n) {
        d.SetParam(prmReleAlarmFire, ByteAt(n, 0));
        d.SetParam(prmReleCtrlFail, ByteAt(n, 1));
    });
    WithSection(device, "sndWrkTime", [&](pugi::xml_node n) { d.SetParam(prmSndWrkTime, ByteAt(n, 0)); });
    WithSection(device, "OPsCheck", [&](pugi::xml_node n) { d.SetParam(prmOPsCheck, ByteAt(n, 0)); });
    WithSection(device, "sysCFG", [&](pugi::xml_node n) { d.SetParam(prmSysCFG, ByteAt(n, 0)); });
    WithSection(device, "GuardSnd", [&](pugi::xml_node n) { d.SetGuardSnd(IntAt(n, 0) != 0); });
    WithSection(device, "LampMode", [&](pugi::xml_node n) { d.SetParam(prmLampMode, ByteAt(n, 0)); });
    WithSection(device, "devTX", [&](pugi::xml_node n) { d.SetParam(prmDevTX, ByteAt(n, 0)); });
    WithSection(device, "SlaveBus", [&](pugi::xml_node n) { d.SetBusID(ByteAt(n, 0)); });
    if (d.GetGsmConnected()) {
        pugi::xml_node mpi = FindSection(device, "configMPI");
        if (!mpi || !ReadGsmSubtree(mpi, state)) {
            return false;
        }
    }
    if (d.HasGsmExtras()) {
        WithSection(device, "DisguardBySMS", [&](pugi::xml_node n) { d.SetDisarmBySms(ByteAt(n, 0)); });
        WithSection(device, "ReleAlarmOnGSM", [&](pugi::xml_node n) { d.SetReleOnGsm(0, IntAt(n, 0) != 0); });
        WithSection(device, "ReleFireOnGSM", [&](pugi::xml_node n) { d.SetReleOnGsm(1, IntAt(n, 0) != 0); });
    }
    ReadOutputs(device, d);
    return true;
}

bool ReadRet(pugi::xml_node device, TDV15_Ret& d, TProgramState& state) {
    WithSection(device, "buzzer", [&](pugi::xml_node n) { d.SetBuzzer(ByteAt(n, 0)); });
    WithSection(device, "AlarmLock", [&](pugi::xml_node n) { d.SetAlarmLock(ByteAt(n, 0)); });
    ReadTypeAndEvent(device, d, 2);
    WithSection(device, "DelayOut", [&](pugi::xml_node n) { d.SetZoneDelay(0, true, ByteAt(n, 0)); });
    WithSection(device, "DelayIn", [&](pugi::xml_node n) { d.SetZoneDelay(0, false, ByteAt(n, 0)); });
    WithSection(device, "LiterRX", [&](pugi::xml_node n) { d.SetLiterRX(ByteAt(n, 0)); });
    WithSection(device, "LiterTX", [&](pugi::xml_node n) { d.SetLiterTX(ByteAt(n, 0)); });
    WithSection(device, "TX_Mode", [&](pugi::xml_node n) { d.SetTxByte(ByteAt(n, 0)); });
    WithSection(device, "RetIndRX", [&](pugi::xml_node n) {
        d.SetRelayIndication(0, IntAt(n, 0) != 0);
        d.SetRelayIndication(1, IntAt(n, 1) != 0);
    });
    if (!ReadGsmFlagBlock(device, d, state)) {
        return false;
    }
    WithSection(device, "KnsDelay", [&](pugi::xml_node n) { d.SetKnsDelay(ByteAt(n, 0)); });
    WithSection(device, "ObjRele", [&](pugi::xml_node n) { d.SetObjRelay(ByteAt(n, 0)); });
    WithSection(device, "toKNShr", [&](pugi::xml_node n) { d.SetKnsPeriod(ByteAt(n, 0)); });
    WithSection(device, "toLNTmin", [&](pugi::xml_node n) { d.SetStationaryPeriod(ByteAt(n, 0)); });
    WithSection(device, "rele", [&](pugi::xml_node n) {
        d.SetParam(prmReleAlarmFire, ByteAt(n, 0));
        d.SetParam(prmOPsCheck, ByteAt(n, 1));
    });
    bool objectsSound = true;
    WithSection(device, "RetObjects", [&](pugi::xml_node list) {
        for (pugi::xml_node o = list.first_child(); o && objectsSound; o = o.next_sibling()) {
            if (!IsItem(o, "Obj")) {
                continue;
            }
            // A configuration that is not a number means a damaged file, not a half-read one.
            const std::string cfg = TextAt(o, 2);
            if (!IsDecimalNumber(cfg)) {
                objectsSound = false;
                break;
            }
            d.SetObjectFromText(IntAt(o, 0), TextAt(o, 1), static_cast<Byte>(ParseNumber(cfg) & 0x03));
        }
    });
    return objectsSound;
}

bool ReadOP5(pugi::xml_node device, TDevOP5& d, TProgramState& state) {
    ReadTypeAndEvent(device, d, 5);
    WithSection(device, "devTX", [&](pugi::xml_node n) { d.SetParam(prmDevTX, ByteAt(n, 0)); });
    WithSection(device, "SlaveBus", [&](pugi::xml_node n) { d.SetBusID(ByteAt(n, 0)); });
    if (!ReadGsmFlagBlock(device, d, state)) {
        return false;
    }
    WithSection(device, "buzzer", [&](pugi::xml_node n) { d.SetBuzzer(ByteAt(n, 0)); });
    WithSection(device, "GrdStatShow", [&](pugi::xml_node n) { d.SetArmFeedback(ByteAt(n, 0)); });
    return true;
}

void ReadCncCommon(pugi::xml_node device, TDevCnc& d) {
    WithSection(device, "BVIAlarm", [&](pugi::xml_node n) { d.SetBviAlarm(ByteAt(n, 0)); });
    WithSection(device, "rele", [&](pugi::xml_node n) { d.SetParam(prmReleAlarmFire, ByteAt(n, 0)); });
    WithSection(device, "OPsCheck", [&](pugi::xml_node n) { d.SetParam(prmOPsCheck, ByteAt(n, 0)); });
    WithSection(device, "buzzer", [&](pugi::xml_node n) { d.SetBuzzer(ByteAt(n, 0)); });
    WithSection(device, "autoRst", [&](pugi::xml_node n) { d.SetAutoReset(ByteAt(n, 0)); });
    WithSection(device, "useTD", [&](pugi::xml_node n) { d.SetUseTD(IntAt(n, 0) != 0); });
}

bool ReadCnc8(pugi::xml_node device, TDevCnc8& d, TProgramState& state) {
    WithSection(device, "expanders", [&](pugi::xml_node n) { d.SetExpanders(ByteAt(n, 0)); });
    WithSection(device, "BVIButtons", [&](pugi::xml_node n) { d.SetBviButtons(IntAt(n, 0) != 0); });
    ReadCncCommon(device, d);
    if (!ReadGsmFlagBlock(device, d, state)) {
        return false;
    }
    ReadOutputs(device, d);
    return true;
}

bool ReadCnc5(pugi::xml_node device, TDevCnc5& d, TProgramState& state) {
    static constexpr const char* kMaskNames[5] = {"mask_1_8", "mask_9_16", "mask_17_24", "mask_25_32",
                                                  "mask_33_40"};
    WithSection(device, "expanders", [&](pugi::xml_node expanders) {
        ExpanderMask mask = d.GetExpanderMask();
        for (std::size_t i = 0; i < mask.size(); ++i) {
            WithSection(expanders, kMaskNames[i], [&](pugi::xml_node n) { mask[i] = ByteAt(n, 0); });
        }
        d.SetExpanderMask(mask);
    });
    WithSection(device, "BzltCfg", [&](pugi::xml_node n) { d.SetArmFeedback(ByteAt(n, 0)); });
    ReadCncCommon(device, d);
    if (!ReadGsmFlagBlock(device, d, state)) {
        return false;
    }
    ReadOutputs(device, d);
    return true;
}

bool ReadKP2(pugi::xml_node device, TDV6_KP2& d, TProgramState& state) {
    ReadTypeAndEvent(device, d, 2);
    WithSection(device, "rele", [&](pugi::xml_node n) { d.SetParam(prmReleAlarmFire, ByteAt(n, 0)); });
    WithSection(device, "OPsCheck", [&](pugi::xml_node n) { d.SetParam(prmOPsCheck, ByteAt(n, 0)); });
    WithSection(device, "buzzer", [&](pugi::xml_node n) { d.SetBuzzer(ByteAt(n, 0)); });
    WithSection(device, "useTD", [&](pugi::xml_node n) { d.SetUseTD(IntAt(n, 0) != 0); });
    return ReadGsmFlagBlock(device, d, state);
}

bool ReadDocument(TProgramState& state, const pugi::xml_document& doc) {
    pugi::xml_node root = doc.document_element();
    if (!root || ParseNumber(root.attribute("FileID").value()) != 8) {
        return false;
    }
    pugi::xml_node device = FindSection(root, "device");
    if (!device) {
        return false;
    }
    const int code = IntAt(device, 0);
    if (code < 1 || code > 18) {
        return false;
    }
    std::shared_ptr<TDevice> created = CreateDevice(static_cast<Byte>(code));
    if (!created) {
        return false;
    }
    // Everything is read into a copy; the state changes only when the whole file was sound.
    TProgramState next = state;
    next.device = created;
    bool ok = false;
    TDevice& d = *created;
    if (auto* op8 = dynamic_cast<TDevOP8*>(&d)) {
        ok = ReadOP8(device, *op8, next);
    } else if (auto* ret = dynamic_cast<TDV15_Ret*>(&d)) {
        ok = ReadRet(device, *ret, next);
    } else if (auto* op5 = dynamic_cast<TDevOP5*>(&d)) {
        ok = ReadOP5(device, *op5, next);
    } else if (auto* c8 = dynamic_cast<TDevCnc8*>(&d)) {
        ok = ReadCnc8(device, *c8, next);
    } else if (auto* c5 = dynamic_cast<TDevCnc5*>(&d)) {
        ok = ReadCnc5(device, *c5, next);
    } else if (auto* kp2 = dynamic_cast<TDV6_KP2*>(&d)) {
        ok = ReadKP2(device, *kp2, next);
    }
    if (!ok) {
        return false;
    }
    state = std::move(next);
    return true;
}

} // namespace

std::string BuildConfigDocument(const TProgramState& state) {
    pugi::xml_document doc = NewDocument();
    pugi::xml_node root = doc.append_child("config");
    SetInt(root, "version", 1);
    SetText(root, "firmName", version::kCompanyName);
    SetText(root, "FileID", "8");
    SetText(root, "progVer", version::kFileVersion);
    pugi::xml_node device = root.append_child("device");
    if (state.device) {
        const TDevice& d = *state.device;
        SetInt(device, "ID", d.DevType);
        SetText(device, "name", DeviceName(d.DevType));
        if (auto* op8 = dynamic_cast<const TDevOP8*>(&d)) {
            WriteOP8(device, *op8, state);
        } else if (auto* ret = dynamic_cast<const TDV15_Ret*>(&d)) {
            WriteRet(device, *ret, state);
        } else if (auto* op5 = dynamic_cast<const TDevOP5*>(&d)) {
            WriteOP5(device, *op5, state);
        } else if (auto* c8 = dynamic_cast<const TDevCnc8*>(&d)) {
            WriteCnc8(device, *c8, state);
        } else if (auto* c5 = dynamic_cast<const TDevCnc5*>(&d)) {
            WriteCnc5(device, *c5, state);
        } else if (auto* kp2 = dynamic_cast<const TDV6_KP2*>(&d)) {
            WriteKP2(device, *kp2, state);
        }
    }
    return Serialize(doc);
}

SaveResult WriteConfigFile(const TProgramState& state, const std::string& path) {
    return SaveFileAtomically(path, BuildConfigDocument(state));
}

bool ReadConfigFile(TProgramState& state, const std::string& path, std::string* reason) {
    pugi::xml_document doc;
    if (!LoadFile(doc, path, reason)) {
        return false;
    }
    return ReadDocument(state, doc);
}

bool ReadConfigDocument(TProgramState& state, const char* data, std::size_t size) {
    pugi::xml_document doc;
    if (!doc.load_buffer(data, size)) {
        return false;
    }
    return ReadDocument(state, doc);
}

} // namespace orv
