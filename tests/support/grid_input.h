#pragma once

#include "ui/dialogs/cell_grid.h"

#include <QString>

class QLineEdit;
class QTableWidget;
class QWidget;

namespace orv::test {

// Lets queued calls (an editor closing after its list) run.
void Settle();
// Shows a top-level widget and makes it the active window, so that focus changes happen.
void Activate(QWidget* window);
bool WaitActive(QWidget* window);

// Grids with in-place editors (data rows from 0), worked as a user works them.
void ClickCell(QTableWidget* grid, int row, int column);
// Presses the mouse on a cell of one row and releases it on the same column of another.
void DragCell(QTableWidget* grid, int fromRow, int toRow, int column = 0);
// Picks an item from the combo's dropped-down list with Enter.
void PickInList(QComboBox* combo, int index);
// The text editor open in a grid cell, or null.
QLineEdit* CellEditorLine(TCellGrid* grid);
// Types the text into the cell (which must be open for typing) and leaves it with Enter.
void TypeIntoCell(TCellGrid* grid, int row, int column, const QString& text);
QString CellText(const QTableWidget* grid, int row, int column);

// Types text key by key, characters outside ASCII too.
void TypeKeys(QWidget* widget, const QString& text);
// Replaces what an edit holds by typing text key by key.
void TypeInto(QLineEdit* edit, const QString& text);

} // namespace orv::test
