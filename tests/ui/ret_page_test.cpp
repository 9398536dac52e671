// The retranslator's pages "RET_32" and "Шлейфы", its objects dialog from the page and its
// transmission page.
#include "support/case_names.h"
#include "window_fixture.h"

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "ui/dialogs/form_obj.h"
#include "ui/dialogs/form_sms2.h"
#include "ui/dialogs/form_tx_num.h"
#include "ui/widgets.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

using namespace orv;
using namespace orv::test;

namespace {

using orv::test::NamedBy;
using orv::test::NumberedBy;

class RetPage : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ChooseFromMenu(15);
        ret = dynamic_cast<TDV15_Ret*>(state.device.get());
        ASSERT_NE(ret, nullptr);
    }
    QComboBox* Combo(const char* name) const { return Find<QComboBox>(QString::fromLatin1(name)); }
    QCheckBox* Box(const char* name) const { return Find<QCheckBox>(QString::fromLatin1(name)); }
    QLineEdit* Edit(const char* name) const { return Find<QLineEdit>(QString::fromLatin1(name)); }
    bool Shown(const char* name) const { return ShownOnPage(Find<QWidget>(QString::fromLatin1(name))); }
    QStringList Items(QComboBox* combo) const {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) {
            items << combo->itemText(i);
        }
        return items;
    }
    // Gives a control the focus and takes it away again, as a user passing through does.
    void Leave(QWidget* widget) {
        Focus(widget);
        Find<QPushButton>(QStringLiteral("ButtonRead"))->setFocus();
        QApplication::processEvents();
    }
    // Types into an editable combo and leaves it by moving the focus on.
    void TypeInto(QComboBox* combo, const QString& text) {
        Focus(combo);
        combo->lineEdit()->selectAll();
        QTest::keyClick(combo->lineEdit(), Qt::Key_Backspace);
        TypeKeys(combo->lineEdit(), text);
        Find<QPushButton>(QStringLiteral("ButtonRead"))->setFocus();
        QApplication::processEvents();
    }

    TDV15_Ret* ret = nullptr;
};

TEST_F(RetPage, FreshRetranslator) {
    auto* tabs = Find<QTabWidget>(QStringLiteral("PageMain"));
    EXPECT_EQ(tabs->currentWidget()->objectName(), QStringLiteral("tsRetTk"));
    EXPECT_EQ(tabs->tabText(tabs->currentIndex()), QStringLiteral("RET_32"));

    auto* type1 = Combo("cbbRetShlfType1");
    auto* type2 = Combo("cbbRetShlfType2");
    auto* event1 = Find<TComboboxEvent>(QStringLiteral("cmbvShlfEvent1"));
    auto* event2 = Find<TComboboxEvent>(QStringLiteral("cmbvShlfEvent2"));
    EXPECT_EQ(type1->count(), 8);
    EXPECT_EQ(event1->count(), 178); // without the hidden entries
    EXPECT_EQ(type1->currentIndex(), 3);
    EXPECT_EQ(type1->currentText(), QStringLiteral("Пожарный"));
    EXPECT_EQ(event1->currentText(), QStringLiteral("ПОЖАР - 110"));
    EXPECT_EQ(type2->currentIndex(), 7);
    EXPECT_EQ(event2->currentText(), QStringLiteral("ВХОД/ВЫХОД - 134"));
    EXPECT_TRUE(event1->isEnabled());
    EXPECT_TRUE(event2->isEnabled());
    EXPECT_EQ(Edit("edtRetDelIn")->text(), QStringLiteral("30"));
    EXPECT_EQ(Edit("edtRetDelOut")->text(), QStringLiteral("30"));
    EXPECT_FALSE(Box("chkLockAlrm")->isChecked());

    EXPECT_EQ(Items(Combo("cbbRetLiterRX")), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_EQ(Combo("cbbRetLiterRX")->currentText(), QStringLiteral("1"));
    EXPECT_EQ(Items(Combo("cbbRetTxMode")), (QStringList{"Выключено", "Mirel-410", "Mirel-420", "ТерсАн"}));
    EXPECT_EQ(Combo("cbbRetTxMode")->currentText(), QStringLiteral("Mirel-410"));
    EXPECT_EQ(Combo("cbbRetLiterTX")->currentText(), QStringLiteral("1"));
    EXPECT_EQ(Combo("cbbTOKNS")->currentText(), QStringLiteral("24"));
    EXPECT_EQ(Combo("cbbTOLN")->currentText(), QStringLiteral("40"));
    EXPECT_EQ(Combo("cbbRetReleAlarmCfg")->currentText(), QStringLiteral("До сброса"));
    EXPECT_EQ(Combo("cbbRetReleFireCfg")->currentText(), QStringLiteral("До сброса"));
    EXPECT_EQ(Find<QPushButton>(QStringLiteral("btnRetObj"))->text(), QStringLiteral("Объектов: 0"));
    for (const char* name :
         {"chkRetIndTxTM", "chkRetIndTxLed", "chkRetBuzOn", "chkRetKnsDelay", "chkRetActivateRele"}) {
        EXPECT_TRUE(Box(name)->isChecked()) << name;
    }
    EXPECT_FALSE(Box("chkRetReleFireCtr")->isChecked());
    EXPECT_FALSE(Box("chkRetTx485")->isChecked());
    EXPECT_TRUE(Shown("chkRetTx485"));
    EXPECT_EQ(Box("chkRetTx485")->toolTip(),
              QStringLiteral("Передавать приём сигнала на RS-485\r\nДля подключения к пульту или БВИ"));
    EXPECT_EQ(Box("chkRetIndTxTM")->toolTip(),
              QStringLiteral("Изменять состояние светодиода\r\nпри приёме телеграммы от обученного объекта"));
    EXPECT_FALSE(Box("chkRetKnsDelay")->toolTip().isEmpty());
    EXPECT_FALSE(Box("chkRetActivateRele")->toolTip().isEmpty());

    // The transmission page of the retranslator.
    EXPECT_FALSE(Shown("bxRTX_Type"));
    EXPECT_FALSE(Shown("lblRTX_Type"));
    EXPECT_FALSE(Shown("chkCNC_TxTD"));
    EXPECT_FALSE(Shown("chkOP8V4_DsgrdBySMS"));
    EXPECT_TRUE(Shown("chkCNC_TxGSM"));
    EXPECT_FALSE(Box("chkCNC_TxGSM")->isChecked());
    EXPECT_FALSE(Shown("grdG1"));
}

TEST_F(RetPage, ModeChangeRebuildsTheLiterListAndLeavesTheLiterToTheCombo) {
    ret->SetTxMode(2);
    ret->SetLiterTX(25);
    ret->SetTx485(true);
    window->RefreshControls();
    auto* mode = Combo("cbbRetTxMode");
    auto* liter = Combo("cbbRetLiterTX");
    EXPECT_EQ(liter->count(), 30);
    EXPECT_EQ(liter->currentText(), QStringLiteral("25"));
    EXPECT_TRUE(Box("chkRetTx485")->isChecked());

    ChooseText(mode, QStringLiteral("Mirel-410"));
    EXPECT_EQ(Items(liter), (QStringList{"1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_EQ(liter->currentText(), QStringLiteral("1"));
    EXPECT_EQ(ret->GetTxMode(), 1);
    EXPECT_FALSE(ret->GetTx485());
    EXPECT_FALSE(Box("chkRetTx485")->isChecked());
    EXPECT_EQ(ret->GetLiterTX(), 25); // not yet
    Leave(liter);
    EXPECT_EQ(ret->GetLiterTX(), 1);

    // Choosing another liter is stored when the combo is left.
    ChooseText(liter, QStringLiteral("6"));
    Leave(liter);
    EXPECT_EQ(ret->GetLiterTX(), 6);
    Click(Box("chkRetTx485"));
    EXPECT_TRUE(ret->GetTx485());
    EXPECT_EQ(ret->GetTxMode(), 1);
}

struct ModeCase {
    int mode;
    int liters; // -1: liter combo and label hidden
    bool rs485;
};

void PrintTo(const ModeCase& c, std::ostream* os) {
    *os << "mode " << c.mode;
}

class RetModes : public RetPage, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(RetModes, WhatEachModeShows) {
    const ModeCase& c = GetParam();
    // From every other mode, with the duplicate checked.
    for (int from = 0; from < 4; ++from) {
        if (from == c.mode) {
            continue;
        }
        ret->SetTxByte(static_cast<Byte>(0x80 | from));
        window->RefreshControls();
        Choose(Combo("cbbRetTxMode"), c.mode);
        EXPECT_EQ(ret->GetTxByte(), c.mode) << from; // mode stored, duplicate cleared
        EXPECT_EQ(Shown("cbbRetLiterTX"), c.liters >= 0);
        EXPECT_EQ(Shown("lblRetLiterTX"), c.liters >= 0);
        EXPECT_EQ(Shown("chkRetTx485"), c.rs485);
        if (c.liters >= 0) {
            EXPECT_EQ(Combo("cbbRetLiterTX")->count(), c.liters);
            EXPECT_EQ(Combo("cbbRetLiterTX")->currentIndex(), 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryMode, RetModes,
                         ::testing::Values(ModeCase{0, -1, true}, ModeCase{1, 8, true}, ModeCase{2, 30, true},
                                           ModeCase{3, -1, false}),
                         NamedBy([](const ModeCase& c) { return "Mode" + std::to_string(c.mode); }));

TEST_F(RetPage, LiterWithoutAListIsStoredAsZero) {
    ret->SetTxMode(1);
    window->RefreshControls();
    auto* liter = Combo("cbbRetLiterTX");
    ChooseText(liter, QStringLiteral("4"));
    Leave(liter);
    EXPECT_EQ(ret->GetLiterTX(), 4);
    // A liter the list does not hold shows no selection; passing through keeps it.
    ret->SetLiterTX(12);
    window->RefreshControls();
    EXPECT_EQ(liter->currentIndex(), -1);
    Leave(liter);
    EXPECT_EQ(ret->GetLiterTX(), 12);
}

struct PeriodCase {
    const char* combo;
    QString typed;
    int stored;
    QString shown;
};

void PrintTo(const PeriodCase& c, std::ostream* os) {
    *os << c.combo << " typed \"" << c.typed.toStdString() << '"';
}

class RetPeriods : public RetPage, public ::testing::WithParamInterface<PeriodCase> {};

TEST_P(RetPeriods, LeavingStoresTheLimitedValue) {
    const PeriodCase& c = GetParam();
    const bool kns = QByteArray(c.combo) == "cbbTOKNS";
    TypeInto(Combo(c.combo), c.typed);
    EXPECT_EQ(kns ? ret->GetKnsPeriod() : ret->GetStationaryPeriod(), c.stored);
    EXPECT_EQ(Combo(c.combo)->currentText(), c.shown);
    // The other period is left alone.
    EXPECT_EQ(kns ? ret->GetStationaryPeriod() : ret->GetKnsPeriod(), kns ? 40 : 24);
}

INSTANTIATE_TEST_SUITE_P(
    TypedTexts, RetPeriods,
    ::testing::Values(PeriodCase{"cbbTOKNS", "Выкл.", 0, "Выкл."}, PeriodCase{"cbbTOKNS", "abc", 0, "Выкл."},
                      PeriodCase{"cbbTOKNS", "50", 32, "32"}, PeriodCase{"cbbTOKNS", "-4", 32, "32"},
                      PeriodCase{"cbbTOKNS", "16", 16, "16"}, PeriodCase{"cbbTOKNS", "7", 7, "7"},
                      PeriodCase{"cbbTOLN", "150", 99, "99"}, PeriodCase{"cbbTOLN", "x1", 0, "Выкл."},
                      PeriodCase{"cbbTOLN", "99", 99, "99"}, PeriodCase{"cbbTOLN", "0", 0, "0"}),
    NumberedBy([](const PeriodCase& c) { return std::string(c.combo) + "_" + c.typed.toStdString(); }));

TEST_F(RetPage, PeriodsFilledFromTheDevice) {
    ret->SetKnsPeriod(0);
    ret->SetStationaryPeriod(55);
    window->RefreshControls();
    EXPECT_EQ(Combo("cbbTOKNS")->currentText(), QStringLiteral("Выкл."));
    EXPECT_EQ(Combo("cbbTOLN")->currentText(), QStringLiteral("55"));
    // Typed and confirmed with Enter as well.
    auto* kns = Combo("cbbTOKNS");
    Focus(kns);
    kns->lineEdit()->selectAll();
    QTest::keyClicks(kns->lineEdit(), QStringLiteral("28"));
    QTest::keyClick(kns->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(ret->GetKnsPeriod(), 28);
}

// Each box changes its own bit or byte and nothing else.
struct BitCase {
    const char* box;
    int byte;
    Byte mask;
};

void PrintTo(const BitCase& c, std::ostream* os) {
    *os << c.box;
}

class RetBits : public RetPage, public ::testing::WithParamInterface<BitCase> {};

TEST_P(RetBits, OnlyItsOwn) {
    const BitCase& c = GetParam();
    for (Byte start : {Byte{0x00}, Byte{0xFF}, Byte{0x5A}}) {
        if (c.byte == 13 && (start & 0x03) == 3) {
            start &= 0xFE; // "ТерсАн" has no duplicate to show
        }
        ret->SetPayload(c.byte, start);
        window->RefreshControls();
        auto* box = Box(c.box);
        EXPECT_EQ(box->isChecked(), (start & c.mask) != 0) << c.box;
        const auto before = ret->PayloadBytes();
        std::vector<Byte> expected(before.begin(), before.end());
        Click(box);
        expected[static_cast<std::size_t>(c.byte)] = static_cast<Byte>(start ^ c.mask);
        const auto after = ret->PayloadBytes();
        EXPECT_EQ(std::vector<Byte>(after.begin(), after.end()), expected) << c.box << " from " << int(start);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryBox, RetBits,
                         ::testing::Values(BitCase{"chkRetIndTxTM", 11, 0x01},
                                           BitCase{"chkRetIndTxLed", 11, 0x02},
                                           BitCase{"chkRetReleFireCtr", 19, 0x02},
                                           BitCase{"chkRetTx485", 13, 0x80}),
                         NamedBy([](const BitCase& c) { return std::string(c.box); }));

// Boxes over a whole byte: 0 or 1.
TEST_F(RetPage, WholeByteBoxes) {
    const struct {
        const char* box;
        int byte;
    } cases[] = {{"chkRetBuzOn", 0}, {"chkLockAlrm", 1}, {"chkRetKnsDelay", 16}, {"chkRetActivateRele", 17}};
    for (const auto& c : cases) {
        const auto before = ret->PayloadBytes();
        std::vector<Byte> expected(before.begin(), before.end());
        const Byte old = expected[static_cast<std::size_t>(c.byte)];
        Click(Box(c.box));
        expected[static_cast<std::size_t>(c.byte)] = old ? 0 : 1;
        const auto after = ret->PayloadBytes();
        EXPECT_EQ(std::vector<Byte>(after.begin(), after.end()), expected) << c.box;
    }
}

TEST_F(RetPage, RelaysAndReceiveLiter) {
    ChooseText(Combo("cbbRetReleFireCfg"), QStringLiteral("2 минуты"));
    ChooseText(Combo("cbbRetReleAlarmCfg"), QStringLiteral("Прерывисто 2 минуты"));
    EXPECT_EQ(ret->GetParam(prmReleAlarmFire), 0x42);
    EXPECT_EQ(ret->Payload(18), 0x42);
    ChooseText(Combo("cbbRetLiterRX"), QStringLiteral("5"));
    EXPECT_EQ(ret->GetLiterRX(), 5);
    // Filled from the device.
    ret->SetParam(prmReleAlarmFire, 0x51);
    ret->SetLiterRX(8);
    window->RefreshControls();
    EXPECT_EQ(Combo("cbbRetReleAlarmCfg")->currentIndex(), 5);
    EXPECT_EQ(Combo("cbbRetReleFireCfg")->currentIndex(), 1);
    EXPECT_EQ(Combo("cbbRetLiterRX")->currentText(), QStringLiteral("8"));
}

TEST_F(RetPage, ZoneTypesEventsAndDelays) {
    auto* type1 = Combo("cbbRetShlfType1");
    auto* event1 = Find<TComboboxEvent>(QStringLiteral("cmbvShlfEvent1"));
    ChooseText(type1, QStringLiteral("Охранный"));
    EXPECT_EQ(ret->GetZoneType(1), 5);
    EXPECT_EQ(event1->currentText(), QStringLiteral("ПЕРИМЕТР - 131"));
    EXPECT_EQ(ret->GetZoneCID(1), 20);
    ChooseText(event1, QStringLiteral("ТАМПЕР - 137"));
    EXPECT_EQ(ret->GetZoneCID(1), 26);
    ChooseText(type1, QStringLiteral("Отключен"));
    EXPECT_EQ(ret->GetZoneType(1), 0);
    EXPECT_FALSE(event1->isEnabled());
    EXPECT_EQ(ret->GetZoneCID(1), 26); // an off zone keeps its event
    ChooseText(Combo("cbbRetShlfType2"), QStringLiteral("Тревожный"));
    EXPECT_EQ(ret->GetZoneType(2), 1);
    EXPECT_EQ(ret->GetZoneCID(2), 16);

    const struct {
        QString typed;
        QString shown;
        int stored;
    } delays[] = {{"abc", "30", 30}, {"150", "99", 99}, {"-5", "0", 0}, {"45", "45", 45}};
    for (const auto& d : delays) {
        TypeAndLeave(Edit("edtRetDelIn"), d.typed);
        EXPECT_EQ(Edit("edtRetDelIn")->text(), d.shown);
        EXPECT_EQ(ret->GetZoneDelay(0, false), d.stored);
        EXPECT_EQ(ret->Payload(8), d.stored);
    }
    TypeAndLeave(Edit("edtRetDelOut"), QStringLiteral("12"));
    EXPECT_EQ(ret->Payload(7), 12);
    EXPECT_EQ(ret->Payload(8), 45);
}

TEST_F(RetPage, HiddenEventShowsNoSelection) {
    ret->SetZoneCID(2, 123); // code 400, hidden in the shorter list
    window->RefreshControls();
    EXPECT_EQ(Find<TComboboxEvent>(QStringLiteral("cmbvShlfEvent2"))->currentIndex(), -1);
}

TEST_F(RetPage, ObjectsDialogFromThePage) {
    // Four objects through the transmitter number dialog: 1 and 16 on the left, 17 and 32 on the
    // right.
    const struct {
        int row;
        int column;
        const char* hex;
        int type;
    } edits[] = {{0, 1, "1ABCD", 2}, {15, 2, "00001", 1}, {0, 5, "2A5F3", 3}, {15, 6, "3FFFF", 2}};
    dialogs.dialogSteps.push_back([&edits](QDialog& dialog) {
        auto& form = dynamic_cast<TFormObj&>(dialog);
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Объекты"));
        for (const auto& e : edits) {
            ClickCell(form.Grid(), e.row, e.column);
        }
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("btnClose")), Qt::LeftButton);
    });
    for (const auto& e : edits) {
        dialogs.dialogSteps.push_back([e](QDialog& dialog) {
            auto& form = dynamic_cast<TFormTxNum&>(dialog);
            form.findChild<QRadioButton*>(QStringLiteral("rbObjType%1").arg(e.type))->click();
            auto* hex = form.findChild<QLineEdit*>(QStringLiteral("edtHex"));
            hex->setFocus();
            hex->selectAll();
            QTest::keyClicks(hex, QString::fromLatin1(e.hex));
            QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
        });
    }
    Click(Find<QPushButton>(QStringLiteral("btnRetObj")));
    EXPECT_EQ(dialogs.execs, 5);
    EXPECT_TRUE(dialogs.dialogSteps.empty());
    EXPECT_EQ(ret->GetObject(1), (ObjectRecord{0x42, 0xAB, 0xCD}));
    EXPECT_EQ(ret->GetObject(16), (ObjectRecord{0x01, 0x00, 0x01}));
    EXPECT_EQ(ret->GetObject(17), (ObjectRecord{0x83, 0xA5, 0xF3}));
    EXPECT_EQ(ret->GetObject(32), (ObjectRecord{0xC2, 0xFF, 0xFF}));
    EXPECT_EQ(ret->ObjectCount(), 4);
    EXPECT_EQ(Find<QPushButton>(QStringLiteral("btnRetObj"))->text(), QStringLiteral("Объектов: 4"));
}

TEST_F(RetPage, GsmPartOfTheRetranslator) {
    ret->SetGsmConnected(true);
    ret->SetGsmTx(true);
    ret->SetGsmControl(true);
    ResetGsmFrame(state.GsmFrame);
    SetDeviceNumber(state.GsmFrame, 1234);
    SetSmsFlag(state.GsmFrame, true);
    ret->Sms().SetRecord(1, SmsRecord{2, 33, 0x97, 0x30, 0x21, 0x43, 0x65, 0xF7, 0xFF, 0xFF});
    window->RefreshControls();
    EXPECT_TRUE(Box("chkCNC_TxGSM")->isChecked());
    EXPECT_TRUE(Shown("grdG1"));
    EXPECT_EQ(Edit("medtDevNum")->displayText(), QStringLiteral("1234"));
    EXPECT_TRUE(Box("chkGSM_TX")->isChecked());
    EXPECT_TRUE(Shown("chkGSM_TX"));
    EXPECT_TRUE(Box("chkSMS_On")->isChecked());
    EXPECT_TRUE(Shown("btnSMS_Show"));
    dialogs.dialogSteps.push_back([](QDialog& dialog) {
        auto& form = dynamic_cast<TFrmSMS2&>(dialog);
        EXPECT_EQ(CellText(form.Grid(), 0, sms::kColType), QStringLiteral("Тревоги, взятия\\снятия"));
        EXPECT_EQ(CellText(form.Grid(), 0, sms::kColPartition), QStringLiteral("Всё"));
        EXPECT_EQ(CellText(form.Grid(), 0, sms::kColPhone), QStringLiteral("79031234567"));
        dialog.accept();
    });
    Click(Find<QPushButton>(QStringLiteral("btnSMS_Show")));
    EXPECT_EQ(dialogs.execs, 1);
    EXPECT_TRUE(Box("chkSMS_On")->isChecked());

    // Unchecking "GSM-ORV подключен" hides the part and stores it.
    Click(Box("chkCNC_TxGSM"));
    EXPECT_FALSE(ret->GetGsmConnected());
    EXPECT_FALSE(Shown("grdG1"));
    EXPECT_FALSE(Shown("chkGSM_TX"));
    EXPECT_TRUE(ret->GetGsmTx()); // the flags stay as they were
    window->RefreshControls();
    EXPECT_FALSE(Box("chkCNC_TxGSM")->isChecked());
    EXPECT_FALSE(Shown("chkSMS_On"));
}

} // namespace
