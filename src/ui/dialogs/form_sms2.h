#pragma once

// The retranslator's "Передача SMS" dialog: 40 numbers over the device's T_SMS_List. The dialog
// edits rows of its own; only "Сохранить" puts them into the list and into TProgramState's
// RetSms model.

#include "cell_grid.h"
#include "gsm/program_state.h"

#include <QDialog>

class QPushButton;

namespace orv {

class TDV15_Ret;

// grdSMS: the 40 rows, type editor bxSMSType, source editor bxPartNum, rows dragged by their
// number cell (and numbered 1..40 again), one line per wheel notch.
class TRetSmsGrid final : public TCellGrid {
    Q_OBJECT
public:
    static constexpr int kWidth = 520;
    static constexpr int kRowHeight = 24;

    explicit TRetSmsGrid(RetSmsModel& model, QWidget* parent = nullptr);

protected:
    CellEditor EditorAt(int row, int column) const override;
    QString CellText(int row, int column) const override;
    int EditorIndex(CellEditor kind, int row) const override;
    void EditorChosen(CellEditor kind, int row, int index) override;
    void TextChanged(int row, int column, const QString& text) override;
    bool AcceptKey(int row, int column, const QString& cellText, char32_t key) const override;
    void RowMoved(int from, int to) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    RetSmsModel& model_;
    int wheelRest_ = 0; // angle not yet scrolled, for high-resolution wheels
};

class TFrmSMS2 final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kBottomSpace = 50; // below the grid

    explicit TFrmSMS2(TProgramState& state, QWidget* parent = nullptr);

    // The rows from the retranslator's list (nothing when the device is not a retranslator).
    void FillFromDevice();
    // The grid from the model as it stands.
    void Refresh();
    bool ListNotEmpty() const;

    TRetSmsGrid* Grid() const { return grid_; }

signals:
    // "Сохранить" stored the rows into the retranslator's list (without a retranslator it only
    // closes the dialog).
    void saved();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    TDV15_Ret* Retranslator() const;
    void btnSaveExitClick();

    TProgramState& state_;
    RetSmsModel rows_; // being edited; left unsaved, they change nothing
    TRetSmsGrid* grid_;
    QPushButton* btnSaveExit_;
};

} // namespace orv
