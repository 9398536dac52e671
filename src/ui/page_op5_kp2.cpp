#include "page_op5_kp2.h"

#include "device/catalogue.h"
#include "panel_controls.h"
#include "widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace orv {

TPageOP5::TPageOP5(const TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("PGOP5"), QStringLiteral("Основные настройки"), 4, parent) {
    auto* layout = new QVBoxLayout(this);
    chkOP5UseBuzer_ = new QCheckBox(QStringLiteral("Использовать внутренний зуммер"), this);
    chkOP5UseBuzer_->setObjectName(QStringLiteral("chkOP5UseBuzer"));
    chkOP5GrdFdbckON_ = new QCheckBox(QStringLiteral("Отображать взятие с учетом обратной связи"), this);
    chkOP5GrdFdbckON_->setObjectName(QStringLiteral("chkOP5GrdFdbckON"));
    layout->addWidget(chkOP5UseBuzer_);
    layout->addWidget(chkOP5GrdFdbckON_);
    // The panel's own zone controls are never offered: they stay hidden and disabled.
    for (int zone = 1; zone <= 5; ++zone) {
        auto* event = new TComboboxEvent(this);
        event->setObjectName(QStringLiteral("cbbEvOP5Ev%1").arg(zone));
        SetTag(event, zone);
        event->setVisible(false);
        event->setEnabled(false);
        layout->addWidget(event);
    }
    layout->addStretch(1);
    connect(chkOP5UseBuzer_, &QCheckBox::clicked, this, &TPageOP5::chkOP5UseBuzerClick);
    connect(chkOP5GrdFdbckON_, &QCheckBox::clicked, this, &TPageOP5::chkOP5GrdFdbckONClick);
}

void TPageOP5::Refresh() {
    auto* d = dynamic_cast<TDevOP5*>(Device());
    if (!d) {
        return;
    }
    SetCheckedQuietly(chkOP5UseBuzer_, d->GetBuzzer() != 0);
    SetCheckedQuietly(chkOP5GrdFdbckON_, d->GetArmFeedback() != 0);
}

void TPageOP5::chkOP5UseBuzerClick() {
    StoreBuzzer(Device(), chkOP5UseBuzer_);
}

void TPageOP5::chkOP5GrdFdbckONClick() {
    if (auto* d = Device()) {
        d->SetArmFeedback(chkOP5GrdFdbckON_->isChecked() ? 1 : 0);
    }
}

TPageKP2::TPageKP2(const TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("PG_KP2"), QStringLiteral("КП2"), 8, parent) {
    auto* outer = new QVBoxLayout(this);
    auto* zones = new QGridLayout;
    zones->addWidget(new QLabel(QStringLiteral("Тип шлейфа"), this), 0, 1);
    zones->addWidget(new QLabel(QStringLiteral("Код события"), this), 0, 2);
    for (int i = 0; i < 2; ++i) {
        const int zone = i + 1;
        zones->addWidget(new QLabel(QStringLiteral("ШС%1:").arg(zone), this), zone, 0);
        tactic_[i] = new QComboBox(this);
        tactic_[i]->setObjectName(QStringLiteral("cbbKP2Tactic%1").arg(zone));
        FitToItems(tactic_[i]);
        SetTag(tactic_[i], zone);
        event_[i] = new TComboboxEvent(this);
        event_[i]->setObjectName(QStringLiteral("cbbEvKP2_%1").arg(zone));
        SetTag(event_[i], zone);
        zones->addWidget(tactic_[i], zone, 1);
        zones->addWidget(event_[i], zone, 2);
        OnChoiceChanged(tactic_[i], this, [this, zone] { KP2TypeChange(zone); });
        OnChoiceChanged(event_[i], this, [this, e = event_[i]] { cbbEventChange(e); });
    }
    zones->setColumnStretch(3, 1);
    outer->addLayout(zones);

    const QStringList relayModes = ToQList(RelayModeNames);
    auto* grpRele = new QGroupBox(QStringLiteral("Режим работы реле"), this);
    auto* grid = new QGridLayout(grpRele);
    bxKP2ReleAlarm_ = new QComboBox(grpRele);
    bxKP2ReleAlarm_->setObjectName(QStringLiteral("bxKP2ReleAlarm"));
    bxKP2ReleAlarm_->addItems(relayModes);
    bxKP2ReleFire_ = new QComboBox(grpRele);
    bxKP2ReleFire_->setObjectName(QStringLiteral("bxKP2ReleFire"));
    bxKP2ReleFire_->addItems(relayModes);
    FitToItems(bxKP2ReleAlarm_);
    FitToItems(bxKP2ReleFire_);
    grid->addWidget(new QLabel(QStringLiteral("\"Тревога\""), grpRele), 0, 0);
    grid->addWidget(bxKP2ReleAlarm_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("\"Пожар\""), grpRele), 1, 0);
    grid->addWidget(bxKP2ReleFire_, 1, 1);
    chkKP2ReleContr_ = new QCheckBox(QStringLiteral("Контроль цепи реле \"пожар\""), grpRele);
    chkKP2ReleContr_->setObjectName(QStringLiteral("chkKP2ReleContr"));
    grid->addWidget(chkKP2ReleContr_, 2, 0, 1, 2);
    // The combos stay next to their captions however wide the group is.
    grid->setColumnStretch(2, 1);
    outer->addWidget(grpRele);
    chkKP2BuzzerOn_ = new QCheckBox(QStringLiteral("Использовать внутренний зуммер"), this);
    chkKP2BuzzerOn_->setObjectName(QStringLiteral("chkKP2BuzzerOn"));
    outer->addWidget(chkKP2BuzzerOn_);
    outer->addStretch(1);
    OnChoiceChanged(bxKP2ReleAlarm_, this, [this] { bxCNCReleAlarmCloseUp(); });
    OnChoiceChanged(bxKP2ReleFire_, this, [this] { bxCNCReleFireCloseUp(); });
    connect(chkKP2ReleContr_, &QCheckBox::clicked, this, &TPageKP2::chkKP2ReleContrClick);
    connect(chkKP2BuzzerOn_, &QCheckBox::clicked, this, &TPageKP2::chkUseBuzzerClick);
}

void TPageKP2::SetupForType(Byte type) {
    if (type != 6) {
        return;
    }
    for (int i = 0; i < 2; ++i) {
        FillZoneTypeCombo(tactic_[i], 5);
        event_[i]->FillItems(true);
    }
}

void TPageKP2::Refresh() {
    auto* d = dynamic_cast<TDV6_KP2*>(Device());
    if (!d) {
        return;
    }
    for (int i = 0; i < 2; ++i) {
        const int t = d->GetZoneType(i + 1);
        SetIndexQuietly(tactic_[i], t);
        event_[i]->setEnabled(t != 0);
        event_[i]->SetCIDByte(d->GetZoneCID(i + 1));
    }
    FillRelayControls(*d, bxKP2ReleAlarm_, bxKP2ReleFire_, chkKP2ReleContr_, chkKP2BuzzerOn_);
}

void TPageKP2::KP2TypeChange(int zone) {
    TDevice* d = Device();
    if (!d || zone < 1 || zone > 2) {
        return;
    }
    const int i = zone - 1;
    const int t = ZoneTypeIndex(tactic_[i]->currentText().toStdString());
    if (t < 0) {
        return;
    }
    if (ShowZoneTypeOnEvent(event_[i], t)) {
        cbbEventChange(event_[i]);
    }
    d->SetZoneType(zone, static_cast<Byte>(t));
}

void TPageKP2::cbbEventChange(TComboboxEvent* combo) {
    if (auto* d = Device()) {
        d->SetZoneCID(Tag(combo), combo->GetCIDByte(combo->currentText()));
    }
}

void TPageKP2::bxCNCReleAlarmCloseUp() {
    StoreRelayMode(Device(), bxKP2ReleAlarm_, true);
}

void TPageKP2::bxCNCReleFireCloseUp() {
    StoreRelayMode(Device(), bxKP2ReleFire_, false);
}

void TPageKP2::chkKP2ReleContrClick() {
    StoreFireRelayControl(Device(), chkKP2ReleContr_);
}

void TPageKP2::chkUseBuzzerClick() {
    StoreBuzzer(Device(), chkKP2BuzzerOn_);
}

} // namespace orv
