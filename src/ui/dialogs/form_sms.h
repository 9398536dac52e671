#pragma once

// The "SMS" dialog of the panels that send SMS with a partition per number: a view over
// TProgramState's SmsFrame and Sms model.

#include "cell_grid.h"
#include "gsm/program_state.h"

#include <QDialog>

class QPushButton;

namespace orv {

class IDialogs;

// grdSMS: one row per number (8 or 10), the type editor bxSMSType, the partition editor
// bxSMSPart ("1".."8") of the eight-zone family, typed partitions for the others but the
// five-zone family, where the partition is fixed.
class TSmsGrid final : public TCellGrid {
    Q_OBJECT
public:
    static constexpr int kWidth = 490;
    static constexpr int kRowHeight = 24;

    explicit TSmsGrid(SmsModel& model, QWidget* parent = nullptr);

    // Row count and cells from the model.
    void Rebuild();

protected:
    CellEditor EditorAt(int row, int column) const override;
    QString CellText(int row, int column) const override;
    int EditorIndex(CellEditor kind, int row) const override;
    void EditorChosen(CellEditor kind, int row, int index) override;
    void TextChanged(int row, int column, const QString& text) override;
    bool AcceptKey(int row, int column, const QString& cellText, char32_t key) const override;

private:
    SmsModel& model_;
};

class TFrmSMS final : public QDialog {
    Q_OBJECT
public:
    TFrmSMS(TProgramState& state, IDialogs& dialogs, QWidget* parent = nullptr);
    ~TFrmSMS() override;

    // Row count and partition rules for the current device, then the grid.
    void Setup();
    // The rows from SmsFrame (set up for the current device first).
    void RefreshControls();
    // The grid from the model as it stands.
    void Refresh();
    // At least one number was stored by the last encoding.
    bool ListNotEmpty() const;

    TSmsGrid* Grid() const { return grdSMS_; }

signals:
    // "Сохранить" stored the list into SmsFrame.
    void saved();

private:
    void btnSaveExitClick();
    void FocusChanged(QWidget* old, QWidget* now);
    void WarnPartitions();
    void Arrange();

    TProgramState& state_;
    IDialogs& dialogs_;
    TSmsGrid* grdSMS_;
    QPushButton* btnSaveExit_;
};

} // namespace orv
