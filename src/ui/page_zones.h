#pragma once

#include "device_page.h"
#include "gsm/tx_buffers.h"

#include <array>

class QComboBox;
class QCheckBox;
class QLineEdit;
class QGroupBox;

namespace orv {

class TComboboxEvent;

// "Шлейфы" of the eight-zone panels.
class TPageZones : public TDevicePage {
    Q_OBJECT
public:
    explicit TPageZones(const TPageContext& context, QWidget* parent = nullptr);

    void SetupForType(Byte type) override;
    void Refresh() override;

    // Handlers.
    void TypeChange(int zone);
    void cbbEventChange(TComboboxEvent* combo);
    void fldDelayInChange(QLineEdit* edit);
    void fldDelayOutChange(QLineEdit* edit);
    void ShlfPartChange(int zone);
    void PageShlfExit();

    // Enables the dependency boxes of partitions holding an enabled guard-type zone and
    // stores the no-arm partition mask (store = false: enabling only).
    void PartsLogic(bool store = true);
    // Commit-step rules: the dependency mask and the re-arm / fire re-query flags.
    void PartDepsLogic();
    void ShlfRearmWrite();

    // What the commit step needs from the page.
    ZonePageView View() const;

private:
    QComboBox* typeCombo_[8]{};
    TComboboxEvent* eventCombo_[8]{};
    QLineEdit* delayIn_[8]{};
    QLineEdit* delayOut_[8]{};
    QComboBox* partCombo_[8]{};
    QCheckBox* rearm_[8]{};
    QCheckBox* fireReq_[8]{};
    QCheckBox* partDep_[9]{}; // 2..8
    QGroupBox* grpPartDep_ = nullptr;
};

} // namespace orv
