#include "page_tx.h"

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "model_bridge.h"
#include "widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace orv {

namespace {

bool IsOP8Type(Byte t) {
    return t == 1 || t == 2 || t == 4 || t == 10 || t == 12 || t == 13 || t == 16;
}
bool IsOP5Type(Byte t) {
    return t == 5 || t == 8 || t == 9;
}

} // namespace

TPageTx::TPageTx(const TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("PG_TX"), QStringLiteral("Передача"), 16, parent) {
    auto* outer = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    outer->addLayout(grid);

    lblRTX_Type_ = new QLabel(QStringLiteral("Вид передачи:"), this);
    lblRTX_Type_->setObjectName(QStringLiteral("lblRTX_Type"));
    bxRTX_Type_ = new QComboBox(this);
    bxRTX_Type_->setObjectName(QStringLiteral("bxRTX_Type"));
    bxRTX_Type_->setMinimumWidth(160);
    grid->addWidget(lblRTX_Type_, 0, 0);
    grid->addWidget(bxRTX_Type_, 0, 1);
    connect(bxRTX_Type_, &QComboBox::activated, this, &TPageTx::bxRTX_TypeChange);

    lblNetID_ = new QLabel(QStringLiteral("Сетевой\r\nномер").remove(QLatin1Char('\r')), this);
    lblNetID_->setObjectName(QStringLiteral("lblNetID"));
    udBusID_ = new QSpinBox(this);
    udBusID_->setObjectName(QStringLiteral("udBusID"));
    udBusID_->setRange(1, 7);
    udBusID_->setValue(1);
    edtBusID_ = udBusID_->findChild<QLineEdit*>();
    edtBusID_->setObjectName(QStringLiteral("edtBusID"));
    edtBusID_->setReadOnly(true);
    grid->addWidget(lblNetID_, 0, 2);
    grid->addWidget(udBusID_, 0, 3);
    connect(udBusID_, &QSpinBox::valueChanged, this, &TPageTx::udBusIDChange);

    chkCNC_TxTD_ = new QCheckBox(QStringLiteral("Терсан ППМ, TDm"), this);
    chkCNC_TxTD_->setObjectName(QStringLiteral("chkCNC_TxTD"));
    chkCNC_TxGSM_ = new QCheckBox(QStringLiteral("GSM-ORV подключен"), this);
    chkCNC_TxGSM_->setObjectName(QStringLiteral("chkCNC_TxGSM"));
    chkOP8V4_DsgrdBySMS_ = new QCheckBox(QStringLiteral("Разрешить снятие  по SMS"), this);
    chkOP8V4_DsgrdBySMS_->setObjectName(QStringLiteral("chkOP8V4_DsgrdBySMS"));
    grid->addWidget(chkCNC_TxTD_, 1, 0, 1, 2);
    grid->addWidget(chkCNC_TxGSM_, 2, 0, 1, 2);
    grid->addWidget(chkOP8V4_DsgrdBySMS_, 3, 0, 1, 2);
    grid->setColumnStretch(4, 1);
    outer->addStretch(1);
    connect(chkCNC_TxTD_, &QCheckBox::clicked, this, &TPageTx::chkCNC_TxTDClick);
    connect(chkCNC_TxGSM_, &QCheckBox::clicked, this, &TPageTx::chkCNC_TxGSMClick);
    connect(chkOP8V4_DsgrdBySMS_, &QCheckBox::clicked, this, &TPageTx::chkOP8V4_DsgrdBySMSClick);
}

void TPageTx::CheckBoxTransmitter() {
    chkCNC_TxTD_->setVisible(true);
    chkCNC_TxGSM_->setVisible(true);
    lblRTX_Type_->setVisible(false);
    bxRTX_Type_->setVisible(false);
    lblNetID_->setVisible(false);
    udBusID_->setVisible(false);
    chkOP8V4_DsgrdBySMS_->setVisible(false);
}

void TPageTx::SetupForType(Byte type) {
    if (IsOP8Type(type)) {
        chkCNC_TxTD_->setVisible(false);
        lblRTX_Type_->setVisible(true);
        bxRTX_Type_->setVisible(true);
        chkCNC_TxGSM_->setVisible(false);
        QStringList kinds = ToQList(TxTypeNames);
        if (type == 1) {
            kinds.removeLast();
        }
        FillComboItems(bxRTX_Type_, kinds);
        {
            const QSignalBlocker blocker(udBusID_);
            udBusID_->setMaximum(7);
        }
        lblNetID_->setVisible(false);
        udBusID_->setVisible(false);
    } else if (IsOP5Type(type)) {
        lblRTX_Type_->setVisible(true);
        bxRTX_Type_->setVisible(true);
        FillComboItems(bxRTX_Type_, ToQList(TxTypeNamesOP5));
        chkCNC_TxGSM_->setVisible(type != 8);
        chkCNC_TxTD_->setVisible(false);
        chkOP8V4_DsgrdBySMS_->setVisible(false);
        const QSignalBlocker blocker(udBusID_);
        udBusID_->setMaximum(32);
    } else if (type == 15) {
        CheckBoxTransmitter();
        chkCNC_TxTD_->setVisible(false);
    } else {
        CheckBoxTransmitter();
    }
}

void TPageTx::Refresh() {
    TDevice* d = Device();
    if (!d) {
        return;
    }
    if (IsOP8(*d) || IsOP5(*d)) {
        SetIndexQuietly(bxRTX_Type_, d->GetParam(prmDevTX));
        {
            const QSignalBlocker blocker(udBusID_);
            udBusID_->setValue(d->GetBusID());
        }
        if (auto* op5 = dynamic_cast<TDevOP5*>(d)) {
            SetCheckedQuietly(chkCNC_TxGSM_, op5->GetGsmConnected());
        }
        if (auto* op8 = dynamic_cast<TDevOP8*>(d); op8 && op8->HasGsmExtras()) {
            SetCheckedQuietly(chkOP8V4_DsgrdBySMS_, op8->GetDisarmBySms() != 0);
        }
        TX_ControlsShow();
        return;
    }
    if (auto* cnc = dynamic_cast<TDevCnc*>(d)) {
        SetCheckedQuietly(chkCNC_TxTD_, cnc->GetUseTD());
    } else if (auto* kp2 = dynamic_cast<TDV6_KP2*>(d)) {
        SetCheckedQuietly(chkCNC_TxTD_, kp2->GetUseTD());
    }
    SetCheckedQuietly(chkCNC_TxGSM_, d->GetGsmConnected());
    emit gsmControlsShown(d->GetGsmConnected());
}

void TPageTx::TX_ControlsShow() {
    TDevice* d = Device();
    if (!d) {
        return;
    }
    const int kind = bxRTX_Type_->currentIndex();
    if (auto* op8 = dynamic_cast<TDevOP8*>(d)) {
        emit gsmControlsShown(kind == 2);
        chkOP8V4_DsgrdBySMS_->setVisible(op8->HasGsmExtras() && kind == 2);
        lblNetID_->setVisible(kind == 3);
        udBusID_->setVisible(kind == 3);
        return;
    }
    chkOP8V4_DsgrdBySMS_->setVisible(false);
    const bool bus = IsOP5(*d) && kind == 2;
    lblNetID_->setVisible(bus);
    udBusID_->setVisible(bus);
    if (IsOP5(*d)) {
        emit gsmControlsShown(d->GetGsmConnected());
    }
}

void TPageTx::bxRTX_TypeChange() {
    TDevice* d = Device();
    const int kind = bxRTX_Type_->currentIndex();
    if (!d || kind < 0) {
        return;
    }
    TX_ControlsShow();
    d->SetParam(prmDevTX, static_cast<Byte>(kind));
    if (auto* op8 = dynamic_cast<TDevOP8*>(d); op8 && kind == 2) {
        ResetGsmSettings(State());
        emit gsmSwitchedOn();
        SetCheckedQuietly(chkOP8V4_DsgrdBySMS_, op8->GetDisarmBySms() != 0);
    }
}

void TPageTx::chkCNC_TxTDClick() {
    const bool on = chkCNC_TxTD_->isChecked();
    if (auto* cnc = dynamic_cast<TDevCnc*>(Device())) {
        cnc->SetUseTD(on);
    } else if (auto* kp2 = dynamic_cast<TDV6_KP2*>(Device())) {
        kp2->SetUseTD(on);
    }
}

void TPageTx::chkCNC_TxGSMClick() {
    TDevice* d = Device();
    if (!d) {
        return;
    }
    const bool on = chkCNC_TxGSM_->isChecked();
    d->SetGsmConnected(on);
    emit gsmControlsShown(on);
    if (on) {
        ResetGsmSettings(State());
        emit gsmSwitchedOn();
    }
}

void TPageTx::udBusIDChange(int value) {
    if (auto* d = Device()) {
        d->SetBusID(static_cast<Byte>(value));
    }
}

void TPageTx::chkOP8V4_DsgrdBySMSClick() {
    if (auto* op8 = dynamic_cast<TDevOP8*>(Device())) {
        op8->SetDisarmBySms(chkOP8V4_DsgrdBySMS_->isChecked() ? 1 : 0);
    }
}

} // namespace orv
