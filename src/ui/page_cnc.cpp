#include "page_cnc.h"

#include "device/catalogue.h"
#include "dialogs.h"
#include "exp_mask_dialog.h"
#include "panel_controls.h"
#include "widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace orv {

namespace {

const QStringList& AutoResetItems() {
    static const QStringList items{QStringLiteral("до нажатия кнопки \"сброс\""),
                                   QStringLiteral("автоматически через 10 минут")};
    return items;
}

// Relay combos, fire-relay supervision and buzzer: shared by both control-panel pages.
struct RelayBlock {
    QComboBox* alarm;
    QComboBox* fire;
    QCheckBox* fireCtrl;
    QCheckBox* buzzer;
};

QGroupBox* BuildRelayBlock(QWidget* parent, const QString& prefix, const QString& ctrlName,
                           const QString& buzzName, RelayBlock& block) {
    auto* grp = new QGroupBox(QStringLiteral("Режим работы реле"), parent);
    auto* grid = new QGridLayout(grp);
    const QStringList modes = ToQList(RelayModeNames);
    block.alarm = MakeCombo(grp, prefix + QStringLiteral("ReleAlarm"), modes);
    block.fire = MakeCombo(grp, prefix + QStringLiteral("ReleFire"), modes);
    grid->addWidget(new QLabel(QStringLiteral("\"Тревога\""), grp), 0, 0);
    grid->addWidget(block.alarm, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("\"Пожар\""), grp), 1, 0);
    grid->addWidget(block.fire, 1, 1);
    block.fireCtrl = MakeCheck(grp, ctrlName, QStringLiteral("Контроль цепи реле \"пожар\""));
    grid->addWidget(block.fireCtrl, 2, 0, 1, 2);
    // The combos stay next to their captions however wide the group is.
    grid->setColumnStretch(2, 1);
    block.buzzer = MakeCheck(parent, buzzName, QStringLiteral("Использовать внутренний зуммер"));
    return grp;
}

} // namespace

// ---------------------------------------------------------------------------------------------

TPageCnc8::TPageCnc8(const TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("PGCNC"), QStringLiteral("Концентратор"), 32, parent) {
    // As on the concentrator page of the OP5 family: the BVI group and the alarm reset's long
    // choice share the left column.
    auto* outer = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    outer->addLayout(left, 1);
    outer->addLayout(right, 1);

    auto* grpExp = new QGroupBox(QStringLiteral("Расширители"), this);
    auto* expLayout = new QGridLayout(grpExp);
    for (int bit = 0; bit < 8; ++bit) {
        auto* box = MakeCheck(grpExp, QStringLiteral("chkExp%1").arg(bit),
                              bit == 7 ? QStringLiteral("БВИ") : QString::number(bit + 1));
        SetTag(box, bit);
        chkExp_[bit] = box;
        expLayout->addWidget(box, bit / 4, bit % 4);
        connect(box, &QCheckBox::clicked, this, [this, box] { ExpToggle(box); });
    }
    left->addWidget(grpExp);

    grpBVI_ = new QGroupBox(QStringLiteral("БВИ"), this);
    grpBVI_->setObjectName(QStringLiteral("grpBVI"));
    auto* bviLayout = new QVBoxLayout(grpBVI_);
    chkBVIAlarmSilent_ = MakeCheck(grpBVI_, QStringLiteral("chkBVIAlarmSilent"),
                                   QStringLiteral("Вкл. звук при тихой тревоге на расширителях"));
    chkBVIAlarmDuress_ = MakeCheck(grpBVI_, QStringLiteral("chkBVIAlarmDuress"),
                                   QStringLiteral("Вкл. звук при \"принуждении\" на расширителях"));
    chkResetSNSByBVI_ = MakeCheck(grpBVI_, QStringLiteral("chkResetSNSByBVI"),
                                  QStringLiteral("Сброс концентратора с БВИ (версия > 2)"));
    chkBVIEnableReset_ = MakeCheck(grpBVI_, QStringLiteral("chkBVIEnableReset"),
                                   QStringLiteral("Разрешить сброс расширителей кнопками"));
    bviLayout->addWidget(chkBVIAlarmSilent_);
    bviLayout->addWidget(chkBVIAlarmDuress_);
    bviLayout->addWidget(chkResetSNSByBVI_);
    bviLayout->addWidget(chkBVIEnableReset_);
    left->addWidget(grpBVI_);
    auto* resetRow = new QHBoxLayout;
    lblCnc8AlmReset_ = new QLabel(QStringLiteral("Сброс тревог:"), this);
    lblCnc8AlmReset_->setObjectName(QStringLiteral("lblCnc8AlmReset"));
    cbbCNC8_AutoRst_ = MakeCombo(this, QStringLiteral("cbbCNC8_AutoRst"), AutoResetItems());
    resetRow->addWidget(lblCnc8AlmReset_);
    resetRow->addWidget(cbbCNC8_AutoRst_);
    resetRow->addStretch(1);
    left->addLayout(resetRow);
    left->addStretch(1);
    connect(chkBVIAlarmSilent_, &QCheckBox::clicked, this, &TPageCnc8::chkBVIAlarmSilentClick);
    connect(chkBVIAlarmDuress_, &QCheckBox::clicked, this, &TPageCnc8::chkBVIAlarmDuressClick);
    connect(chkResetSNSByBVI_, &QCheckBox::clicked, this, &TPageCnc8::chkResetSNSByBVIClick);
    connect(chkBVIEnableReset_, &QCheckBox::clicked, this, &TPageCnc8::chkBVIEnableResetClick);

    RelayBlock block{};
    right->addWidget(BuildRelayBlock(this, QStringLiteral("bxCNC"), QStringLiteral("chkCncFireReleCntr"),
                                     QStringLiteral("chkCncBuzzOn"), block));
    bxCNCReleAlarm_ = block.alarm;
    bxCNCReleFire_ = block.fire;
    chkCncFireReleCntr_ = block.fireCtrl;
    chkCncBuzzOn_ = block.buzzer;
    right->addWidget(chkCncBuzzOn_);
    OnChoiceChanged(bxCNCReleAlarm_, this, [this] { bxCNCReleAlarmCloseUp(); });
    OnChoiceChanged(bxCNCReleFire_, this, [this] { bxCNCReleFireCloseUp(); });
    connect(chkCncFireReleCntr_, &QCheckBox::clicked, this, &TPageCnc8::chkCncFireReleCntrClick);
    connect(chkCncBuzzOn_, &QCheckBox::clicked, this, &TPageCnc8::chkUseBuzzerClick);
    right->addStretch(1);
    OnChoiceChanged(cbbCNC8_AutoRst_, this, [this] { CNC_AutoResetCloseUp(); });
}

void TPageCnc8::SetupForType(Byte type) {
    if (type != 3 && type != 11 && type != 17) {
        return;
    }
    lblCnc8AlmReset_->setVisible(type != 3);
    cbbCNC8_AutoRst_->setVisible(type != 3);
}

void TPageCnc8::Refresh() {
    auto* d = dynamic_cast<TDevCnc8*>(Device());
    if (!d) {
        return;
    }
    const Byte mask = d->GetExpanders();
    for (int bit = 0; bit < 8; ++bit) {
        SetCheckedQuietly(chkExp_[bit], (mask >> bit) & 1);
    }
    grpBVI_->setVisible((mask >> 7) & 1);
    const Byte bvi = d->GetBviAlarm();
    SetCheckedQuietly(chkBVIAlarmSilent_, bvi & 0x01);
    SetCheckedQuietly(chkBVIAlarmDuress_, bvi & 0x02);
    SetCheckedQuietly(chkResetSNSByBVI_, bvi & 0x80);
    SetCheckedQuietly(chkBVIEnableReset_, d->GetBviButtons());
    FillRelayControls(*d, bxCNCReleAlarm_, bxCNCReleFire_, chkCncFireReleCntr_, chkCncBuzzOn_);
    SetIndexQuietly(cbbCNC8_AutoRst_, d->GetAutoReset() != 0 ? 1 : 0);
}

void TPageCnc8::ExpToggle(QCheckBox* box) {
    auto* d = dynamic_cast<TDevCnc8*>(Device());
    const int bit = Tag(box);
    if (!d || bit < 0 || bit > 7) {
        return;
    }
    d->SetExpanderBit(bit, box->isChecked());
    if (bit == 7) {
        grpBVI_->setVisible(box->isChecked());
    }
}

void TPageCnc8::BviBit(int bit, bool on) {
    if (auto* d = dynamic_cast<TDevCnc*>(Device())) {
        d->SetBviAlarm(WithBit(d->GetBviAlarm(), bit, on));
    }
}

void TPageCnc8::chkBVIAlarmSilentClick() {
    BviBit(0, chkBVIAlarmSilent_->isChecked());
}
void TPageCnc8::chkBVIAlarmDuressClick() {
    BviBit(1, chkBVIAlarmDuress_->isChecked());
}
void TPageCnc8::chkResetSNSByBVIClick() {
    BviBit(7, chkResetSNSByBVI_->isChecked());
}

void TPageCnc8::chkBVIEnableResetClick() {
    if (auto* d = dynamic_cast<TDevCnc8*>(Device())) {
        d->SetBviButtons(chkBVIEnableReset_->isChecked());
    }
}

void TPageCnc8::bxCNCReleAlarmCloseUp() {
    StoreRelayMode(Device(), bxCNCReleAlarm_, true);
}
void TPageCnc8::bxCNCReleFireCloseUp() {
    StoreRelayMode(Device(), bxCNCReleFire_, false);
}

void TPageCnc8::chkCncFireReleCntrClick() {
    StoreFireRelayControl(Device(), chkCncFireReleCntr_);
}

void TPageCnc8::chkUseBuzzerClick() {
    StoreBuzzer(Device(), chkCncBuzzOn_);
}

void TPageCnc8::CNC_AutoResetCloseUp() {
    if (auto* d = dynamic_cast<TDevCnc*>(Device())) {
        d->SetAutoReset(cbbCNC8_AutoRst_->currentIndex() == 1 ? 10 : 0);
    }
}

// ---------------------------------------------------------------------------------------------

TPageCnc5::TPageCnc5(const TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("PG_CNCOP5"), QStringLiteral("Концентратор"), 64, parent) {
    // The expanders and what they report on the left, the relays and the buzzer on the right:
    // the BVI group's long caption and the alarm reset's long choice share a column, so that the
    // page fits a 1024-pixel screen at 120 DPI.
    auto* outer = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    outer->addLayout(left, 1);
    outer->addLayout(right, 1);

    auto* grpExp = new QGroupBox(QStringLiteral("Расширители"), this);
    auto* expLayout = new QVBoxLayout(grpExp);
    edtExtMask_ = new QLineEdit(QStringLiteral("Нет"), grpExp);
    edtExtMask_->setObjectName(QStringLiteral("edtExtMask"));
    edtExtMask_->setReadOnly(true);
    edtExtMask_->setCursor(Qt::PointingHandCursor);
    edtExtMask_->installEventFilter(this);
    expLayout->addWidget(edtExtMask_);
    left->addWidget(grpExp);

    grpCOP5_BVI_ = new QGroupBox(QStringLiteral("БВИ"), this);
    grpCOP5_BVI_->setObjectName(QStringLiteral("grpCOP5_BVI"));
    auto* bviLayout = new QVBoxLayout(grpCOP5_BVI_);
    chkCP5BVIAlarmDuress_ = MakeCheck(grpCOP5_BVI_, QStringLiteral("chkCP5BVIAlarmDuress"),
                                      QStringLiteral("Вкл. звук при \"принуждении\" на расширителях"));
    chkCP5ResetSNSByBVI_ = MakeCheck(grpCOP5_BVI_, QStringLiteral("chkCP5ResetSNSByBVI"),
                                     QStringLiteral("Сброс концентратора с БВИ"));
    bviLayout->addWidget(chkCP5BVIAlarmDuress_);
    bviLayout->addWidget(chkCP5ResetSNSByBVI_);
    left->addWidget(grpCOP5_BVI_);
    connect(chkCP5BVIAlarmDuress_, &QCheckBox::clicked, this, &TPageCnc5::chkBVIAlarmDuressClick);
    connect(chkCP5ResetSNSByBVI_, &QCheckBox::clicked, this, &TPageCnc5::chkResetSNSByBVIClick);
    chkCNC5_GuardQT_ = MakeCheck(this, QStringLiteral("chkCNC5_GuardQT"),
                                 QStringLiteral("Подтверждение взятия по обратной связи"));
    left->addWidget(chkCNC5_GuardQT_);
    auto* resetRow = new QHBoxLayout;
    resetRow->addWidget(new QLabel(QStringLiteral("Сброс тревог:"), this));
    cbbCNC5_AutoRst_ = MakeCombo(this, QStringLiteral("cbbCNC5_AutoRst"), AutoResetItems());
    resetRow->addWidget(cbbCNC5_AutoRst_);
    resetRow->addStretch(1);
    left->addLayout(resetRow);
    left->addStretch(1);

    RelayBlock block{};
    right->addWidget(BuildRelayBlock(this, QStringLiteral("bxCNC5"), QStringLiteral("chkCnc5FireReleCntr"),
                                     QStringLiteral("chkCnc5BuzzOn"), block));
    bxCNC5ReleAlarm_ = block.alarm;
    bxCNC5ReleFire_ = block.fire;
    chkCnc5FireReleCntr_ = block.fireCtrl;
    chkCnc5BuzzOn_ = block.buzzer;
    right->addWidget(chkCnc5BuzzOn_);
    right->addStretch(1);
    OnChoiceChanged(bxCNC5ReleAlarm_, this, [this] { bxCNCReleAlarmCloseUp(); });
    OnChoiceChanged(bxCNC5ReleFire_, this, [this] { bxCNCReleFireCloseUp(); });
    connect(chkCnc5FireReleCntr_, &QCheckBox::clicked, this, &TPageCnc5::chkCncFireReleCntrClick);
    connect(chkCnc5BuzzOn_, &QCheckBox::clicked, this, &TPageCnc5::chkUseBuzzerClick);
    connect(chkCNC5_GuardQT_, &QCheckBox::clicked, this, &TPageCnc5::chkCNC5_GuardQTClick);
    OnChoiceChanged(cbbCNC5_AutoRst_, this, [this] { CNC_AutoResetCloseUp(); });
}

void TPageCnc5::SetupForType(Byte type) {
    if ((type == 7 || type == 18) && !formExpMask_) {
        formExpMask_ = new TFormExpMask(window());
    }
}

void TPageCnc5::ShowMask() {
    auto* d = dynamic_cast<TDevCnc5*>(Device());
    if (!d) {
        return;
    }
    edtExtMask_->setText(QString::fromStdString(d->ExpanderMaskText()));
    grpCOP5_BVI_->setVisible(d->HasBvi());
}

void TPageCnc5::Refresh() {
    auto* d = dynamic_cast<TDevCnc5*>(Device());
    if (!d) {
        return;
    }
    ShowMask();
    const Byte bvi = d->GetBviAlarm();
    SetCheckedQuietly(chkCP5BVIAlarmDuress_, bvi & 0x02);
    SetCheckedQuietly(chkCP5ResetSNSByBVI_, bvi & 0x80);
    SetCheckedQuietly(chkCNC5_GuardQT_, d->GetArmFeedback() != 0);
    SetIndexQuietly(cbbCNC5_AutoRst_, d->GetAutoReset() != 0 ? 1 : 0);
    FillRelayControls(*d, bxCNC5ReleAlarm_, bxCNC5ReleFire_, chkCnc5FireReleCntr_, chkCnc5BuzzOn_);
}

bool TPageCnc5::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edtExtMask_ && event->type() == QEvent::MouseButtonRelease && edtExtMask_->isEnabled()) {
        edtExtMaskClick();
        return true;
    }
    return TDevicePage::eventFilter(watched, event);
}

void TPageCnc5::edtExtMaskClick() {
    RunFormExpMask();
}

void TPageCnc5::RunFormExpMask() {
    auto* d = dynamic_cast<TDevCnc5*>(Device());
    if (!d) {
        return;
    }
    if (!formExpMask_) {
        formExpMask_ = new TFormExpMask(window());
    }
    const QPoint fieldTop = edtExtMask_->mapToGlobal(QPoint(0, 0));
    formExpMask_->Prepare(d->GetExpanderMask(),
                          QPoint(window()->x() + 10, fieldTop.y() + edtExtMask_->height() + 10));
    // No cancel: the boxes are taken however the dialog was closed.
    Dialogs().Exec(*formExpMask_);
    d->SetExpanderMask(formExpMask_->Collect());
    ShowMask();
}

void TPageCnc5::BviBit(int bit, bool on) {
    if (auto* d = dynamic_cast<TDevCnc*>(Device())) {
        d->SetBviAlarm(WithBit(d->GetBviAlarm(), bit, on));
    }
}

void TPageCnc5::chkBVIAlarmDuressClick() {
    BviBit(1, chkCP5BVIAlarmDuress_->isChecked());
}
void TPageCnc5::chkResetSNSByBVIClick() {
    BviBit(7, chkCP5ResetSNSByBVI_->isChecked());
}

void TPageCnc5::bxCNCReleAlarmCloseUp() {
    StoreRelayMode(Device(), bxCNC5ReleAlarm_, true);
}
void TPageCnc5::bxCNCReleFireCloseUp() {
    StoreRelayMode(Device(), bxCNC5ReleFire_, false);
}

void TPageCnc5::chkCncFireReleCntrClick() {
    StoreFireRelayControl(Device(), chkCnc5FireReleCntr_);
}

void TPageCnc5::chkUseBuzzerClick() {
    StoreBuzzer(Device(), chkCnc5BuzzOn_);
}

void TPageCnc5::chkCNC5_GuardQTClick() {
    if (auto* d = Device()) {
        d->SetArmFeedback(chkCNC5_GuardQT_->isChecked() ? 1 : 0);
    }
}

void TPageCnc5::CNC_AutoResetCloseUp() {
    if (auto* d = dynamic_cast<TDevCnc*>(Device())) {
        d->SetAutoReset(cbbCNC5_AutoRst_->currentIndex() == 1 ? 10 : 0);
    }
}

} // namespace orv
