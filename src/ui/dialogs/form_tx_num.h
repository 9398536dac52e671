#pragma once

// "Номер передатчика": one retranslator object's type and transmitter number, the number shown
// in its three forms (device/tx_number.h).

#include "gsm/program_state.h"

#include <QDialog>

#include <cstdint>

class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace orv {

class TFormTxNum final : public QDialog {
    Q_OBJECT
public:
    explicit TFormTxNum(TProgramState& state, QWidget* parent = nullptr);

    // Prepares the dialog for object n (1..32) of the current retranslator: its type and number.
    // Any other n, or a device that is not a retranslator, sets object and number to 0 and gives
    // false: the dialog is then not to be shown.
    bool LoadObject(int object);

    int Object() const { return object_; }
    std::uint32_t Number() const { return number_; }
    int ObjectType() const;

    // "Готово": for a number other than 0 the object's record gets the type and the number's
    // low 18 bits; a number of 0 leaves the record alone. Then the dialog closes.
    void btnOKClick();

public slots:
    // "Готово" is also the dialog's cancel button.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowForms();
    void edtHexExit();
    void medtPCNExit();
    void medtBtnExit();
    void FieldExit(QObject* field);

    TProgramState& state_;
    int object_ = 0;
    std::uint32_t number_ = 0;
    QGroupBox* rgObjType_;
    QButtonGroup* types_;
    QLineEdit* edtHex_;
    QLineEdit* medtPCN_;
    QLineEdit* medtBtn_;
    QPushButton* btnOK_;
};

} // namespace orv
