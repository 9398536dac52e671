#pragma once

#include "device_page.h"

#include <QObject>
#include <QPointer>
#include <vector>

class QCheckBox;
class QGridLayout;
class QLabel;
class QPushButton;

namespace orv {

// The outputs grid: one column per output, one row per function; box (j, k) means function j
// drives output k. Built at run time for the models with outputs and released with them.
class TBoxField : public QObject {
    Q_OBJECT
public:
    // host: an empty widget that the grid is laid out in, and left empty again when released.
    TBoxField(QWidget* host, TProgramState& state, const QStringList& columns, const QStringList& rows);
    ~TBoxField() override;

    void Refresh();
    // Box number (tag) = j * n + k, counted row by row from 1.
    QCheckBox* Box(int row, int output) const;
    int Outputs() const { return outputs_; }
    int Functions() const { return functions_; }

    void BoxClick(int row, int output);

private:
    TProgramState& state_;
    int outputs_;
    int functions_;
    // Guarded: a host being destroyed deletes its layout before its children.
    QPointer<QGridLayout> grid_;
    std::vector<QLabel*> labels_;
    std::vector<QCheckBox*> boxes_;
};

// "Выходы": the outputs grid and the factory reset button.
class TPageOutputs : public TDevicePage {
    Q_OBJECT
public:
    explicit TPageOutputs(const TPageContext& context, QWidget* parent = nullptr);

    void SetupForType(Byte type) override;
    void Refresh() override;

    void btnO8chDefaultClick();
    TBoxField* BoxField() const { return boxField_; }

private:
    TBoxField* boxField_ = nullptr;
    QWidget* fieldHost_;
    QPushButton* btnO8chDefault_;
};

} // namespace orv
