#pragma once

#include "device_page.h"

class QComboBox;
class QCheckBox;

namespace orv {

class TComboboxEvent;

// "Основные настройки" of the five-zone panels.
class TPageOP5 : public TDevicePage {
    Q_OBJECT
public:
    explicit TPageOP5(const TPageContext& context, QWidget* parent = nullptr);

    void Refresh() override;

    void chkOP5UseBuzerClick();
    void chkOP5GrdFdbckONClick();

private:
    QCheckBox* chkOP5UseBuzer_;
    QCheckBox* chkOP5GrdFdbckON_;
};

// "КП2" of the keypad panel: two zones, relays, fire-relay supervision, buzzer.
class TPageKP2 : public TDevicePage {
    Q_OBJECT
public:
    explicit TPageKP2(const TPageContext& context, QWidget* parent = nullptr);

    void SetupForType(Byte type) override;
    void Refresh() override;

    void KP2TypeChange(int zone);
    void cbbEventChange(TComboboxEvent* combo);
    void bxCNCReleAlarmCloseUp();
    void bxCNCReleFireCloseUp();
    void chkKP2ReleContrClick();
    void chkUseBuzzerClick();

private:
    QComboBox* tactic_[2];
    TComboboxEvent* event_[2];
    QComboBox* bxKP2ReleAlarm_;
    QComboBox* bxKP2ReleFire_;
    QCheckBox* chkKP2ReleContr_;
    QCheckBox* chkKP2BuzzerOn_;
};

} // namespace orv
