#include "dialogs_fixture.h"

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "gsm/program_state.h"
#include "ui/dialogs/form_sms.h"
#include "ui/dialogs/form_sms2.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <memory>

namespace orv::test {
namespace {

const QString kOff = QStringLiteral("Выключено");
const QString kAlarms = QStringLiteral("Только тревоги");
const QString kAll = QStringLiteral("Тревоги, взятия\\снятия");
const QString kPartitions =
    QStringLiteral("Номера разделов должны быть в пределах\r\n0-64\r\nИсправьте ошибки.");
// "+7(903)123-45-67", the number a new row starts with, packed: 79031234567 and the end nibble.
const Byte kDefaultPacked[8] = {0x97, 0x30, 0x21, 0x43, 0x65, 0xF7, 0xFF, 0xFF};

void ExpectRecord(std::span<const Byte> bytes, Byte type, Byte second, const Byte (&phone)[8]) {
    ASSERT_GE(bytes.size(), 10u);
    EXPECT_EQ(bytes[0], type);
    EXPECT_EQ(bytes[1], second);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(bytes[2 + i], phone[i]) << "phone byte " << i;
    }
}

// ---------------------------------------------------------------------------------------------

class SmsDialogTest : public ::testing::Test {
protected:
    void Open(Byte devType) {
        state.device = CreateDevice(devType);
        ASSERT_NE(state.device, nullptr);
        dialog = std::make_unique<TFrmSMS>(state, dialogs);
        dialog->RefreshControls();
        Activate(dialog.get());
        grid = dialog->Grid();
    }
    TCellCombo* Combo(const char* name) const {
        return grid->findChild<TCellCombo*>(QString::fromLatin1(name));
    }
    QPushButton* Save() const { return dialog->findChild<QPushButton*>(QStringLiteral("btnSaveExit")); }
    QString Cell(int row, int column) const { return CellText(grid, row, column); }
    void ChooseType(int row, int type) {
        ClickCell(grid, row, sms::kColType);
        PickInList(Combo("bxSMSType"), type);
    }
    void TypeCell(int row, int column, const QString& text) {
        ClickCell(grid, row, column);
        QLineEdit* edit = CellEditorLine(grid);
        ASSERT_NE(edit, nullptr) << row << "," << column;
        TypeInto(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
        Settle();
    }

    TProgramState state;
    TScriptedDialogs dialogs;
    std::unique_ptr<TFrmSMS> dialog;
    TSmsGrid* grid = nullptr;
};

TEST_F(SmsDialogTest, CaptionColumnsAndRowCountPerType) {
    struct Case {
        Byte type;
        int rows;
        QString partition;
    };
    for (const Case& c : {Case{1, 8, "1"}, Case{5, 8, "0"}, Case{7, 10, "1"}, Case{3, 8, "1"}}) {
        Open(c.type);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("SMS"));
        EXPECT_EQ(grid->objectName(), QStringLiteral("grdSMS"));
        ASSERT_EQ(grid->rowCount(), c.rows) << int(c.type);
        for (int r = 0; r < c.rows; ++r) {
            EXPECT_EQ(Cell(r, 0), QString::number(r + 1));
            EXPECT_EQ(Cell(r, sms::kColType), kOff);
            EXPECT_EQ(Cell(r, sms::kColPartition), c.partition) << int(c.type);
            EXPECT_EQ(Cell(r, sms::kColPhone), QString());
        }
        const QStringList headers{"№", "", "Передача SMS", "Раздел", "Телефон"};
        const int widths[] = {50, 0, 200, 80, 150};
        for (int col = 0; col < 5; ++col) {
            EXPECT_EQ(grid->horizontalHeaderItem(col)->text(), headers[col]);
            EXPECT_EQ(grid->columnWidth(col), widths[col]);
        }
        EXPECT_EQ(grid->width(), 490);
        EXPECT_EQ(dialog->width(), 500);
        EXPECT_GE(grid->viewport()->height(),
                  grid->rowViewportPosition(c.rows - 1) + grid->rowHeight(c.rows - 1));
    }
}

TEST_F(SmsDialogTest, RowsOneAndThreeGiveTwoRecordsAndTheEndMark) {
    Open(1);
    ChooseType(0, 1);
    EXPECT_EQ(Cell(0, sms::kColType), kAlarms);
    EXPECT_EQ(Cell(0, sms::kColPhone), QStringLiteral("+7(903)123-45-67"));
    ChooseType(2, 2);
    // The eight-zone family picks the partition from a list.
    ClickCell(grid, 2, sms::kColPartition);
    TCellCombo* partitions = Combo("bxSMSPart");
    ASSERT_TRUE(partitions->isVisible());
    EXPECT_EQ(partitions->count(), 8);
    EXPECT_EQ(partitions->currentText(), QStringLiteral("1"));
    PickInList(partitions, 3);
    EXPECT_EQ(Cell(2, sms::kColPartition), QStringLiteral("4"));
    EXPECT_EQ(grid->currentIndex(), grid->model()->index(2, TCellGrid::kParkColumn));

    QSignalSpy saved(dialog.get(), &TFrmSMS::saved);
    QTest::mouseClick(Save(), Qt::LeftButton);
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(dialog->ListNotEmpty());
    const auto& f = state.SmsFrame;
    EXPECT_EQ(f[0], 0x7E);
    EXPECT_EQ(f[1], 26);
    EXPECT_EQ(f[2], 0x57);
    EXPECT_EQ(f[3], 4);
    ExpectRecord(std::span(f).subspan(4), 1, 1, kDefaultPacked);
    ExpectRecord(std::span(f).subspan(14), 2, 4, kDefaultPacked);
    EXPECT_EQ(f[24], 0);
    EXPECT_EQ(f[25], frame::Crc8(f.data(), 25));
}

TEST_F(SmsDialogTest, FullListHasNoEndMark) {
    Open(7);
    for (int r = 0; r < 10; ++r) {
        ChooseType(r, 1 + r % 2);
    }
    TypeCell(9, sms::kColPhone, QStringLiteral("8(916)555-44-33"));
    QTest::mouseClick(Save(), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    const auto& f = state.SmsFrame;
    EXPECT_EQ(f[1], 4 + 10 * 10 + 1);
    for (int r = 0; r < 9; ++r) {
        ExpectRecord(std::span(f).subspan(4 + 10 * static_cast<std::size_t>(r)), static_cast<Byte>(1 + r % 2),
                     1, kDefaultPacked);
    }
    const Byte last[8] = {0x98, 0x61, 0x55, 0x45, 0x34, 0xF3, 0xFF, 0xFF};
    ExpectRecord(std::span(f).subspan(94), 2, 1, last);
    EXPECT_EQ(f[104], frame::Crc8(f.data(), 104));
}

TEST_F(SmsDialogTest, PartitionAbove64IsRefusedAndTheDialogStaysOpen) {
    Open(3);
    ChooseType(0, 1);
    TypeCell(0, sms::kColPartition, QStringLiteral("6a5"));
    EXPECT_EQ(Cell(0, sms::kColPartition), QStringLiteral("65"));
    const FrameBuffer before = state.SmsFrame;

    QTest::mouseClick(Save(), Qt::LeftButton);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, MsgKind::Warning);
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("SMS"));
    EXPECT_EQ(dialogs.shown[0].text, kPartitions);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(state.SmsFrame, before);

    // An empty partition is refused as well.
    TypeCell(0, sms::kColPartition, QString());
    QTest::mouseClick(Save(), Qt::LeftButton);
    EXPECT_EQ(dialogs.shown.size(), 2u);
    EXPECT_TRUE(dialog->isVisible());

    // Still being typed in when "Сохранить" is pressed without the focus moving: it counts.
    ClickCell(grid, 0, sms::kColPartition);
    TypeInto(CellEditorLine(grid), QStringLiteral("64"));
    Save()->click();
    EXPECT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    ExpectRecord(std::span(state.SmsFrame).subspan(4), 1, 64, kDefaultPacked);
}

TEST_F(SmsDialogTest, GridLosingTheFocusWithABadPartitionWarns) {
    Open(3);
    auto* other = new QLineEdit(dialog.get());
    other->show();
    ChooseType(0, 1);
    TypeCell(0, sms::kColPartition, QStringLiteral("99"));
    ASSERT_TRUE(grid->hasFocus());
    other->setFocus();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, kPartitions);
    EXPECT_EQ(dialogs.shown[0].kind, MsgKind::Warning);

    // Moving between the grid and its own editors, or with good partitions, says nothing.
    TypeCell(0, sms::kColPartition, QStringLiteral("12"));
    ChooseType(1, 2);
    other->setFocus();
    EXPECT_EQ(dialogs.shown.size(), 1u);

    // Leaving while a bad partition is still being typed counts what was typed.
    ClickCell(grid, 1, sms::kColPartition);
    TypeInto(CellEditorLine(grid), QStringLiteral("70"));
    other->setFocus();
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(Cell(1, sms::kColPartition), QStringLiteral("70"));
}

TEST_F(SmsDialogTest, PhoneCellKeyFilter) {
    Open(1);
    ChooseType(0, 1);
    ClickCell(grid, 0, sms::kColPhone);
    QLineEdit* edit = CellEditorLine(grid);
    ASSERT_NE(edit, nullptr);
    TypeInto(edit, QStringLiteral("+7 (495) abc.123-45-67"));
    EXPECT_EQ(edit->text(), QStringLiteral("+7(495)123-45-67"));
    TypeInto(edit, QString(30, QLatin1Char('5')));
    EXPECT_EQ(edit->text().size(), 22);
}

TEST_F(SmsDialogTest, OffRowsAndTheFiveZoneFamilyRefuseCells) {
    Open(5);
    const QModelIndex parked = grid->currentIndex();
    ClickCell(grid, 0, sms::kColPhone);
    EXPECT_EQ(grid->currentIndex(), parked);
    ChooseType(0, 1);
    // The five-zone family has no partition to choose.
    ClickCell(grid, 0, sms::kColPartition);
    EXPECT_EQ(grid->currentIndex(), grid->model()->index(0, TCellGrid::kParkColumn));
    EXPECT_FALSE(grid->IsEditingText());
    EXPECT_FALSE(Combo("bxSMSPart")->isVisible());
    EXPECT_EQ(Cell(0, sms::kColPartition), QStringLiteral("0"));
    // Back to off: the number goes.
    ChooseType(0, 0);
    EXPECT_EQ(Cell(0, sms::kColPhone), QString());
}

TEST_F(SmsDialogTest, RefreshControlsShowsTheFrame) {
    state.device = CreateDevice(3);
    const SmsRecord records[] = {{2, 7, 0x97, 0x30, 0x21, 0x43, 0x65, 0xF7, 0xFF, 0xFF}};
    ASSERT_TRUE(WriteSmsRecords(state.SmsFrame, records, 8));
    dialog = std::make_unique<TFrmSMS>(state, dialogs);
    dialog->RefreshControls();
    grid = dialog->Grid();
    EXPECT_EQ(Cell(0, sms::kColType), kAll);
    EXPECT_EQ(Cell(0, sms::kColPartition), QStringLiteral("7"));
    EXPECT_EQ(Cell(0, sms::kColPhone), QStringLiteral("79031234567"));
    EXPECT_EQ(Cell(1, sms::kColType), kOff);
}

// ---------------------------------------------------------------------------------------------

class RetSmsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        state.device = CreateDevice(15);
        ret = dynamic_cast<TDV15_Ret*>(state.device.get());
        ASSERT_NE(ret, nullptr);
        dialog = std::make_unique<TFrmSMS2>(state);
        dialog->FillFromDevice();
        Activate(dialog.get());
        grid = dialog->Grid();
    }
    TCellCombo* Combo(const char* name) const {
        return grid->findChild<TCellCombo*>(QString::fromLatin1(name));
    }
    QPushButton* Save() const { return dialog->findChild<QPushButton*>(QStringLiteral("btnSaveExit")); }
    QString Cell(int row, int column) const { return CellText(grid, row, column); }
    void ChooseType(int row, int type) {
        grid->scrollToItem(grid->item(row, 0));
        ClickCell(grid, row, sms::kColType);
        PickInList(Combo("bxSMSType"), type);
    }
    void ChooseSource(int row, int source) {
        grid->scrollToItem(grid->item(row, 0));
        ClickCell(grid, row, sms::kColPartition);
        PickInList(Combo("bxPartNum"), source);
    }

    TProgramState state;
    TDV15_Ret* ret = nullptr;
    std::unique_ptr<TFrmSMS2> dialog;
    TRetSmsGrid* grid = nullptr;
};

TEST_F(RetSmsDialogTest, FortyRowsAndTheSourceList) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Передача SMS"));
    ASSERT_EQ(grid->rowCount(), 40);
    for (int r = 0; r < 40; ++r) {
        EXPECT_EQ(Cell(r, 0), QString::number(r + 1));
        EXPECT_EQ(Cell(r, sms::kColType), kOff);
        EXPECT_EQ(Cell(r, sms::kColPartition), QStringLiteral("Прибор"));
    }
    const QStringList headers{"№", "", "Передача", "Источн.", "Телефон"};
    const int widths[] = {50, 0, 200, 90, 150};
    for (int col = 0; col < 5; ++col) {
        EXPECT_EQ(grid->horizontalHeaderItem(col)->text(), headers[col]);
        EXPECT_EQ(grid->columnWidth(col), widths[col]);
    }
    EXPECT_EQ(grid->width(), 520);
    TCellCombo* sources = Combo("bxPartNum");
    ASSERT_EQ(sources->count(), 34);
    EXPECT_EQ(sources->itemText(0), QStringLiteral("Прибор"));
    EXPECT_EQ(sources->itemText(1), QStringLiteral("Об.№1"));
    EXPECT_EQ(sources->itemText(32), QStringLiteral("Об.№32"));
    EXPECT_EQ(sources->itemText(33), QStringLiteral("Всё"));
}

TEST_F(RetSmsDialogTest, SourcesAreStoredAsTheirValues) {
    ChooseType(0, 1);
    ChooseType(1, 2);
    ChooseType(2, 1);
    ChooseSource(0, 7);
    ChooseSource(1, 33);
    ChooseSource(2, 5);
    ChooseSource(2, 0);
    EXPECT_EQ(Cell(0, sms::kColPartition), QStringLiteral("Об.№7"));
    EXPECT_EQ(Cell(1, sms::kColPartition), QStringLiteral("Всё"));
    EXPECT_EQ(Cell(2, sms::kColPartition), QStringLiteral("Прибор"));
    // The source editor opens on the row's own source.
    ClickCell(grid, 0, sms::kColPartition);
    EXPECT_EQ(Combo("bxPartNum")->currentIndex(), 7);
    PickInList(Combo("bxPartNum"), 7);

    QTest::mouseClick(Save(), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(dialog->ListNotEmpty());
    ExpectRecord(ret->Sms().Record(1), 1, 7, kDefaultPacked);
    ExpectRecord(ret->Sms().Record(2), 2, 33, kDefaultPacked);
    ExpectRecord(ret->Sms().Record(3), 1, 0, kDefaultPacked);
    EXPECT_EQ(ret->Sms().Record(4)[0], 0);
}

TEST_F(RetSmsDialogTest, DraggedRowsAreRenumberedAndStoredInTheNewOrder) {
    ChooseType(0, 1);
    ChooseType(4, 2);
    ChooseSource(4, 12);
    DragCell(grid, 4, 0);
    for (int r = 0; r < 40; ++r) {
        ASSERT_EQ(Cell(r, 0), QString::number(r + 1));
    }
    EXPECT_EQ(Cell(0, sms::kColType), kAll);
    EXPECT_EQ(Cell(0, sms::kColPartition), QStringLiteral("Об.№12"));
    EXPECT_EQ(Cell(1, sms::kColType), kAlarms);
    QTest::mouseClick(Save(), Qt::LeftButton);
    ExpectRecord(ret->Sms().Record(1), 2, 12, kDefaultPacked);
    ExpectRecord(ret->Sms().Record(2), 1, 0, kDefaultPacked);
}

TEST_F(RetSmsDialogTest, WheelScrollsOneLinePerNotch) {
    QScrollBar* bar = grid->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 5);
    ASSERT_EQ(bar->value(), 0);
    const auto wheel = [this](int delta) {
        const QPointF at(grid->viewport()->rect().center());
        QWheelEvent event(at, grid->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid->viewport(), &event);
    };
    wheel(-120);
    EXPECT_EQ(bar->value(), 1);
    EXPECT_EQ(grid->rowAt(0), 1);
    wheel(-240);
    EXPECT_EQ(bar->value(), 3);
    wheel(120);
    EXPECT_EQ(bar->value(), 2);
    // Half notches add up.
    wheel(-60);
    EXPECT_EQ(bar->value(), 2);
    wheel(-60);
    EXPECT_EQ(bar->value(), 3);
}

TEST_F(RetSmsDialogTest, GridFollowsTheDialogsHeightAndTheWidthStays) {
    for (const int height : {300, 600, 450}) {
        dialog->resize(900, height);
        QApplication::processEvents();
        EXPECT_EQ(dialog->width(), 540);
        EXPECT_EQ(grid->height(), dialog->height() - grid->y() - 50) << height;
        EXPECT_EQ(grid->width(), 520);
        const QPushButton* save = Save();
        EXPECT_GE(save->y(), grid->geometry().bottom());
        EXPECT_LE(save->geometry().bottom(), dialog->height());
    }
}

TEST_F(RetSmsDialogTest, FillShowsTheList) {
    ret->Sms().SetRecord(1, {0x81, 32, 0x97, 0x30, 0x21, 0x43, 0x65, 0xF7, 0xFF, 0xFF});
    ret->Sms().SetRecord(2, {2, 40, 0x97, 0x30, 0x21, 0x43, 0x65, 0xF7, 0xFF, 0xFF});
    dialog->FillFromDevice();
    EXPECT_EQ(Cell(0, sms::kColType), kAlarms);
    EXPECT_EQ(Cell(0, sms::kColPartition), QStringLiteral("Об.№32"));
    EXPECT_EQ(Cell(0, sms::kColPhone), QStringLiteral("79031234567"));
    EXPECT_EQ(Cell(1, sms::kColPartition), QStringLiteral("Всё"));
    EXPECT_EQ(Cell(2, sms::kColType), kOff);
    // Saved untouched, both records come back as they were.
    const SmsRecord first = ret->Sms().Record(1);
    const SmsRecord second = ret->Sms().Record(2);
    QTest::mouseClick(Save(), Qt::LeftButton);
    EXPECT_EQ(ret->Sms().Record(1), first);
    EXPECT_EQ(ret->Sms().Record(2), second);
}

} // namespace
} // namespace orv::test
