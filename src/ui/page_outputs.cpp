#include "page_outputs.h"

#include "widgets.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv {

TBoxField::TBoxField(QWidget* host, TProgramState& state, const QStringList& columns, const QStringList& rows)
    : QObject(host), state_(state), outputs_(static_cast<int>(columns.size())),
      functions_(static_cast<int>(rows.size())), grid_(new QGridLayout(host)) {
    // Outputs 60 pixels apart and functions 30, or more where the captions need it.
    grid_->setContentsMargins(0, 0, 0, 0);
    grid_->setHorizontalSpacing(12);
    grid_->setVerticalSpacing(10);
    for (int k = 1; k <= outputs_; ++k) {
        auto* caption = new QLabel(columns[k - 1], host);
        grid_->addWidget(caption, 0, k, Qt::AlignHCenter | Qt::AlignBottom);
        grid_->setColumnMinimumWidth(k, 48);
        labels_.push_back(caption);
    }
    for (int j = 0; j < functions_; ++j) {
        auto* caption = new QLabel(rows[j], host);
        grid_->addWidget(caption, j + 1, 0, Qt::AlignLeft | Qt::AlignVCenter);
        grid_->setRowMinimumHeight(j + 1, 20);
        labels_.push_back(caption);
        for (int k = 1; k <= outputs_; ++k) {
            auto* box = new QCheckBox(host);
            const int number = j * outputs_ + k;
            box->setObjectName(QStringLiteral("BoxField%1").arg(number));
            SetTag(box, number);
            grid_->addWidget(box, j + 1, k, Qt::AlignCenter);
            boxes_.push_back(box);
            connect(box, &QCheckBox::clicked, this, [this, j, k] { BoxClick(j, k); });
        }
    }
    grid_->setColumnStretch(outputs_ + 1, 1);
    grid_->setRowStretch(functions_ + 1, 1);
}

TBoxField::~TBoxField() {
    for (auto* w : labels_) {
        delete w;
    }
    for (auto* w : boxes_) {
        delete w;
    }
    // The host takes the next model's grid.
    delete grid_;
}

QCheckBox* TBoxField::Box(int row, int output) const {
    if (row < 0 || row >= functions_ || output < 1 || output > outputs_) {
        return nullptr;
    }
    return boxes_[static_cast<std::size_t>(row * outputs_ + output - 1)];
}

void TBoxField::Refresh() {
    TDevice* d = state_.device.get();
    if (!d) {
        return;
    }
    for (int j = 0; j < functions_; ++j) {
        for (int k = 1; k <= outputs_; ++k) {
            SetCheckedQuietly(Box(j, k), (d->GetOutput(k) >> j) & 1);
        }
    }
}

void TBoxField::BoxClick(int row, int output) {
    TDevice* d = state_.device.get();
    QCheckBox* box = Box(row, output);
    if (!d || !box) {
        return;
    }
    const Byte bit = static_cast<Byte>(1u << row);
    if (box->isChecked()) {
        // One function per output and one output per function.
        for (int k = 1; k <= outputs_; ++k) {
            d->SetOutput(k, static_cast<Byte>(d->GetOutput(k) & ~bit));
        }
        d->SetOutput(output, bit);
        Refresh();
    } else {
        d->SetOutput(output, static_cast<Byte>(d->GetOutput(output) & ~bit));
    }
}

TPageOutputs::TPageOutputs(const TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("tsOP8xCh"), QStringLiteral("Выходы"), 512, parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    auto* top = new QHBoxLayout;
    auto* title = new QLabel(QStringLiteral("Переназначение реле и выходов прибора"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    btnO8chDefault_ = new QPushButton(QStringLiteral("Сброс установок"), this);
    btnO8chDefault_->setObjectName(QStringLiteral("btnO8chDefault"));
    btnO8chDefault_->setToolTip(QStringLiteral("Сбросить к заводским настройкам"));
    top->addWidget(title);
    top->addSpacing(32);
    top->addWidget(btnO8chDefault_);
    top->addStretch(1);
    column->addLayout(top);
    column->addSpacing(16);
    fieldHost_ = new QWidget(this);
    column->addWidget(fieldHost_);
    column->addStretch(1);
    connect(btnO8chDefault_, &QPushButton::clicked, this, &TPageOutputs::btnO8chDefaultClick);
}

void TPageOutputs::SetupForType(Byte type) {
    delete boxField_;
    boxField_ = nullptr;
    if (type == 16) {
        boxField_ =
            new TBoxField(fieldHost_, State(),
                          {QStringLiteral("Реле1"), QStringLiteral("Реле2"), QStringLiteral("Реле3"),
                           QStringLiteral("Реле4"), QStringLiteral("SND"), QStringLiteral("SVT")},
                          {QStringLiteral("Неисправность"), QStringLiteral("Тревога"),
                           QStringLiteral("Пожар"), QStringLiteral("Потеря БС"), QStringLiteral("Сирена"),
                           QStringLiteral("Лампа"), QStringLiteral("Внимание")});
    } else if (type == 17 || type == 18) {
        boxField_ = new TBoxField(fieldHost_, State(),
                                  {QStringLiteral("Реле1"), QStringLiteral("Реле2"), QStringLiteral("Реле3")},
                                  {QStringLiteral("Неисправность"), QStringLiteral("Тревога"),
                                   QStringLiteral("Пожар"), QStringLiteral("Потеря БС")});
    }
}

void TPageOutputs::Refresh() {
    if (boxField_) {
        boxField_->Refresh();
    }
}

void TPageOutputs::btnO8chDefaultClick() {
    if (auto* d = Device(); d && boxField_) {
        d->SetOutputsDefault();
        boxField_->Refresh();
    }
}

} // namespace orv
