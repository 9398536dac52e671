#pragma once

// The GSM report directions on the transmission page: the device number field, the directions
// grid grdG1 and the two directions file buttons. A view over TProgramState's GsmFrame and
// Directions model.

#include "cell_grid.h"
#include "gsm/program_state.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

namespace orv {

// grdG1: rows 1..5 are the directions in frame order; drop-down editors bxGrTryCnt, bxGrSIM and
// bxGrType, text typed into column 5, rows dragged by their number cell.
class TDirectionsGrid final : public TCellGrid {
    Q_OBJECT
public:
    static constexpr int kWidth = 570;
    static constexpr int kRowHeight = 24;

    explicit TDirectionsGrid(DirectionsModel& model, QWidget* parent = nullptr);

protected:
    CellEditor EditorAt(int row, int column) const override;
    QString CellText(int row, int column) const override;
    int EditorIndex(CellEditor kind, int row) const override;
    void EditorChosen(CellEditor kind, int row, int index) override;
    void TextChanged(int row, int column, const QString& text) override;
    bool AcceptKey(int row, int column, const QString& cellText, char32_t key) const override;
    void RowMoved(int from, int to) override;

private:
    DirectionsModel& model_;
};

class TGsmDirections final : public QWidget {
    Q_OBJECT
public:
    explicit TGsmDirections(TProgramState& state, QWidget* parent = nullptr);
    ~TGsmDirections() override;

    // The grid from the frame's records (DecodeDirections), then Refresh.
    void Decode();
    // The device number from the frame and the grid from the model, as they stand.
    void Refresh();
    // Stores a device number or a cell text still being typed, as leaving them would: the file
    // buttons take no focus, so nothing else would.
    void FinishEditing();

    TDirectionsGrid* Grid() const { return grdG1_; }
    QLineEdit* DeviceNumberEdit() const { return medtDevNum_; }
    QToolButton* SaveFileButton() const { return btnGSMFileSave_; }
    QToolButton* LoadFileButton() const { return btnGSMFileLoad_; }

signals:
    // The user changed the device number or a direction.
    void changed();
    void saveFileClicked();
    void loadFileClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowDeviceNumber();
    void DeviceNumberExit();

    TProgramState& state_;
    QLabel* lblDevNum_;
    QLineEdit* medtDevNum_;
    QLabel* lblGrG1_;
    TDirectionsGrid* grdG1_;
    QToolButton* btnGSMFileSave_;
    QToolButton* btnGSMFileLoad_;
};

} // namespace orv
