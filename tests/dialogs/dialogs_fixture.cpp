#include "dialogs_fixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

namespace orv::test {

MsgAnswer TScriptedDialogs::Message(QWidget*, MsgKind kind, const QString& caption, const QString& text,
                                    MsgButtons buttons, const QString&) {
    shown.push_back({kind, caption, text});
    switch (buttons) {
    case MsgButtons::YesNo:
        return MsgAnswer::No;
    case MsgButtons::YesNoCancel:
        return MsgAnswer::Cancel;
    default:
        return MsgAnswer::Ok;
    }
}

QString TScriptedDialogs::GetOpenFileName(QWidget*, const FileDialogSpec&) {
    ADD_FAILURE() << "unexpected open dialog";
    return {};
}

QString TScriptedDialogs::GetSaveFileName(QWidget*, const FileDialogSpec&) {
    ADD_FAILURE() << "unexpected save dialog";
    return {};
}

int TScriptedDialogs::Exec(QDialog& dialog) {
    ++execs;
    dialog.setResult(QDialog::Rejected);
    if (steps.empty()) {
        ADD_FAILURE() << "unexpected dialog " << dialog.objectName().toStdString();
        return QDialog::Rejected;
    }
    auto step = std::move(steps.front());
    steps.pop_front();
    // Shown as exec would show it (modal, so no other window takes the focus), without blocking.
    dialog.setModal(true);
    dialog.show();
    dialog.activateWindow();
    EXPECT_TRUE(WaitActive(&dialog));
    step(dialog);
    dialog.hide();
    // The window system gives the focus back to the window below; the offscreen platform does not.
    if (QWidget* parent = dialog.parentWidget(); parent && parent->window()->isVisible()) {
        parent->window()->activateWindow();
        EXPECT_TRUE(WaitActive(parent->window()));
    }
    return dialog.result();
}

} // namespace orv::test
