#include "form_sms2.h"

#include "device/retranslator.h"

#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>

namespace orv {

namespace {

constexpr int kMargin = 10;
constexpr int kNotch = 120; // wheel angle of one notch, in eighths of a degree

QStringList TypeItems() {
    QStringList items;
    for (const std::string_view name : SmsTypeNames) {
        items << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    return items;
}

QStringList SourceItems() {
    QStringList items;
    for (const std::string& name : SmsSourceNames()) {
        items << QString::fromStdString(name);
    }
    return items;
}

} // namespace

TRetSmsGrid::TRetSmsGrid(RetSmsModel& model, QWidget* parent)
    : TCellGrid(RetSmsModel::kRows,
                {QStringLiteral("№"), QString(), QStringLiteral("Передача"), QStringLiteral("Источн."),
                 QStringLiteral("Телефон")},
                {50, 0, 200, 90, 150}, parent),
      model_(model) {
    setObjectName(QStringLiteral("grdSMS"));
    AddEditor(CellEditor::SmsType, QStringLiteral("bxSMSType"), TypeItems());
    AddEditor(CellEditor::Source, QStringLiteral("bxPartNum"), SourceItems());
    SetRowDragging(true);
    SetRowHeight(kRowHeight);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFixedWidth(kWidth);
    Refresh();
    Park(0);
}

CellEditor TRetSmsGrid::EditorAt(int row, int column) const {
    return model_.EditorFor(row, column);
}

QString TRetSmsGrid::CellText(int row, int column) const {
    return QString::fromStdString(model_.Cell(row, column));
}

int TRetSmsGrid::EditorIndex(CellEditor kind, int row) const {
    const SmsRow& r = model_.Row(row);
    if (kind == CellEditor::SmsType) {
        const int type = r.type & 0x7F;
        return type < static_cast<int>(SmsTypeNames.size()) ? type : -1;
    }
    return std::min<int>(SmsSourceValue(r.partition), 33);
}

void TRetSmsGrid::EditorChosen(CellEditor kind, int row, int index) {
    if (kind == CellEditor::SmsType) {
        model_.ChooseType(row, index);
    } else if (kind == CellEditor::Source) {
        model_.ChooseSource(row, index);
    }
}

void TRetSmsGrid::TextChanged(int row, int column, const QString& text) {
    if (column == sms::kColPhone) {
        model_.SetPhone(row, text.toStdString());
    }
}

bool TRetSmsGrid::AcceptKey(int, int column, const QString& cellText, char32_t key) const {
    return AcceptSmsKey(column, cellText.toStdString(), key);
}

void TRetSmsGrid::RowMoved(int from, int to) {
    model_.MoveRow(from, to);
}

void TRetSmsGrid::wheelEvent(QWheelEvent* event) {
    wheelRest_ += event->angleDelta().y();
    const int lines = wheelRest_ / kNotch;
    wheelRest_ -= lines * kNotch;
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() - lines);
    event->accept();
}

// ---------------------------------------------------------------------------------------------

TFrmSMS2::TFrmSMS2(TProgramState& state, QWidget* parent) : QDialog(parent), state_(state) {
    setObjectName(QStringLiteral("FrmSMS2"));
    setWindowTitle(QStringLiteral("Передача SMS"));
    grid_ = new TRetSmsGrid(rows_, this);
    grid_->move(kMargin, kMargin);
    btnSaveExit_ = new QPushButton(QStringLiteral("Сохранить"), this);
    btnSaveExit_->setObjectName(QStringLiteral("btnSaveExit"));
    btnSaveExit_->setAutoDefault(false);
    btnSaveExit_->adjustSize();
    connect(btnSaveExit_, &QPushButton::clicked, this, &TFrmSMS2::btnSaveExitClick);
    // The width stays; the height follows the user.
    const int width = TRetSmsGrid::kWidth + 2 * kMargin;
    setMinimumSize(width, kMargin + 6 * TRetSmsGrid::kRowHeight + kBottomSpace);
    setMaximumWidth(width);
    resize(width, 480);
}

TDV15_Ret* TFrmSMS2::Retranslator() const {
    return dynamic_cast<TDV15_Ret*>(state_.device.get());
}

void TFrmSMS2::FillFromDevice() {
    if (TDV15_Ret* ret = Retranslator()) {
        rows_.Fill(ret->Sms());
    }
    Refresh();
}

void TFrmSMS2::Refresh() {
    grid_->Refresh();
}

bool TFrmSMS2::ListNotEmpty() const {
    return rows_.ListNotEmpty();
}

void TFrmSMS2::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    grid_->resize(grid_->width(), std::max(0, height() - grid_->y() - kBottomSpace));
    btnSaveExit_->move(grid_->geometry().right() - btnSaveExit_->width() + 1,
                       grid_->geometry().bottom() + (kBottomSpace - btnSaveExit_->height()) / 2);
}

void TFrmSMS2::btnSaveExitClick() {
    grid_->FinishEditing();
    if (TDV15_Ret* ret = Retranslator()) {
        rows_.UpdateDevice(ret->Sms());
        state_.RetSms = rows_;
        emit saved();
    }
    accept();
}

} // namespace orv
