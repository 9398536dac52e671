#include "dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeDatabase>

namespace orv {

MsgAnswer TQtDialogs::Message(QWidget* parent, MsgKind kind, const QString& caption, const QString& text,
                              MsgButtons buttons, const QString& details) {
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (kind) {
    case MsgKind::Plain:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgKind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgKind::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgKind::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgKind::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    if (!details.isEmpty()) {
        box.setDetailedText(details);
    }
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
    if (buttons == MsgButtons::YesNoCancel) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel); // closing the box changes nothing either
        switch (box.exec()) {
        case QMessageBox::Yes:
            return MsgAnswer::Yes;
        case QMessageBox::No:
            return MsgAnswer::No;
        default:
            return MsgAnswer::Cancel;
        }
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgAnswer::Ok;
}

namespace {

// The kinds of files and folders the file dialog lists, which Qt's Russian texts leave out.
class TFileKinds final : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override {
        if (info.isRoot()) {
            return QStringLiteral("Диск");
        }
        if (info.isDir()) {
            return QStringLiteral("Папка");
        }
        const QMimeType mime = QMimeDatabase().mimeTypeForFile(info);
        if (!mime.isDefault()) {
            return mime.comment(); // in the language of the default locale
        }
        return info.suffix().isEmpty() ? QStringLiteral("Файл") : QStringLiteral("Файл ") + info.suffix();
    }
};

QString RunFileDialog(QWidget* parent, const FileDialogSpec& spec, bool save) {
    const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(parent, spec, save);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
        return {};
    }
    return dialog->selectedFiles().constFirst();
}

} // namespace

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const FileDialogSpec& spec, bool save) {
    auto dialog = std::make_unique<QFileDialog>(parent, spec.title, spec.directory, spec.filter);
    static TFileKinds kinds;
    dialog->setIconProvider(&kinds);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setDefaultSuffix(spec.defaultSuffix);
    if (save) {
        dialog->setFileMode(QFileDialog::AnyFile);
    } else {
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setOption(QFileDialog::ReadOnly, false);
    }
    return dialog;
}

QString TQtDialogs::GetOpenFileName(QWidget* parent, const FileDialogSpec& spec) {
    return RunFileDialog(parent, spec, false);
}

QString TQtDialogs::GetSaveFileName(QWidget* parent, const FileDialogSpec& spec) {
    return RunFileDialog(parent, spec, true);
}

int TQtDialogs::Exec(QDialog& dialog) {
    return dialog.exec();
}

} // namespace orv
