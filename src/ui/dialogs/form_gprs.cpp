#include "form_gprs.h"

#include "char_filter.h"
#include "combo_choice.h"
#include "ui/dialogs.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv {

namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

} // namespace

TfrmGPRS::TfrmGPRS(TProgramState& state, IDialogs& dialogs, QWidget* parent)
    : QDialog(parent), state_(state), dialogs_(dialogs) {
    setObjectName(QStringLiteral("frmGPRS"));
    setWindowTitle(Text(gprs::kCaption));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* groups = new QGridLayout;
    for (int sim = 0; sim < GprsModel::kSims; ++sim) {
        sims_[static_cast<std::size_t>(sim)] = AddSim(sim, groups, sim);
    }
    btnSave_ = new QPushButton(QStringLiteral("Сохранить"), this);
    btnSave_->setObjectName(QStringLiteral("btnSave"));
    btnSave_->setAutoDefault(false);
    connect(btnSave_, &QPushButton::clicked, this, &TfrmGPRS::btnSaveClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnSave_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Refresh();
}

TfrmGPRS::SimControls TfrmGPRS::AddSim(int sim, QGridLayout* grid, int column) {
    const QString n = QString::number(sim + 1);
    auto* group = new QGroupBox(QStringLiteral("SIM-карта №") + n, this);
    group->setObjectName(QStringLiteral("grpSim") + n);
    SimControls c{};
    c.oper = new QComboBox(group);
    c.oper->setObjectName(QStringLiteral("bxOper") + n);
    for (const GprsOperator& preset : GprsPresets) {
        c.oper->addItem(Text(preset.name));
    }
    c.apn = new QLineEdit(group);
    c.apn->setObjectName(QStringLiteral("edtAPN") + n);
    c.user = new QLineEdit(group);
    c.user->setObjectName(QStringLiteral("edtUser") + n);
    c.pass = new QLineEdit(group);
    c.pass->setObjectName(QStringLiteral("edtPass") + n);

    auto* form = new QFormLayout(group);
    form->addRow(QStringLiteral("Шаблон"), c.oper);
    form->addRow(QStringLiteral("APN"), c.apn);
    form->addRow(QStringLiteral("Пользователь"), c.user);
    form->addRow(QStringLiteral("Пароль"), c.pass);
    grid->addWidget(group, 0, column);

    OnChoiceChanged(c.oper, this, [this, sim, oper = c.oper] {
        state_.Gprs.ApplyPreset(sim, oper->currentIndex());
        Refresh();
    });
    const auto bind = [this](QLineEdit* edit, void (GprsModel::*set)(int, std::string_view), int s) {
        InstallCharFilter(edit,
                          AcceptRule([](const QString&, char32_t key) { return GprsModel::AcceptKey(key); }));
        connect(edit, &QLineEdit::textChanged, this, [this, set, s](const QString& text) {
            if (!filling_) {
                (state_.Gprs.*set)(s, Utf8(text));
            }
        });
    };
    bind(c.apn, &GprsModel::SetApn, sim);
    bind(c.user, &GprsModel::SetUser, sim);
    bind(c.pass, &GprsModel::SetPassword, sim);
    return c;
}

void TfrmGPRS::FillFromFrame() {
    state_.Gprs.FillFromFrame(state_.GprsFrame);
    Refresh();
}

void TfrmGPRS::Reset() {
    state_.Gprs.Reset();
    Refresh();
}

void TfrmGPRS::Refresh() {
    filling_ = true;
    for (int sim = 0; sim < GprsModel::kSims; ++sim) {
        const GprsSim& s = state_.Gprs.Sim(sim);
        const SimControls& c = sims_[static_cast<std::size_t>(sim)];
        c.oper->setCurrentIndex(s.preset);
        c.apn->setText(QString::fromStdString(s.apn));
        c.user->setText(QString::fromStdString(s.user));
        c.pass->setText(QString::fromStdString(s.password));
    }
    filling_ = false;
}

void TfrmGPRS::reject() {}

void TfrmGPRS::btnSaveClick() {
    if (auto refusal = state_.Gprs.Encode(state_.GprsFrame)) {
        dialogs_.Message(this, MsgKind::Warning, windowTitle(), QString::fromStdString(*refusal),
                         MsgButtons::Ok);
        return;
    }
    emit saved();
    accept();
}

} // namespace orv
