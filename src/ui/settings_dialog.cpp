#include "settings_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
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

} // namespace orv
