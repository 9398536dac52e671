#pragma once

// "Параметры GPRS": APN, user and password of both SIM cards with the operator presets; a view
// over TProgramState's Gprs model and GprsFrame.

#include "gsm/program_state.h"

#include <QDialog>

#include <array>

class QComboBox;
class QGridLayout;
class QLineEdit;
class QPushButton;

namespace orv {

class IDialogs;

class TfrmGPRS final : public QDialog {
    Q_OBJECT
public:
    TfrmGPRS(TProgramState& state, IDialogs& dialogs, QWidget* parent = nullptr);

    // The model from GprsFrame, then the fields.
    void FillFromFrame();
    // Both SIM cards take the first preset.
    void Reset();
    // The fields and preset combos from the model as it stands.
    void Refresh();

signals:
    // "Сохранить" stored the settings into GprsFrame.
    void saved();

public slots:
    // Without title-bar buttons, "Сохранить" is the only way out: Escape does nothing.
    void reject() override;

private:
    struct SimControls {
        QComboBox* oper;
        QLineEdit* apn;
        QLineEdit* user;
        QLineEdit* pass;
    };

    SimControls AddSim(int sim, QGridLayout* grid, int column);
    void btnSaveClick();

    TProgramState& state_;
    IDialogs& dialogs_;
    std::array<SimControls, GprsModel::kSims> sims_{};
    QPushButton* btnSave_;
    bool filling_ = false;
};

} // namespace orv
