#pragma once

#include "device_page.h"

class QComboBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace orv {

// "Передача": the transmitter kind, the bus number and the transmitter check boxes that the
// device pages' handlers serve. The GSM directions part of the page is added on top of these.
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

signals:
    // The GSM controls of the page are to be shown or hidden.
    void gsmControlsShown(bool on);
    // The user switched a GSM communicator on (transmitter kind or check box); the GSM settings
    // record has just been started afresh.
    void gsmSwitchedOn();

private:
    void CheckBoxTransmitter();

    QLabel* lblRTX_Type_;
    QComboBox* bxRTX_Type_;
    QLabel* lblNetID_;
    QSpinBox* udBusID_;
    QLineEdit* edtBusID_;
    QCheckBox* chkCNC_TxTD_;
    QCheckBox* chkCNC_TxGSM_;
    QCheckBox* chkOP8V4_DsgrdBySMS_;
};

} // namespace orv
