#pragma once

// A grid whose cells are edited in place: drop-down lists placed over the selected cell, text
// typed into the cell through a key filter, and rows reordered by dragging their number cell.
// What may be selected and what an editor does is decided by the models (gsm/directions.h,
// gsm/sms.h); the grids here only show them.

#include "gsm/directions.h"

#include <QComboBox>
#include <QPersistentModelIndex>
#include <QTableWidget>

#include <map>

namespace orv {

// A drop-down list over a grid cell. It closes once, and says so, when an item is picked from
// its list, when the list is dismissed, on Enter or Escape, or when the focus goes elsewhere.
class TCellCombo final : public QComboBox {
    Q_OBJECT
public:
    explicit TCellCombo(QWidget* parent);

    // Placed over rect, shown, focused, with index chosen and the list dropped down.
    void OpenAt(const QRect& rect, int index);
    bool IsOpen() const { return open_; }

    void showPopup() override;
    void hidePopup() override;

signals:
    // index: the item chosen (-1: none); focusLeft: closed because the focus went elsewhere.
    void closed(int index, bool focusLeft);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Close(bool focusLeft);

    bool open_ = false;
    bool listClosing_ = false; // the list was just closed; a pick follows at once if there was one
    int session_ = 0;
};

class TCellGrid : public QTableWidget {
    Q_OBJECT
public:
    static constexpr int kParkColumn = 1; // hidden; the selection rests here after an editor closes

    // rows: data rows (the header row is the grid's header); widths of the columns in pixels.
    TCellGrid(int rows, const QStringList& headers, const QList<int>& widths, QWidget* parent);

    // Every cell from the model.
    void Refresh();
    // Drag and drop of data rows: the row at from goes to position to.
    void MoveRow(int from, int to);
    // Stores the text of a cell being typed in, as leaving the cell would.
    void FinishEditing();
    // Text is being typed into a cell.
    bool IsEditingText() const { return state() == QAbstractItemView::EditingState; }

    TCellCombo* Editor(CellEditor kind) const;
    // The selection rests on the hidden column of row.
    void Park(int row);

signals:
    // The user changed a cell or the order of the rows.
    void changed();

protected:
    // Data rows count from 0.
    virtual CellEditor EditorAt(int row, int column) const = 0;
    virtual QString CellText(int row, int column) const = 0;
    // The item an editor opens with (-1: none).
    virtual int EditorIndex(CellEditor kind, int row) const = 0;
    virtual void EditorChosen(CellEditor kind, int row, int index) = 0;
    // Text typed into a cell, when the cell is left.
    virtual void TextChanged(int row, int column, const QString& text);
    virtual bool AcceptKey(int row, int column, const QString& cellText, char32_t key) const;
    // Only called when rows can be dragged.
    virtual void RowMoved(int from, int to);

    TCellCombo* AddEditor(CellEditor kind, const QString& name, const QStringList& items);
    void SetRowDragging(bool on) { rowDragging_ = on; }
    void SetDataRows(int rows);
    // Height of the header and of every row.
    void SetRowHeight(int height);
    QStringList RowTexts(int row) const;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    friend class TCellTextDelegate;

    void CurrentChanged(const QModelIndex& current);
    void OpenEditor(const QModelIndex& index);
    void EditorClosed(CellEditor kind, int index, bool focusLeft);
    void ItemChanged(QTableWidgetItem* item);
    bool Selectable(const QModelIndex& index) const;
    int DropRow(const QPoint& pos) const;

    std::map<CellEditor, TCellCombo*> editors_;
    int editingRow_ = -1;
    bool filling_ = false;
    bool rowDragging_ = false;
    int dragFrom_ = -1;
    int dragTo_ = -1;               // where the row would go, for the drop line
    bool pressing_ = false;         // a mouse press is being handled
    QPersistentModelIndex pending_; // selected by that press; its editor opens on release
};

} // namespace orv
