#pragma once

#include "frame/frame.h"
#include "ui/dialogs/combo_choice.h"

#include <QComboBox>
#include <QString>
#include <QStringList>

#include <span>
#include <string_view>

class QLineEdit;
class QAbstractButton;

namespace orv {

// Controls carry a numeric tag (zone number, bit number, page mask bit) as a dynamic property.
void SetTag(QObject* object, int tag);
int Tag(const QObject* object);

QString ToQ(std::string_view text);
QStringList ToQList(std::span<const std::string_view> texts);

// Replaces the combo's items with the texts, in order.
void FillComboItems(QComboBox* combo, const QStringList& items);

// Makes the combo as wide as its longest item, whenever its items change, and keeps layouts
// from squeezing it narrower: the chosen item always shows whole.
void FitToItems(QComboBox* combo);

// Zone types 0..count-1, each with its icon.
void FillZoneTypeCombo(QComboBox* combo, int count);

// Checks an edit when it is left: text that is not a decimal number gives the fallback, values
// outside min..max are clamped; a replaced value is written back into the edit.
int CheckEditMinMax(QLineEdit* edit, int min, int fallback, int max);

// Sets a check box's state without running any of its handlers.
void SetCheckedQuietly(QAbstractButton* box, bool checked);
// Selects a combo item without running any of its handlers.
void SetIndexQuietly(QComboBox* combo, int index);

// The event-code combo: shows Contact ID events and turns a choice into the stored byte.
// Its tag is the zone it belongs to.
class TComboboxEvent : public QComboBox {
    Q_OBJECT
public:
    explicit TComboboxEvent(QWidget* parent = nullptr);

    // Empties the combo and adds every event, or only those not hidden (225 or 178 items).
    void FillItems(bool showAll);
    // The stored byte for the shown text; 0 without a selection or for an unknown text.
    Byte GetCIDByte(const QString& shownText) const;
    // Selects the event with this byte; no selection when it is hidden here; an unknown byte
    // leaves the combo as it is.
    void SetCIDByte(Byte value);

private:
    std::vector<std::string> items_;
};

} // namespace orv
