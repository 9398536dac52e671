#pragma once

#include "ui/dialogs.h"
#include "ui/dialogs/cell_grid.h"

#include <QDialog>
#include <QString>

#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

class QLineEdit;
class QTableWidget;

namespace orv::test {

// Answers the dialogs' modal windows from a script and records what was shown.
class TScriptedDialogs final : public IDialogs {
public:
    struct Shown {
        MsgKind kind;
        QString caption;
        QString text;
    };

    MsgAnswer Message(QWidget* parent, MsgKind kind, const QString& caption, const QString& text,
                      MsgButtons buttons, const QString& details = {}) override;
    QString GetOpenFileName(QWidget* parent, const FileDialogSpec& spec) override;
    QString GetSaveFileName(QWidget* parent, const FileDialogSpec& spec) override;
    // Shows the dialog, runs the next step with it (what the user does in it), and returns its
    // result.
    int Exec(QDialog& dialog) override;

    std::deque<std::function<void(QDialog&)>> steps;
    std::vector<Shown> shown;
    int execs = 0;
};

// Shows a top-level widget and makes it the active window, so that focus changes happen.
void Activate(QWidget* window);
bool WaitActive(QWidget* window);
// Lets queued calls (an editor closing after its list) run.
void Settle();

// A click on a cell of a grid (data rows from 0).
void ClickCell(QTableWidget* grid, int row, int column);
// Presses the mouse on one cell and releases it on another.
void DragCell(QTableWidget* grid, int fromRow, int toRow, int column = 0);
// What the user does with a dropped-down list: picks the item and presses Enter in the list.
void PickInList(TCellCombo* combo, int index);
// The text editor open in a grid cell, or null.
QLineEdit* CellEditorLine(TCellGrid* grid);
// Types text key by key (characters outside ASCII too).
void TypeKeys(QWidget* widget, const QString& text);
// Replaces what an edit holds by typing text key by key.
void TypeInto(QLineEdit* edit, const QString& text);

QString CellText(const QTableWidget* grid, int row, int column);

} // namespace orv::test
