#include "page_zones.h"

#include "device/catalogue.h"
#include "panel_controls.h"
#include "widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace orv {

namespace {

bool IsFireType(int t) {
    return t == 3 || t == 8;
}

TDevOP8* AsOP8(TDevice* d) {
    return dynamic_cast<TDevOP8*>(d);
}

} // namespace

TPageZones::TPageZones(const TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("PageShlf"), QStringLiteral("Шлейфы"), 1, parent) {
    auto* outer = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    outer->addLayout(grid);

    const QStringList headers{QString(),
                              QStringLiteral("Тип шлейфа"),
                              QStringLiteral("Код события"),
                              QStringLiteral("Вход"),
                              QStringLiteral("Выход"),
                              QStringLiteral("Раздел"),
                              QStringLiteral("Авто\r\nвосст.\r\n"),
                              QStringLiteral(" Пере-\r\nзапрос\r\n")};
    auto* delayHeader = new QLabel(QStringLiteral("Задержка, сек"), this);
    delayHeader->setAlignment(Qt::AlignCenter);
    grid->addWidget(delayHeader, 0, 3, 1, 2);
    for (int c = 0; c < headers.size(); ++c) {
        auto* h = new QLabel(QString(headers[c]).remove(QLatin1Char('\r')).trimmed(), this);
        h->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        grid->addWidget(h, c == 3 || c == 4 ? 1 : 0, c, c == 3 || c == 4 ? 1 : 2, 1);
    }

    QStringList parts;
    for (int p = 1; p <= 8; ++p) {
        parts << QString::number(p);
    }

    for (int i = 0; i < 8; ++i) {
        const int zone = i + 1;
        const int row = i + 2;
        grid->addWidget(new QLabel(QStringLiteral("ШС%1:").arg(zone), this), row, 0);

        auto* type = new QComboBox(this);
        type->setObjectName(QStringLiteral("FShlfType%1").arg(zone));
        FitToItems(type);
        SetTag(type, zone);
        typeCombo_[i] = type;
        grid->addWidget(type, row, 1);
        OnChoiceChanged(type, this, [this, zone] { TypeChange(zone); });

        auto* event = new TComboboxEvent(this);
        event->setObjectName(QStringLiteral("cbbEvOP8Ev%1").arg(zone));
        SetTag(event, zone);
        eventCombo_[i] = event;
        grid->addWidget(event, row, 2);
        OnChoiceChanged(event, this, [this, event] { cbbEventChange(event); });

        auto makeDelay = [this, zone](const QString& name) {
            auto* edit = new QLineEdit(QStringLiteral("0"), this);
            edit->setObjectName(name.arg(zone));
            edit->setMaximumWidth(44);
            edit->setMaxLength(4);
            SetTag(edit, zone);
            return edit;
        };
        delayIn_[i] = makeDelay(QStringLiteral("edtDelayIn%1"));
        delayOut_[i] = makeDelay(QStringLiteral("edtDelayOut%1"));
        grid->addWidget(delayIn_[i], row, 3);
        grid->addWidget(delayOut_[i], row, 4);
        connect(delayIn_[i], &QLineEdit::editingFinished, this,
                [this, e = delayIn_[i]] { fldDelayInChange(e); });
        connect(delayOut_[i], &QLineEdit::editingFinished, this,
                [this, e = delayOut_[i]] { fldDelayOutChange(e); });

        auto* part = new QComboBox(this);
        part->setObjectName(QStringLiteral("bxShlfPart%1").arg(zone));
        part->addItems(parts);
        FitToItems(part);
        SetTag(part, zone);
        partCombo_[i] = part;
        grid->addWidget(part, row, 5);
        OnChoiceChanged(part, this, [this, zone] { ShlfPartChange(zone); });

        auto* rearm = new QCheckBox(this);
        rearm->setObjectName(QStringLiteral("chkShlfRearm%1").arg(zone));
        rearm->setToolTip(QStringLiteral("Автоматическое восстановление шлейфа"));
        SetTag(rearm, zone);
        rearm_[i] = rearm;
        grid->addWidget(rearm, row, 6, Qt::AlignCenter);

        auto* req = new QCheckBox(this);
        req->setObjectName(QStringLiteral("chkF_Req%1").arg(zone));
        req->setToolTip(QStringLiteral("Перезапрос пожарного шлейфа"));
        SetTag(req, zone);
        fireReq_[i] = req;
        grid->addWidget(req, row, 7, Qt::AlignCenter);
    }

    grpPartDep_ = new QGroupBox(QStringLiteral("Зависимость охраны раздела 1"), this);
    grpPartDep_->setObjectName(QStringLiteral("grpPartDep"));
    grpPartDep_->setToolTip(
        QStringLiteral("Первый раздел будет ставится на охрану если стоят на \r\nохране все "
                       "отмеченные разделы;\r\nили снимается при снятии с охраны любого "
                       "отмеченного.\r\n"));
    auto* depLayout = new QHBoxLayout(grpPartDep_);
    for (int n = 2; n <= 8; ++n) {
        auto* box = new QCheckBox(QString::number(n), grpPartDep_);
        box->setObjectName(QStringLiteral("chkPartDep%1").arg(n));
        SetTag(box, n);
        box->setEnabled(false);
        partDep_[n] = box;
        depLayout->addWidget(box);
    }
    depLayout->addStretch(1);
    outer->addWidget(grpPartDep_);
    outer->addStretch(1);
}

void TPageZones::SetupForType(Byte type) {
    auto* d = AsOP8(Device());
    if (!d) {
        return;
    }
    const int count = (type == 1 || type == 2) ? 8 : 9;
    for (int i = 0; i < 8; ++i) {
        FillZoneTypeCombo(typeCombo_[i], count);
        eventCombo_[i]->FillItems(false);
    }
}

void TPageZones::Refresh() {
    auto* d = AsOP8(Device());
    if (!d) {
        return;
    }
    for (int i = 0; i < 8; ++i) {
        const int zone = i + 1;
        const int t = d->GetZoneType(zone);
        SetIndexQuietly(partCombo_[i], d->GetZonePart(zone));
        SetIndexQuietly(typeCombo_[i], t);
        eventCombo_[i]->setEnabled(t != 0);
        eventCombo_[i]->SetCIDByte(d->GetZoneCID(zone));
        delayIn_[i]->setVisible(t == 7);
        delayOut_[i]->setVisible(t == 7);
        delayIn_[i]->setText(QString::number(d->GetZoneDelay(zone, false)));
        delayOut_[i]->setText(QString::number(d->GetZoneDelay(zone, true)));
        rearm_[i]->setEnabled(t != 4);
        rearm_[i]->setVisible(t != 0);
        SetCheckedQuietly(rearm_[i], d->GetZoneRearm(zone) != 0);
        fireReq_[i]->setVisible(IsFireType(t));
        SetCheckedQuietly(fireReq_[i], d->GetZoneFireReCheck(zone) != 0);
    }
    const Byte dep = d->GetPartDep();
    for (int n = 2; n <= 8; ++n) {
        SetCheckedQuietly(partDep_[n], (dep >> (n - 1)) & 1);
    }
    // The no-arm mask is derived data that every change and the commit step recompute; filling
    // only updates which dependency boxes may be used.
    PartsLogic(false);
}

void TPageZones::TypeChange(int zone) {
    auto* d = AsOP8(Device());
    if (!d || zone < 1 || zone > 8) {
        return;
    }
    const int i = zone - 1;
    const int t = ZoneTypeIndex(typeCombo_[i]->currentText().toStdString());
    if (t < 0) {
        return;
    }
    if (ShowZoneTypeOnEvent(eventCombo_[i], t)) {
        cbbEventChange(eventCombo_[i]);
    }
    rearm_[i]->setEnabled(t != 4);
    rearm_[i]->setVisible(t != 0);
    SetCheckedQuietly(rearm_[i], t != 0);
    if (t == 7) {
        delayIn_[i]->setVisible(true);
        delayOut_[i]->setVisible(true);
        delayIn_[i]->setText(QStringLiteral("30"));
        delayOut_[i]->setText(QStringLiteral("30"));
        fldDelayInChange(delayIn_[i]);
        fldDelayOutChange(delayOut_[i]);
    } else {
        delayIn_[i]->setVisible(false);
        delayOut_[i]->setVisible(false);
        delayIn_[i]->setText(QStringLiteral("0"));
        delayOut_[i]->setText(QStringLiteral("0"));
    }
    d->SetZoneType(zone, static_cast<Byte>(t));
    SetCheckedQuietly(fireReq_[i], false);
    fireReq_[i]->setVisible(IsFireType(t));
    PartsLogic();
}

void TPageZones::cbbEventChange(TComboboxEvent* combo) {
    TDevice* d = Device();
    if (!d || !combo) {
        return;
    }
    d->SetZoneCID(Tag(combo), combo->GetCIDByte(combo->currentText()));
}

void TPageZones::fldDelayInChange(QLineEdit* edit) {
    TDevice* d = Device();
    if (!d) {
        return;
    }
    const int value = CheckEditMinMax(edit, 0, 30, 99);
    d->SetZoneDelay(Tag(edit), false, static_cast<Byte>(value));
}

void TPageZones::fldDelayOutChange(QLineEdit* edit) {
    TDevice* d = Device();
    if (!d) {
        return;
    }
    const int value = CheckEditMinMax(edit, 0, 30, 99);
    d->SetZoneDelay(Tag(edit), true, static_cast<Byte>(value));
}

void TPageZones::ShlfPartChange(int zone) {
    auto* d = AsOP8(Device());
    if (!d || zone < 1 || zone > 8) {
        return;
    }
    const int index = partCombo_[zone - 1]->currentIndex();
    if (index < 0) {
        return;
    }
    d->SetZonePart(zone, static_cast<Byte>(index));
    PartsLogic();
}

void TPageZones::PageShlfExit() {
    PartsLogic();
}

void TPageZones::PartsLogic(bool store) {
    const PartitionMasks masks = ComputePartitionMasks(View());
    for (int n = 2; n <= 8; ++n) {
        const bool on = (masks.DependencyAllowed() >> (n - 1)) & 1;
        partDep_[n]->setEnabled(on);
        if (!on) {
            SetCheckedQuietly(partDep_[n], false);
        }
    }
    if (store) {
        if (auto* d = AsOP8(Device())) {
            d->SetPartNoArmMask(masks.NoArm());
        }
    }
}

void TPageZones::PartDepsLogic() {
    auto* d = AsOP8(Device());
    if (!d) {
        return;
    }
    Byte mask = 0;
    for (int n = 2; n <= 8; ++n) {
        if (partDep_[n]->isChecked()) {
            mask = static_cast<Byte>(mask | (1u << (n - 1)));
        }
    }
    d->SetPartDep(mask);
}

void TPageZones::ShlfRearmWrite() {
    auto* d = AsOP8(Device());
    if (!d) {
        return;
    }
    for (int i = 0; i < 8; ++i) {
        d->SetZoneRearm(i + 1, rearm_[i]->isChecked());
        d->SetZoneFireReCheck(i + 1, fireReq_[i]->isChecked());
    }
}

ZonePageView TPageZones::View() const {
    ZonePageView view;
    for (int i = 0; i < 8; ++i) {
        auto& row = view.Zone(i + 1);
        row.partition = partCombo_[i]->currentIndex();
        row.type = typeCombo_[i]->currentIndex();
        row.rearm = rearm_[i]->isChecked();
        row.fireReQuery = fireReq_[i]->isChecked();
    }
    for (int n = 2; n <= 8; ++n) {
        view.PartDep(n) = partDep_[n]->isChecked();
    }
    return view;
}

} // namespace orv
