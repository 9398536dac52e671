#include "dialogs_fixture.h"

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "gsm/program_state.h"
#include "ui/dialogs/form_obj.h"
#include "ui/dialogs/form_tx_num.h"

#include <QApplication>
#include <QFontInfo>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <memory>
#include <string>

namespace orv::test {
namespace {

class ObjectsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        state.device = CreateDevice(15);
        ret = dynamic_cast<TDV15_Ret*>(state.device.get());
        ASSERT_NE(ret, nullptr);
        ret->SetObject(1, MakeObjectRecord(0x1ABCD, objMirel));
        ret->SetObject(16, MakeObjectRecord(0x00001, objButton));
        ret->SetObject(17, MakeObjectRecord(0x2A5F3, objConcierge));
        ret->SetObject(32, MakeObjectRecord(0x3FFFF, objMirel));
        dialog = std::make_unique<TFormObj>(state, dialogs);
        dialog->Fill();
        Activate(dialog.get());
        grid = dialog->Grid();
    }
    QString Cell(int row, int column) const { return CellText(grid, row, column); }
    int TypeShown(int row, int column) const { return grid->item(row, column)->data(Qt::UserRole).toInt(); }
    QString Label() const { return dialog->findChild<QLabel*>(QStringLiteral("lblObjList"))->text(); }
    void ExpectNothingSelected() const {
        EXPECT_TRUE(grid->selectionModel()->selectedIndexes().isEmpty());
        EXPECT_FALSE(grid->currentIndex().isValid());
    }

    TProgramState state;
    TScriptedDialogs dialogs;
    TDV15_Ret* ret = nullptr;
    std::unique_ptr<TFormObj> dialog;
    QTableWidget* grid = nullptr;
};

TEST_F(ObjectsDialogTest, FillShowsNumbersTypesAndTheCount) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Объекты"));
    EXPECT_EQ(grid->objectName(), QStringLiteral("grdObjects"));
    ASSERT_EQ(grid->rowCount(), 16);
    for (int r = 0; r < 16; ++r) {
        EXPECT_EQ(Cell(r, 0), QString::number(r + 1));
        EXPECT_EQ(Cell(r, 4), QString::number(r + 17));
    }
    struct Shown {
        int row;
        int column;
        const char* number;
        int type;
    };
    const Shown shown[] = {{0, 1, "1ABCD", objMirel},
                           {15, 1, "00001", objButton},
                           {0, 5, "2A5F3", objConcierge},
                           {15, 5, "3FFFF", objMirel}};
    for (const Shown& s : shown) {
        EXPECT_EQ(Cell(s.row, s.column), QString::fromLatin1(s.number));
        EXPECT_EQ(TypeShown(s.row, s.column + 1), s.type) << s.number;
    }
    for (int r = 1; r < 15; ++r) {
        EXPECT_EQ(Cell(r, 1), QString());
        EXPECT_EQ(Cell(r, 5), QString());
        EXPECT_EQ(TypeShown(r, 2), objOff);
        EXPECT_EQ(TypeShown(r, 6), objOff);
    }
    EXPECT_EQ(Label(), QStringLiteral("Объектов: 4"));
    ExpectNothingSelected();
}

// The grid at the usual font size and at 125 %: fixed columns, and on a machine with a desktop's
// fonts installed as well.
class ObjectsGridLayout : public ObjectsDialogTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        saved_ = QApplication::font();
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(9.0 * GetParam() / 100.0);
        QApplication::setFont(font);
        ObjectsDialogTest::SetUp();
    }
    void TearDown() override { QApplication::setFont(saved_); }

private:
    QFont saved_;
};
INSTANTIATE_TEST_SUITE_P(Font, ObjectsGridLayout, ::testing::Values(100, 125),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::to_string(info.param);
                         });

TEST_P(ObjectsGridLayout, FixedColumnsAllInView) {
    const int widths[] = {30, 80, 20, 70, 30, 80, 20};
    const QStringList headers{"", "Эф.номер", "", "", "", "Эф.номер", ""};
    ASSERT_EQ(grid->columnCount(), 7);
    for (int c = 0; c < 7; ++c) {
        EXPECT_EQ(grid->columnWidth(c), widths[c]) << c;
        EXPECT_EQ(grid->horizontalHeaderItem(c)->text(), headers[c]);
    }
    EXPECT_EQ(grid->horizontalHeader()->defaultAlignment(), Qt::AlignCenter);
    EXPECT_EQ(grid->horizontalHeader()->height(), 20);
    for (int r = 0; r < 16; ++r) {
        EXPECT_EQ(grid->rowHeight(r), 20);
    }
    EXPECT_EQ(grid->width(), 330 + 12);
    EXPECT_EQ(dialog->width(), grid->width() + 20);
    EXPECT_EQ(dialog->height(), grid->height() + 90);
    EXPECT_TRUE(QFontInfo(grid->font()).fixedPitch()) << QFontInfo(grid->font()).family().toStdString();
    // All 16 rows are in view, and the grid ends with the last one; so is the last column, the
    // pictures of objects 17 to 32.
    EXPECT_EQ(grid->viewport()->height(), grid->rowViewportPosition(15) + 20);
    EXPECT_LE(grid->columnViewportPosition(6) + grid->columnWidth(6), grid->viewport()->width());
    const auto* close = dialog->findChild<QPushButton*>(QStringLiteral("btnClose"));
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->text(), QStringLiteral("Закрыть"));
    EXPECT_EQ(close->geometry().right(), grid->geometry().right());
    EXPECT_GT(close->y(), grid->geometry().bottom());
}

TEST_F(ObjectsDialogTest, NumberAndTypeCellsOpenTheNumberDialogForTheirObject) {
    struct Click {
        int row;
        int column;
        int object;
    };
    const Click clicks[] = {{0, 1, 1},  {0, 2, 1},   {4, 1, 5}, {15, 2, 16},
                            {0, 5, 17}, {15, 6, 32}, {9, 6, 26}};
    for (const Click& c : clicks) {
        int opened = -1;
        QPoint at;
        dialogs.steps.push_back([&](QDialog& d) {
            auto* number = qobject_cast<TFormTxNum*>(&d);
            ASSERT_NE(number, nullptr);
            opened = number->Object();
            at = number->pos();
        });
        ClickCell(grid, c.row, c.column);
        EXPECT_EQ(opened, c.object) << c.row << "," << c.column;
        const QRect cell = grid->visualRect(grid->model()->index(c.row, c.column));
        EXPECT_EQ(at, grid->viewport()->mapToGlobal(cell.topLeft()));
        ExpectNothingSelected();
    }
    EXPECT_EQ(dialogs.execs, static_cast<int>(std::size(clicks)));
    // Object numbers and the gap open nothing.
    for (const int column : {0, 3, 4}) {
        ClickCell(grid, 2, column);
        ExpectNothingSelected();
    }
    EXPECT_EQ(dialogs.execs, static_cast<int>(std::size(clicks)));
}

TEST_F(ObjectsDialogTest, GridAndCountAreRefreshedAfterTheNumberDialog) {
    QSignalSpy changed(dialog.get(), &TFormObj::objectsChanged);
    dialogs.steps.push_back([](QDialog& d) {
        auto* hex = d.findChild<QLineEdit*>(QStringLiteral("edtHex"));
        TypeInto(hex, QStringLiteral("abc"));
        d.findChild<QRadioButton*>(QStringLiteral("rbObjType1"))->click();
        QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
    });
    ClickCell(grid, 4, 2);
    EXPECT_EQ(ret->GetObject(5), (ObjectRecord{0x01, 0x0A, 0xBC}));
    EXPECT_EQ(Cell(4, 1), QStringLiteral("00ABC"));
    EXPECT_EQ(TypeShown(4, 2), objButton);
    EXPECT_EQ(Label(), QStringLiteral("Объектов: 5"));
    EXPECT_EQ(changed.count(), 1);
    ExpectNothingSelected();

    // Switching an object off through the dialog.
    dialogs.steps.push_back([](QDialog& d) {
        d.findChild<QRadioButton*>(QStringLiteral("rbObjType0"))->click();
        static_cast<TFormTxNum&>(d).btnOKClick();
    });
    ClickCell(grid, 0, 5);
    EXPECT_EQ(Cell(0, 5), QString());
    EXPECT_EQ(TypeShown(0, 6), objOff);
    EXPECT_EQ(Label(), QStringLiteral("Объектов: 4"));
    EXPECT_EQ(changed.count(), 2);

    // Closed without a number: nothing changed, nothing reported.
    dialogs.steps.push_back([](QDialog& d) { static_cast<TFormTxNum&>(d).btnOKClick(); });
    ClickCell(grid, 7, 1);
    EXPECT_EQ(changed.count(), 2);
}

TEST(ObjectTypeImages, FourDistinctImages) {
    std::vector<QImage> images;
    for (int type = 0; type < 4; ++type) {
        const QImage image = ObjectTypeImage(type, QSize(16, 16)).toImage();
        ASSERT_EQ(image.size(), QSize(16, 16));
        int painted = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                painted += qAlpha(image.pixel(x, y)) > 0;
            }
        }
        EXPECT_GT(painted, 16) << "type " << type << " is blank";
        for (const QImage& other : images) {
            EXPECT_NE(image, other) << "type " << type;
        }
        images.push_back(image);
    }
    // Anything else shows as off.
    EXPECT_EQ(ObjectTypeImage(7, QSize(16, 16)).toImage(), images[0]);
}

} // namespace
} // namespace orv::test
