#include "cell_grid.h"

#include "char_filter.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <functional>

namespace orv {

namespace {

// Refuses the cells the model does not let the user select, whatever way the selection comes:
// mouse, keys or code.
class TGateSelectionModel final : public QItemSelectionModel {
public:
    TGateSelectionModel(QAbstractItemModel* model, QObject* parent,
                        std::function<bool(const QModelIndex&)> gate)
        : QItemSelectionModel(model, parent), gate_(std::move(gate)) {}

    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
        if (index.isValid() && index != currentIndex() && !gate_(index)) {
            return;
        }
        QItemSelectionModel::setCurrentIndex(index, command);
    }

    void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override {
        QItemSelectionModel::select(QItemSelection(index, index), command);
    }

    void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override {
        if (command & (Select | Toggle)) {
            const QModelIndexList indexes = selection.indexes();
            for (const QModelIndex& i : indexes) {
                if (!gate_(i)) {
                    return;
                }
            }
        }
        QItemSelectionModel::select(selection, command);
    }

private:
    std::function<bool(const QModelIndex&)> gate_;
};

bool IsListEditor(CellEditor kind) {
    switch (kind) {
    case CellEditor::Attempts:
    case CellEditor::Sim:
    case CellEditor::Protocol:
    case CellEditor::Partition:
    case CellEditor::Source:
    case CellEditor::SmsType:
        return true;
    default:
        return false;
    }
}

} // namespace

// Text typed into a cell goes through the grid's key filter.
class TCellTextDelegate final : public QStyledItemDelegate {
public:
    explicit TCellTextDelegate(TCellGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            const int row = index.row();
            const int column = index.column();
            TCellGrid* grid = grid_;
            InstallCharFilter(edit, AcceptRule([grid, row, column](const QString& text, char32_t key) {
                                  return grid->AcceptKey(row, column, text, key);
                              }));
        }
        return editor;
    }

private:
    TCellGrid* grid_;
};

// ---------------------------------------------------------------------------------------------

TCellCombo::TCellCombo(QWidget* parent) : QComboBox(parent) {
    hide();
    // A pick from the list arrives right after the list was closed.
    connect(this, &QComboBox::activated, this, [this](int) {
        if (listClosing_) {
            Close(false);
        }
    });
}

void TCellCombo::OpenAt(const QRect& rect, int index) {
    ++session_;
    open_ = true;
    listClosing_ = false;
    setGeometry(rect);
    setCurrentIndex(index);
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
    showPopup();
}

void TCellCombo::showPopup() {
    listClosing_ = false;
    QComboBox::showPopup();
}

void TCellCombo::hidePopup() {
    QComboBox::hidePopup();
    if (!open_) {
        return;
    }
    // Dismissed without a pick: closes as well, once the pick (if any) had its turn.
    listClosing_ = true;
    const int session = session_;
    QMetaObject::invokeMethod(
        this,
        [this, session] {
            if (open_ && listClosing_ && session == session_) {
                Close(false);
            }
        },
        Qt::QueuedConnection);
}

void TCellCombo::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (open_ && (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)) {
        Close(false);
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void TCellCombo::focusOutEvent(QFocusEvent* event) {
    QComboBox::focusOutEvent(event);
    // Its own list and another window taking the focus do not close it.
    if (!open_ || event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason ||
        view()->isVisible()) {
        return;
    }
    Close(true);
}

void TCellCombo::Close(bool focusLeft) {
    if (!open_) {
        return;
    }
    open_ = false;
    listClosing_ = false;
    // Told before hiding, so that the grid takes the focus and it does not wander off.
    emit closed(currentIndex(), focusLeft);
    hide();
}

// ---------------------------------------------------------------------------------------------

TCellGrid::TCellGrid(int rows, const QStringList& headers, const QList<int>& widths, QWidget* parent)
    : QTableWidget(rows, static_cast<int>(headers.size()), parent) {
    setHorizontalHeaderLabels(headers);
    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(false);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setMinimumSectionSize(0);
    for (int c = 0; c < widths.size() && c < columnCount(); ++c) {
        setColumnWidth(c, widths[c]);
    }
    header->setSectionResizeMode(QHeaderView::Fixed);
    setColumnHidden(kParkColumn, true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setDragEnabled(false);

    QItemSelectionModel* old = selectionModel();
    setSelectionModel(new TGateSelectionModel(
        model(), this, [this](const QModelIndex& index) { return Selectable(index); }));
    delete old;
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { CurrentChanged(current); });
    setItemDelegate(new TCellTextDelegate(this));
    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) { ItemChanged(item); });
}

void TCellGrid::SetDataRows(int rows) {
    if (rows != rowCount()) {
        setRowCount(rows);
    }
}

void TCellGrid::SetRowHeight(int height) {
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(height);
    horizontalHeader()->setFixedHeight(height);
}

QStringList TCellGrid::RowTexts(int row) const {
    QStringList texts;
    for (int c = 0; c < columnCount(); ++c) {
        texts << CellText(row, c);
    }
    return texts;
}

void TCellGrid::Refresh() {
    filling_ = true;
    for (int r = 0; r < rowCount(); ++r) {
        for (int c = 0; c < columnCount(); ++c) {
            QTableWidgetItem* cell = item(r, c);
            if (cell == nullptr) {
                cell = new QTableWidgetItem;
                setItem(r, c, cell);
            }
            cell->setText(CellText(r, c));
            Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
            if (EditorAt(r, c) == CellEditor::Text) {
                flags |= Qt::ItemIsEditable;
            }
            cell->setFlags(flags);
            if (c == 0) {
                cell->setTextAlignment(Qt::AlignCenter);
            }
        }
    }
    filling_ = false;
}

TCellCombo* TCellGrid::Editor(CellEditor kind) const {
    const auto it = editors_.find(kind);
    return it == editors_.end() ? nullptr : it->second;
}

TCellCombo* TCellGrid::AddEditor(CellEditor kind, const QString& name, const QStringList& items) {
    auto* combo = new TCellCombo(viewport());
    combo->setObjectName(name);
    combo->addItems(items);
    combo->setMaxVisibleItems(std::min(static_cast<int>(items.size()), 16));
    connect(combo, &TCellCombo::closed, this,
            [this, kind](int index, bool focusLeft) { EditorClosed(kind, index, focusLeft); });
    editors_[kind] = combo;
    return combo;
}

void TCellGrid::Park(int row) {
    if (row >= 0 && row < rowCount()) {
        setCurrentCell(row, kParkColumn);
    }
}

bool TCellGrid::Selectable(const QModelIndex& index) const {
    return EditorAt(index.row(), index.column()) != CellEditor::Refused;
}

void TCellGrid::CurrentChanged(const QModelIndex& current) {
    if (filling_ || !current.isValid()) {
        return;
    }
    if (pressing_) {
        pending_ = current;
        return;
    }
    OpenEditor(current);
}

void TCellGrid::OpenEditor(const QModelIndex& index) {
    const CellEditor kind = EditorAt(index.row(), index.column());
    if (kind == CellEditor::Text) {
        edit(index);
        return;
    }
    if (!IsListEditor(kind)) {
        return;
    }
    TCellCombo* combo = Editor(kind);
    if (combo == nullptr) {
        return;
    }
    editingRow_ = index.row();
    combo->OpenAt(visualRect(index), EditorIndex(kind, index.row()));
}

void TCellGrid::EditorClosed(CellEditor kind, int index, bool focusLeft) {
    const int row = editingRow_;
    editingRow_ = -1;
    if (row < 0 || row >= rowCount()) {
        return;
    }
    const QStringList before = RowTexts(row);
    EditorChosen(kind, row, index);
    Refresh();
    Park(row);
    if (!focusLeft) {
        setFocus(Qt::OtherFocusReason);
    }
    if (RowTexts(row) != before) {
        emit changed();
    }
}

void TCellGrid::ItemChanged(QTableWidgetItem* cell) {
    if (filling_ || cell == nullptr) {
        return;
    }
    TextChanged(cell->row(), cell->column(), cell->text());
    emit changed();
}

void TCellGrid::FinishEditing() {
    if (!IsEditingText()) {
        return;
    }
    // The cell editor is a direct child of the viewport; it need not have the focus (a shortcut
    // elsewhere may have asked for the text).
    const auto editors = viewport()->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
    for (QLineEdit* editor : editors) {
        if (editor->isVisible()) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
            return;
        }
    }
}

void TCellGrid::TextChanged(int, int, const QString&) {}

bool TCellGrid::AcceptKey(int, int, const QString&, char32_t) const {
    return true;
}

void TCellGrid::RowMoved(int, int) {}

void TCellGrid::MoveRow(int from, int to) {
    if (from < 0 || to < 0 || from >= rowCount() || to >= rowCount() || from == to) {
        return;
    }
    RowMoved(from, to);
    Refresh();
    Park(to);
    emit changed();
}

int TCellGrid::DropRow(const QPoint& pos) const {
    const int row = rowAt(pos.y());
    if (row >= 0) {
        return row;
    }
    return pos.y() < 0 ? 0 : rowCount() - 1;
}

void TCellGrid::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (rowDragging_ && event->button() == Qt::LeftButton && index.isValid() && index.column() == 0) {
        dragFrom_ = index.row();
        setFocus(Qt::MouseFocusReason);
        viewport()->setCursor(Qt::SizeVerCursor);
        event->accept();
        return;
    }
    pressing_ = true;
    pending_ = QPersistentModelIndex();
    QTableWidget::mousePressEvent(event);
}

void TCellGrid::mouseMoveEvent(QMouseEvent* event) {
    if (dragFrom_ >= 0) {
        const int to = DropRow(event->position().toPoint());
        if (to != dragTo_) {
            dragTo_ = to;
            viewport()->update();
        }
        event->accept();
        return;
    }
    QTableWidget::mouseMoveEvent(event);
}

void TCellGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (dragFrom_ >= 0) {
        const int from = dragFrom_;
        dragFrom_ = -1;
        dragTo_ = -1;
        viewport()->unsetCursor();
        viewport()->update();
        MoveRow(from, DropRow(event->position().toPoint()));
        event->accept();
        return;
    }
    QTableWidget::mouseReleaseEvent(event);
    pressing_ = false;
    const bool selected = pending_.isValid();
    pending_ = QPersistentModelIndex();
    // A click on the cell being typed into again opens its text as well.
    const QModelIndex at = indexAt(event->position().toPoint());
    if (at.isValid() && at == currentIndex() && !IsEditingText() &&
        (selected || EditorAt(at.row(), at.column()) == CellEditor::Text)) {
        OpenEditor(at);
    }
}

void TCellGrid::paintEvent(QPaintEvent* event) {
    QTableWidget::paintEvent(event);
    if (dragFrom_ < 0 || dragTo_ < 0 || dragTo_ == dragFrom_) {
        return;
    }
    // The line the dragged row would be put at: above the row it goes to when moving up.
    const int y = dragTo_ < dragFrom_ ? rowViewportPosition(dragTo_)
                                      : rowViewportPosition(dragTo_) + rowHeight(dragTo_) - 1;
    QPainter painter(viewport());
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.drawLine(0, y, viewport()->width(), y);
}

} // namespace orv
