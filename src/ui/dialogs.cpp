#include "dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace orv {

MsgAnswer TQtDialogs::Message(QWidget* parent, MsgKind kind, const QString& caption, const QString& text,
                              MsgButtons buttons, const QString& details) {
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (kind) {
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
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgAnswer::Ok;
}

namespace {

QString RunFileDialog(QWidget* parent, const FileDialogSpec& spec, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, spec.title, spec.directory, spec.filter);
    dialog.setAcceptMode(mode);
    dialog.setDefaultSuffix(spec.defaultSuffix);
    if (mode == QFileDialog::AcceptOpen) {
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
    } else {
        dialog.setFileMode(QFileDialog::AnyFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString TQtDialogs::GetOpenFileName(QWidget* parent, const FileDialogSpec& spec) {
    return RunFileDialog(parent, spec, QFileDialog::AcceptOpen);
}

QString TQtDialogs::GetSaveFileName(QWidget* parent, const FileDialogSpec& spec) {
    return RunFileDialog(parent, spec, QFileDialog::AcceptSave);
}

int TQtDialogs::Exec(QDialog& dialog) {
    return dialog.exec();
}

} // namespace orv
