#include "settings_dialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv {

TFormSettings::TFormSettings(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("FormSettings"));
    setWindowTitle(QStringLiteral("Настройки"));
    auto* layout = new QVBoxLayout(this);
    slowExchange_ = new QCheckBox(QStringLiteral("Медленный обмен с прибором"), this);
    slowExchange_->setObjectName(QStringLiteral("chkSlowExchange"));
    slowExchange_->setToolTip(
        QStringLiteral("Ответ прибора принимается раз в полсекунды, как в прежних версиях программы"));
    layout->addWidget(slowExchange_);

    // Printed at the top of every page of a report.
    auto* company = new QGroupBox(QStringLiteral("Организация в отчётах"), this);
    company->setObjectName(QStringLiteral("grpCompany"));
    auto* form = new QFormLayout(company);
    const auto field = [&](const char* name, const QString& label) {
        auto* edit = new QLineEdit(company);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMaxLength(200);
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
        form->addRow(label, edit);
        return edit;
    };
    companyName_ = field("edtCompanyName", QStringLiteral("Название:"));
    companyPhone_ = field("edtCompanyPhone", QStringLiteral("Телефон:"));
    companyAddress_ = field("edtCompanyAddress", QStringLiteral("Адрес:"));
    layout->addWidget(company);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

ReportCompany TFormSettings::Company() const {
    return {companyName_->text(), companyPhone_->text(), companyAddress_->text()};
}

void TFormSettings::SetCompany(const ReportCompany& company) {
    companyName_->setText(company.name);
    companyPhone_->setText(company.phone);
    companyAddress_->setText(company.address);
}

} // namespace orv
