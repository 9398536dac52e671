#pragma once

// "Объекты": the retranslator's 32 objects, their transmitter numbers and types; a cell of an
// object opens the transmitter number dialog for it.

#include "gsm/program_state.h"

#include <QDialog>
#include <QPixmap>

class QLabel;
class QPushButton;
class QTableWidget;

namespace orv {

class IDialogs;
class TFormTxNum;

// The image of an object type (0 off, 1 "Кнопка", 2 "Mirel", 3 "Консьерж"); other values show
// as off.
QPixmap ObjectTypeImage(int type, const QSize& size);

class TFormObj final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 20;
    static constexpr int kObjectRows = 16;

    TFormObj(TProgramState& state, IDialogs& dialogs, QWidget* parent = nullptr);

    // The grid and the count from the current retranslator.
    void Fill();

    // The object a cell of grdObjects stands for (grid rows 0..15 below the header): columns 1
    // and 2 objects 1..16, columns 5 and 6 objects 17..32; 0 for any other cell.
    static int ObjectAt(int row, int column);
    // Opens the transmitter number dialog at the cell for its object, then fills the grid again.
    void EditObject(int row, int column);

    QTableWidget* Grid() const { return grdObjects_; }
    TFormTxNum* TxNumDialog() const { return txNum_; }

signals:
    // An object's record was changed through the transmitter number dialog.
    void objectsChanged();

private:
    TProgramState& state_;
    IDialogs& dialogs_;
    QLabel* lblObjList_;
    QTableWidget* grdObjects_;
    QPushButton* btnClose_;
    TFormTxNum* txNum_;
};

} // namespace orv
