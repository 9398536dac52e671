#pragma once

#include "device_page.h"

class QComboBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace orv {

class TFrmSMS;
class TFrmSMS2;
class TfrmGPRS;
class TGsmDirections;

// "Передача": the transmitter kind, the bus number and the transmitter check boxes that the
// device pages' handlers serve, and the GSM part: device number, directions grid and its file
// buttons, the SMS list and GPRS settings with their dialogs, and the two GSM flags.
class TPageTx : public TDevicePage {
    Q_OBJECT
public:
    explicit TPageTx(const TPageContext& context, QWidget* parent = nullptr);

    void SetupForType(Byte type) override;
    void Refresh() override;

    void TX_ControlsShow();
    void bxRTX_TypeChange();
    void chkCNC_TxTDClick();
    void chkCNC_TxGSMClick();
    void udBusIDChange(int value);
    void chkOP8V4_DsgrdBySMSClick();

    // Shows or hides the GSM part as the device's family has it.
    void GSM_ControlsShow(bool show);
    // The GSM part from the frames: device number, directions, the SMS and GPRS boxes.
    void GSM_Refresh();
    void chkSMS_OnClick();
    void btnSMS_ShowClick();
    void chkUseGPRScfgClick();
    void btnGPRSClick();
    void chkGSM_ControlClick();
    void chkGSM_TXClick();

    // Stores what is still being typed in the GSM part, as leaving it would.
    void FinishEditing();

    TGsmDirections* Directions() const { return gsm_; }
    // Created with the first device type that needs them; null before.
    TFrmSMS* SmsDialog() const { return frmSMS_; }
    TFrmSMS2* Sms2Dialog() const { return frmSMS2_; }
    TfrmGPRS* GprsDialog() const { return frmGPRS_; }

signals:
    // The GSM controls of the page are to be shown or hidden.
    void gsmControlsShown(bool on);
    // The user switched a GSM communicator on (transmitter kind or check box); the GSM settings
    // record has just been started afresh.
    void gsmSwitchedOn();
    // The directions file buttons.
    void gsmFileSaveClicked();
    void gsmFileLoadClicked();

private:
    void CheckBoxTransmitter();
    void GsmSwitchedOn();
    void ShowGsmFlags();
    // The SMS list the next write would store holds at least one number.
    bool SmsListStored() const;

    QLabel* lblRTX_Type_;
    QComboBox* bxRTX_Type_;
    QLabel* lblNetID_;
    QSpinBox* udBusID_;
    QLineEdit* edtBusID_;
    QCheckBox* chkCNC_TxTD_;
    QCheckBox* chkCNC_TxGSM_;
    QCheckBox* chkOP8V4_DsgrdBySMS_;

    TGsmDirections* gsm_;
    QCheckBox* chkSMS_On_;
    QPushButton* btnSMS_Show_;
    QCheckBox* chkUseGPRScfg_;
    QPushButton* btnGPRS_;
    QCheckBox* chkGSM_Control_;
    QCheckBox* chkGSM_TX_;
    bool gsmShown_ = false;

    TFrmSMS* frmSMS_ = nullptr;
    TFrmSMS2* frmSMS2_ = nullptr;
    TfrmGPRS* frmGPRS_ = nullptr;
};

} // namespace orv
