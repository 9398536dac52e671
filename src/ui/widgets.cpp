#include "widgets.h"

#include "device/catalogue.h"
#include "device/contact_id.h"
#include "images.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QSignalBlocker>

namespace orv {

void SetTag(QObject* object, int tag) {
    object->setProperty("tag", tag);
}

int Tag(const QObject* object) {
    return object->property("tag").toInt();
}

QString ToQ(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QStringList ToQList(std::span<const std::string_view> texts) {
    QStringList list;
    for (auto t : texts) {
        list << ToQ(t);
    }
    return list;
}

void FillComboItems(QComboBox* combo, const QStringList& items) {
    const QSignalBlocker blocker(combo);
    combo->clear();
    combo->addItems(items);
}

void FitToItems(QComboBox* combo) {
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    combo->setSizePolicy(QSizePolicy::Minimum, combo->sizePolicy().verticalPolicy());
}

void FillZoneTypeCombo(QComboBox* combo, int count) {
    const QSignalBlocker blocker(combo);
    combo->clear();
    for (int code = 0; code < count && code < static_cast<int>(ZoneTypeNames.size()); ++code) {
        combo->addItem(ZoneTypeIcon(code), ToQ(ZoneTypeNames[static_cast<std::size_t>(code)]));
    }
}

int CheckEditMinMax(QLineEdit* edit, int min, int fallback, int max) {
    bool ok = false;
    const QString text = edit->text().trimmed();
    int value = text.toInt(&ok, 10);
    bool replaced = false;
    if (!ok) {
        value = fallback;
        replaced = true;
    }
    if (value < min) {
        value = min;
        replaced = true;
    } else if (value > max) {
        value = max;
        replaced = true;
    }
    if (replaced) {
        edit->setText(QString::number(value));
    }
    return value;
}

void SetCheckedQuietly(QAbstractButton* box, bool checked) {
    const QSignalBlocker blocker(box);
    box->setChecked(checked);
}

void SetIndexQuietly(QComboBox* combo, int index) {
    const QSignalBlocker blocker(combo);
    combo->setCurrentIndex(index < combo->count() ? index : -1);
}

TComboboxEvent::TComboboxEvent(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setMaxVisibleItems(16);
    FitToItems(this);
}

void TComboboxEvent::FillItems(bool showAll) {
    const QSignalBlocker blocker(this);
    clear();
    setCurrentIndex(-1);
    items_ = CidItems(showAll);
    for (const auto& item : items_) {
        addItem(QString::fromStdString(item));
    }
    setCurrentIndex(-1);
}

Byte TComboboxEvent::GetCIDByte(const QString& shownText) const {
    return orv::GetCIDByte(currentIndex() >= 0, shownText.toStdString());
}

void TComboboxEvent::SetCIDByte(Byte value) {
    const int index = orv::SetCIDByte(items_, value);
    if (index == kCidKeepSelection) {
        return;
    }
    const QSignalBlocker blocker(this);
    setCurrentIndex(index);
}

} // namespace orv
