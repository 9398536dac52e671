#include "form_tx_num.h"

#include "char_filter.h"
#include "device/retranslator.h"
#include "device/tx_number.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace orv {

namespace {

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

} // namespace

TFormTxNum::TFormTxNum(TProgramState& state, QWidget* parent) : QDialog(parent), state_(state) {
    setObjectName(QStringLiteral("FormTxNum"));
    setWindowTitle(QStringLiteral("Номер передатчика"));

    rgObjType_ = new QGroupBox(QStringLiteral("Тип объекта"), this);
    rgObjType_->setObjectName(QStringLiteral("rgObjType"));
    types_ = new QButtonGroup(this);
    auto* typeLayout = new QVBoxLayout(rgObjType_);
    const QString typeNames[] = {QStringLiteral("Выключен"), QStringLiteral("Кнопка"),
                                 QStringLiteral("Mirel"), QStringLiteral("Консьерж")};
    for (int t = 0; t < 4; ++t) {
        auto* radio = new QRadioButton(typeNames[t], rgObjType_);
        radio->setObjectName(QStringLiteral("rbObjType%1").arg(t));
        types_->addButton(radio, t);
        typeLayout->addWidget(radio);
    }

    edtHex_ = new QLineEdit(this);
    edtHex_->setObjectName(QStringLiteral("edtHex"));
    edtHex_->setToolTip(QStringLiteral("Номер на плате передатчика"));
    InstallCharFilter(edtHex_, [](const QString&, char32_t key) -> std::optional<char32_t> {
        if (const char32_t out = txnum::FilterHexKey(key)) {
            return out;
        }
        return std::nullopt;
    });
    medtPCN_ = new QLineEdit(this);
    medtPCN_->setObjectName(QStringLiteral("medtPCN"));
    medtPCN_->setToolTip(QStringLiteral("Номер для ПЦН"));
    medtPCN_->setInputMask(QStringLiteral("0.000.000;_"));
    medtBtn_ = new QLineEdit(this);
    medtBtn_->setObjectName(QStringLiteral("medtBtn"));
    medtBtn_->setToolTip(QStringLiteral("Номер на плате кнопок"));
    medtBtn_->setInputMask(QStringLiteral("000000;_"));
    for (QLineEdit* field : {edtHex_, medtPCN_, medtBtn_}) {
        field->installEventFilter(this);
    }

    btnOK_ = new QPushButton(QStringLiteral("Готово"), this);
    btnOK_->setObjectName(QStringLiteral("btnOK"));
    btnOK_->setAutoDefault(false);
    connect(btnOK_, &QPushButton::clicked, this, &TFormTxNum::btnOKClick);

    // Each form of the number named in short; the hints say it in full.
    auto* forms = new QFormLayout;
    const auto addForm = [this, forms](const QString& name, const QString& caption, QLineEdit* field) {
        auto* label = new QLabel(caption, this);
        label->setObjectName(name);
        label->setBuddy(field);
        forms->addRow(label, field);
    };
    addForm(QStringLiteral("lblHex"), QStringLiteral("HEX:"), edtHex_);
    addForm(QStringLiteral("lblPCN"), QStringLiteral("ПЦН:"), medtPCN_);
    addForm(QStringLiteral("lblBtn"), QStringLiteral("Плата кнопок:"), medtBtn_);
    auto* fields = new QVBoxLayout;
    fields->addLayout(forms);
    fields->addStretch(1);
    fields->addWidget(btnOK_);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(rgObjType_);
    layout->addLayout(fields);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    types_->button(0)->setChecked(true);
}

bool TFormTxNum::LoadObject(int object) {
    auto* ret = dynamic_cast<TDV15_Ret*>(state_.device.get());
    if (ret == nullptr || object < 1 || object > TDV15_Ret::kObjects) {
        object_ = 0;
        number_ = 0;
        return false;
    }
    object_ = object;
    const ObjectRecord record = ret->GetObject(object);
    const int type = record[0] & 0x03;
    number_ = type != objOff ? ::orv::ObjectNumber(record) : 0;
    types_->button(type)->setChecked(true);
    ShowForms();
    return true;
}

int TFormTxNum::ObjectType() const {
    return std::max(0, types_->checkedId());
}

void TFormTxNum::ShowForms() {
    edtHex_->setText(QString::fromStdString(txnum::HexForm(number_)));
    medtPCN_->setText(QString::fromStdString(txnum::StationForm(number_)));
    medtBtn_->setText(QString::fromStdString(txnum::BoardForm(number_)));
}

void TFormTxNum::edtHexExit() {
    const auto number = txnum::FromHexForm(Utf8(edtHex_->text()));
    number_ = number.value_or(0);
    if (number) {
        ShowForms();
    }
}

void TFormTxNum::medtPCNExit() {
    // Unfilled places of the mask show as blanks.
    number_ = txnum::FromStationForm(Utf8(medtPCN_->displayText()));
    ShowForms();
}

void TFormTxNum::medtBtnExit() {
    const auto number = txnum::FromBoardForm(Utf8(medtBtn_->displayText()));
    number_ = number.value_or(0);
    if (number) {
        ShowForms();
    }
}

void TFormTxNum::FieldExit(QObject* field) {
    if (field == edtHex_) {
        edtHexExit();
    } else if (field == medtPCN_) {
        medtPCNExit();
    } else if (field == medtBtn_) {
        medtBtnExit();
    }
}

bool TFormTxNum::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            FieldExit(watched);
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormTxNum::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    edtHex_->setFocus(Qt::ActiveWindowFocusReason);
}

void TFormTxNum::btnOKClick() {
    // Closing with the keyboard does not leave the field: what it shows still counts.
    if (QWidget* focused = focusWidget(); focused != nullptr && focused->hasFocus()) {
        FieldExit(focused);
    }
    if (number_ != 0) {
        if (auto* ret = dynamic_cast<TDV15_Ret*>(state_.device.get())) {
            ret->SetObject(object_,
                           MakeObjectRecord(number_ & txnum::kNumberMask, static_cast<Byte>(ObjectType())));
        }
    }
    accept();
}

void TFormTxNum::reject() {
    btnOKClick();
}

} // namespace orv
