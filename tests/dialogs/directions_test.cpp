#include "dialogs_fixture.h"

#include "gsm/program_state.h"
#include "ui/dialogs/gsm_directions.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace orv::test {
namespace {

const QString kOff = QStringLiteral("Выкл.");
const QString kPhone = QStringLiteral("+7(903)123-45-67");

class DirectionsGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGsmFrame(state.GsmFrame);
        widget = std::make_unique<TGsmDirections>(state);
        widget->Decode();
        Activate(widget.get());
        grid = widget->Grid();
    }

    TCellCombo* Combo(const char* name) const {
        return grid->findChild<TCellCombo*>(QString::fromLatin1(name));
    }
    QString Cell(int row, int column) const { return CellText(grid, row, column); }
    QStringList Row(int row) const {
        return {Cell(row, dcAttempts), Cell(row, dcSim), Cell(row, dcProtocol), Cell(row, dcTarget)};
    }
    // Switches a row on through its attempts editor.
    void SwitchOn(int row, int attempts) {
        ClickCell(grid, row, dcAttempts);
        PickInList(Combo("bxGrTryCnt"), attempts);
    }

    TProgramState state;
    std::unique_ptr<TGsmDirections> widget;
    TDirectionsGrid* grid = nullptr;
};

TEST_F(DirectionsGridTest, FreshFrameShowsDeviceOneAndFiveOffRows) {
    EXPECT_EQ(widget->DeviceNumberEdit()->displayText(), QStringLiteral("0001"));
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(Cell(r, dcNumber), QString::number(r + 1));
        EXPECT_EQ(Row(r), (QStringList{kOff, {}, {}, {}})) << r;
    }
}

TEST_F(DirectionsGridTest, LayoutOfTheGrid) {
    EXPECT_EQ(grid->objectName(), QStringLiteral("grdG1"));
    EXPECT_EQ(grid->rowCount(), 5);
    const QStringList headers{QStringLiteral("№"),        QString(),
                              QStringLiteral("Попытки"),  QStringLiteral("SIM"),
                              QStringLiteral("Протокол"), QStringLiteral("Телефон\\Хост")};
    const int widths[] = {40, 0, 80, 60, 100, 280};
    ASSERT_EQ(grid->columnCount(), 6);
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(grid->horizontalHeaderItem(c)->text(), headers[c]);
        EXPECT_EQ(grid->columnWidth(c), widths[c]) << c;
    }
    EXPECT_TRUE(grid->isColumnHidden(1));
    EXPECT_EQ(grid->width(), 570);
    EXPECT_EQ(grid->horizontalHeader()->defaultAlignment(), Qt::AlignCenter);
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(grid->item(r, dcNumber)->textAlignment(), Qt::AlignCenter);
        EXPECT_NE(grid->item(r, dcAttempts)->textAlignment(), Qt::AlignCenter);
    }
    // Every row is visible without scrolling.
    EXPECT_GE(grid->viewport()->height(), grid->rowViewportPosition(4) + grid->rowHeight(4));
}

TEST_F(DirectionsGridTest, AttemptsOnAnOffRowFillTheStartingValuesAndOffEmptiesThem) {
    ClickCell(grid, 0, dcAttempts);
    TCellCombo* editor = Combo("bxGrTryCnt");
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_TRUE(editor->hasFocus() || editor->view()->isVisible());
    EXPECT_EQ(editor->geometry(), grid->visualRect(grid->model()->index(0, dcAttempts)));
    EXPECT_EQ(editor->currentText(), kOff);
    EXPECT_EQ(editor->count(), 6);

    PickInList(editor, 2);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(Row(0),
              (QStringList{QStringLiteral("2"), QStringLiteral("1,2"), QStringLiteral("Voice"), kPhone}));
    EXPECT_EQ(grid->currentIndex(), grid->model()->index(0, TCellGrid::kParkColumn));
    EXPECT_TRUE(grid->hasFocus());
    EXPECT_EQ(state.Directions.Row(0).target, kPhone.toStdString());

    // Another count keeps what the row holds.
    ClickCell(grid, 0, dcAttempts);
    EXPECT_EQ(editor->currentText(), QStringLiteral("2"));
    PickInList(editor, 5);
    EXPECT_EQ(Row(0),
              (QStringList{QStringLiteral("5"), QStringLiteral("1,2"), QStringLiteral("Voice"), kPhone}));

    ClickCell(grid, 0, dcAttempts);
    PickInList(editor, 0);
    EXPECT_EQ(Row(0), (QStringList{kOff, {}, {}, {}}));
    EXPECT_EQ(state.Directions.Row(0).attempts, kOff.toStdString());
}

TEST_F(DirectionsGridTest, ProtocolAndSimEditors) {
    SwitchOn(1, 1);
    struct Step {
        const char* editor;
        int column;
        int pick;
        QString cell;
        QString target;
    };
    const Step steps[] = {
        {"bxGrType", dcProtocol, 2, QStringLiteral("Pro-Net"), QStringLiteral("127.0.0.1:24333")},
        {"bxGrType", dcProtocol, 3, QStringLiteral("SIA-IP"), QStringLiteral("127.0.0.1:24333")},
        {"bxGrType", dcProtocol, 1, QStringLiteral("CSD"), kPhone},
        {"bxGrType", dcProtocol, 0, QStringLiteral("Voice"), kPhone},
        {"bxGrSIM", dcSim, 2, QStringLiteral("2"), kPhone},
        {"bxGrSIM", dcSim, 1, QStringLiteral("1"), kPhone},
    };
    for (const Step& s : steps) {
        ClickCell(grid, 1, s.column);
        TCellCombo* editor = Combo(s.editor);
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(editor->isVisible()) << s.editor;
        PickInList(editor, s.pick);
        EXPECT_EQ(Cell(1, s.column), s.cell);
        EXPECT_EQ(Cell(1, dcTarget), s.target) << s.cell.toStdString();
        EXPECT_EQ(grid->currentIndex(), grid->model()->index(1, TCellGrid::kParkColumn));
    }
}

TEST_F(DirectionsGridTest, KeyboardOpensTheEditorAndEscapeReturnsToTheGrid) {
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Right);
    Settle();
    TCellCombo* editor = Combo("bxGrTryCnt");
    ASSERT_TRUE(editor->isVisible());
    ASSERT_TRUE(editor->view()->isVisible());
    // Dismissing the list closes the editor with the entry it had.
    QTest::keyClick(editor->view(), Qt::Key_Escape);
    Settle();
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(Row(0), (QStringList{kOff, {}, {}, {}}));
    EXPECT_TRUE(grid->hasFocus());
    EXPECT_EQ(grid->currentIndex(), grid->model()->index(0, TCellGrid::kParkColumn));
}

TEST_F(DirectionsGridTest, EditorClosesWhenTheFocusGoesElsewhere) {
    ClickCell(grid, 2, dcAttempts);
    TCellCombo* editor = Combo("bxGrTryCnt");
    editor->hidePopup();
    editor->setCurrentIndex(3);
    widget->DeviceNumberEdit()->setFocus();
    Settle();
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(Cell(2, dcAttempts), QStringLiteral("3"));
    EXPECT_EQ(Cell(2, dcTarget), kPhone);
    // The focus stays where the user put it.
    EXPECT_TRUE(widget->DeviceNumberEdit()->hasFocus());
}

TEST_F(DirectionsGridTest, OffRowRefusesSimProtocolAndNumberCells) {
    const QModelIndex parked = grid->currentIndex();
    for (const int column : {dcSim, dcProtocol, dcTarget, dcNumber}) {
        ClickCell(grid, 3, column);
        EXPECT_EQ(grid->currentIndex(), parked) << column;
        EXPECT_TRUE(grid->selectionModel()->selectedIndexes().isEmpty() ||
                    !grid->selectionModel()->isSelected(grid->model()->index(3, column)));
        EXPECT_EQ(CellEditorLine(grid), nullptr);
        for (const char* name : {"bxGrTryCnt", "bxGrSIM", "bxGrType"}) {
            EXPECT_FALSE(Combo(name)->isVisible()) << name;
        }
    }
    // Nor can the number cell be typed into by a double click.
    const QRect rect = grid->visualRect(grid->model()->index(3, dcTarget));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_FALSE(grid->IsEditingText());
}

TEST_F(DirectionsGridTest, NumberCellKeyFilter) {
    SwitchOn(0, 1);
    ClickCell(grid, 0, dcTarget);
    QLineEdit* edit = CellEditorLine(grid);
    ASSERT_NE(edit, nullptr);
    TypeInto(edit, QStringLiteral("ab CD(1)+-.:Я_z9,"));
    EXPECT_EQ(edit->text(), QStringLiteral("ab(1)+-.:z9"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("ab(1)+-.:z"));
    // Pasted text goes through the same filter.
    QApplication::clipboard()->setText(QStringLiteral("x Y;7"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("ab(1)+-.:zx7"));
    QTest::keyClick(edit, Qt::Key_Return);
    Settle();
    EXPECT_FALSE(grid->IsEditingText());
    EXPECT_EQ(Cell(0, dcTarget), QStringLiteral("ab(1)+-.:zx7"));
    EXPECT_EQ(state.Directions.Row(0).target, "ab(1)+-.:zx7");
}

TEST_F(DirectionsGridTest, NumberCellLimits) {
    SwitchOn(0, 1);
    ClickCell(grid, 0, dcTarget);
    QLineEdit* edit = CellEditorLine(grid);
    ASSERT_NE(edit, nullptr);
    TypeInto(edit, QString(35, QLatin1Char('1')));
    EXPECT_EQ(edit->text().size(), 30);
    QTest::keyClick(edit, Qt::Key_Return);
    Settle();
    EXPECT_EQ(state.Directions.Row(0).target, std::string(30, '1'));

    // Four other rows of 28 characters leave 23 for the fifth.
    for (int r = 1; r < 5; ++r) {
        state.Directions.ChooseAttempts(r, 1);
        state.Directions.SetTarget(r, std::string(28, '2'));
    }
    grid->Refresh();
    ClickCell(grid, 0, dcTarget);
    edit = CellEditorLine(grid);
    ASSERT_NE(edit, nullptr);
    TypeInto(edit, QString(30, QLatin1Char('3')));
    EXPECT_EQ(edit->text().size(), 23);
    QApplication::clipboard()->setText(QString(10, QLatin1Char('4')));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text().size(), 23);
}

TEST_F(DirectionsGridTest, DraggingRowThreeAboveRowOneMakesItTheFirstRecord) {
    SwitchOn(0, 1);
    SwitchOn(2, 3);
    state.Directions.SetTarget(0, "+74950000000");
    state.Directions.SetTarget(2, "8 (916) 123-45-67");
    grid->Refresh();
    QSignalSpy changed(widget.get(), &TGsmDirections::changed);

    DragCell(grid, 2, 0);
    EXPECT_EQ(changed.count(), 1);
    const QStringList numbers{Cell(0, 0), Cell(1, 0), Cell(2, 0), Cell(3, 0), Cell(4, 0)};
    EXPECT_EQ(numbers, (QStringList{"3", "1", "2", "4", "5"}));
    EXPECT_EQ(Cell(0, dcTarget), QStringLiteral("8 (916) 123-45-67"));

    ASSERT_TRUE(EncodeDirections(state.Directions, state.GsmFrame));
    const std::string first = "+89161234567";
    const std::string second = "+74950000000";
    // Records from byte 8: length, settings (attempts << 5), text.
    EXPECT_EQ(state.GsmFrame[8], first.size() + 1);
    EXPECT_EQ(state.GsmFrame[9], 3 << 5);
    EXPECT_EQ(std::string(state.GsmFrame.begin() + 10, state.GsmFrame.begin() + 10 + first.size()), first);
    const std::size_t next = 10 + first.size();
    EXPECT_EQ(state.GsmFrame[next], second.size() + 1);
    EXPECT_EQ(state.GsmFrame[next + 1], 1 << 5);
}

TEST_F(DirectionsGridTest, DeviceNumberStoredOnLeaving) {
    QLineEdit* field = widget->DeviceNumberEdit();
    QSignalSpy changed(widget.get(), &TGsmDirections::changed);
    TypeInto(field, QStringLiteral("1234"));
    grid->setFocus();
    EXPECT_EQ(state.GsmFrame[4], 0x04);
    EXPECT_EQ(state.GsmFrame[5], 0xD2);
    EXPECT_EQ(changed.count(), 1);

    // An incomplete number is refused and the stored one shown again.
    TypeInto(field, QStringLiteral("12"));
    grid->setFocus();
    EXPECT_EQ(GetDeviceNumber(state.GsmFrame), 1234);
    EXPECT_EQ(field->displayText(), QStringLiteral("1234"));
    // Letters never get in.
    TypeInto(field, QStringLiteral("0a7b"));
    EXPECT_EQ(field->text(), QStringLiteral("07"));
    grid->setFocus();
    EXPECT_EQ(GetDeviceNumber(state.GsmFrame), 1234);
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(DirectionsGridTest, FinishEditingStoresWhatIsStillBeingTyped) {
    // A number in the field and a text in a cell, neither left yet.
    ClickCell(grid, 1, dcAttempts);
    PickInList(Combo("bxGrTryCnt"), 1);
    ClickCell(grid, 1, dcTarget);
    QLineEdit* cell = CellEditorLine(grid);
    ASSERT_NE(cell, nullptr);
    TypeInto(cell, QStringLiteral("+70001112233"));
    widget->FinishEditing();
    EXPECT_FALSE(grid->IsEditingText());
    EXPECT_EQ(state.Directions.Row(1).target, "+70001112233");

    QLineEdit* field = widget->DeviceNumberEdit();
    TypeInto(field, QStringLiteral("0815"));
    ASSERT_TRUE(field->hasFocus());
    widget->FinishEditing();
    EXPECT_EQ(GetDeviceNumber(state.GsmFrame), 815);
    // An incomplete one is refused as on leaving; an untouched field stores nothing.
    TypeInto(field, QStringLiteral("12"));
    widget->FinishEditing();
    EXPECT_EQ(GetDeviceNumber(state.GsmFrame), 815);
    EXPECT_EQ(field->displayText(), QStringLiteral("0815"));
    SetDeviceNumber(state.GsmFrame, 9);
    widget->FinishEditing();
    EXPECT_EQ(GetDeviceNumber(state.GsmFrame), 9);
}

TEST_F(DirectionsGridTest, DeviceNumberAboveFourDigitsIsShownWholeAndKept) {
    SetDeviceNumber(state.GsmFrame, 12345);
    widget->Refresh();
    QLineEdit* field = widget->DeviceNumberEdit();
    EXPECT_EQ(field->text(), QStringLiteral("12345"));
    field->setFocus();
    grid->setFocus();
    EXPECT_EQ(GetDeviceNumber(state.GsmFrame), 12345);
    // Entering a four-digit number brings the mask back.
    TypeInto(field, QStringLiteral("77"));
    grid->setFocus();
    EXPECT_EQ(GetDeviceNumber(state.GsmFrame), 77);
    EXPECT_EQ(field->displayText(), QStringLiteral("0077"));
    EXPECT_FALSE(field->inputMask().isEmpty());
}

TEST_F(DirectionsGridTest, FileButtonsCarryTheirHintsAndReportClicks) {
    QToolButton* save = widget->findChild<QToolButton*>(QStringLiteral("btnGSMFileSave"));
    QToolButton* load = widget->findChild<QToolButton*>(QStringLiteral("btnGSMFileLoad"));
    ASSERT_NE(save, nullptr);
    ASSERT_NE(load, nullptr);
    EXPECT_EQ(save->toolTip(), QStringLiteral("Сохранить настройки направлений в файл"));
    EXPECT_EQ(load->toolTip(),
              QStringLiteral("Открыть настройки направлений,\r\nЗаменить текущие.\r\nМожно использовать "
                             "настройку конфигурации любого из приборов,\r\nгде заданы направления GSM"));
    QSignalSpy saves(widget.get(), &TGsmDirections::saveFileClicked);
    QSignalSpy loads(widget.get(), &TGsmDirections::loadFileClicked);
    QTest::mouseClick(save, Qt::LeftButton);
    QTest::mouseClick(load, Qt::LeftButton);
    QTest::mouseClick(load, Qt::LeftButton);
    EXPECT_EQ(saves.count(), 1);
    EXPECT_EQ(loads.count(), 2);
}

TEST_F(DirectionsGridTest, DecodeShowsTheFrame) {
    DirectionRecords records{};
    records[1] = {true, 0xFF, "host.example:7000"};
    records[4] = {true, (2 << 5) | (1 << 3) | 3, "10.0.0.1:5000"};
    ASSERT_TRUE(WriteDirectionRecords(state.GsmFrame, records));
    SetDeviceNumber(state.GsmFrame, 42);
    widget->Decode();
    EXPECT_EQ(widget->DeviceNumberEdit()->displayText(), QStringLiteral("0042"));
    EXPECT_EQ(Row(0), (QStringList{kOff, {}, {}, {}}));
    EXPECT_EQ(Row(1), (QStringList{"5", "1,2", "Voice", "host.example:7000"}));
    EXPECT_EQ(Row(4), (QStringList{"2", "1", "SIA-IP", "10.0.0.1:5000"}));
}

} // namespace
} // namespace orv::test
