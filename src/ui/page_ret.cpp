#include "page_ret.h"

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "dialogs.h"
#include "panel_controls.h"
#include "ui/dialogs/form_obj.h"
#include "widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv {

namespace {

// Transmit modes of payload byte 13, bits 1..0.
enum TxMode { txOff = 0, txMirel410 = 1, txMirel420 = 2, txTersAn = 3 };

constexpr int kKnsLimit = 32; // hours
constexpr int kLnLimit = 99;  // minutes
const QString kPeriodOff = QStringLiteral("Выкл.");

QStringList Numbers(int from, int to) {
    QStringList items;
    for (int n = from; n <= to; ++n) {
        items << QString::number(n);
    }
    return items;
}

QComboBox* MakePeriodCombo(QWidget* parent, const QString& name, const QStringList& values) {
    auto* combo = MakeCombo(parent, name, QStringList{kPeriodOff} + values);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    return combo;
}

bool IsLeave(QEvent* event) {
    // Opening the combo's own list is not leaving it.
    return event->type() == QEvent::FocusOut &&
           static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason;
}

} // namespace

TPageRet::TPageRet(const TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("tsRetTk"), QStringLiteral("RET_32"), 128, parent) {
    auto* outer = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    outer->addLayout(left, 1);
    outer->addLayout(right, 1);

    auto* rxRow = new QHBoxLayout;
    cbbRetLiterRX_ = MakeCombo(this, QStringLiteral("cbbRetLiterRX"), Numbers(1, 8));
    rxRow->addWidget(new QLabel(QStringLiteral("Литера приёма:"), this));
    rxRow->addWidget(cbbRetLiterRX_);
    rxRow->addStretch(1);
    left->addLayout(rxRow);
    OnChoiceChanged(cbbRetLiterRX_, this, [this] { cbbRetLiterRXChange(); });
    cbbRetLiterRX_->installEventFilter(this);

    auto* grpInd = new QGroupBox(QStringLiteral("Индикация ретрансляции"), this);
    auto* indLayout = new QVBoxLayout(grpInd);
    chkRetIndTxTM_ =
        MakeCheck(grpInd, QStringLiteral("chkRetIndTxTM"), QStringLiteral("На светодиоде считывателя"));
    chkRetIndTxTM_->setToolTip(
        QStringLiteral("Изменять состояние светодиода\r\nпри приёме телеграммы от обученного объекта"));
    chkRetIndTxLed_ =
        MakeCheck(grpInd, QStringLiteral("chkRetIndTxLed"), QStringLiteral("На светодиодах 1-4"));
    indLayout->addWidget(chkRetIndTxTM_);
    indLayout->addWidget(chkRetIndTxLed_);
    left->addWidget(grpInd);
    connect(chkRetIndTxTM_, &QCheckBox::clicked, this, &TPageRet::chkRetIndTxTMClick);
    connect(chkRetIndTxLed_, &QCheckBox::clicked, this, &TPageRet::chkRetIndTxLedClick);

    auto* grpRele = new QGroupBox(QStringLiteral("Режим работы реле"), this);
    auto* releGrid = new QGridLayout(grpRele);
    const QStringList modes = ToQList(RelayModeNames);
    cbbRetReleAlarmCfg_ = MakeCombo(grpRele, QStringLiteral("cbbRetReleAlarmCfg"), modes);
    cbbRetReleFireCfg_ = MakeCombo(grpRele, QStringLiteral("cbbRetReleFireCfg"), modes);
    chkRetReleFireCtr_ = MakeCheck(grpRele, QStringLiteral("chkRetReleFireCtr"),
                                   QStringLiteral("Контроль цепи реле \"пожар\""));
    releGrid->addWidget(new QLabel(QStringLiteral("\"Тревога\""), grpRele), 0, 0);
    releGrid->addWidget(cbbRetReleAlarmCfg_, 0, 1);
    releGrid->addWidget(new QLabel(QStringLiteral("\"Пожар\""), grpRele), 1, 0);
    releGrid->addWidget(cbbRetReleFireCfg_, 1, 1);
    releGrid->addWidget(chkRetReleFireCtr_, 2, 0, 1, 2);
    // The combos stay next to their captions however wide the group is.
    releGrid->setColumnStretch(2, 1);
    left->addWidget(grpRele);
    OnChoiceChanged(cbbRetReleAlarmCfg_, this, [this] { bxCNCReleAlarmCloseUp(); });
    OnChoiceChanged(cbbRetReleFireCfg_, this, [this] { bxCNCReleFireCloseUp(); });
    connect(chkRetReleFireCtr_, &QCheckBox::clicked, this, &TPageRet::chkRetReleFireCtrClick);

    chkRetBuzOn_ =
        MakeCheck(this, QStringLiteral("chkRetBuzOn"), QStringLiteral("Использовать внутренний зуммер"));
    left->addWidget(chkRetBuzOn_);
    connect(chkRetBuzOn_, &QCheckBox::clicked, this, &TPageRet::chkUseBuzzerClick);
    left->addStretch(1);

    btnRetObj_ = new QPushButton(this);
    btnRetObj_->setObjectName(QStringLiteral("btnRetObj"));
    btnRetObj_->setAutoDefault(false);
    right->addWidget(btnRetObj_, 0, Qt::AlignLeft);
    connect(btnRetObj_, &QPushButton::clicked, this, &TPageRet::btnRetObjClick);

    auto* grpTx = new QGroupBox(QStringLiteral("Передача"), this);
    grpTx->setObjectName(QStringLiteral("grpRetTx"));
    auto* txGrid = new QGridLayout(grpTx);
    cbbRetTxMode_ = MakeCombo(grpTx, QStringLiteral("cbbRetTxMode"),
                              {QStringLiteral("Выключено"), QStringLiteral("Mirel-410"),
                               QStringLiteral("Mirel-420"), QStringLiteral("ТерсАн")});
    lblRetLiterTX_ = new QLabel(QStringLiteral("Литера:"), grpTx);
    lblRetLiterTX_->setObjectName(QStringLiteral("lblRetLiterTX"));
    cbbRetLiterTX_ = MakeCombo(grpTx, QStringLiteral("cbbRetLiterTX"), {});
    cbbRetLiterTX_->setMaxVisibleItems(10);
    chkRetTx485_ = MakeCheck(grpTx, QStringLiteral("chkRetTx485"), QStringLiteral("Дублировать по RS-485"));
    chkRetTx485_->setToolTip(
        QStringLiteral("Передавать приём сигнала на RS-485\r\nДля подключения к пульту или БВИ"));
    txGrid->addWidget(new QLabel(QStringLiteral("Режим:"), grpTx), 0, 0);
    txGrid->addWidget(cbbRetTxMode_, 0, 1);
    txGrid->addWidget(lblRetLiterTX_, 1, 0);
    txGrid->addWidget(cbbRetLiterTX_, 1, 1);
    txGrid->addWidget(chkRetTx485_, 2, 0, 1, 2);
    txGrid->setColumnStretch(2, 1);
    right->addWidget(grpTx);
    OnChoiceChanged(cbbRetTxMode_, this, [this] { cbbRetTxModeChange(); });
    cbbRetLiterTX_->installEventFilter(this);
    connect(chkRetTx485_, &QCheckBox::clicked, this, &TPageRet::chkRetTx485Click);

    auto* periods = new QGridLayout;
    cbbTOKNS_ =
        MakePeriodCombo(this, QStringLiteral("cbbTOKNS"),
                        {QStringLiteral("4"), QStringLiteral("8"), QStringLiteral("16"), QStringLiteral("20"),
                         QStringLiteral("24"), QStringLiteral("28"), QStringLiteral("32")});
    QStringList minutes;
    for (int m = 20; m <= 90; m += 10) {
        minutes << QString::number(m);
    }
    cbbTOLN_ = MakePeriodCombo(this, QStringLiteral("cbbTOLN"), minutes);
    auto* lblKns = new QLabel(QStringLiteral("Контроль канала передатчиков Консьерж, часов."), this);
    lblKns->setWordWrap(true);
    auto* lblLn = new QLabel(QStringLiteral("Контроль канала  стационарных передатчиков, мин"), this);
    lblLn->setWordWrap(true);
    periods->addWidget(lblKns, 0, 0);
    periods->addWidget(cbbTOKNS_, 0, 1);
    periods->addWidget(lblLn, 1, 0);
    periods->addWidget(cbbTOLN_, 1, 1);
    right->addLayout(periods);
    for (QComboBox* combo : {cbbTOKNS_, cbbTOLN_}) {
        combo->installEventFilter(this);
        combo->lineEdit()->installEventFilter(this);
        connect(combo->lineEdit(), &QLineEdit::returnPressed, this,
                combo == cbbTOKNS_ ? &TPageRet::cbbTOKNSExit : &TPageRet::cbbTOLNExit);
    }

    chkRetKnsDelay_ = MakeCheck(this, QStringLiteral("chkRetKnsDelay"),
                                QStringLiteral("Задержка передачи приборов Консьерж"));
    chkRetKnsDelay_->setToolTip(
        QStringLiteral("Извещения приборов Консьерж об открытии двери и о срабатывании датчика объёма\r\n"
                       "передаются с задержкой 30 секунд\r\nи не передаются, если объект снят с охраны"));
    chkRetActivateRele_ = MakeCheck(this, QStringLiteral("chkRetActivateRele"),
                                    QStringLiteral("Активировать реле от событий на объектах"));
    chkRetActivateRele_->setToolTip(
        QStringLiteral("Принятая от объекта пожарная тревога включает реле \"Пожар\",\r\n"
                       "принятые тревожные события включают реле \"Тревога\""));
    right->addWidget(chkRetKnsDelay_);
    right->addWidget(chkRetActivateRele_);
    right->addStretch(1);
    connect(chkRetKnsDelay_, &QCheckBox::clicked, this, &TPageRet::chkRetKnsDelayClick);
    connect(chkRetActivateRele_, &QCheckBox::clicked, this, &TPageRet::chkRetActivateReleClick);

    RebuildLiterList(txMirel410);
}

TDV15_Ret* TPageRet::Ret() const {
    return dynamic_cast<TDV15_Ret*>(Device());
}

void TPageRet::SetupForType(Byte type) {
    // One objects dialog for the whole run, kept by the window.
    if (type == 15 && !formObj_) {
        formObj_ = new TFormObj(State(), Dialogs(), window());
    }
}

void TPageRet::Refresh() {
    TDV15_Ret* d = Ret();
    if (!d) {
        return;
    }
    SetIndexQuietly(cbbRetLiterRX_, d->GetLiterRX() - 1);
    SetCheckedQuietly(chkRetIndTxTM_, d->GetRelayIndication(0));
    SetCheckedQuietly(chkRetIndTxLed_, d->GetRelayIndication(1));
    FillRelayControls(*d, cbbRetReleAlarmCfg_, cbbRetReleFireCfg_, chkRetReleFireCtr_, chkRetBuzOn_);

    SetIndexQuietly(cbbRetTxMode_, d->GetTxMode());
    RebuildLiterList(d->GetTxMode());
    SetCheckedQuietly(chkRetTx485_, d->GetTx485());
    SetIndexQuietly(cbbRetLiterTX_, d->GetLiterTX() - 1);

    ShowPeriod(cbbTOKNS_, d->GetKnsPeriod());
    ShowPeriod(cbbTOLN_, d->GetStationaryPeriod());
    SetCheckedQuietly(chkRetKnsDelay_, d->GetKnsDelay() != 0);
    SetCheckedQuietly(chkRetActivateRele_, d->GetObjRelay() != 0);
    btnRetObj_->setText(QString::fromStdString(d->ObjectCountText()));
}

bool TPageRet::eventFilter(QObject* watched, QEvent* event) {
    if (IsLeave(event)) {
        if (watched == cbbRetLiterRX_) {
            cbbRetLiterRXChange();
        } else if (watched == cbbRetLiterTX_) {
            cbbRetLiterTXExit();
        } else if (watched == cbbTOKNS_ || watched == cbbTOKNS_->lineEdit()) {
            cbbTOKNSExit();
        } else if (watched == cbbTOLN_ || watched == cbbTOLN_->lineEdit()) {
            cbbTOLNExit();
        }
    }
    return TDevicePage::eventFilter(watched, event);
}

void TPageRet::cbbRetLiterRXChange() {
    if (TDV15_Ret* d = Ret(); d && cbbRetLiterRX_->currentIndex() >= 0) {
        d->SetLiterRX(static_cast<Byte>(cbbRetLiterRX_->currentIndex() + 1));
    }
}

void TPageRet::chkRetIndTxTMClick() {
    if (TDV15_Ret* d = Ret()) {
        d->SetRelayIndication(0, chkRetIndTxTM_->isChecked());
    }
}

void TPageRet::chkRetIndTxLedClick() {
    if (TDV15_Ret* d = Ret()) {
        d->SetRelayIndication(1, chkRetIndTxLed_->isChecked());
    }
}

void TPageRet::bxCNCReleAlarmCloseUp() {
    StoreRelayMode(Ret(), cbbRetReleAlarmCfg_, true);
}

void TPageRet::bxCNCReleFireCloseUp() {
    StoreRelayMode(Ret(), cbbRetReleFireCfg_, false);
}

void TPageRet::chkRetReleFireCtrClick() {
    StoreFireRelayControl(Ret(), chkRetReleFireCtr_);
}

void TPageRet::chkUseBuzzerClick() {
    StoreBuzzer(Ret(), chkRetBuzOn_);
}

void TPageRet::btnRetObjClick() {
    TDV15_Ret* d = Ret();
    if (!d || !formObj_) {
        return;
    }
    formObj_->Fill();
    Dialogs().Exec(*formObj_);
    btnRetObj_->setText(QString::fromStdString(d->ObjectCountText()));
}

void TPageRet::RebuildLiterList(int mode) {
    QStringList liters;
    if (mode == txMirel410) {
        liters = Numbers(1, 8);
    } else if (mode == txMirel420) {
        liters = Numbers(1, 30);
    }
    FillComboItems(cbbRetLiterTX_, liters);
    SetIndexQuietly(cbbRetLiterTX_, liters.isEmpty() ? -1 : 0);
    const bool literShown = mode == txMirel410 || mode == txMirel420;
    lblRetLiterTX_->setVisible(literShown);
    cbbRetLiterTX_->setVisible(literShown);
    chkRetTx485_->setVisible(mode != txTersAn);
}

void TPageRet::cbbRetTxModeChange() {
    TDV15_Ret* d = Ret();
    const int mode = cbbRetTxMode_->currentIndex();
    if (!d || mode < 0) {
        return;
    }
    RebuildLiterList(mode);
    SetCheckedQuietly(chkRetTx485_, false);
    d->SetTx485(false);
    d->SetTxMode(static_cast<Byte>(mode));
}

void TPageRet::cbbRetLiterTXExit() {
    TDV15_Ret* d = Ret();
    if (!d) {
        return;
    }
    const int index = cbbRetLiterTX_->currentIndex();
    if (cbbRetLiterTX_->count() == 0) {
        d->SetLiterTX(0);
    } else if (index >= 0) {
        // A list without a selection (a stored liter beyond it) keeps the stored liter.
        d->SetLiterTX(static_cast<Byte>(index + 1));
    }
}

void TPageRet::chkRetTx485Click() {
    if (TDV15_Ret* d = Ret()) {
        d->SetTx485(chkRetTx485_->isChecked());
    }
}

int TPageRet::PeriodFromCombo(QComboBox* combo, int limit) {
    bool ok = false;
    int value = combo->currentText().trimmed().toInt(&ok, 10);
    if (!ok) {
        SetIndexQuietly(combo, 0);
        combo->setEditText(kPeriodOff);
        return 0;
    }
    if (value < 0 || value > limit) {
        value = limit;
        combo->setEditText(QString::number(value));
    }
    return value;
}

void TPageRet::ShowPeriod(QComboBox* combo, int value) {
    const QString text = value == 0 ? kPeriodOff : QString::number(value);
    SetIndexQuietly(combo, combo->findText(text));
    combo->setEditText(text);
}

void TPageRet::cbbTOKNSExit() {
    if (TDV15_Ret* d = Ret()) {
        d->SetKnsPeriod(static_cast<Byte>(PeriodFromCombo(cbbTOKNS_, kKnsLimit)));
    }
}

void TPageRet::cbbTOLNExit() {
    if (TDV15_Ret* d = Ret()) {
        d->SetStationaryPeriod(static_cast<Byte>(PeriodFromCombo(cbbTOLN_, kLnLimit)));
    }
}

void TPageRet::chkRetKnsDelayClick() {
    if (TDV15_Ret* d = Ret()) {
        d->SetKnsDelay(chkRetKnsDelay_->isChecked() ? 1 : 0);
    }
}

void TPageRet::chkRetActivateReleClick() {
    if (TDV15_Ret* d = Ret()) {
        d->SetObjRelay(chkRetActivateRele_->isChecked() ? 1 : 0);
    }
}

// ---------------------------------------------------------------------------------------------

TPageRetShlf::TPageRetShlf(const TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("tsRetShlf"), QStringLiteral("Шлейфы"), 256, parent) {
    auto* outer = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    outer->addLayout(grid);
    grid->addWidget(new QLabel(QStringLiteral("Тип шлейфа"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Код события"), this), 0, 2);
    for (int i = 0; i < 2; ++i) {
        const int zone = i + 1;
        grid->addWidget(new QLabel(QStringLiteral("ШС%1:").arg(zone), this), zone, 0);
        type_[i] = new QComboBox(this);
        type_[i]->setObjectName(QStringLiteral("cbbRetShlfType%1").arg(zone));
        SetTag(type_[i], zone);
        FitToItems(type_[i]);
        event_[i] = new TComboboxEvent(this);
        event_[i]->setObjectName(QStringLiteral("cmbvShlfEvent%1").arg(zone));
        SetTag(event_[i], zone);
        grid->addWidget(type_[i], zone, 1);
        grid->addWidget(event_[i], zone, 2);
        OnChoiceChanged(type_[i], this, [this, zone] { TypeChange(zone); });
        OnChoiceChanged(event_[i], this, [this, e = event_[i]] { cbbEventChange(e); });
    }
    grid->setColumnStretch(3, 1);

    auto* grpDelay = new QGroupBox(QStringLiteral("Задержка, сек"), this);
    auto* delayRow = new QHBoxLayout(grpDelay);
    edtRetDelIn_ = new QLineEdit(grpDelay);
    edtRetDelIn_->setObjectName(QStringLiteral("edtRetDelIn"));
    edtRetDelOut_ = new QLineEdit(grpDelay);
    edtRetDelOut_->setObjectName(QStringLiteral("edtRetDelOut"));
    for (QLineEdit* edit : {edtRetDelIn_, edtRetDelOut_}) {
        // Tag 0: the panel's own delays, not a zone's.
        SetTag(edit, 0);
        edit->setMaxLength(4);
        edit->setMaximumWidth(50);
    }
    delayRow->addWidget(new QLabel(QStringLiteral("вход:"), grpDelay));
    delayRow->addWidget(edtRetDelIn_);
    delayRow->addSpacing(16);
    delayRow->addWidget(new QLabel(QStringLiteral("выход:"), grpDelay));
    delayRow->addWidget(edtRetDelOut_);
    delayRow->addStretch(1);
    outer->addWidget(grpDelay);
    connect(edtRetDelIn_, &QLineEdit::editingFinished, this, &TPageRetShlf::fldDelayInChange);
    connect(edtRetDelOut_, &QLineEdit::editingFinished, this, &TPageRetShlf::fldDelayOutChange);

    chkLockAlrm_ =
        MakeCheck(this, QStringLiteral("chkLockAlrm"), QStringLiteral("Блокировать сброс после тревоги"));
    outer->addWidget(chkLockAlrm_);
    outer->addStretch(1);
    connect(chkLockAlrm_, &QCheckBox::clicked, this, &TPageRetShlf::chkLockAlrmClick);
}

void TPageRetShlf::SetupForType(Byte type) {
    if (type != 15) {
        return;
    }
    for (int i = 0; i < 2; ++i) {
        FillZoneTypeCombo(type_[i], 8);
        event_[i]->FillItems(false);
    }
}

void TPageRetShlf::Refresh() {
    auto* d = dynamic_cast<TDV15_Ret*>(Device());
    if (!d) {
        return;
    }
    for (int i = 0; i < 2; ++i) {
        const int t = d->GetZoneType(i + 1);
        SetIndexQuietly(type_[i], t);
        event_[i]->setEnabled(t != 0);
        event_[i]->SetCIDByte(d->GetZoneCID(i + 1));
    }
    edtRetDelIn_->setText(QString::number(d->GetZoneDelay(0, false)));
    edtRetDelOut_->setText(QString::number(d->GetZoneDelay(0, true)));
    SetCheckedQuietly(chkLockAlrm_, d->GetAlarmLock() != 0);
}

void TPageRetShlf::TypeChange(int zone) {
    TDevice* d = Device();
    if (!d || zone < 1 || zone > 2) {
        return;
    }
    const int i = zone - 1;
    const int t = ZoneTypeIndex(type_[i]->currentText().toStdString());
    if (t < 0) {
        return;
    }
    if (ShowZoneTypeOnEvent(event_[i], t)) {
        cbbEventChange(event_[i]);
    }
    d->SetZoneType(zone, static_cast<Byte>(t));
}

void TPageRetShlf::cbbEventChange(TComboboxEvent* combo) {
    if (TDevice* d = Device()) {
        d->SetZoneCID(Tag(combo), combo->GetCIDByte(combo->currentText()));
    }
}

void TPageRetShlf::fldDelayInChange() {
    if (TDevice* d = Device()) {
        d->SetZoneDelay(Tag(edtRetDelIn_), false,
                        static_cast<Byte>(CheckEditMinMax(edtRetDelIn_, 0, 30, 99)));
    }
}

void TPageRetShlf::fldDelayOutChange() {
    if (TDevice* d = Device()) {
        d->SetZoneDelay(Tag(edtRetDelOut_), true,
                        static_cast<Byte>(CheckEditMinMax(edtRetDelOut_, 0, 30, 99)));
    }
}

void TPageRetShlf::chkLockAlrmClick() {
    if (auto* d = dynamic_cast<TDV15_Ret*>(Device())) {
        d->SetAlarmLock(chkLockAlrm_->isChecked() ? 1 : 0);
    }
}

} // namespace orv
