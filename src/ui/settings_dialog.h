#pragma once

#include "report/report.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace orv {

// "Настройки": how the program works with the panel, and the company its reports name. The
// caller reads the boxes when the dialog was accepted.
class TFormSettings : public QDialog {
    Q_OBJECT
public:
    explicit TFormSettings(QWidget* parent = nullptr);

    QCheckBox* chkSlowExchange() const { return slowExchange_; }
    ReportCompany Company() const;
    void SetCompany(const ReportCompany& company);

private:
    QCheckBox* slowExchange_ = nullptr;
    QLineEdit* companyName_ = nullptr;
    QLineEdit* companyPhone_ = nullptr;
    QLineEdit* companyAddress_ = nullptr;
};

} // namespace orv
