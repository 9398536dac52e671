#include "grid_input.h"

#include <QApplication>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace orv::test {

void Settle() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
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

void ClickCell(QTableWidget* grid, int row, int column) {
    ASSERT_NE(grid, nullptr);
    const QRect rect = grid->visualRect(grid->model()->index(row, column));
    ASSERT_FALSE(rect.isEmpty()) << row << "," << column;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rect.center());
    Settle();
}

void DragCell(QTableWidget* grid, int fromRow, int toRow, int column) {
    ASSERT_NE(grid, nullptr);
    const QRect from = grid->visualRect(grid->model()->index(fromRow, column));
    const QRect to = grid->visualRect(grid->model()->index(toRow, column));
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, from.center());
    QTest::mouseMove(grid->viewport(), to.center());
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, to.center());
    Settle();
}

void PickInList(QComboBox* combo, int index) {
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

void TypeIntoCell(TCellGrid* grid, int row, int column, const QString& text) {
    ClickCell(grid, row, column);
    ASSERT_TRUE(grid->IsEditingText()) << row << "," << column;
    auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    Settle();
}

QString CellText(const QTableWidget* grid, int row, int column) {
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
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

} // namespace orv::test
