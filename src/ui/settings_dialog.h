#pragma once

#include <QDialog>

class QCheckBox;

namespace orv {

// "Настройки": how the program works with the panel. The caller reads the boxes when the
// dialog was accepted.
class TFormSettings : public QDialog {
    Q_OBJECT
public:
    explicit TFormSettings(QWidget* parent = nullptr);

    QCheckBox* chkSlowExchange() const { return slowExchange_; }

private:
    QCheckBox* slowExchange_ = nullptr;
};

} // namespace orv
