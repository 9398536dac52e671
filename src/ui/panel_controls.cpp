#include "panel_controls.h"

#include "device/catalogue.h"
#include "device/device.h"
#include "widgets.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>

namespace orv {

QCheckBox* MakeCheck(QWidget* parent, const QString& name, const QString& caption) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QComboBox* MakeCombo(QWidget* parent, const QString& name, const QStringList& items) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->addItems(items);
    FitToItems(combo);
    return combo;
}

Byte WithHighNibble(Byte value, int nibble) {
    return static_cast<Byte>((value & 0x0F) | ((nibble & 0x0F) << 4));
}
Byte WithLowNibble(Byte value, int nibble) {
    return static_cast<Byte>((value & 0xF0) | (nibble & 0x0F));
}
Byte WithBit(Byte value, int bit, bool on) {
    return static_cast<Byte>(on ? (value | (1u << bit)) : (value & ~(1u << bit)));
}

void StoreRelayMode(TDevice* d, const QComboBox* combo, bool alarm) {
    const int index = combo->currentIndex();
    if (!d || index < 0) {
        return;
    }
    const Byte v = d->GetParam(prmReleAlarmFire);
    d->SetParam(prmReleAlarmFire, alarm ? WithHighNibble(v, index) : WithLowNibble(v, index));
}

void StoreFireRelayControl(TDevice* d, const QAbstractButton* box) {
    if (d) {
        d->SetParam(prmOPsCheck, WithBit(d->GetParam(prmOPsCheck), 1, box->isChecked()));
    }
}

void StoreBuzzer(TDevice* d, const QAbstractButton* box) {
    if (d) {
        d->SetBuzzer(box->isChecked() ? 1 : 0);
    }
}

void FillRelayControls(const TDevice& d, QComboBox* alarm, QComboBox* fire, QAbstractButton* fireCtrl,
                       QAbstractButton* buzzer) {
    const Byte af = d.GetParam(prmReleAlarmFire);
    SetIndexQuietly(alarm, af >> 4);
    SetIndexQuietly(fire, af & 0x0F);
    if (fireCtrl) {
        SetCheckedQuietly(fireCtrl, (d.GetParam(prmOPsCheck) >> 1) & 1);
    }
    if (buzzer) {
        SetCheckedQuietly(buzzer, d.GetBuzzer() != 0);
    }
}

bool ShowZoneTypeOnEvent(TComboboxEvent* event, int type) {
    event->setEnabled(type != 0);
    if (type == 0) {
        return false;
    }
    event->SetCIDByte(ZoneTypeDefaultCID(static_cast<Byte>(type)));
    return true;
}

} // namespace orv
