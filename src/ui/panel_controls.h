#pragma once

#include "frame/frame.h"

#include <QStringList>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QWidget;

namespace orv {

class TComboboxEvent;
class TDevice;

QCheckBox* MakeCheck(QWidget* parent, const QString& name, const QString& caption);
QComboBox* MakeCombo(QWidget* parent, const QString& name, const QStringList& items);

// Nibble and bit helpers shared by the pages' handlers: each changes only its own bits.
Byte WithHighNibble(Byte value, int nibble);
Byte WithLowNibble(Byte value, int nibble);
Byte WithBit(Byte value, int bit, bool on);

// The relay settings every panel page shows the same way. The "Тревога" mode is the high nibble
// of the relay parameter and the "Пожар" mode its low one; nothing is stored without a choice.
void StoreRelayMode(TDevice* d, const QComboBox* combo, bool alarm);
void StoreFireRelayControl(TDevice* d, const QAbstractButton* box);
void StoreBuzzer(TDevice* d, const QAbstractButton* box);
// Fills the controls given (fireCtrl and buzzer may be null) without running their handlers.
void FillRelayControls(const TDevice& d, QComboBox* alarm, QComboBox* fire, QAbstractButton* fireCtrl,
                       QAbstractButton* buzzer);

// A zone switched off disables its event combo; switched on, the combo shows the type's default
// event. True when that event is to be stored.
bool ShowZoneTypeOnEvent(TComboboxEvent* event, int type);

} // namespace orv
