#pragma once

#include "device_page.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orv {

class TComboboxEvent;
class TDV15_Ret;
class TFormObj;

// "RET_32" of the retranslator: receive liter, retransmission indication, relays, buzzer, the
// objects button, the transmission group and the channel check periods.
class TPageRet : public TDevicePage {
    Q_OBJECT
public:
    explicit TPageRet(const TPageContext& context, QWidget* parent = nullptr);

    void SetupForType(Byte type) override;
    void Refresh() override;

    void cbbRetLiterRXChange();
    void chkRetIndTxTMClick();
    void chkRetIndTxLedClick();
    void bxCNCReleAlarmCloseUp();
    void bxCNCReleFireCloseUp();
    void chkRetReleFireCtrClick();
    void chkUseBuzzerClick();
    void btnRetObjClick();
    void cbbRetTxModeChange();
    void cbbRetLiterTXExit();
    void chkRetTx485Click();
    void cbbTOKNSExit();
    void cbbTOLNExit();
    void chkRetKnsDelayClick();
    void chkRetActivateReleClick();

    // Created with the first retranslator; null before.
    TFormObj* ObjectsDialog() const { return formObj_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TDV15_Ret* Ret() const;
    // The liter list of a transmit mode, its first item selected, and what the mode shows.
    void RebuildLiterList(int mode);
    // An editable period combo when left: its value, limited and shown so.
    int PeriodFromCombo(QComboBox* combo, int limit);
    static void ShowPeriod(QComboBox* combo, int value);

    QComboBox* cbbRetLiterRX_;
    QCheckBox* chkRetIndTxTM_;
    QCheckBox* chkRetIndTxLed_;
    QComboBox* cbbRetReleAlarmCfg_;
    QComboBox* cbbRetReleFireCfg_;
    QCheckBox* chkRetReleFireCtr_;
    QCheckBox* chkRetBuzOn_;
    QPushButton* btnRetObj_;
    QComboBox* cbbRetTxMode_;
    QLabel* lblRetLiterTX_;
    QComboBox* cbbRetLiterTX_;
    QCheckBox* chkRetTx485_;
    QComboBox* cbbTOKNS_;
    QComboBox* cbbTOLN_;
    QCheckBox* chkRetKnsDelay_;
    QCheckBox* chkRetActivateRele_;
    TFormObj* formObj_ = nullptr;
};

// "Шлейфы" of the retranslator: its two zones, the panel delays and the alarm reset lock.
class TPageRetShlf : public TDevicePage {
    Q_OBJECT
public:
    explicit TPageRetShlf(const TPageContext& context, QWidget* parent = nullptr);

    void SetupForType(Byte type) override;
    void Refresh() override;

    void TypeChange(int zone);
    void cbbEventChange(TComboboxEvent* combo);
    void fldDelayInChange();
    void fldDelayOutChange();
    void chkLockAlrmClick();

private:
    QComboBox* type_[2];
    TComboboxEvent* event_[2];
    QLineEdit* edtRetDelIn_;
    QLineEdit* edtRetDelOut_;
    QCheckBox* chkLockAlrm_;
};

} // namespace orv
