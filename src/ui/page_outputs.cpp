#include "page_outputs.h"

#include "widgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

namespace orv {

TBoxField::TBoxField(QWidget* host, TProgramState& state, const QStringList& columns, const QStringList& rows)
    : QObject(host), state_(state), outputs_(static_cast<int>(columns.size())),
      functions_(static_cast<int>(rows.size())) {
    for (int k = 1; k <= outputs_; ++k) {
        auto* caption = new QLabel(columns[k - 1], host);
        caption->move(65 + 60 * k, 64);
        caption->show();
        labels_.push_back(caption);
    }
    for (int j = 0; j < functions_; ++j) {
        auto* caption = new QLabel(rows[j], host);
        caption->move(16, 94 + 30 * j);
        caption->show();
        labels_.push_back(caption);
        for (int k = 1; k <= outputs_; ++k) {
            auto* box = new QCheckBox(host);
            const int number = j * outputs_ + k;
            box->setObjectName(QStringLiteral("BoxField%1").arg(number));
            SetTag(box, number);
            box->setGeometry(75 + 60 * k, 94 + 30 * j, 17, 17);
            box->show();
            boxes_.push_back(box);
            connect(box, &QCheckBox::clicked, this, [this, j, k] { BoxClick(j, k); });
        }
    }
}

TBoxField::~TBoxField() {
    for (auto* w : labels_) {
        delete w;
    }
    for (auto* w : boxes_) {
        delete w;
    }
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
    auto* title = new QLabel(QStringLiteral("Переназначение реле и выходов прибора"), this);
    title->move(16, 20);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    btnO8chDefault_ = new QPushButton(QStringLiteral("Сброс установок"), this);
    btnO8chDefault_->setObjectName(QStringLiteral("btnO8chDefault"));
    btnO8chDefault_->setToolTip(QStringLiteral("Сбросить к заводским настройкам"));
    btnO8chDefault_->setGeometry(460, 20, 130, 28);
    connect(btnO8chDefault_, &QPushButton::clicked, this, &TPageOutputs::btnO8chDefaultClick);
}

void TPageOutputs::SetupForType(Byte type) {
    delete boxField_;
    boxField_ = nullptr;
    if (type == 16) {
        boxField_ =
            new TBoxField(this, State(),
                          {QStringLiteral("Реле1"), QStringLiteral("Реле2"), QStringLiteral("Реле3"),
                           QStringLiteral("Реле4"), QStringLiteral("SND"), QStringLiteral("SVT")},
                          {QStringLiteral("Неисправность"), QStringLiteral("Тревога"),
                           QStringLiteral("Пожар"), QStringLiteral("Потеря БС"), QStringLiteral("Сирена"),
                           QStringLiteral("Лампа"), QStringLiteral("Внимание")});
    } else if (type == 17 || type == 18) {
        boxField_ = new TBoxField(this, State(),
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
