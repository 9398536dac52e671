// The transmission page: transmitter kinds per family, the GSM part with its directions grid,
// the SMS and GPRS lists, the directions file buttons and the commit step before writes and
// saves.
#include "support/case_names.h"
#include "window_fixture.h"

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "files/config_file.h"
#include "files/gsm_file.h"
#include "gsm/tx_buffers.h"
#include "ui/dialogs/form_gprs.h"
#include "ui/dialogs/form_sms.h"
#include "ui/dialogs/form_sms2.h"
#include "ui/dialogs/gsm_directions.h"
#include "ui/link_bridge.h"
#include "ui/page_tx.h"
#include "ui/widgets.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QToolButton>

#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <vector>

using namespace orv;
using namespace orv::test;

namespace {

using orv::test::NamedBy;
using orv::test::NumberedBy;

const QString kOff = QStringLiteral("Выкл.");
const QString kPhone = QStringLiteral("+7(903)123-45-67");

bool IsOP8Code(int t) {
    return t == 1 || t == 2 || t == 4 || t == 10 || t == 12 || t == 13 || t == 16;
}

class TxPage : public WindowTest {
protected:
    TPageTx* Tx() const { return static_cast<TPageTx*>(window->Page(QStringLiteral("PG_TX"))); }
    TDirectionsGrid* Grid() const { return Find<TDirectionsGrid>(QStringLiteral("grdG1")); }
    TCellCombo* Editor(const char* name) const { return Find<TCellCombo>(QString::fromLatin1(name)); }
    QStringList Row(int row) const {
        return {CellText(Grid(), row, dcAttempts), CellText(Grid(), row, dcSim),
                CellText(Grid(), row, dcProtocol), CellText(Grid(), row, dcTarget)};
    }
    bool Shown(const char* name) const { return ShownOnPage(Find<QWidget>(QString::fromLatin1(name))); }

    // Switches the GSM communicator on the way the family offers it.
    void GsmOn(int type) {
        if (IsOP8Code(type)) {
            Choose(Find<QComboBox>(QStringLiteral("bxRTX_Type")), 2);
        } else {
            Click(Find<QCheckBox>(QStringLiteral("chkCNC_TxGSM")));
        }
        ASSERT_TRUE(state.device->GetGsmConnected());
    }
    // A row switched on through its attempts editor, with a number typed in.
    void Direction(int row, int attempts, const QString& target) {
        ClickCell(Grid(), row, dcAttempts);
        PickInList(Editor("bxGrTryCnt"), attempts);
        TypeIntoCell(Grid(), row, dcTarget, target);
    }
    // The directions as the frame holds them after the commit step.
    DirectionRecords Committed() {
        EXPECT_TRUE(window->UpdateAllTXBuffers());
        return ReadDirectionRecords(state.GsmFrame);
    }
    // A port nobody can open, so that a write that starts ends at once with the port error.
    void NoPort() {
        TypeAndLeave(Find<QComboBox>(QStringLiteral("cbbPorts"))->lineEdit(),
                     QStringLiteral("/nonexistent/tty0"));
    }
    QString Temp(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
};

// ---------------------------------------------------------------------------------------------
// Controls per family.

struct FamilyCase {
    int type;
    QStringList kinds; // empty: the kind list and its label are hidden
    int busMax;
    bool tdBox;
    bool gsmBox;
    bool gsmControl; // "Разрешить управление по SMS" with the GSM part
    bool gsmTx;      // "Передавать события по GSM"
    bool disarmBySms;
};

void PrintTo(const FamilyCase& c, std::ostream* os) {
    *os << "type " << c.type;
}

const QStringList kOP8Kinds{"Отключено", "Терсан ППМ, TDm", "GSM-ORV", "RS-485"};
const QStringList kOP5Kinds{"Отключено", "Терсан ППМ, TDm", "RS-485"};

class TxFamilies : public TxPage, public ::testing::WithParamInterface<FamilyCase> {};

TEST_P(TxFamilies, ControlsAndTheGsmPart) {
    const FamilyCase& c = GetParam();
    ChooseFromMenu(static_cast<Byte>(c.type));
    auto* kinds = Find<QComboBox>(QStringLiteral("bxRTX_Type"));
    EXPECT_EQ(Shown("bxRTX_Type"), !c.kinds.isEmpty());
    EXPECT_EQ(Shown("lblRTX_Type"), !c.kinds.isEmpty());
    if (!c.kinds.isEmpty()) {
        QStringList items;
        for (int i = 0; i < kinds->count(); ++i) {
            items << kinds->itemText(i);
        }
        EXPECT_EQ(items, c.kinds);
        EXPECT_EQ(Find<QLabel>(QStringLiteral("lblRTX_Type"))->text(), QStringLiteral("Вид передачи:"));
        auto* bus = Find<QSpinBox>(QStringLiteral("udBusID"));
        EXPECT_EQ(bus->minimum(), 1);
        EXPECT_EQ(bus->maximum(), c.busMax);
        EXPECT_EQ(Find<QLabel>(QStringLiteral("lblNetID"))->text(), QStringLiteral("Сетевой\nномер"));
    }
    EXPECT_EQ(Shown("chkCNC_TxTD"), c.tdBox);
    EXPECT_EQ(Shown("chkCNC_TxGSM"), c.gsmBox);
    // A fresh device has no GSM communicator: no GSM part.
    for (const char* name : {"frmGsmDirections", "chkSMS_On", "chkUseGPRScfg", "chkGSM_Control", "chkGSM_TX",
                             "chkOP8V4_DsgrdBySMS", "btnSMS_Show", "btnGPRS"}) {
        EXPECT_FALSE(Shown(name)) << name;
    }
    if (!c.gsmBox && !IsOP8Code(c.type)) {
        return;
    }
    // Whatever the frame held before, switching GSM on starts it afresh.
    SetDeviceNumber(state.GsmFrame, 1234);
    SetSmsFlag(state.GsmFrame, true);
    GsmOn(c.type);
    EXPECT_EQ(GetDeviceNumber(state.GsmFrame), 1);
    EXPECT_FALSE(GetSmsFlag(state.GsmFrame));
    for (const char* name : {"frmGsmDirections", "grdG1", "medtDevNum", "btnGSMFileSave", "btnGSMFileLoad",
                             "chkSMS_On", "chkUseGPRScfg"}) {
        EXPECT_TRUE(Shown(name)) << name;
    }
    EXPECT_EQ(Find<QLineEdit>(QStringLiteral("medtDevNum"))->displayText(), QStringLiteral("0001"));
    EXPECT_FALSE(Shown("btnSMS_Show"));
    EXPECT_FALSE(Shown("btnGPRS"));
    EXPECT_EQ(Shown("chkGSM_Control"), c.gsmControl);
    EXPECT_EQ(Shown("chkGSM_TX"), c.gsmTx);
    EXPECT_EQ(Shown("chkOP8V4_DsgrdBySMS"), c.disarmBySms);
    EXPECT_EQ(Find<QCheckBox>(QStringLiteral("chkSMS_On"))->text(), QStringLiteral("Передавать SMS"));
    EXPECT_EQ(Find<QCheckBox>(QStringLiteral("chkUseGPRScfg"))->text(),
              QStringLiteral("Использовать конфигурацию GPRS"));
    EXPECT_EQ(Find<QToolButton>(QStringLiteral("btnGSMFileSave"))->toolTip(),
              QStringLiteral("Сохранить настройки направлений в файл"));
    EXPECT_EQ(
        Find<QToolButton>(QStringLiteral("btnGSMFileLoad"))->toolTip(),
        QStringLiteral("Открыть настройки направлений,\r\nЗаменить текущие.\r\nМожно использовать настройку "
                       "конфигурации любого из приборов,\r\nгде заданы направления GSM"));

    // Switched off again, the part goes.
    if (IsOP8Code(c.type)) {
        Choose(kinds, 0);
    } else {
        Click(Find<QCheckBox>(QStringLiteral("chkCNC_TxGSM")));
    }
    EXPECT_FALSE(state.device->GetGsmConnected());
    EXPECT_FALSE(Shown("frmGsmDirections"));
    EXPECT_FALSE(Shown("chkSMS_On"));
    EXPECT_FALSE(Shown("chkOP8V4_DsgrdBySMS"));
}

INSTANTIATE_TEST_SUITE_P(EveryType, TxFamilies,
                         ::testing::Values(FamilyCase{1, kOP8Kinds.mid(0, 3), 7, false, false, false, false,
                                                      false},
                                           FamilyCase{2, kOP8Kinds, 7, false, false, false, false, false},
                                           FamilyCase{4, kOP8Kinds, 7, false, false, false, false, false},
                                           FamilyCase{10, kOP8Kinds, 7, false, false, false, false, false},
                                           FamilyCase{12, kOP8Kinds, 7, false, false, false, false, true},
                                           FamilyCase{13, kOP8Kinds, 7, false, false, false, false, true},
                                           FamilyCase{16, kOP8Kinds, 7, false, false, false, false, true},
                                           FamilyCase{5, kOP5Kinds, 32, false, true, true, true, false},
                                           FamilyCase{8, kOP5Kinds, 32, false, false, false, false, false},
                                           FamilyCase{9, kOP5Kinds, 32, false, true, true, true, false},
                                           FamilyCase{3, {}, 0, true, true, true, true, false},
                                           FamilyCase{11, {}, 0, true, true, true, true, false},
                                           FamilyCase{17, {}, 0, true, true, true, true, false},
                                           FamilyCase{7, {}, 0, true, true, true, true, false},
                                           FamilyCase{18, {}, 0, true, true, true, true, false},
                                           FamilyCase{6, {}, 0, true, true, false, false, false},
                                           FamilyCase{15, {}, 0, false, true, false, true, false}),
                         NamedBy([](const FamilyCase& c) { return "Type" + std::to_string(c.type); }));

TEST_F(TxPage, GsmKindOnAnEightZonePanelResetsTheFrameAndShowsThePart) {
    ChooseFromMenu(13);
    auto* op8 = dynamic_cast<TDevOP8*>(state.device.get());
    ASSERT_NE(op8, nullptr);
    op8->SetDisarmBySms(1);
    // A frame with a device number, a direction and both lists, as left by an earlier device.
    SetDeviceNumber(state.GsmFrame, 77);
    WriteDirectionRecords(state.GsmFrame, {DirectionRecord{true, 0x20, "+79001234567"}, {}, {}, {}, {}});
    SetSmsFlag(state.GsmFrame, true);
    SetGprsFlag(state.GsmFrame, true);
    Choose(Find<QComboBox>(QStringLiteral("bxRTX_Type")), 2);
    EXPECT_EQ(state.device->GetParam(prmDevTX), 2);
    EXPECT_EQ(GetDeviceNumber(state.GsmFrame), 1);
    EXPECT_FALSE(GetSmsFlag(state.GsmFrame));
    EXPECT_FALSE(GetGprsFlag(state.GsmFrame));
    EXPECT_EQ(ReadDirectionRecords(state.GsmFrame), DirectionRecords{});
    EXPECT_EQ(Find<QLineEdit>(QStringLiteral("medtDevNum"))->displayText(), QStringLiteral("0001"));
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(Row(r), (QStringList{kOff, {}, {}, {}})) << r;
    }
    EXPECT_TRUE(Shown("grdG1"));
    EXPECT_FALSE(Find<QCheckBox>(QStringLiteral("chkSMS_On"))->isChecked());
    EXPECT_FALSE(Shown("btnSMS_Show"));
    EXPECT_TRUE(Find<QCheckBox>(QStringLiteral("chkOP8V4_DsgrdBySMS"))->isChecked());
    EXPECT_EQ(dialogs.execs, 0);
}

TEST_F(TxPage, DisarmBySmsOnlyWithTheSmsOptionsAndTheGsmKind) {
    ChooseFromMenu(13);
    auto* kinds = Find<QComboBox>(QStringLiteral("bxRTX_Type"));
    auto* disarm = Find<QCheckBox>(QStringLiteral("chkOP8V4_DsgrdBySMS"));
    EXPECT_EQ(disarm->text(), QStringLiteral("Разрешить снятие  по SMS"));
    for (int kind : {0, 1, 3}) {
        Choose(kinds, kind);
        EXPECT_TRUE(disarm->isHidden()) << kind;
    }
    EXPECT_TRUE(Shown("lblNetID")); // RS-485 was last
    Choose(kinds, 2);
    EXPECT_FALSE(disarm->isHidden());
    EXPECT_FALSE(Shown("lblNetID"));
    Click(disarm);
    EXPECT_EQ(dynamic_cast<TDevOP8&>(*state.device).GetDisarmBySms(), 1);
    Click(disarm);
    EXPECT_EQ(dynamic_cast<TDevOP8&>(*state.device).GetDisarmBySms(), 0);
    // A model without the SMS options never shows it.
    dialogs.answers.push_back(MsgAnswer::No); // the edits are not saved
    ChooseFromMenu(10);
    Choose(Find<QComboBox>(QStringLiteral("bxRTX_Type")), 2);
    EXPECT_TRUE(Shown("grdG1"));
    EXPECT_TRUE(disarm->isHidden());
}

TEST_F(TxPage, FillingShowsTheGsmKindOfTheDevice) {
    auto device = CreateDevice(12);
    device->SetParam(prmDevTX, 2);
    ResetGsmFrame(state.GsmFrame);
    SetDeviceNumber(state.GsmFrame, 4321);
    state.device = std::move(device);
    window->HandleResult(0, 0);
    EXPECT_EQ(Find<QComboBox>(QStringLiteral("bxRTX_Type"))->currentText(), QStringLiteral("GSM-ORV"));
    EXPECT_TRUE(Shown("grdG1"));
    EXPECT_EQ(Find<QLineEdit>(QStringLiteral("medtDevNum"))->displayText(), QStringLiteral("4321"));
    EXPECT_EQ(GetDeviceNumber(state.GsmFrame), 4321); // filling changes nothing
}

class GsmFlags : public TxPage, public ::testing::WithParamInterface<int> {};

TEST_P(GsmFlags, StoredAtOnceAndFilledFromTheDevice) {
    ChooseFromMenu(static_cast<Byte>(GetParam()));
    GsmOn(GetParam());
    auto* control = Find<QCheckBox>(QStringLiteral("chkGSM_Control"));
    auto* tx = Find<QCheckBox>(QStringLiteral("chkGSM_TX"));
    EXPECT_EQ(control->text(), QStringLiteral("Разрешить управление по SMS"));
    EXPECT_EQ(tx->text(), QStringLiteral("Передавать события по GSM"));
    EXPECT_EQ(tx->toolTip(),
              QStringLiteral("Включить передачу событий по GSM из таблицы направлений.\r\nЭто не "
                             "относится к передаче SMS.\r\n"));
    const auto flags = [this] {
        const TDevice& d = *state.device;
        if (auto* op5 = dynamic_cast<const TDevOP5*>(&d)) {
            return std::pair{op5->GetGsmControl(), op5->GetGsmTx()};
        }
        if (auto* cnc = dynamic_cast<const TDevCnc*>(&d)) {
            return std::pair{cnc->GetGsmControl(), cnc->GetGsmTx()};
        }
        auto& ret = dynamic_cast<const TDV15_Ret&>(d);
        return std::pair{ret.GetGsmControl(), ret.GetGsmTx()};
    };
    const auto [control0, tx0] = flags();
    EXPECT_EQ(control->isChecked(), control0);
    EXPECT_EQ(tx->isChecked(), tx0);
    Click(tx);
    EXPECT_EQ(flags(), (std::pair{control0, !tx0}));
    if (!control->isHidden()) {
        Click(control);
        EXPECT_EQ(flags(), (std::pair{!control0, !tx0}));
        Click(tx);
        EXPECT_EQ(flags(), (std::pair{!control0, tx0}));
    }
    // Filled again from a device object holding the other states.
    const auto before = flags();
    window->RefreshControls();
    EXPECT_EQ(control->isChecked(), before.first);
    EXPECT_EQ(tx->isChecked(), before.second);
    EXPECT_EQ(flags(), before);
}

INSTANTIATE_TEST_SUITE_P(FamiliesWithFlags, GsmFlags, ::testing::Values(5, 9, 3, 7, 11, 18, 15),
                         NamedBy([](int type) { return "Type" + std::to_string(type); }));

// ---------------------------------------------------------------------------------------------
// The directions grid on the page.

TEST_F(TxPage, EditingRulesOfTheGrid) {
    ChooseFromMenu(13);
    GsmOn(13);
    // An off row switched to "2" gets the starting values; back to off empties it.
    ClickCell(Grid(), 3, dcAttempts);
    PickInList(Editor("bxGrTryCnt"), 2);
    EXPECT_EQ(Row(3), (QStringList{"2", "1,2", "Voice", kPhone}));
    ClickCell(Grid(), 3, dcAttempts);
    PickInList(Editor("bxGrTryCnt"), 0);
    EXPECT_EQ(Row(3), (QStringList{kOff, {}, {}, {}}));
    // Cells of an off row are refused.
    ClickCell(Grid(), 3, dcTarget);
    EXPECT_FALSE(Grid()->IsEditingText());
    EXPECT_EQ(Committed(), DirectionRecords{});
}

TEST_F(TxPage, AttemptsWithoutANumberAreStoredOffButCountAsOn) {
    ChooseFromMenu(13);
    NoPort();
    GsmOn(13);
    ClickCell(Grid(), 0, dcAttempts);
    PickInList(Editor("bxGrTryCnt"), 3);
    TypeIntoCell(Grid(), 0, dcTarget, QString());
    EXPECT_EQ(Row(0), (QStringList{"3", "1,2", "Voice", {}}));
    // The write asks nothing: the row counts as on. Its record goes out as off.
    QTest::mouseClick(Find<QPushButton>(QStringLiteral("ButtonWrite")), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Link().Busy(); }, 30'000));
    for (const auto& shown : dialogs.shown) {
        EXPECT_NE(shown.caption, QStringLiteral("Программатор")) << shown.text.toStdString();
    }
    EXPECT_EQ(window->StatusText(), QStringLiteral("Ошибка порта"));
    EXPECT_EQ(state.GsmFrame[8], 0);
    EXPECT_EQ(ReadDirectionRecords(state.GsmFrame), DirectionRecords{});
}

TEST_F(TxPage, SettingsByteFFShowsTheClampedEntries) {
    ChooseFromMenu(13);
    state.device->SetParam(prmDevTX, 2);
    ResetGsmFrame(state.GsmFrame);
    WriteDirectionRecords(state.GsmFrame, {DirectionRecord{true, 0xFF, "+7900"}, {}, {}, {}, {}});
    window->RefreshControls();
    EXPECT_EQ(Row(0), (QStringList{"5", "1,2", "Voice", "+7900"}));
    // Committed as shown.
    EXPECT_EQ(Committed()[0], (DirectionRecord{true, 0xA0, "+7900"}));
}

TEST_F(TxPage, DraggedRowBecomesTheFirstRecord) {
    ChooseFromMenu(11);
    state.device->SetGsmConnected(true);
    ResetGsmFrame(state.GsmFrame);
    WriteDirectionRecords(state.GsmFrame, {DirectionRecord{true, 0x22, "first.example:1"},
                                           DirectionRecord{true, 0x20, "+111111"},
                                           DirectionRecord{true, 0x23, "third.example:3"},
                                           {},
                                           {}});
    window->RefreshControls();
    DragCell(Grid(), 2, 0);
    EXPECT_EQ(CellText(Grid(), 0, dcNumber), QStringLiteral("3"));
    const DirectionRecords records = Committed();
    EXPECT_EQ(records[0], (DirectionRecord{true, 0x23, "third.example:3"}));
    EXPECT_EQ(records[1], (DirectionRecord{true, 0x22, "first.example:1"}));
    EXPECT_EQ(records[2], (DirectionRecord{true, 0x20, "+111111"}));
}

TEST_F(TxPage, DeviceNumberBeingTypedIsCommitted) {
    ChooseFromMenu(11);
    GsmOn(11);
    auto* number = Find<QLineEdit>(QStringLiteral("medtDevNum"));
    Click(number);
    number->selectAll();
    QTest::keyClicks(number, QStringLiteral("0815"));
    // Still in the field: the commit step takes it all the same.
    ASSERT_TRUE(window->UpdateAllTXBuffers());
    EXPECT_EQ(GetDeviceNumber(state.GsmFrame), 815);
}

// ---------------------------------------------------------------------------------------------
// SMS and GPRS lists.

TEST_F(TxPage, SmsListOfAnEightZonePanel) {
    ChooseFromMenu(13);
    GsmOn(13);
    auto* on = Find<QCheckBox>(QStringLiteral("chkSMS_On"));
    // Checking it opens the emptied list; a number is entered and saved.
    SmsRecord old{1, 0, 0x11, 0x11, 0x11, 0x11, 0x11, 0xFF, 0xFF, 0xFF};
    WriteSmsRecords(state.SmsFrame, std::vector<SmsRecord>{old}, 8);
    dialogs.dialogSteps.push_back([](QDialog& dialog) {
        auto& form = dynamic_cast<TFrmSMS&>(dialog);
        EXPECT_EQ(form.windowTitle(), QStringLiteral("SMS"));
        EXPECT_EQ(form.Grid()->rowCount(), 8);
        EXPECT_EQ(CellText(form.Grid(), 0, sms::kColType), QStringLiteral("Выключено"));
        ClickCell(form.Grid(), 0, sms::kColType);
        PickInList(form.Grid()->Editor(CellEditor::SmsType), 2);
        ClickCell(form.Grid(), 0, sms::kColPartition);
        PickInList(form.Grid()->Editor(CellEditor::Partition), 3);
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("btnSaveExit")), Qt::LeftButton);
    });
    Click(on);
    EXPECT_EQ(dialogs.execs, 1);
    EXPECT_TRUE(on->isChecked());
    EXPECT_TRUE(Shown("btnSMS_Show"));
    EXPECT_TRUE(GetSmsFlag(state.GsmFrame));
    const auto records = ReadSmsRecords(state.SmsFrame, 8);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0][0], 2);
    EXPECT_EQ(records[0][1], 4);
    EXPECT_EQ(records[0], (SmsRecord{2, 4, 0x97, 0x30, 0x21, 0x43, 0x65, 0xF7, 0xFF, 0xFF}));

    // "Изменить..." shows the list from the frame; switched off there, the box goes off.
    dialogs.dialogSteps.push_back([](QDialog& dialog) {
        auto& form = dynamic_cast<TFrmSMS&>(dialog);
        EXPECT_EQ(CellText(form.Grid(), 0, sms::kColPhone), QStringLiteral("79031234567"));
        ClickCell(form.Grid(), 0, sms::kColType);
        PickInList(form.Grid()->Editor(CellEditor::SmsType), 0);
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("btnSaveExit")), Qt::LeftButton);
    });
    Click(Find<QPushButton>(QStringLiteral("btnSMS_Show")));
    EXPECT_FALSE(on->isChecked());
    EXPECT_FALSE(Shown("btnSMS_Show"));
    EXPECT_FALSE(GetSmsFlag(state.GsmFrame));
}

TEST_F(TxPage, SmsListLeftWithEscapeWhileEmptyGoesOff) {
    ChooseFromMenu(11);
    GsmOn(11);
    dialogs.dialogSteps.push_back([](QDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); });
    Click(Find<QCheckBox>(QStringLiteral("chkSMS_On")));
    EXPECT_FALSE(Find<QCheckBox>(QStringLiteral("chkSMS_On"))->isChecked());
    EXPECT_FALSE(GetSmsFlag(state.GsmFrame));
    EXPECT_FALSE(Shown("btnSMS_Show"));
}

TEST_F(TxPage, SmsListOfTheRetranslator) {
    ChooseFromMenu(15);
    GsmOn(15);
    auto* ret = dynamic_cast<TDV15_Ret*>(state.device.get());
    auto* on = Find<QCheckBox>(QStringLiteral("chkSMS_On"));
    dialogs.dialogSteps.push_back([](QDialog& dialog) {
        auto& form = dynamic_cast<TFrmSMS2&>(dialog);
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Передача SMS"));
        EXPECT_EQ(form.Grid()->rowCount(), 40);
        ClickCell(form.Grid(), 0, sms::kColType);
        PickInList(form.Grid()->Editor(CellEditor::SmsType), 1);
        ClickCell(form.Grid(), 0, sms::kColPartition);
        PickInList(form.Grid()->Editor(CellEditor::Source), 7);
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("btnSaveExit")), Qt::LeftButton);
    });
    Click(on);
    EXPECT_TRUE(on->isChecked());
    EXPECT_TRUE(GetSmsFlag(state.GsmFrame));
    EXPECT_EQ(ret->Sms().Count(), 1);
    EXPECT_EQ(ret->Sms().Record(1)[0], 1);
    EXPECT_EQ(ret->Sms().Record(1)[1], 7);

    // Edits left with Escape reach neither the list nor the next write or save.
    dialogs.dialogSteps.push_back([](QDialog& dialog) {
        auto& form = dynamic_cast<TFrmSMS2&>(dialog);
        ClickCell(form.Grid(), 0, sms::kColPartition);
        PickInList(form.Grid()->Editor(CellEditor::Source), 33);
        ClickCell(form.Grid(), 1, sms::kColType);
        PickInList(form.Grid()->Editor(CellEditor::SmsType), 2);
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    Click(Find<QPushButton>(QStringLiteral("btnSMS_Show")));
    ASSERT_TRUE(window->UpdateAllTXBuffers());
    EXPECT_EQ(ret->Sms().Count(), 1);
    EXPECT_EQ(ret->Sms().Record(1)[1], 7);

    // The button shows the device's list.
    dialogs.dialogSteps.push_back([](QDialog& dialog) {
        auto& form = dynamic_cast<TFrmSMS2&>(dialog);
        EXPECT_EQ(CellText(form.Grid(), 0, sms::kColPartition), QStringLiteral("Об.№7"));
        EXPECT_EQ(CellText(form.Grid(), 1, sms::kColType), QStringLiteral("Выключено"));
        dialog.accept();
    });
    Click(Find<QPushButton>(QStringLiteral("btnSMS_Show")));
    EXPECT_TRUE(on->isChecked());
    EXPECT_EQ(ret->Sms().Count(), 1);

    // Unchecked, the retranslator's list is cleared.
    Click(on);
    EXPECT_FALSE(GetSmsFlag(state.GsmFrame));
    EXPECT_EQ(ret->Sms().Count(), 0);
    EXPECT_EQ(dialogs.execs, 3);
}

TEST_F(TxPage, GprsSettingsStartFromThePresetAndTheButtonShowsTheFrame) {
    ChooseFromMenu(5);
    GsmOn(5);
    auto* use = Find<QCheckBox>(QStringLiteral("chkUseGPRScfg"));
    state.Gprs.SetApn(0, "left.over");
    dialogs.dialogSteps.push_back([](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Параметры GPRS"));
        auto* apn1 = dialog.findChild<QLineEdit*>(QStringLiteral("edtAPN1"));
        auto* apn2 = dialog.findChild<QLineEdit*>(QStringLiteral("edtAPN2"));
        const QString preset = ToQ(GprsPresets[0].apn);
        EXPECT_EQ(apn1->text(), preset);
        EXPECT_EQ(apn2->text(), preset);
        EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("edtUser1"))->text(),
                  QStringLiteral("qirvost"));
        apn1->setFocus();
        apn1->selectAll();
        QTest::keyClicks(apn1, QStringLiteral("internet.test"));
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btnSave")), Qt::LeftButton);
    });
    Click(use);
    EXPECT_TRUE(use->isChecked());
    EXPECT_TRUE(GetGprsFlag(state.GsmFrame));
    EXPECT_TRUE(Shown("btnGPRS"));
    GprsModel saved;
    saved.FillFromFrame(state.GprsFrame);
    EXPECT_EQ(saved.Sim(0).apn, "internet.test");

    // The model changes behind the dialog's back; the button shows the frame.
    state.Gprs.SetApn(0, "elsewhere");
    dialogs.dialogSteps.push_back([](QDialog& dialog) {
        EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("edtAPN1"))->text(),
                  QStringLiteral("internet.test"));
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btnSave")), Qt::LeftButton);
    });
    Click(Find<QPushButton>(QStringLiteral("btnGPRS")));
    EXPECT_EQ(dialogs.execs, 2);

    Click(use);
    EXPECT_FALSE(GetGprsFlag(state.GsmFrame));
    EXPECT_FALSE(Shown("btnGPRS"));
    EXPECT_EQ(dialogs.execs, 2);
}

TEST_F(TxPage, ListBoxesFollowTheFrameFlags) {
    ChooseFromMenu(15);
    GsmOn(15);
    auto* ret = dynamic_cast<TDV15_Ret*>(state.device.get());
    ret->Sms().SetRecord(1, SmsRecord{1, 0, 0x97, 0x30, 0x21, 0x43, 0x65, 0xF7, 0xFF, 0xFF});
    SetSmsFlag(state.GsmFrame, true);
    SetGprsFlag(state.GsmFrame, true);
    window->RefreshControls();
    // Set on from the frame: no dialog opens, the buttons show.
    EXPECT_EQ(dialogs.execs, 0);
    EXPECT_TRUE(Find<QCheckBox>(QStringLiteral("chkSMS_On"))->isChecked());
    EXPECT_TRUE(Find<QCheckBox>(QStringLiteral("chkUseGPRScfg"))->isChecked());
    EXPECT_TRUE(Shown("btnSMS_Show"));
    EXPECT_TRUE(Shown("btnGPRS"));
    EXPECT_EQ(ret->Sms().Count(), 1);
    // Going off from the frame runs the box's handler: the retranslator's list goes with it.
    SetSmsFlag(state.GsmFrame, false);
    SetGprsFlag(state.GsmFrame, false);
    window->RefreshControls();
    EXPECT_FALSE(Find<QCheckBox>(QStringLiteral("chkSMS_On"))->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(QStringLiteral("chkUseGPRScfg"))->isChecked());
    EXPECT_FALSE(Shown("btnSMS_Show"));
    EXPECT_FALSE(Shown("btnGPRS"));
    EXPECT_EQ(ret->Sms().Count(), 0);
    EXPECT_EQ(dialogs.execs, 0);
}

// ---------------------------------------------------------------------------------------------
// The directions file.

TEST_F(TxPage, SavingWithoutADirectionWritesNothing) {
    ChooseFromMenu(13);
    GsmOn(13);
    Click(Find<QToolButton>(QStringLiteral("btnGSMFileSave")));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, MsgKind::Warning);
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Запись на диск"));
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Ни одно направление не задано.\r\nЗапись невозможна"));
    EXPECT_TRUE(dialogs.fileDialogs.empty());
    EXPECT_TRUE(window->FileName().isEmpty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(TxPage, SavedDirectionsLoadBack) {
    ChooseFromMenu(11);
    GsmOn(11);
    settings->Store(QStringLiteral("filepath"), dir.path());
    Direction(0, 2, QStringLiteral("8(903)111-22-33"));
    ClickCell(Grid(), 2, dcAttempts);
    PickInList(Editor("bxGrTryCnt"), 5);
    ClickCell(Grid(), 2, dcProtocol);
    PickInList(Editor("bxGrType"), 2);
    EXPECT_EQ(Row(2), (QStringList{"5", "1,2", "Pro-Net", "127.0.0.1:24333"}));

    dialogs.fileNames.push_back(Temp(QStringLiteral("dirs")));
    Click(Find<QToolButton>(QStringLiteral("btnGSMFileSave")));
    EXPECT_TRUE(dialogs.shown.empty());
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    // The configuration file's dialog, caption included.
    EXPECT_EQ(dialogs.fileDialogs[0].title, QStringLiteral("Сохранить настройки прибора в файл"));
    EXPECT_EQ(dialogs.fileDialogs[0].directory, dir.path());
    EXPECT_EQ(dialogs.fileDialogs[0].defaultSuffix, QStringLiteral("cf8"));
    const QString saved = Temp(QStringLiteral("dirs.cf8"));
    ASSERT_TRUE(QFile::exists(saved));
    EXPECT_EQ(window->FileName(), saved);
    // The directions alone were saved: the configuration's edits stay marked.
    EXPECT_EQ(window->windowTitle(), QStringLiteral("*") + QDir::toNativeSeparators(saved) +
                                         QStringLiteral(" : Программатор ППКОП"));
    EXPECT_EQ(window->StatusText(), QStringLiteral("Файл сохранен: ") + QDir::toNativeSeparators(saved));
    EXPECT_EQ(settings->Stored(QStringLiteral("filepath")),
              QDir::toNativeSeparators(QFileInfo(saved).absolutePath() + QLatin1Char('/')));
    const DirectionRecords written = ReadDirectionRecords(state.GsmFrame);
    EXPECT_EQ(written[0], (DirectionRecord{true, 0x40, "+89031112233"}));
    EXPECT_EQ(written[2], (DirectionRecord{true, 0xA2, "127.0.0.1:24333"}));

    // Another table, then the file again: its directions replace the table, nothing else moves.
    Click(Find<QCheckBox>(QStringLiteral("chkCNC_TxGSM")));
    Click(Find<QCheckBox>(QStringLiteral("chkCNC_TxGSM")));
    SetDeviceNumber(state.GsmFrame, 42);
    window->RefreshControls();
    EXPECT_EQ(Row(0), (QStringList{kOff, {}, {}, {}}));
    dialogs.fileNames.push_back(saved);
    window->setWindowTitle(QStringLiteral("before"));
    Click(Find<QToolButton>(QStringLiteral("btnGSMFileLoad")));
    EXPECT_TRUE(dialogs.shown.empty());
    ASSERT_EQ(dialogs.fileDialogs.size(), 2u);
    EXPECT_EQ(dialogs.fileDialogs[1].title, QStringLiteral("Открыть файл конфигурации"));
    EXPECT_EQ(window->StatusText(), QStringLiteral("Файл GSM направлений открыт"));
    EXPECT_EQ(Row(0), (QStringList{"2", "1,2", "Voice", "+89031112233"}));
    EXPECT_EQ(Row(1), (QStringList{kOff, {}, {}, {}}));
    EXPECT_EQ(Row(2), (QStringList{"5", "1,2", "Pro-Net", "127.0.0.1:24333"}));
    EXPECT_EQ(ReadDirectionRecords(state.GsmFrame), written);
    EXPECT_EQ(GetDeviceNumber(state.GsmFrame), 42);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("before"));
    EXPECT_EQ(window->FileName(), saved);

    // The name is the current file's: "Сохранить" writes the whole configuration there.
    window->FileSaveClick();
    TProgramState reread;
    EXPECT_TRUE(ReadConfigFile(reread, QFile::encodeName(saved).toStdString()));
    ASSERT_TRUE(reread.device);
    EXPECT_EQ(reread.device->DevType, 11);
}

TEST_F(TxPage, ConfigurationFilesAsDirectionFiles) {
    // A panel without GSM saved as a configuration file has no directions to give.
    ChooseFromMenu(10);
    dialogs.fileNames.push_back(Temp(QStringLiteral("plain.cf8")));
    window->FileSaveAsClick();
    // One with GSM has.
    ChooseFromMenu(5);
    GsmOn(5);
    Direction(1, 1, QStringLiteral("+79990000001"));
    dialogs.fileNames.push_back(Temp(QStringLiteral("five.cf8")));
    window->FileSaveAsClick();
    ASSERT_TRUE(QFile::exists(Temp(QStringLiteral("five.cf8"))));

    ChooseFromMenu(13);
    GsmOn(13);
    const FrameBuffer before = state.GsmFrame;
    dialogs.fileNames.push_back(Temp(QStringLiteral("plain.cf8")));
    window->setWindowTitle(QStringLiteral("unchanged"));
    Click(Find<QToolButton>(QStringLiteral("btnGSMFileLoad")));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, MsgKind::Error);
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Ошибка чтения файла"));
    EXPECT_EQ(dialogs.shown[0].text,
              QStringLiteral("В конфигурации отсутствует информация о направлениях передачи по GSM"));
    EXPECT_EQ(state.GsmFrame, before);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("unchanged"));

    dialogs.fileNames.push_back(Temp(QStringLiteral("five.cf8")));
    Click(Find<QToolButton>(QStringLiteral("btnGSMFileLoad")));
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(Row(1), (QStringList{"1", "1,2", "Voice", "+79990000001"}));
    EXPECT_EQ(state.device->DevType, 13);
}

// ---------------------------------------------------------------------------------------------
// GPRS on without an APN: the panel cannot take it and nothing is written; a file keeps it.

enum class Command { Write, SaveAs, DirectionsFile };

void PrintTo(Command c, std::ostream* os) {
    *os << (c == Command::Write ? "Write" : c == Command::SaveAs ? "SaveAs" : "DirectionsFile");
}

class NoApn : public TxPage, public ::testing::WithParamInterface<Command> {};

TEST_P(NoApn, RefusedForThePanelKeptInFiles) {
    ChooseFromMenu(11);
    NoPort();
    GsmOn(11);
    Direction(0, 1, QStringLiteral("+79991234567"));
    ASSERT_TRUE(window->UpdateAllTXBuffers());
    dialogs.dialogSteps.push_back([](QDialog& dialog) {
        for (const char* name : {"edtAPN1", "edtAPN2"}) {
            auto* apn = dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
            apn->setFocus();
            apn->selectAll();
            QTest::keyClick(apn, Qt::Key_Backspace);
        }
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btnSave")), Qt::LeftButton);
    });
    Click(Find<QCheckBox>(QStringLiteral("chkUseGPRScfg")));
    ASSERT_TRUE(GetGprsFlag(state.GsmFrame));
    const FrameBuffer gsm = state.GsmFrame;
    const QString file = Temp(QStringLiteral("no-apn.cf8"));

    switch (GetParam()) {
    case Command::Write: {
        QTest::mouseClick(Find<QPushButton>(QStringLiteral("ButtonWrite")), Qt::LeftButton);
        EXPECT_FALSE(window->Link().Busy());
        EXPECT_TRUE(window->StatusText().isEmpty()); // no transaction started
        EXPECT_TRUE(Find<QPushButton>(QStringLiteral("ButtonWrite"))->isEnabled());
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Параметры GPRS"));
        EXPECT_EQ(dialogs.shown[0].text, ToQ(gprs::kNoApnText));
        EXPECT_EQ(state.GsmFrame, gsm);
        return;
    }
    case Command::SaveAs:
        dialogs.fileNames.push_back(file);
        window->FileSaveAsClick();
        break;
    case Command::DirectionsFile:
        dialogs.fileNames.push_back(file);
        Click(Find<QToolButton>(QStringLiteral("btnGSMFileSave")));
        break;
    }
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(window->FileName(), file);
    TProgramState back;
    ASSERT_TRUE(GetParam() == Command::SaveAs ? ReadConfigFile(back, file.toStdString())
                                              : ReadGsmDirectionsFile(back, file.toStdString()));
    EXPECT_EQ(ReadDirectionRecords(back.GsmFrame), ReadDirectionRecords(state.GsmFrame));
    if (GetParam() == Command::SaveAs) {
        EXPECT_TRUE(GetGprsFlag(back.GsmFrame));
        EXPECT_FALSE(back.Gprs.HasApn());
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, NoApn,
                         ::testing::Values(Command::Write, Command::SaveAs, Command::DirectionsFile),
                         [](const ::testing::TestParamInfo<Command>& info) {
                             switch (info.param) {
                             case Command::Write:
                                 return std::string("Write");
                             case Command::SaveAs:
                                 return std::string("SaveAs");
                             case Command::DirectionsFile:
                                 return std::string("DirectionsFile");
                             }
                             return std::string();
                         });

// ---------------------------------------------------------------------------------------------
// Picking again the item a combo already shows changes nothing: not the device, not the GSM
// frames, not what the pages show.

struct Step {
    enum Kind { Choose, ChooseIndex, Type, Click, Direction } kind;
    const char* name;
    const char* value;
};

struct RepickCase {
    const char* name;
    int type;
    std::vector<Step> steps; // the edits that a handler run in vain would throw away
    const char* combo;       // picked again
};

std::ostream& operator<<(std::ostream& os, const RepickCase& c) {
    return os << c.name;
}

class RepickShownItem : public TxPage, public ::testing::WithParamInterface<RepickCase> {
protected:
    struct Snapshot {
        std::vector<Byte> payload;
        FrameBuffer gsm;
        FrameBuffer gprs;
        std::map<std::string, std::string> shown; // objectName: value
    };
    // The committed configuration and every named control's value.
    Snapshot Take() {
        EXPECT_TRUE(window->UpdateAllTXBuffers());
        const auto payload = state.device->PayloadBytes();
        Snapshot s{{payload.begin(), payload.end()}, state.GsmFrame, state.GprsFrame, {}};
        for (const QComboBox* c : window->findChildren<QComboBox*>()) {
            s.shown[c->objectName().toStdString()] = c->currentText().toStdString();
        }
        for (const QLineEdit* e : window->findChildren<QLineEdit*>()) {
            s.shown[e->objectName().toStdString()] = e->text().toStdString();
        }
        for (const QCheckBox* b : window->findChildren<QCheckBox*>()) {
            s.shown[b->objectName().toStdString()] = b->isChecked() ? "on" : "off";
        }
        s.shown.erase(std::string());
        return s;
    }
};

TEST_P(RepickShownItem, KeepsTheData) {
    const RepickCase& c = GetParam();
    ChooseFromMenu(static_cast<Byte>(c.type));
    NoPort();
    for (const Step& step : c.steps) {
        const QString name = QString::fromLatin1(step.name);
        switch (step.kind) {
        case Step::Choose:
            ChooseText(Find<QComboBox>(name), QString::fromUtf8(step.value));
            break;
        case Step::ChooseIndex:
            Choose(Find<QComboBox>(name), QString::fromLatin1(step.value).toInt());
            break;
        case Step::Type:
            TypeAndLeave(Find<QLineEdit>(name), QString::fromLatin1(step.value));
            break;
        case Step::Click:
            Click(Find<QCheckBox>(name));
            break;
        case Step::Direction:
            Direction(QString::fromLatin1(step.value).toInt(), 2, QStringLiteral("+79991234567"));
            break;
        }
    }
    const Snapshot before = Take();
    auto* combo = Find<QComboBox>(QString::fromLatin1(c.combo));
    Choose(combo, combo->currentIndex());
    const Snapshot after = Take();
    EXPECT_EQ(after.payload, before.payload);
    EXPECT_EQ(after.gsm, before.gsm);
    EXPECT_EQ(after.gprs, before.gprs);
    EXPECT_EQ(after.shown, before.shown);
}

INSTANTIATE_TEST_SUITE_P(Combos, RepickShownItem,
                         ::testing::Values(RepickCase{"TransmitterKindGsm",
                                                      13,
                                                      {{Step::Choose, "bxRTX_Type", "GSM-ORV"},
                                                       {Step::Direction, "grdG1", "1"},
                                                       {Step::Click, "chkUseGPRScfg", ""}},
                                                      "bxRTX_Type"},
                                           RepickCase{"ZoneTypeDoor",
                                                      13,
                                                      {{Step::Choose, "FShlfType1", "Дверной"},
                                                       {Step::Type, "edtDelayIn1", "45"},
                                                       {Step::Type, "edtDelayOut1", "12"},
                                                       {Step::ChooseIndex, "cbbEvOP8Ev1", "5"},
                                                       {Step::Click, "chkShlfRearm1", ""}},
                                                      "FShlfType1"},
                                           RepickCase{"KeypadZoneType",
                                                      6,
                                                      {{Step::Choose, "cbbKP2Tactic1", "Тревожный"},
                                                       {Step::ChooseIndex, "cbbEvKP2_1", "9"}},
                                                      "cbbKP2Tactic1"},
                                           RepickCase{"RetranslatorZoneType",
                                                      15,
                                                      {{Step::Choose, "cbbRetShlfType2", "Тихий тревожный"},
                                                       {Step::ChooseIndex, "cmbvShlfEvent2", "7"}},
                                                      "cbbRetShlfType2"},
                                           RepickCase{"RetranslatorMode",
                                                      15,
                                                      {{Step::Choose, "cbbRetTxMode", "Mirel-420"},
                                                       {Step::Click, "chkRetTx485", ""},
                                                       {Step::Choose, "cbbRetLiterTX", "25"}},
                                                      "cbbRetTxMode"}),
                         [](const ::testing::TestParamInfo<RepickCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
