#include "gsm_directions.h"

#include "device/catalogue.h"

#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace orv {

namespace {

template <std::size_t N> QStringList Items(const std::array<std::string_view, N>& names) {
    QStringList items;
    for (const std::string_view name : names) {
        items << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    return items;
}

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

// Four digits as the field's mask asks for.
const QString kDeviceNumberMask = QStringLiteral("9999;_");

} // namespace

TDirectionsGrid::TDirectionsGrid(DirectionsModel& model, QWidget* parent)
    : TCellGrid(DirectionsModel::kRows,
                {QStringLiteral("№"), QString(), QStringLiteral("Попытки"), QStringLiteral("SIM"),
                 QStringLiteral("Протокол"), QStringLiteral("Телефон\\Хост")},
                {40, 0, 80, 60, 100, 280}, parent),
      model_(model) {
    setObjectName(QStringLiteral("grdG1"));
    AddEditor(CellEditor::Attempts, QStringLiteral("bxGrTryCnt"), Items(AttemptNames));
    AddEditor(CellEditor::Sim, QStringLiteral("bxGrSIM"), Items(SimNames));
    AddEditor(CellEditor::Protocol, QStringLiteral("bxGrType"), Items(ProtocolNames));
    SetRowDragging(true);
    SetRowHeight(kRowHeight);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFixedSize(kWidth, kRowHeight * (DirectionsModel::kRows + 1) + 2 * frameWidth());
    Refresh();
    Park(0);
}

CellEditor TDirectionsGrid::EditorAt(int row, int column) const {
    return model_.EditorFor(row, column);
}

QString TDirectionsGrid::CellText(int row, int column) const {
    return QString::fromStdString(model_.Cell(row, column));
}

int TDirectionsGrid::EditorIndex(CellEditor kind, int row) const {
    const std::string text = model_.Cell(row, kind == CellEditor::Attempts ? dcAttempts
                                              : kind == CellEditor::Sim    ? dcSim
                                                                           : dcProtocol);
    switch (kind) {
    case CellEditor::Attempts:
        return IndexOfText(AttemptNames, text);
    case CellEditor::Sim:
        return IndexOfText(SimNames, text);
    case CellEditor::Protocol:
        return IndexOfText(ProtocolNames, text);
    default:
        return -1;
    }
}

void TDirectionsGrid::EditorChosen(CellEditor kind, int row, int index) {
    switch (kind) {
    case CellEditor::Attempts:
        model_.ChooseAttempts(row, index);
        break;
    case CellEditor::Sim:
        model_.ChooseSim(row, index);
        break;
    case CellEditor::Protocol:
        model_.ChooseProtocol(row, index);
        break;
    default:
        break;
    }
}

void TDirectionsGrid::TextChanged(int row, int column, const QString& text) {
    if (column == dcTarget) {
        model_.SetTarget(row, Utf8(text));
    }
}

bool TDirectionsGrid::AcceptKey(int row, int column, const QString& cellText, char32_t key) const {
    if (column != dcTarget) {
        return true;
    }
    return DirectionsModel::AcceptTargetKey(row, Utf8(cellText), model_.Targets(), key);
}

void TDirectionsGrid::RowMoved(int from, int to) {
    model_.MoveRow(from, to);
}

// ---------------------------------------------------------------------------------------------

TGsmDirections::TGsmDirections(TProgramState& state, QWidget* parent) : QWidget(parent), state_(state) {
    lblDevNum_ = new QLabel(QStringLiteral("Номер прибора:"), this);
    lblDevNum_->setObjectName(QStringLiteral("lblDevNum"));
    medtDevNum_ = new QLineEdit(this);
    medtDevNum_->setObjectName(QStringLiteral("medtDevNum"));
    medtDevNum_->setInputMask(kDeviceNumberMask);
    medtDevNum_->setFixedWidth(60);
    medtDevNum_->installEventFilter(this);
    lblDevNum_->setBuddy(medtDevNum_);

    btnGSMFileSave_ = new QToolButton(this);
    btnGSMFileSave_->setObjectName(QStringLiteral("btnGSMFileSave"));
    btnGSMFileSave_->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    btnGSMFileSave_->setToolTip(QStringLiteral("Сохранить настройки направлений в файл"));
    btnGSMFileLoad_ = new QToolButton(this);
    btnGSMFileLoad_->setObjectName(QStringLiteral("btnGSMFileLoad"));
    btnGSMFileLoad_->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    btnGSMFileLoad_->setToolTip(
        QStringLiteral("Открыть настройки направлений,\r\nЗаменить текущие.\r\nМожно использовать настройку "
                       "конфигурации любого из приборов,\r\nгде заданы направления GSM"));
    connect(btnGSMFileSave_, &QToolButton::clicked, this, &TGsmDirections::saveFileClicked);
    connect(btnGSMFileLoad_, &QToolButton::clicked, this, &TGsmDirections::loadFileClicked);

    lblGrG1_ =
        new QLabel(QStringLiteral("Направления доставки: (можно менять порядок перетаскиванием)"), this);
    lblGrG1_->setObjectName(QStringLiteral("lblGrG1"));
    grdG1_ = new TDirectionsGrid(state_.Directions, this);
    connect(grdG1_, &TCellGrid::changed, this, &TGsmDirections::changed);

    auto* top = new QHBoxLayout;
    top->addWidget(lblDevNum_);
    top->addWidget(medtDevNum_);
    top->addStretch(1);
    top->addWidget(btnGSMFileSave_);
    top->addWidget(btnGSMFileLoad_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(lblGrG1_);
    layout->addWidget(grdG1_);
    layout->addStretch(1);

    Refresh();
}

// An editor still open commits its text while the base class tears the widget down; the grid
// must not report that through a widget that is no longer one.
TGsmDirections::~TGsmDirections() {
    disconnect(grdG1_, nullptr, this, nullptr);
}

void TGsmDirections::Decode() {
    DecodeDirections(state_.GsmFrame, state_.Directions);
    Refresh();
}

void TGsmDirections::Refresh() {
    ShowDeviceNumber();
    grdG1_->Refresh();
}

void TGsmDirections::FinishEditing() {
    grdG1_->FinishEditing();
    DeviceNumberExit();
}

void TGsmDirections::ShowDeviceNumber() {
    const QString text = QString::fromStdString(DeviceNumberText(state_.GsmFrame));
    // A number above 9999 (only a panel or a file can hold one) would not fit the mask: shown whole.
    if (text.size() > 4) {
        medtDevNum_->setInputMask(QString());
        if (medtDevNum_->validator() == nullptr) {
            medtDevNum_->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]{1,5}")), medtDevNum_));
        }
    } else {
        medtDevNum_->setValidator(nullptr);
        medtDevNum_->setInputMask(kDeviceNumberMask);
    }
    medtDevNum_->setText(text);
    medtDevNum_->setModified(false);
}

void TGsmDirections::DeviceNumberExit() {
    // Only what the user typed is stored: leaving the field untouched never rewrites the frame.
    if (!medtDevNum_->isModified()) {
        return;
    }
    const QString text = medtDevNum_->text();
    // An incomplete entry is refused, and the stored number is shown again.
    if (medtDevNum_->hasAcceptableInput() && SetDeviceNumberText(state_.GsmFrame, Utf8(text))) {
        emit changed();
    }
    ShowDeviceNumber();
}

bool TGsmDirections::eventFilter(QObject* watched, QEvent* event) {
    if (watched == medtDevNum_) {
        if (event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
                DeviceNumberExit();
            }
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                DeviceNumberExit();
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace orv
