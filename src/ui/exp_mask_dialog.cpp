#include "exp_mask_dialog.h"

#include "widgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv {

TFormExpMask::TFormExpMask(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("FormExpMask"));
    setWindowTitle(QStringLiteral("Расширители"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    for (int item = 1; item <= 32; ++item) {
        auto* box = new QCheckBox(QString::number(item), this);
        box->setObjectName(QStringLiteral("chkExp%1").arg(item));
        SetTag(box, item);
        boxes_[item - 1] = box;
        grid->addWidget(box, (item - 1) / 8, (item - 1) % 8);
    }
    auto* bvi = new QCheckBox(QStringLiteral("БВИ"), this);
    bvi->setObjectName(QStringLiteral("chkExp33"));
    SetTag(bvi, 33);
    boxes_[32] = bvi;
    grid->addWidget(bvi, 4, 0, 1, 2);
    layout->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void TFormExpMask::Prepare(const ExpanderMask& mask, QPoint position) {
    for (int item = 1; item <= 33; ++item) {
        const int bit = (item - 1) % 8;
        const auto byte = static_cast<std::size_t>((item - 1) / 8);
        boxes_[item - 1]->setChecked((mask[byte] >> bit) & 1);
    }
    move(position);
}

ExpanderMask TFormExpMask::Collect() const {
    ExpanderMask mask{};
    for (int item = 1; item <= 33; ++item) {
        if (boxes_[item - 1]->isChecked()) {
            const auto byte = static_cast<std::size_t>((item - 1) / 8);
            mask[byte] = static_cast<Byte>(mask[byte] | (1u << ((item - 1) % 8)));
        }
    }
    return mask;
}

QCheckBox* TFormExpMask::Box(int item) const {
    return item >= 1 && item <= 33 ? boxes_[item - 1] : nullptr;
}

} // namespace orv
