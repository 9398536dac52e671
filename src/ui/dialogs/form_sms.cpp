#include "form_sms.h"

#include "ui/dialogs.h"

#include <QApplication>
#include <QHeaderView>
#include <QPushButton>

namespace orv {

namespace {

constexpr int kMargin = 5;

QStringList TypeItems() {
    QStringList items;
    for (const std::string_view name : SmsTypeNames) {
        items << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    return items;
}

QStringList PartitionItems() {
    QStringList items;
    for (int p = 1; p <= 8; ++p) {
        items << QString::number(p);
    }
    return items;
}

} // namespace

TSmsGrid::TSmsGrid(SmsModel& model, QWidget* parent)
    : TCellGrid(model.RowCount(),
                {QStringLiteral("№"), QString(), QStringLiteral("Передача SMS"), QStringLiteral("Раздел"),
                 QStringLiteral("Телефон")},
                {50, 0, 200, 80, 150}, parent),
      model_(model) {
    setObjectName(QStringLiteral("grdSMS"));
    AddEditor(CellEditor::SmsType, QStringLiteral("bxSMSType"), TypeItems());
    AddEditor(CellEditor::Partition, QStringLiteral("bxSMSPart"), PartitionItems());
    SetRowHeight(kRowHeight);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Rebuild();
    Park(0);
}

void TSmsGrid::Rebuild() {
    SetDataRows(model_.RowCount());
    setFixedSize(kWidth, kRowHeight * (model_.RowCount() + 1) + 2 * frameWidth());
    Refresh();
}

CellEditor TSmsGrid::EditorAt(int row, int column) const {
    return model_.EditorFor(row, column);
}

QString TSmsGrid::CellText(int row, int column) const {
    return QString::fromStdString(model_.Cell(row, column));
}

int TSmsGrid::EditorIndex(CellEditor kind, int row) const {
    const SmsRow& r = model_.Row(row);
    if (kind == CellEditor::SmsType) {
        return r.type < SmsTypeNames.size() ? r.type : -1;
    }
    bool ok = false;
    const int partition = QString::fromStdString(r.partition).toInt(&ok);
    return ok && partition >= 1 && partition <= 8 ? partition - 1 : -1;
}

void TSmsGrid::EditorChosen(CellEditor kind, int row, int index) {
    if (kind == CellEditor::SmsType) {
        model_.ChooseType(row, index);
    } else if (kind == CellEditor::Partition) {
        model_.ChoosePartition(row, index);
    }
}

void TSmsGrid::TextChanged(int row, int column, const QString& text) {
    if (column == sms::kColPartition) {
        model_.SetPartition(row, text.toStdString());
    } else if (column == sms::kColPhone) {
        model_.SetPhone(row, text.toStdString());
    }
}

bool TSmsGrid::AcceptKey(int, int column, const QString& cellText, char32_t key) const {
    return AcceptSmsKey(column, cellText.toStdString(), key);
}

// ---------------------------------------------------------------------------------------------

TFrmSMS::TFrmSMS(TProgramState& state, IDialogs& dialogs, QWidget* parent)
    : QDialog(parent), state_(state), dialogs_(dialogs) {
    setObjectName(QStringLiteral("FrmSMS"));
    setWindowTitle(QString::fromUtf8(sms::kCaption.data(), static_cast<qsizetype>(sms::kCaption.size())));
    grdSMS_ = new TSmsGrid(state_.Sms, this);
    btnSaveExit_ = new QPushButton(QStringLiteral("Сохранить"), this);
    btnSaveExit_->setObjectName(QStringLiteral("btnSaveExit"));
    btnSaveExit_->setAutoDefault(false);
    connect(btnSaveExit_, &QPushButton::clicked, this, &TFrmSMS::btnSaveExitClick);
    connect(qApp, &QApplication::focusChanged, this, &TFrmSMS::FocusChanged);
    Setup();
}

// The focus leaves the grid while the base class tears the dialog down: that must not reach a
// dialog that is no longer one.
TFrmSMS::~TFrmSMS() {
    disconnect(qApp, &QApplication::focusChanged, this, &TFrmSMS::FocusChanged);
}

void TFrmSMS::Setup() {
    if (state_.device) {
        state_.Sms.Setup(*state_.device);
    }
    Refresh();
}

void TFrmSMS::RefreshControls() {
    if (state_.device) {
        state_.Sms.Setup(*state_.device);
    }
    state_.Sms.RefreshControls(state_.SmsFrame);
    Refresh();
}

void TFrmSMS::Refresh() {
    grdSMS_->Rebuild();
    Arrange();
}

void TFrmSMS::Arrange() {
    grdSMS_->move(kMargin, kMargin);
    const int buttonTop = grdSMS_->geometry().bottom() + 10;
    btnSaveExit_->adjustSize();
    btnSaveExit_->move(grdSMS_->geometry().right() - btnSaveExit_->width() + 1, buttonTop);
    setFixedSize(TSmsGrid::kWidth + 2 * kMargin, buttonTop + btnSaveExit_->height() + 10);
}

bool TFrmSMS::ListNotEmpty() const {
    return state_.Sms.ListNotEmpty();
}

void TFrmSMS::WarnPartitions() {
    dialogs_.Message(
        this, MsgKind::Warning, windowTitle(),
        QString::fromUtf8(sms::kPartitionsText.data(), static_cast<qsizetype>(sms::kPartitionsText.size())),
        MsgButtons::Ok);
}

void TFrmSMS::FocusChanged(QWidget* old, QWidget* now) {
    // The grid (with its editors) lost the focus to another control of the dialog. "Сохранить"
    // checks the partitions itself, so going there does not warn twice.
    const auto inGrid = [this](QWidget* w) { return w == grdSMS_ || (w && grdSMS_->isAncestorOf(w)); };
    if (!isVisible() || !inGrid(old) || now == nullptr || inGrid(now) || now->window() != this ||
        now == btnSaveExit_) {
        return;
    }
    if (!state_.Sms.CheckGridOK()) {
        WarnPartitions();
    }
}

void TFrmSMS::btnSaveExitClick() {
    grdSMS_->FinishEditing();
    if (!state_.Sms.CheckGridOK()) {
        WarnPartitions();
        return;
    }
    if (auto refusal = state_.Sms.Encode(state_.SmsFrame)) {
        dialogs_.Message(this, MsgKind::Warning, windowTitle(), QString::fromStdString(*refusal),
                         MsgButtons::Ok);
        return;
    }
    emit saved();
    accept();
}

} // namespace orv
