#include "page_update.h"

#include "dialogs.h"
#include "files/firmware_image.h"
#include "link/firmware_update.h"
#include "link/port_discovery.h"
#include "settings.h"
#include "widgets.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv {

namespace {

const QString kUpdateCaption = QStringLiteral("Прошивка прибора");

} // namespace

TPageUpdate::TPageUpdate(const TPageContext& context, TUpdateHooks hooks, QWidget* parent)
    : TDevicePage(context, QStringLiteral("PGUpdate"), QStringLiteral("Прошивка"), 0, parent),
      hooks_(std::move(hooks)), port_(Make_cmprtdrvrUpdate(this)),
      sender_(std::make_unique<TFirmwareSender>(*port_, this)) {
    auto* column = new QVBoxLayout(this);
    auto* fileRow = new QHBoxLayout;
    edtUpdFileName_ = new QLineEdit(this);
    edtUpdFileName_->setObjectName(QStringLiteral("edtUpdFileName"));
    edtUpdFileName_->setReadOnly(true);
    btnUpdFile_ = new QPushButton(QStringLiteral("Выбрать файл"), this);
    btnUpdFile_->setObjectName(QStringLiteral("btnUpdFile"));
    fileRow->addWidget(edtUpdFileName_, 1);
    fileRow->addWidget(btnUpdFile_);
    column->addLayout(fileRow);

    auto* updateRow = new QHBoxLayout;
    btnUpdate_ = new QPushButton(QStringLiteral("Обновить прошивку"), this);
    btnUpdate_->setObjectName(QStringLiteral("btnUpdate"));
    btnUpdate_->setEnabled(false);
    updateRow->addWidget(btnUpdate_);
    updateRow->addStretch(1);
    column->addLayout(updateRow);

    pbUpdate_ = new QProgressBar(this);
    pbUpdate_->setObjectName(QStringLiteral("pbUpdate"));
    pbUpdate_->setRange(0, 100);
    pbUpdate_->setVisible(false);
    column->addWidget(pbUpdate_);
    column->addStretch(1);

    connect(btnUpdFile_, &QPushButton::clicked, this, &TPageUpdate::btnUpdFileClick);
    connect(btnUpdate_, &QPushButton::clicked, this, &TPageUpdate::btnUpdateClick);
}

TPageUpdate::~TPageUpdate() = default;

bool TPageUpdate::Updating() const {
    return sender_->Running();
}

void TPageUpdate::btnUpdFileClick() {
    // dlgOpenUpdFileOpen: the folder of the configuration files, not stored back.
    const FileDialogSpec spec{QStringLiteral("Открыть файл прошивки"),
                              QStringLiteral("Файлы прошивок (*.enc)"), QStringLiteral("enc"),
                              ReadSetting(QStringLiteral("filepath"), QDir::currentPath())};
    const QString name = Dialogs().GetOpenFileName(this, spec);
    if (name.isEmpty()) {
        return;
    }
    edtUpdFileName_->setText(QDir::toNativeSeparators(name));
    btnUpdate_->setEnabled(!edtUpdFileName_->text().isEmpty());
}

void TPageUpdate::btnUpdateClick() {
    if (Updating()) {
        return;
    }
    const QString fileName = edtUpdFileName_->text();
    if (fileName.isEmpty()) {
        Dialogs().Message(this, MsgKind::Information, kUpdateCaption, QStringLiteral("Выберите файл"),
                          MsgButtons::Ok);
        return;
    }
    // The whole file is checked before the port is touched: a panel never gets part of a file
    // that turns out to be bad further on.
    const TFirmwareLoad load =
        ReadFirmwareFile(QFile::encodeName(QDir::fromNativeSeparators(fileName)).toStdString());
    if (!load.ok()) {
        Dialogs().Message(this, MsgKind::Error, ToQ(kFirmwareErrorCaption), ToQ(FirmwareRefusalText(load)),
                          MsgButtons::Ok, ToQ(FirmwareFaultDetails(load)));
        return;
    }
    if (!sender_->Open(PortPathForEntry(hooks_.portEntry()))) {
        hooks_.portError(port_->LastError());
        return;
    }
    hooks_.controlsEnable(false);
    pbUpdate_->setValue(0);
    pbUpdate_->setVisible(true);
    const TUpdateOutcome outcome = sender_->Send(load.image, [this](int percent, std::size_t, std::size_t) {
        pbUpdate_->setValue(percent);
        emit progressSet(percent);
    });
    switch (outcome) {
    case TUpdateOutcome::Done:
        Dialogs().Message(this, MsgKind::Plain, kUpdateCaption, QStringLiteral("Прошивка прибора обновлена"),
                          MsgButtons::Ok);
        break;
    case TUpdateOutcome::NoAnswer:
        Dialogs().Message(this, MsgKind::Error, kUpdateCaption, QStringLiteral("Нет связи с устройством"),
                          MsgButtons::Ok);
        break;
    case TUpdateOutcome::ChecksumError:
        pbUpdate_->setVisible(false);
        Dialogs().Message(this, MsgKind::Error, kUpdateCaption, QStringLiteral("Ошибка контрольной суммы"),
                          MsgButtons::Ok);
        break;
    case TUpdateOutcome::PortError:
    case TUpdateOutcome::Aborted:
        break;
    }
    hooks_.controlsEnable(true);
    pbUpdate_->setVisible(false);
}

} // namespace orv
