#pragma once

#include "device_page.h"

class QComboBox;
class QCheckBox;
class QLineEdit;
class QGroupBox;

namespace orv {

// "Периферия" of the eight-zone panels: relays, output supervision, siren, lamp, reader LED,
// buzzer, arming signals, system partition and the two-threshold options.
class TPagePeriph : public TDevicePage {
    Q_OBJECT
public:
    explicit TPagePeriph(const TPageContext& context, QWidget* parent = nullptr);

    void SetupForType(Byte type) override;
    void Refresh() override;

    void bxReleAlarmCloseUp();
    void bxReleFireCloseUp();
    void bxReleControlCloseUp();
    void chkOP8ReleAlrmClick();
    void chkOP8ReleFireClick();
    void PKK_OPsCntrlToggle(QCheckBox* box);
    void edtSndWrkTimeChange();
    void bxLampModeExit();
    void cbbTMLedModeCloseUp();
    void chkTM_LEDClick();
    void chkUseBuzzerClick();
    void chkGuardSndClick();
    void bxSysPartIDCloseUp();
    void chkTXCID118Click();
    void chkAttSirenONClick();

private:
    QComboBox* bxReleAlarm_;
    QComboBox* bxReleFire_;
    QComboBox* bxReleControl_;
    QCheckBox* chkOP8ReleAlrm_;
    QCheckBox* chkOP8ReleFire_;
    QCheckBox* opsBoxes_[4];
    QLineEdit* edtSndWrkTime_;
    QComboBox* bxLampMode_;
    QComboBox* cbbTMLedMode_;
    QCheckBox* chkTM_LED_;
    QCheckBox* chkUseBuzzer_;
    QCheckBox* chkGuardSnd_;
    QComboBox* bxSysPartID_;
    QGroupBox* grpFire2_;
    QCheckBox* chkTXCID118_;
    QCheckBox* chkAttSirenON_;
};

} // namespace orv
