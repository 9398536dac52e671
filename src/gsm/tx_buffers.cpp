#include "tx_buffers.h"

#include "device/retranslator.h"

namespace orv {

namespace {

// A combo without a selection (index -1) counts for no partition, or as an off zone.
void AddZone(PartitionMasks& m, int partition, int type) {
    if (partition < 0 || partition > 7) {
        return;
    }
    const Byte bit = static_cast<Byte>(1u << partition);
    m.used |= bit;
    if (type > 0) {
        m.enabled |= bit;
    }
    if (type == 5 || type == 6 || type == 7) {
        m.guarded |= bit;
    }
}

Byte CheckedDependencies(const ZonePageView& view) {
    Byte mask = 0;
    for (int n = 2; n <= 8; ++n) {
        if (view.PartDep(n)) {
            mask |= static_cast<Byte>(1u << (n - 1));
        }
    }
    return mask;
}

void CommitZonePage(TDevOP8& device, const ZonePageView* view) {
    const PartitionMasks masks = view ? ComputePartitionMasks(*view) : ComputePartitionMasks(device);
    device.SetPartNoArmMask(masks.NoArm());
    // The partitions rule clears every box it disables before the dependencies are taken.
    const Byte dependencies = view ? CheckedDependencies(*view) : device.GetPartDep();
    device.SetPartDep(static_cast<Byte>(dependencies & masks.DependencyAllowed()));
    if (view) {
        for (int n = 1; n <= 8; ++n) {
            device.SetZoneRearm(n, view->Zone(n).rearm);
            device.SetZoneFireReCheck(n, view->Zone(n).fireReQuery);
        }
    }
}

} // namespace

PartitionMasks ComputePartitionMasks(const ZonePageView& view) {
    PartitionMasks m;
    for (const ZoneRowView& zone : view.zones) {
        AddZone(m, zone.partition, zone.type);
    }
    return m;
}

PartitionMasks ComputePartitionMasks(const TDevOP8& device) {
    PartitionMasks m;
    for (int n = 1; n <= 8; ++n) {
        AddZone(m, device.GetZonePart(n), device.GetZoneType(n));
    }
    return m;
}

CommitResult UpdateAllTXBuffers(TProgramState& state, const ZonePageView* view, CommitFor purpose) {
    TDevice* device = state.device.get();
    if (device == nullptr) {
        return {};
    }
    auto* retranslator = dynamic_cast<TDV15_Ret*>(device);
    const bool gsm = device->GetGsmConnected();
    const bool smsOn = gsm && GetSmsFlag(state.GsmFrame);
    const bool gprsOn = gsm && GetGprsFlag(state.GsmFrame);

    // Everything that can be refused is built aside first, so a refusal changes nothing.
    SmsModel sms = state.Sms;
    FrameBuffer smsFrame = state.SmsFrame;
    if (smsOn && retranslator == nullptr) {
        sms.Setup(*device);
        if (auto refusal = sms.Encode(smsFrame)) {
            return {std::move(*refusal), std::string(sms::kCaption)};
        }
    }
    FrameBuffer gprsFrame = state.GprsFrame;
    if (gprsOn) {
        // Without an APN the frame would only be marked empty and a stale one would be sent. A
        // file keeps the settings as they are (its reader marks such a frame empty as well).
        if (purpose == CommitFor::Panel && !state.Gprs.HasApn()) {
            return {std::string(gprs::kNoApnText), std::string(gprs::kCaption)};
        }
        if (auto refusal = state.Gprs.Encode(gprsFrame)) {
            return {std::move(*refusal), std::string(gprs::kCaption)};
        }
    }

    if (auto* op8 = dynamic_cast<TDevOP8*>(device)) {
        CommitZonePage(*op8, view);
    }
    if (!gsm) {
        return {};
    }
    EncodeDirections(state.Directions, state.GsmFrame);
    if (smsOn) {
        if (retranslator != nullptr) {
            state.RetSms.UpdateDevice(retranslator->Sms());
        } else {
            state.Sms = std::move(sms);
            state.SmsFrame = smsFrame;
        }
    }
    if (gprsOn) {
        state.GprsFrame = gprsFrame;
    }
    return {};
}

void RefreshSmsModels(TProgramState& state) {
    if (auto* retranslator = dynamic_cast<TDV15_Ret*>(state.device.get())) {
        state.RetSms.Fill(retranslator->Sms());
        return;
    }
    if (state.device) {
        state.Sms.Setup(*state.device);
    }
    state.Sms.RefreshControls(state.SmsFrame);
}

void RefreshGprsModel(TProgramState& state) {
    state.Gprs.FillFromFrame(state.GprsFrame);
}

void RefreshGsmModels(TProgramState& state) {
    DecodeDirections(state.GsmFrame, state.Directions);
    RefreshSmsModels(state);
    RefreshGprsModel(state);
}

void SetSmsListOn(TProgramState& state, bool on) {
    SetSmsFlag(state.GsmFrame, on);
    auto* retranslator = dynamic_cast<TDV15_Ret*>(state.device.get());
    if (retranslator != nullptr) {
        if (!on) {
            retranslator->Sms().Clear();
        }
        state.RetSms.Fill(retranslator->Sms());
        return;
    }
    if (on) {
        if (state.device) {
            state.Sms.Setup(*state.device);
        }
        WriteSmsRecords(state.SmsFrame, {}, state.Sms.RowCount());
        state.Sms.RefreshControls(state.SmsFrame);
    }
}

void StartGsmSettings(TProgramState& state) {
    ResetGsmFrame(state.GsmFrame);
    DecodeDirections(state.GsmFrame, state.Directions);
}

void SetGprsOn(TProgramState& state, bool on) {
    SetGprsFlag(state.GsmFrame, on);
    if (on) {
        state.Gprs.Reset();
    }
}

} // namespace orv
