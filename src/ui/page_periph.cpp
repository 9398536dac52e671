#include "page_periph.h"

#include "device/catalogue.h"
#include "panel_controls.h"
#include "widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace orv {

namespace {

TDevOP8* AsOP8(TDevice* d) {
    return dynamic_cast<TDevOP8*>(d);
}

} // namespace

TPagePeriph::TPagePeriph(const TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("PGPeriph"), QStringLiteral("Периферия"), 2, parent) {
    const QStringList relayModes = ToQList(RelayModeNames);
    // The relays and the reader's LED on the left, the siren, lamp and sounds on the right: the
    // two widest groups one above the other, so that the page fits a 1024-pixel screen at 120 DPI.
    auto* outer = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    outer->addLayout(left, 1);
    outer->addLayout(right, 1);

    auto* grpRele = new QGroupBox(QStringLiteral("Режим работы реле"), this);
    auto* releGrid = new QGridLayout(grpRele);
    bxReleAlarm_ = MakeCombo(grpRele, QStringLiteral("bxReleAlarm"), relayModes);
    bxReleFire_ = MakeCombo(grpRele, QStringLiteral("bxReleFire"), relayModes);
    bxReleControl_ = MakeCombo(grpRele, QStringLiteral("bxReleControl"), relayModes);
    chkOP8ReleAlrm_ = MakeCheck(grpRele, QStringLiteral("chkOP8ReleAlrm"), QStringLiteral("по СМС"));
    chkOP8ReleAlrm_->setToolTip(
        QStringLiteral("Отключить реле от тревожной тактики.\r\nРеле управляется по SMS."));
    chkOP8ReleFire_ = MakeCheck(grpRele, QStringLiteral("chkOP8ReleFire"), QStringLiteral("по СМС"));
    chkOP8ReleFire_->setToolTip(
        QStringLiteral("Отключить реле от пожарной тактики.\r\nРеле управляется по SMS."));
    releGrid->addWidget(new QLabel(QStringLiteral("\"Тревога\""), grpRele), 0, 0);
    releGrid->addWidget(bxReleAlarm_, 0, 1);
    releGrid->addWidget(chkOP8ReleAlrm_, 0, 2);
    releGrid->addWidget(new QLabel(QStringLiteral("\"Пожар\""), grpRele), 1, 0);
    releGrid->addWidget(bxReleFire_, 1, 1);
    releGrid->addWidget(chkOP8ReleFire_, 1, 2);
    releGrid->addWidget(new QLabel(QStringLiteral("\"Управление\""), grpRele), 2, 0);
    releGrid->addWidget(bxReleControl_, 2, 1);
    // The combos stay next to their captions however wide the group is.
    releGrid->setColumnStretch(3, 1);
    left->addWidget(grpRele);
    OnChoiceChanged(bxReleAlarm_, this, [this] { bxReleAlarmCloseUp(); });
    OnChoiceChanged(bxReleFire_, this, [this] { bxReleFireCloseUp(); });
    OnChoiceChanged(bxReleControl_, this, [this] { bxReleControlCloseUp(); });
    connect(chkOP8ReleAlrm_, &QCheckBox::clicked, this, &TPagePeriph::chkOP8ReleAlrmClick);
    connect(chkOP8ReleFire_, &QCheckBox::clicked, this, &TPagePeriph::chkOP8ReleFireClick);

    auto* grpTM = new QGroupBox(QStringLiteral("Светодиод считывателя Touch Memory"), this);
    auto* tmLayout = new QVBoxLayout(grpTM);
    cbbTMLedMode_ = MakeCombo(grpTM, QStringLiteral("cbbTMLedMode"), ToQList(IndicatorModeNames));
    chkTM_LED_ = MakeCheck(grpTM, QStringLiteral("chkTM_LED"),
                           QStringLiteral("Отображать взятие с учетом обратной связи"));
    tmLayout->addWidget(cbbTMLedMode_);
    tmLayout->addWidget(chkTM_LED_);
    left->addWidget(grpTM);
    left->addStretch(1);
    OnChoiceChanged(cbbTMLedMode_, this, [this] { cbbTMLedModeCloseUp(); });
    connect(chkTM_LED_, &QCheckBox::clicked, this, &TPagePeriph::chkTM_LEDClick);

    auto* grpOps = new QGroupBox(QStringLiteral("Контроль цепей оповещения:"), this);
    auto* opsLayout = new QGridLayout(grpOps);
    const struct {
        const char* name;
        const char* caption;
        int bit;
    } kOps[4] = {{"chkExpBox6", "Сирена", 6},
                 {"chkExpBox7", "Лампа", 7},
                 {"chkExpBox2", "Реле 4", 2},
                 {"chkExpBox1", "Реле 3", 1}};
    for (int i = 0; i < 4; ++i) {
        auto* box = MakeCheck(grpOps, QString::fromLatin1(kOps[i].name), QString::fromUtf8(kOps[i].caption));
        SetTag(box, kOps[i].bit);
        opsBoxes_[i] = box;
        opsLayout->addWidget(box, i / 2, i % 2);
        connect(box, &QCheckBox::clicked, this, [this, box] { PKK_OPsCntrlToggle(box); });
    }
    right->addWidget(grpOps);

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    edtSndWrkTime_ = new QLineEdit(this);
    edtSndWrkTime_->setObjectName(QStringLiteral("edtSndWrkTime"));
    edtSndWrkTime_->setMaximumWidth(50);
    edtSndWrkTime_->setMaxLength(4);
    form->addRow(QStringLiteral("Время работы сирены, мин "), edtSndWrkTime_);
    connect(edtSndWrkTime_, &QLineEdit::editingFinished, this, &TPagePeriph::edtSndWrkTimeChange);
    bxLampMode_ = MakeCombo(this, QStringLiteral("bxLampMode"), ToQList(LampModeNames));
    form->addRow(new QLabel(QStringLiteral("Режим работы лампы:"), this));
    form->addRow(bxLampMode_);
    OnChoiceChanged(bxLampMode_, this, [this] { bxLampModeExit(); });
    QStringList partitions;
    for (int p = 1; p <= 8; ++p) {
        partitions << QString::number(p);
    }
    bxSysPartID_ = MakeCombo(this, QStringLiteral("bxSysPartID"), partitions);
    bxSysPartID_->setToolTip(QStringLiteral("Номер раздела для передачи системных событий (тампера, БП)"));
    form->addRow(QStringLiteral("Раздел для внутренних событий"), bxSysPartID_);
    OnChoiceChanged(bxSysPartID_, this, [this] { bxSysPartIDCloseUp(); });
    right->addLayout(form);

    chkUseBuzzer_ =
        MakeCheck(this, QStringLiteral("chkUseBuzzer"), QStringLiteral("Использовать внутренний зуммер"));
    chkGuardSnd_ =
        MakeCheck(this, QStringLiteral("chkGuardSnd"), QStringLiteral("Сигналы взятия\\снятия сиреной"));
    right->addWidget(chkUseBuzzer_);
    right->addWidget(chkGuardSnd_);
    connect(chkUseBuzzer_, &QCheckBox::clicked, this, &TPagePeriph::chkUseBuzzerClick);
    connect(chkGuardSnd_, &QCheckBox::clicked, this, &TPagePeriph::chkGuardSndClick);

    grpFire2_ = new QGroupBox(QStringLiteral("Двухпороговые шлейфы"), this);
    grpFire2_->setObjectName(QStringLiteral("grpFire2"));
    auto* fireLayout = new QVBoxLayout(grpFire2_);
    fireLayout->addWidget(new QLabel(QStringLiteral("При сработке \"Внимание\""), grpFire2_));
    chkTXCID118_ =
        MakeCheck(grpFire2_, QStringLiteral("chkTXCID118"), QStringLiteral("Передавать события на ПЦН"));
    chkAttSirenON_ = MakeCheck(grpFire2_, QStringLiteral("chkAttSirenON"), QStringLiteral("включить сирену"));
    fireLayout->addWidget(chkTXCID118_);
    fireLayout->addWidget(chkAttSirenON_);
    right->addWidget(grpFire2_);
    right->addStretch(1);
    connect(chkTXCID118_, &QCheckBox::clicked, this, &TPagePeriph::chkTXCID118Click);
    connect(chkAttSirenON_, &QCheckBox::clicked, this, &TPagePeriph::chkAttSirenONClick);
}

void TPagePeriph::SetupForType(Byte type) {
    auto* d = AsOP8(Device());
    if (!d) {
        return;
    }
    grpFire2_->setVisible(type != 1 && type != 2);
    chkTM_LED_->setVisible(d->HasArmFeedback());
    chkOP8ReleAlrm_->setVisible(d->HasGsmExtras());
    chkOP8ReleFire_->setVisible(d->HasGsmExtras());
}

void TPagePeriph::Refresh() {
    auto* d = AsOP8(Device());
    if (!d) {
        return;
    }
    const Byte ops = d->GetParam(prmOPsCheck);
    for (auto* box : opsBoxes_) {
        SetCheckedQuietly(box, (ops >> Tag(box)) & 1);
    }
    FillRelayControls(*d, bxReleAlarm_, bxReleFire_, nullptr, chkUseBuzzer_);
    SetIndexQuietly(bxReleControl_, d->GetParam(prmReleCtrlFail) >> 4);
    const Byte sys = d->GetParam(prmSysCFG);
    SetIndexQuietly(bxSysPartID_, sys & 0x07);
    SetCheckedQuietly(chkGuardSnd_, d->GetGuardSnd());
    edtSndWrkTime_->setText(QString::number(d->GetParam(prmSndWrkTime)));
    const Byte lamp = d->GetParam(prmLampMode);
    SetIndexQuietly(bxLampMode_, lamp & 0x0F);
    SetIndexQuietly(cbbTMLedMode_, lamp >> 4);
    const bool twoThreshold = d->ZoneTypeCount() > 8;
    grpFire2_->setVisible(twoThreshold);
    if (twoThreshold) {
        SetCheckedQuietly(chkTXCID118_, (sys >> 5) & 1);
        SetCheckedQuietly(chkAttSirenON_, (sys >> 6) & 1);
    }
    chkOP8ReleAlrm_->setVisible(d->HasGsmExtras());
    chkOP8ReleFire_->setVisible(d->HasGsmExtras());
    if (d->HasGsmExtras()) {
        SetCheckedQuietly(chkOP8ReleAlrm_, d->GetReleOnGsm(0));
        SetCheckedQuietly(chkOP8ReleFire_, d->GetReleOnGsm(1));
    }
    chkTM_LED_->setVisible(d->HasArmFeedback());
    SetCheckedQuietly(chkTM_LED_, d->GetArmFeedback() != 0);
}

void TPagePeriph::bxReleAlarmCloseUp() {
    StoreRelayMode(Device(), bxReleAlarm_, true);
}

void TPagePeriph::bxReleFireCloseUp() {
    StoreRelayMode(Device(), bxReleFire_, false);
}

void TPagePeriph::bxReleControlCloseUp() {
    if (auto* d = Device(); d && bxReleControl_->currentIndex() >= 0) {
        d->SetParam(prmReleCtrlFail,
                    WithHighNibble(d->GetParam(prmReleCtrlFail), bxReleControl_->currentIndex()));
    }
}

void TPagePeriph::chkOP8ReleAlrmClick() {
    if (auto* d = AsOP8(Device())) {
        d->SetReleOnGsm(0, chkOP8ReleAlrm_->isChecked());
    }
}

void TPagePeriph::chkOP8ReleFireClick() {
    if (auto* d = AsOP8(Device())) {
        d->SetReleOnGsm(1, chkOP8ReleFire_->isChecked());
    }
}

void TPagePeriph::PKK_OPsCntrlToggle(QCheckBox* box) {
    auto* d = Device();
    const int bit = Tag(box);
    if (!d || bit < 0 || bit > 7) {
        return;
    }
    d->SetParam(prmOPsCheck, WithBit(d->GetParam(prmOPsCheck), bit, box->isChecked()));
}

void TPagePeriph::edtSndWrkTimeChange() {
    if (auto* d = Device()) {
        d->SetParam(prmSndWrkTime, static_cast<Byte>(CheckEditMinMax(edtSndWrkTime_, 1, 2, 10)));
    }
}

void TPagePeriph::bxLampModeExit() {
    if (auto* d = Device(); d && bxLampMode_->currentIndex() >= 0) {
        d->SetParam(prmLampMode, WithLowNibble(d->GetParam(prmLampMode), bxLampMode_->currentIndex()));
    }
}

void TPagePeriph::cbbTMLedModeCloseUp() {
    if (auto* d = Device(); d && cbbTMLedMode_->currentIndex() >= 0) {
        d->SetParam(prmLampMode, WithHighNibble(d->GetParam(prmLampMode), cbbTMLedMode_->currentIndex()));
    }
}

void TPagePeriph::chkTM_LEDClick() {
    if (auto* d = Device()) {
        d->SetArmFeedback(chkTM_LED_->isChecked() ? 1 : 0);
    }
}

void TPagePeriph::chkUseBuzzerClick() {
    StoreBuzzer(Device(), chkUseBuzzer_);
}

void TPagePeriph::chkGuardSndClick() {
    if (auto* d = Device()) {
        d->SetGuardSnd(chkGuardSnd_->isChecked());
    }
}

void TPagePeriph::bxSysPartIDCloseUp() {
    auto* d = Device();
    const int index = bxSysPartID_->currentIndex();
    if (!d || index < 0) {
        return;
    }
    d->SetParam(prmSysCFG, static_cast<Byte>((d->GetParam(prmSysCFG) & 0xF8) | (index & 0x07)));
}

void TPagePeriph::chkTXCID118Click() {
    if (auto* d = Device()) {
        d->SetParam(prmSysCFG, WithBit(d->GetParam(prmSysCFG), 5, chkTXCID118_->isChecked()));
    }
}

void TPagePeriph::chkAttSirenONClick() {
    if (auto* d = Device()) {
        d->SetParam(prmSysCFG, WithBit(d->GetParam(prmSysCFG), 6, chkAttSirenON_->isChecked()));
    }
}

} // namespace orv
