#include "dialogs_fixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

namespace orv::test {

MsgAnswer TScriptedDialogs::Message(QWidget*, MsgKind kind, const QString& caption, const QString& text,
                                    MsgButtons buttons, const QString&) {
    shown.push_back({kind, caption, text});
    return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
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

bool WaitActive(QWidget* window) {
    // A window counts as active for Qt's own wait while its parent window has the focus.
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

void Activate(QWidget* window) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(WaitActive(window));
}

void Settle() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

void ClickCell(QTableWidget* grid, int row, int column) {
    ASSERT_NE(grid, nullptr);
    const QRect rect = grid->visualRect(grid->model()->index(row, column));
    ASSERT_FALSE(rect.isEmpty()) << row << "," << column;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rect.center());
    Settle();
}

void DragCell(QTableWidget* grid, int fromRow, int toRow, int column) {
    const QRect from = grid->visualRect(grid->model()->index(fromRow, column));
    const QRect to = grid->visualRect(grid->model()->index(toRow, column));
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, from.center());
    QTest::mouseMove(grid->viewport(), to.center());
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, to.center());
    Settle();
}

void PickInList(TCellCombo* combo, int index) {
    ASSERT_NE(combo, nullptr);
    ASSERT_TRUE(combo->view()->isVisible()) << combo->objectName().toStdString() << ": list not dropped down";
    ASSERT_LT(index, combo->count());
    combo->view()->setCurrentIndex(combo->model()->index(index, combo->modelColumn()));
    QTest::keyClick(combo->view(), Qt::Key_Return);
    Settle();
}

QLineEdit* CellEditorLine(TCellGrid* grid) {
    if (!grid->IsEditingText()) {
        return nullptr;
    }
    auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    return edit && grid->viewport()->isAncestorOf(edit) ? edit : nullptr;
}

void TypeKeys(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(widget, c.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

void TypeInto(QLineEdit* edit, const QString& text) {
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    TypeKeys(edit, text);
}

QString CellText(const QTableWidget* grid, int row, int column) {
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
}

} // namespace orv::test
