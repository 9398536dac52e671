#include "form_obj.h"

#include "form_tx_num.h"
#include "ui/dialogs.h"

#include "device/retranslator.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QSvgRenderer>
#include <QTableWidget>

#include <array>

namespace orv {

namespace {

constexpr int kTypeRole = Qt::UserRole;
constexpr int kImageInset = 2;
constexpr int kMargin = 10;

struct Column {
    const char* header;
    int width;
    int margin; // right margin of text cells
};
constexpr std::array<Column, 7> kColumns = {{
    {"", 30, 5},
    {"Эф.номер", 80, 20},
    {"", 20, 0},
    {"", 70, 0},
    {"", 30, 5},
    {"Эф.номер", 80, 20},
    {"", 20, 0},
}};

// A fixed-pitch font, whatever else the machine has: Fixedsys where Windows has it, otherwise
// DejaVu Sans Mono (the package depends on it); the system's fixed font only as a last resort,
// since on a desktop with more fonts installed that may resolve to a proportional one.
QFont GridFont() {
    const QStringList families = QFontDatabase::families();
    for (const QString& family : {QStringLiteral("Fixedsys"), QStringLiteral("DejaVu Sans Mono")}) {
        if (families.contains(family) && QFontDatabase::isFixedPitch(family)) {
            return QFont(family, 10);
        }
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPointSize(10);
    return font;
}

// Text drawn right-aligned, clear of the cell's right edge by the column's margin.
class TMarginDelegate final : public QStyledItemDelegate {
public:
    TMarginDelegate(int margin, QObject* parent) : QStyledItemDelegate(parent), margin_(margin) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->fillRect(option.rect, option.palette.base());
        painter->setFont(option.font);
        painter->setPen(option.palette.color(QPalette::Text));
        painter->drawText(option.rect.adjusted(0, 0, -margin_, 0), Qt::AlignRight | Qt::AlignVCenter,
                          index.data(Qt::DisplayRole).toString());
    }

private:
    int margin_;
};

// The object type's image, just inside the cell.
class TTypeDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->fillRect(option.rect, option.palette.base());
        const QRect area = option.rect.adjusted(kImageInset, kImageInset, -kImageInset, -kImageInset);
        if (area.isEmpty()) {
            return;
        }
        const int side = std::min(area.width(), area.height());
        const QRect square(area.topLeft(), QSize(side, side));
        painter->drawPixmap(square, ObjectTypeImage(index.data(kTypeRole).toInt(), square.size()));
    }
};

} // namespace

QPixmap ObjectTypeImage(int type, const QSize& size) {
    if (type < objOff || type > objConcierge) {
        type = objOff;
    }
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/objects/type%1.svg").arg(type));
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    return pixmap;
}

TFormObj::TFormObj(TProgramState& state, IDialogs& dialogs, QWidget* parent)
    : QDialog(parent), state_(state), dialogs_(dialogs) {
    setObjectName(QStringLiteral("FormObj"));
    setWindowTitle(QStringLiteral("Объекты"));

    lblObjList_ = new QLabel(QStringLiteral("Объектов:"), this);
    lblObjList_->setObjectName(QStringLiteral("lblObjList"));

    grdObjects_ = new QTableWidget(kObjectRows, static_cast<int>(kColumns.size()), this);
    grdObjects_->setObjectName(QStringLiteral("grdObjects"));
    const QFont font = GridFont();
    grdObjects_->setFont(font);
    grdObjects_->horizontalHeader()->setFont(font);
    QHeaderView* header = grdObjects_->horizontalHeader();
    // Before the widths: a minimum taken from the font would widen the 20-pixel picture columns.
    header->setMinimumSectionSize(0);
    QStringList headers;
    int gridWidth = 12;
    for (int c = 0; c < static_cast<int>(kColumns.size()); ++c) {
        const Column& column = kColumns[static_cast<std::size_t>(c)];
        headers << QString::fromUtf8(column.header);
        grdObjects_->setColumnWidth(c, column.width);
        gridWidth += column.width;
        if (c == 2 || c == 6) {
            grdObjects_->setItemDelegateForColumn(c, new TTypeDelegate(grdObjects_));
        } else {
            grdObjects_->setItemDelegateForColumn(c, new TMarginDelegate(column.margin, grdObjects_));
        }
    }
    grdObjects_->setHorizontalHeaderLabels(headers);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setFixedHeight(kRowHeight);
    grdObjects_->verticalHeader()->hide();
    grdObjects_->verticalHeader()->setMinimumSectionSize(1);
    grdObjects_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grdObjects_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdObjects_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grdObjects_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Cells are buttons here: nothing is ever selected or edited.
    grdObjects_->setSelectionMode(QAbstractItemView::NoSelection);
    grdObjects_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdObjects_->setFocusPolicy(Qt::NoFocus);
    // The header row and the 16 rows exactly: no empty band under the last row.
    const int gridHeight = kRowHeight * (kObjectRows + 1) + 2 * grdObjects_->frameWidth();
    grdObjects_->setFixedSize(gridWidth, gridHeight);
    for (int r = 0; r < kObjectRows; ++r) {
        for (int c = 0; c < grdObjects_->columnCount(); ++c) {
            auto* cell = new QTableWidgetItem;
            cell->setFlags(Qt::ItemIsEnabled);
            grdObjects_->setItem(r, c, cell);
        }
        grdObjects_->item(r, 0)->setText(QString::number(r + 1));
        grdObjects_->item(r, 4)->setText(QString::number(r + 1 + kObjectRows));
    }
    connect(grdObjects_, &QTableWidget::clicked, this,
            [this](const QModelIndex& index) { EditObject(index.row(), index.column()); });

    btnClose_ = new QPushButton(QStringLiteral("Закрыть"), this);
    btnClose_->setObjectName(QStringLiteral("btnClose"));
    btnClose_->setAutoDefault(false);
    connect(btnClose_, &QPushButton::clicked, this, &QDialog::reject);

    lblObjList_->move(kMargin, kMargin);
    const int gridTop = kMargin + lblObjList_->sizeHint().height() + 6;
    grdObjects_->move(kMargin, gridTop);
    btnClose_->adjustSize();
    btnClose_->move(grdObjects_->geometry().right() + 1 - btnClose_->width(),
                    grdObjects_->geometry().bottom() + 12);
    setFixedSize(gridWidth + 2 * kMargin, gridHeight + 90);

    txNum_ = new TFormTxNum(state_, this);
    Fill();
}

int TFormObj::ObjectAt(int row, int column) {
    if (row < 0 || row >= kObjectRows) {
        return 0;
    }
    if (column == 1 || column == 2) {
        return row + 1;
    }
    if (column == 5 || column == 6) {
        return row + 1 + kObjectRows;
    }
    return 0;
}

void TFormObj::Fill() {
    const auto* ret = dynamic_cast<const TDV15_Ret*>(state_.device.get());
    for (int r = 0; r < kObjectRows; ++r) {
        for (const int first : {0, 4}) {
            const int object = r + 1 + (first == 0 ? 0 : kObjectRows);
            const QString number = ret ? QString::fromStdString(ret->ObjectNumberText(object)) : QString();
            const int type = ret ? ret->GetObject(object)[0] & 0x03 : objOff;
            grdObjects_->item(r, first + 1)->setText(number);
            grdObjects_->item(r, first + 2)->setData(kTypeRole, type);
        }
    }
    lblObjList_->setText(ret ? QString::fromStdString(ret->ObjectCountText()) : QStringLiteral("Объектов:"));
    lblObjList_->adjustSize();
    grdObjects_->selectionModel()->clearCurrentIndex();
}

void TFormObj::EditObject(int row, int column) {
    grdObjects_->selectionModel()->clearCurrentIndex();
    const int object = ObjectAt(row, column);
    if (object == 0 || !txNum_->LoadObject(object)) {
        return;
    }
    const auto* ret = dynamic_cast<const TDV15_Ret*>(state_.device.get());
    const ObjectRecord before = ret->GetObject(object);
    const QRect cell = grdObjects_->visualRect(grdObjects_->model()->index(row, column));
    txNum_->move(grdObjects_->viewport()->mapToGlobal(cell.topLeft()));
    dialogs_.Exec(*txNum_);
    Fill();
    grdObjects_->viewport()->update();
    // Looked up again rather than trusting a pointer from before the modal dialog.
    if (const auto* now = dynamic_cast<const TDV15_Ret*>(state_.device.get());
        now && now->GetObject(object) != before) {
        emit objectsChanged();
    }
}

} // namespace orv
