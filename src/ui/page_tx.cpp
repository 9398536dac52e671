#include "page_tx.h"

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "dialogs.h"
#include "gsm/tx_buffers.h"
#include "model_bridge.h"
#include "ui/dialogs/form_gprs.h"
#include "ui/dialogs/form_sms.h"
#include "ui/dialogs/form_sms2.h"
#include "ui/dialogs/gsm_directions.h"
#include "widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

// "Разрешить управление по SMS" and "Передавать события по GSM" exist for these families only.
bool HasGsmControl(const TDevice& d) {
    return IsCnc(d) || IsOP5(d) || d.DevType == 15;
}

bool GetGsmFlag(const TDevice& d, bool control) {
    if (auto* op5 = dynamic_cast<const TDevOP5*>(&d)) {
        return control ? op5->GetGsmControl() : op5->GetGsmTx();
    }
    if (auto* cnc = dynamic_cast<const TDevCnc*>(&d)) {
        return control ? cnc->GetGsmControl() : cnc->GetGsmTx();
    }
    if (auto* ret = dynamic_cast<const TDV15_Ret*>(&d)) {
        return control ? ret->GetGsmControl() : ret->GetGsmTx();
    }
    return false;
}

void SetGsmFlag(TDevice& d, bool control, bool on) {
    if (auto* op5 = dynamic_cast<TDevOP5*>(&d)) {
        control ? op5->SetGsmControl(on) : op5->SetGsmTx(on);
    } else if (auto* cnc = dynamic_cast<TDevCnc*>(&d)) {
        control ? cnc->SetGsmControl(on) : cnc->SetGsmTx(on);
    } else if (auto* ret = dynamic_cast<TDV15_Ret*>(&d)) {
        control ? ret->SetGsmControl(on) : ret->SetGsmTx(on);
    }
}

QPushButton* MakeChangeButton(QWidget* parent, const QString& name) {
    auto* button = new QPushButton(QStringLiteral("Изменить..."), parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
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
    FitToItems(bxRTX_Type_);
    grid->addWidget(lblRTX_Type_, 0, 0);
    grid->addWidget(bxRTX_Type_, 0, 1);
    OnChoiceChanged(bxRTX_Type_, this, [this] { bxRTX_TypeChange(); });

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
    connect(chkCNC_TxTD_, &QCheckBox::clicked, this, &TPageTx::chkCNC_TxTDClick);
    connect(chkCNC_TxGSM_, &QCheckBox::clicked, this, &TPageTx::chkCNC_TxGSMClick);
    connect(chkOP8V4_DsgrdBySMS_, &QCheckBox::clicked, this, &TPageTx::chkOP8V4_DsgrdBySMSClick);

    gsm_ = new TGsmDirections(State(), this);
    gsm_->setObjectName(QStringLiteral("frmGsmDirections"));
    outer->addWidget(gsm_);
    connect(gsm_, &TGsmDirections::saveFileClicked, this, &TPageTx::gsmFileSaveClicked);
    connect(gsm_, &TGsmDirections::loadFileClicked, this, &TPageTx::gsmFileLoadClicked);

    auto* lists = new QGridLayout;
    chkSMS_On_ = new QCheckBox(QStringLiteral("Передавать SMS"), this);
    chkSMS_On_->setObjectName(QStringLiteral("chkSMS_On"));
    btnSMS_Show_ = MakeChangeButton(this, QStringLiteral("btnSMS_Show"));
    chkUseGPRScfg_ = new QCheckBox(QStringLiteral("Использовать конфигурацию GPRS"), this);
    chkUseGPRScfg_->setObjectName(QStringLiteral("chkUseGPRScfg"));
    btnGPRS_ = MakeChangeButton(this, QStringLiteral("btnGPRS"));
    chkGSM_Control_ = new QCheckBox(QStringLiteral("Разрешить управление по SMS"), this);
    chkGSM_Control_->setObjectName(QStringLiteral("chkGSM_Control"));
    chkGSM_TX_ = new QCheckBox(QStringLiteral("Передавать события по GSM"), this);
    chkGSM_TX_->setObjectName(QStringLiteral("chkGSM_TX"));
    chkGSM_TX_->setToolTip(QStringLiteral(
        "Включить передачу событий по GSM из таблицы направлений.\r\nЭто не относится к передаче SMS.\r\n"));
    lists->addWidget(chkSMS_On_, 0, 0);
    lists->addWidget(btnSMS_Show_, 0, 1);
    lists->addWidget(chkGSM_Control_, 0, 3);
    lists->addWidget(chkUseGPRScfg_, 1, 0);
    lists->addWidget(btnGPRS_, 1, 1);
    lists->addWidget(chkGSM_TX_, 1, 3);
    lists->setColumnMinimumWidth(2, 16);
    // The flags on the right stay where they are when a button comes or goes.
    for (QPushButton* button : {btnSMS_Show_, btnGPRS_}) {
        QSizePolicy policy = button->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        button->setSizePolicy(policy);
    }
    lists->setColumnStretch(4, 1);
    outer->addLayout(lists);
    outer->addStretch(1);
    connect(chkSMS_On_, &QCheckBox::clicked, this, &TPageTx::chkSMS_OnClick);
    connect(btnSMS_Show_, &QPushButton::clicked, this, &TPageTx::btnSMS_ShowClick);
    connect(chkUseGPRScfg_, &QCheckBox::clicked, this, &TPageTx::chkUseGPRScfgClick);
    connect(btnGPRS_, &QPushButton::clicked, this, &TPageTx::btnGPRSClick);
    connect(chkGSM_Control_, &QCheckBox::clicked, this, &TPageTx::chkGSM_ControlClick);
    connect(chkGSM_TX_, &QCheckBox::clicked, this, &TPageTx::chkGSM_TXClick);

    connect(this, &TPageTx::gsmControlsShown, this, &TPageTx::GSM_ControlsShow);
    connect(this, &TPageTx::gsmSwitchedOn, this, &TPageTx::GsmSwitchedOn);
    GSM_ControlsShow(false);
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
    // One of each for the whole run, kept by the window; the retranslator's list has its own.
    if (!frmSMS_) {
        frmSMS_ = new TFrmSMS(State(), Dialogs(), window());
        frmGPRS_ = new TfrmGPRS(State(), Dialogs(), window());
    }
    if (type == 15 && !frmSMS2_) {
        frmSMS2_ = new TFrmSMS2(State(), window());
    }
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
        if (IsOP8(*d) ? bxRTX_Type_->currentIndex() == 2 : d->GetGsmConnected()) {
            ShowGsmFlags();
            GSM_Refresh();
        }
        return;
    }
    if (auto* cnc = dynamic_cast<TDevCnc*>(d)) {
        SetCheckedQuietly(chkCNC_TxTD_, cnc->GetUseTD());
    } else if (auto* kp2 = dynamic_cast<TDV6_KP2*>(d)) {
        SetCheckedQuietly(chkCNC_TxTD_, kp2->GetUseTD());
    }
    const bool gsm = d->GetGsmConnected();
    SetCheckedQuietly(chkCNC_TxGSM_, gsm);
    emit gsmControlsShown(gsm);
    if (gsm) {
        ShowGsmFlags();
        GSM_Refresh();
    }
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

void TPageTx::GsmSwitchedOn() {
    // The flag boxes come into view: they show the device, not what an earlier one held.
    ShowGsmFlags();
    GSM_Refresh();
    btnSMS_Show_->setVisible(false);
}

void TPageTx::ShowGsmFlags() {
    if (const TDevice* d = Device()) {
        SetCheckedQuietly(chkGSM_Control_, GetGsmFlag(*d, true));
        SetCheckedQuietly(chkGSM_TX_, GetGsmFlag(*d, false));
    }
}

void TPageTx::GSM_ControlsShow(bool show) {
    gsmShown_ = show;
    const TDevice* d = Device();
    gsm_->setVisible(show);
    chkSMS_On_->setVisible(show);
    chkUseGPRScfg_->setVisible(show);
    btnSMS_Show_->setVisible(show && chkSMS_On_->isChecked());
    btnGPRS_->setVisible(show && chkUseGPRScfg_->isChecked());
    chkGSM_Control_->setVisible(show && d && (IsCnc(*d) || IsOP5(*d)));
    chkGSM_TX_->setVisible(show && d && HasGsmControl(*d));
    auto* op8 = dynamic_cast<const TDevOP8*>(d);
    chkOP8V4_DsgrdBySMS_->setVisible(show && op8 && op8->HasGsmExtras());
}

void TPageTx::GSM_Refresh() {
    TProgramState& state = State();
    gsm_->Decode();
    // A box set on from the frame runs no handler; one that goes off runs it, so a
    // retranslator's list goes with its flag.
    if (GetSmsFlag(state.GsmFrame)) {
        SetCheckedQuietly(chkSMS_On_, true);
    } else if (chkSMS_On_->isChecked()) {
        chkSMS_On_->setChecked(false);
        chkSMS_OnClick();
    }
    if (GetGprsFlag(state.GsmFrame)) {
        SetCheckedQuietly(chkUseGPRScfg_, true);
    } else if (chkUseGPRScfg_->isChecked()) {
        chkUseGPRScfg_->setChecked(false);
        chkUseGPRScfgClick();
    }
    // The SMS grids show what the frame (or the retranslator's list) holds, so the next commit
    // writes back what is shown and not the rows of an earlier device.
    RefreshSmsModels(state);
    btnSMS_Show_->setVisible(gsmShown_ && chkSMS_On_->isChecked());
    btnGPRS_->setVisible(gsmShown_ && chkUseGPRScfg_->isChecked());
}

void TPageTx::chkSMS_OnClick() {
    const bool on = chkSMS_On_->isChecked();
    SetSmsListOn(State(), on);
    btnSMS_Show_->setVisible(gsmShown_ && on);
    if (on) {
        btnSMS_ShowClick();
    }
}

void TPageTx::btnSMS_ShowClick() {
    TDevice* d = Device();
    if (!d || !frmSMS_) {
        return;
    }
    if (d->DevType == 15 && frmSMS2_) {
        frmSMS2_->FillFromDevice();
        Dialogs().Exec(*frmSMS2_);
    } else {
        frmSMS_->RefreshControls();
        Dialogs().Exec(*frmSMS_);
    }
    if (!SmsListStored()) {
        SetCheckedQuietly(chkSMS_On_, false);
        btnSMS_Show_->setVisible(false);
        SetSmsFlag(State().GsmFrame, false);
    }
}

bool TPageTx::SmsListStored() const {
    // Judged on copies, as the next commit will store the list: the dialog's own flag is only
    // brought up to date by "Сохранить" and would be stale after Escape.
    const TProgramState& state = State();
    if (auto* ret = dynamic_cast<TDV15_Ret*>(Device())) {
        RetSmsModel rows = state.RetSms;
        T_SMS_List list = ret->Sms();
        rows.UpdateDevice(list);
        return rows.ListNotEmpty();
    }
    SmsModel rows = state.Sms;
    FrameBuffer frame = state.SmsFrame;
    // Rows the commit refuses stay on, so that the write names what is wrong with them.
    return rows.Encode(frame).has_value() || rows.ListNotEmpty();
}

void TPageTx::chkUseGPRScfgClick() {
    const bool on = chkUseGPRScfg_->isChecked();
    SetGprsOn(State(), on);
    if (on && frmGPRS_) {
        frmGPRS_->Refresh();
        Dialogs().Exec(*frmGPRS_);
    }
    btnGPRS_->setVisible(gsmShown_ && chkUseGPRScfg_->isChecked());
}

void TPageTx::btnGPRSClick() {
    if (!frmGPRS_) {
        return;
    }
    frmGPRS_->FillFromFrame();
    Dialogs().Exec(*frmGPRS_);
}

void TPageTx::chkGSM_ControlClick() {
    if (TDevice* d = Device()) {
        SetGsmFlag(*d, true, chkGSM_Control_->isChecked());
    }
}

void TPageTx::chkGSM_TXClick() {
    if (TDevice* d = Device()) {
        SetGsmFlag(*d, false, chkGSM_TX_->isChecked());
    }
}

void TPageTx::FinishEditing() {
    gsm_->FinishEditing();
}

} // namespace orv
