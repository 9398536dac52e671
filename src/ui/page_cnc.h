#pragma once

#include "device_page.h"

class QComboBox;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;

namespace orv {

class TFormExpMask;

// "Концентратор" of the control panels with a one-byte expander mask (codes 3, 11, 17).
class TPageCnc8 : public TDevicePage {
    Q_OBJECT
public:
    explicit TPageCnc8(const TPageContext& context, QWidget* parent = nullptr);

    void SetupForType(Byte type) override;
    void Refresh() override;

    void ExpToggle(QCheckBox* box);
    void chkBVIAlarmSilentClick();
    void chkBVIAlarmDuressClick();
    void chkResetSNSByBVIClick();
    void chkBVIEnableResetClick();
    void bxCNCReleAlarmCloseUp();
    void bxCNCReleFireCloseUp();
    void chkCncFireReleCntrClick();
    void chkUseBuzzerClick();
    void CNC_AutoResetCloseUp();

private:
    void BviBit(int bit, bool on);

    QCheckBox* chkExp_[8];
    QGroupBox* grpBVI_;
    QCheckBox* chkBVIAlarmSilent_;
    QCheckBox* chkBVIAlarmDuress_;
    QCheckBox* chkResetSNSByBVI_;
    QCheckBox* chkBVIEnableReset_;
    QComboBox* bxCNCReleAlarm_;
    QComboBox* bxCNCReleFire_;
    QCheckBox* chkCncFireReleCntr_;
    QCheckBox* chkCncBuzzOn_;
    QLabel* lblCnc8AlmReset_;
    QComboBox* cbbCNC8_AutoRst_;
};

// "Концентратор" of the control panels with a 40-bit expander mask (codes 7, 18).
class TPageCnc5 : public TDevicePage {
    Q_OBJECT
public:
    explicit TPageCnc5(const TPageContext& context, QWidget* parent = nullptr);

    void SetupForType(Byte type) override;
    void Refresh() override;

    void edtExtMaskClick();
    void RunFormExpMask();
    void chkBVIAlarmDuressClick();
    void chkResetSNSByBVIClick();
    void bxCNCReleAlarmCloseUp();
    void bxCNCReleFireCloseUp();
    void chkCncFireReleCntrClick();
    void chkUseBuzzerClick();
    void chkCNC5_GuardQTClick();
    void CNC_AutoResetCloseUp();

    TFormExpMask* ExpanderDialog() const { return formExpMask_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BviBit(int bit, bool on);
    void ShowMask();

    QLineEdit* edtExtMask_;
    QGroupBox* grpCOP5_BVI_;
    QCheckBox* chkCP5BVIAlarmDuress_;
    QCheckBox* chkCP5ResetSNSByBVI_;
    QComboBox* bxCNC5ReleAlarm_;
    QComboBox* bxCNC5ReleFire_;
    QCheckBox* chkCnc5FireReleCntr_;
    QCheckBox* chkCnc5BuzzOn_;
    QCheckBox* chkCNC5_GuardQT_;
    QComboBox* cbbCNC5_AutoRst_;
    TFormExpMask* formExpMask_ = nullptr;
};

} // namespace orv
