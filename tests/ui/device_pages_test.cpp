#include "support/case_names.h"
#include "window_fixture.h"

#include "device/catalogue.h"
#include "ui/exp_mask_dialog.h"
#include "ui/page_outputs.h"
#include "ui/widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

using namespace orv;
using namespace orv::test;

namespace {

using orv::test::NamedBy;
using orv::test::NumberedBy;

// ---------------------------------------------------------------------------------------------
// "Периферия".

TEST_F(WindowTest, RelayNibbles) {
    ChooseFromMenu(10);
    ChooseText(Find<QComboBox>(QStringLiteral("bxReleFire")), QStringLiteral("2 минуты"));
    ChooseText(Find<QComboBox>(QStringLiteral("bxReleAlarm")), QStringLiteral("До сброса"));
    EXPECT_EQ(state.device->GetParam(prmReleAlarmFire), 0x32);
    const Byte ctrl = state.device->GetParam(prmReleCtrlFail);
    ChooseText(Find<QComboBox>(QStringLiteral("bxReleControl")), QStringLiteral("Прерывисто до сброса"));
    EXPECT_EQ(state.device->GetParam(prmReleCtrlFail), (ctrl & 0x0F) | 0x50);
}

TEST_F(WindowTest, LampAndReaderLed) {
    ChooseFromMenu(10);
    ChooseText(Find<QComboBox>(QStringLiteral("bxLampMode")), QStringLiteral("Горит если все разделы взяты"));
    ChooseText(Find<QComboBox>(QStringLiteral("cbbTMLedMode")), QStringLiteral("Горит если взят раздел 8"));
    EXPECT_EQ(state.device->GetParam(prmLampMode), 0x89);
}

TEST_F(WindowTest, SirenTimeIsCheckedWhenLeft) {
    ChooseFromMenu(4);
    auto* edit = Find<QLineEdit>(QStringLiteral("edtSndWrkTime"));
    const struct {
        const char* typed;
        const char* shown;
        int stored;
    } cases[] = {{"0", "1", 1}, {"11", "10", 10}, {"x", "2", 2}, {"7", "7", 7}};
    for (const auto& c : cases) {
        TypeAndLeave(edit, QString::fromLatin1(c.typed));
        EXPECT_EQ(edit->text(), QString::fromLatin1(c.shown)) << c.typed;
        EXPECT_EQ(state.device->GetParam(prmSndWrkTime), c.stored) << c.typed;
    }
}

TEST_F(WindowTest, BitBoxesChangeOnlyTheirBits) {
    ChooseFromMenu(13);
    TDevice& d = *state.device;
    d.SetParam(prmOPsCheck, 0x39);
    d.SetParam(prmSysCFG, 0x00);
    window->RefreshControls();
    Click(Find<QCheckBox>(QStringLiteral("chkExpBox7"))); // "Лампа", bit 7
    EXPECT_EQ(d.GetParam(prmOPsCheck), 0xB9);
    Click(Find<QCheckBox>(QStringLiteral("chkExpBox2"))); // "Реле 4", bit 2
    EXPECT_EQ(d.GetParam(prmOPsCheck), 0xBD);
    Click(Find<QCheckBox>(QStringLiteral("chkTXCID118")));
    EXPECT_EQ(d.GetParam(prmSysCFG), 0x20);
    Click(Find<QCheckBox>(QStringLiteral("chkAttSirenON")));
    EXPECT_EQ(d.GetParam(prmSysCFG), 0x60);
    ChooseText(Find<QComboBox>(QStringLiteral("bxSysPartID")), QStringLiteral("6"));
    EXPECT_EQ(d.GetParam(prmSysCFG), 0x65);
    Click(Find<QCheckBox>(QStringLiteral("chkUseBuzzer")));
    EXPECT_EQ(d.GetParam(prmSysCFG), 0xE5);
}

struct PeriphCase {
    int type;
    bool fire2;
    bool sms;
    bool tmLed;
};

void PrintTo(const PeriphCase& c, std::ostream* os) {
    *os << "type " << c.type;
}

class PeriphVisibility : public WindowTest, public ::testing::WithParamInterface<PeriphCase> {};

TEST_P(PeriphVisibility, PerModel) {
    const auto& c = GetParam();
    ChooseFromMenu(static_cast<Byte>(c.type));
    EXPECT_EQ(!Find<QGroupBox>(QStringLiteral("grpFire2"))->isHidden(), c.fire2);
    EXPECT_EQ(!Find<QCheckBox>(QStringLiteral("chkOP8ReleAlrm"))->isHidden(), c.sms);
    EXPECT_EQ(!Find<QCheckBox>(QStringLiteral("chkOP8ReleFire"))->isHidden(), c.sms);
    EXPECT_EQ(!Find<QCheckBox>(QStringLiteral("chkTM_LED"))->isHidden(), c.tmLed);
}

INSTANTIATE_TEST_SUITE_P(
    EightZone, PeriphVisibility,
    ::testing::Values(PeriphCase{1, false, false, false}, PeriphCase{2, false, false, false},
                      PeriphCase{4, true, false, false}, PeriphCase{10, true, false, true},
                      PeriphCase{12, true, true, false}, PeriphCase{13, true, true, true},
                      PeriphCase{16, true, true, true}),
    NamedBy([](const PeriphCase& c) { return "Type" + std::to_string(c.type); }));

TEST_F(WindowTest, RelaysBySms) {
    ChooseFromMenu(12);
    auto* op8 = dynamic_cast<TDevOP8*>(state.device.get());
    Click(Find<QCheckBox>(QStringLiteral("chkOP8ReleFire")));
    EXPECT_TRUE(op8->GetReleOnGsm(1));
    EXPECT_FALSE(op8->GetReleOnGsm(0));
    Click(Find<QCheckBox>(QStringLiteral("chkOP8ReleAlrm")));
    EXPECT_TRUE(op8->GetReleOnGsm(0));
}

// ---------------------------------------------------------------------------------------------
// "Выходы".

TEST_F(WindowTest, OutputsOneFunctionPerOutput) {
    ChooseFromMenu(16);
    auto* page = static_cast<TPageOutputs*>(window->Page(QStringLiteral("tsOP8xCh")));
    TBoxField* grid = page->BoxField();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->Outputs(), 6);
    EXPECT_EQ(grid->Functions(), 7);
    // Layout and numbering: box (row j, output k) under output k's caption, level with function
    // j's caption, tag j*n + k.
    Find<QTabWidget>(QStringLiteral("PageMain"))->setCurrentWidget(page);
    QApplication::processEvents();
    const auto captionCentre = [page](const QString& text) {
        for (auto* label : page->findChildren<QLabel*>()) {
            if (label->text() == text) {
                return label->geometry().center();
            }
        }
        ADD_FAILURE() << text.toStdString();
        return QPoint();
    };
    const QPoint box = grid->Box(2, 3)->geometry().center();
    EXPECT_NEAR(box.x(), captionCentre(QStringLiteral("Реле3")).x(), 2);
    EXPECT_NEAR(box.y(), captionCentre(QStringLiteral("Пожар")).y(), 2);
    EXPECT_LT(captionCentre(QStringLiteral("Реле3")).y(), captionCentre(QStringLiteral("Неисправность")).y());
    EXPECT_EQ(grid->Box(2, 3)->property("tag").toInt(), 2 * 6 + 3);

    Click(grid->Box(1, 3)); // "Тревога" on "Реле3"
    const TDevice& d = *state.device;
    EXPECT_EQ(d.GetOutput(3), 2);
    EXPECT_EQ(d.GetOutput(2), 0);
    EXPECT_EQ(d.GetOutput(1), 1);
    EXPECT_TRUE(grid->Box(1, 3)->isChecked());
    EXPECT_FALSE(grid->Box(1, 2)->isChecked());
    EXPECT_FALSE(grid->Box(2, 3)->isChecked());
    // Unchecking clears only that bit.
    Click(grid->Box(0, 1));
    EXPECT_EQ(d.GetOutput(1), 0);

    Click(Find<QPushButton>(QStringLiteral("btnO8chDefault")));
    for (int k = 1; k <= 6; ++k) {
        EXPECT_EQ(d.GetOutput(k), 1 << (k - 1)) << k;
        EXPECT_TRUE(grid->Box(k - 1, k)->isChecked()) << k;
    }
}

TEST_F(WindowTest, OutputsGridFollowsTheModel) {
    ChooseFromMenu(17);
    auto* page = static_cast<TPageOutputs*>(window->Page(QStringLiteral("tsOP8xCh")));
    ASSERT_NE(page->BoxField(), nullptr);
    EXPECT_EQ(page->BoxField()->Outputs(), 3);
    EXPECT_EQ(page->BoxField()->Functions(), 4);
    const int boxes = page->findChildren<QCheckBox*>().size();
    EXPECT_EQ(boxes, 12);
    ChooseFromMenu(11);
    EXPECT_EQ(page->BoxField(), nullptr);
    EXPECT_TRUE(page->findChildren<QCheckBox*>().isEmpty()); // released
    ChooseFromMenu(18);
    EXPECT_EQ(page->findChildren<QCheckBox*>().size(), 12);
    ChooseFromMenu(16);
    EXPECT_EQ(page->findChildren<QCheckBox*>().size(), 42);
}

// ---------------------------------------------------------------------------------------------
// "Концентратор", one-byte mask.

TEST_F(WindowTest, UncheckingTheIndicationUnitKeepsItsOptions) {
    ChooseFromMenu(11);
    auto* cnc = dynamic_cast<TDevCnc8*>(state.device.get());
    auto* group = Find<QGroupBox>(QStringLiteral("grpBVI"));
    EXPECT_TRUE(group->isHidden());
    Click(Find<QCheckBox>(QStringLiteral("chkExp7")));
    EXPECT_EQ(cnc->GetExpanders(), 0x80);
    EXPECT_FALSE(group->isHidden());
    Click(Find<QCheckBox>(QStringLiteral("chkBVIAlarmDuress")));
    Click(Find<QCheckBox>(QStringLiteral("chkResetSNSByBVI")));
    Click(Find<QCheckBox>(QStringLiteral("chkBVIEnableReset")));
    EXPECT_EQ(cnc->GetBviAlarm(), 0x82);
    Click(Find<QCheckBox>(QStringLiteral("chkExp7")));
    EXPECT_TRUE(group->isHidden());
    EXPECT_EQ(cnc->GetExpanders(), 0x00);
    EXPECT_EQ(cnc->GetBviAlarm(), 0x82);
    EXPECT_TRUE(cnc->GetBviButtons());
    Click(Find<QCheckBox>(QStringLiteral("chkExp2")));
    EXPECT_EQ(cnc->GetExpanders(), 0x04);
}

TEST_F(WindowTest, AutomaticResetHiddenForCodeThree) {
    ChooseFromMenu(3);
    EXPECT_TRUE(Find<QComboBox>(QStringLiteral("cbbCNC8_AutoRst"))->isHidden());
    EXPECT_TRUE(Find<QLabel>(QStringLiteral("lblCnc8AlmReset"))->isHidden());
    ChooseFromMenu(11);
    auto* reset = Find<QComboBox>(QStringLiteral("cbbCNC8_AutoRst"));
    EXPECT_FALSE(reset->isHidden());
    EXPECT_EQ(reset->currentIndex(), 0);
    Choose(reset, 1);
    EXPECT_EQ(dynamic_cast<TDevCnc*>(state.device.get())->GetAutoReset(), 10);
    Choose(reset, 0);
    EXPECT_EQ(dynamic_cast<TDevCnc*>(state.device.get())->GetAutoReset(), 0);
}

// ---------------------------------------------------------------------------------------------
// "Концентратор", 40-bit mask, and the expander dialog.

TEST_F(WindowTest, ExpanderDialogAndMaskTexts) {
    ChooseFromMenu(7);
    auto* cnc = dynamic_cast<TDevCnc5*>(state.device.get());
    auto* summary = Find<QLineEdit>(QStringLiteral("edtExtMask"));
    auto* bvi = Find<QGroupBox>(QStringLiteral("grpCOP5_BVI"));
    EXPECT_EQ(summary->text(), QStringLiteral("Нет"));
    EXPECT_TRUE(bvi->isHidden());

    QPoint placedAt;
    dialogs.dialogSteps.push_back([&placedAt](QDialog& dialog) {
        auto& form = static_cast<TFormExpMask&>(dialog);
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Расширители"));
        EXPECT_EQ(form.findChildren<QCheckBox*>().size(), 33);
        EXPECT_FALSE(form.Box(4)->isChecked());
        form.Box(4)->setChecked(true);
        form.Box(5)->setChecked(true);
        placedAt = form.pos();
    });
    Click(summary);
    EXPECT_EQ(dialogs.execs, 1);
    EXPECT_EQ(summary->text(), QStringLiteral("4, 5"));
    EXPECT_EQ((cnc->GetExpanderMask()), (ExpanderMask{0x18, 0, 0, 0, 0}));
    EXPECT_EQ(placedAt.x(), window->x() + 10);
    EXPECT_EQ(placedAt.y(), summary->mapToGlobal(QPoint(0, 0)).y() + summary->height() + 10);

    // Reopened on the stored mask; closing without OK still takes the boxes.
    dialogs.dialogSteps.push_back([](QDialog& dialog) {
        auto& form = static_cast<TFormExpMask&>(dialog);
        EXPECT_TRUE(form.Box(4)->isChecked());
        EXPECT_TRUE(form.Box(5)->isChecked());
        form.Box(4)->setChecked(false);
        form.Box(5)->setChecked(false);
        form.Box(33)->setChecked(true);
        form.reject();
    });
    Click(summary);
    EXPECT_EQ(summary->text(), QStringLiteral("БВИ"));
    EXPECT_FALSE(bvi->isHidden());
    EXPECT_TRUE(cnc->HasBvi());

    dialogs.dialogSteps.push_back(
        [](QDialog& dialog) { static_cast<TFormExpMask&>(dialog).Box(33)->setChecked(false); });
    Click(summary);
    EXPECT_EQ(summary->text(), QStringLiteral("Нет"));
    EXPECT_TRUE(bvi->isHidden());
}

TEST_F(WindowTest, ExpanderSummaryFromTheDevice) {
    ChooseFromMenu(18);
    auto* cnc = dynamic_cast<TDevCnc5*>(state.device.get());
    cnc->SetExpanderMask({0x57, 0, 0, 0, 1}); // 1, 2, 3, 5, 7 and the unit
    window->RefreshControls();
    EXPECT_EQ(Find<QLineEdit>(QStringLiteral("edtExtMask"))->text(), QStringLiteral("1-3, 5, 7, БВИ"));
    EXPECT_FALSE(Find<QGroupBox>(QStringLiteral("grpCOP5_BVI"))->isHidden());
    Click(Find<QCheckBox>(QStringLiteral("chkCNC5_GuardQT")));
    EXPECT_EQ(cnc->GetArmFeedback(), 1);
    Choose(Find<QComboBox>(QStringLiteral("cbbCNC5_AutoRst")), 0);
    EXPECT_EQ(cnc->GetAutoReset(), 0);
}

// ---------------------------------------------------------------------------------------------
// "КП2", "Основные настройки", "Передача".

TEST_F(WindowTest, KeypadZonesAndHiddenEvents) {
    ChooseFromMenu(6);
    auto* type1 = Find<QComboBox>(QStringLiteral("cbbKP2Tactic1"));
    auto* event1 = Find<TComboboxEvent>(QStringLiteral("cbbEvKP2_1"));
    EXPECT_EQ(type1->count(), 5);
    EXPECT_EQ(event1->count(), 225);
    state.device->SetZoneCID(1, 123);
    window->RefreshControls();
    EXPECT_EQ(event1->currentText(), QStringLiteral("СНЯТ - 400"));
    ChooseText(type1, QStringLiteral("Отключен"));
    EXPECT_FALSE(event1->isEnabled());
    EXPECT_EQ(state.device->GetZoneType(1), 0);
    EXPECT_EQ(state.device->GetZoneCID(1), 123);
    ChooseText(type1, QStringLiteral("Технологический"));
    EXPECT_TRUE(event1->isEnabled());
    EXPECT_EQ(state.device->GetZoneCID(1), 37);
    EXPECT_EQ(event1->currentText(), QStringLiteral("НЕ ОХР.ЗОНА - 150"));
    ChooseText(Find<QComboBox>(QStringLiteral("bxKP2ReleFire")), QStringLiteral("До сброса"));
    EXPECT_EQ(state.device->GetParam(prmReleAlarmFire), 0x03);
    Click(Find<QCheckBox>(QStringLiteral("chkKP2ReleContr")));
    EXPECT_EQ(state.device->GetParam(prmOPsCheck), 0x02);
}

TEST_F(WindowTest, FiveZonePage) {
    ChooseFromMenu(5);
    auto* buzzer = Find<QCheckBox>(QStringLiteral("chkOP5UseBuzer"));
    EXPECT_TRUE(buzzer->isChecked());
    Click(buzzer);
    EXPECT_EQ(state.device->GetBuzzer(), 0);
    EXPECT_EQ(state.device->Payload(17), 0x00);
    Click(Find<QCheckBox>(QStringLiteral("chkOP5GrdFdbckON")));
    EXPECT_EQ(state.device->GetArmFeedback(), 1);
    for (int z = 1; z <= 5; ++z) {
        auto* ev = Find<TComboboxEvent>(QStringLiteral("cbbEvOP5Ev%1").arg(z));
        EXPECT_TRUE(ev->isHidden());
        EXPECT_FALSE(ev->isEnabled());
    }
}

struct TxCase {
    int type;
    int kinds; // items of the transmitter-kind list, -1: list hidden
    bool td;
    bool gsm;
    int busMax;
};

void PrintTo(const TxCase& c, std::ostream* os) {
    *os << "type " << c.type;
}

class TransmissionControls : public WindowTest, public ::testing::WithParamInterface<TxCase> {};

TEST_P(TransmissionControls, PerType) {
    const auto& c = GetParam();
    ChooseFromMenu(static_cast<Byte>(c.type));
    auto* kinds = Find<QComboBox>(QStringLiteral("bxRTX_Type"));
    EXPECT_EQ(!kinds->isHidden(), c.kinds >= 0);
    EXPECT_EQ(!Find<QLabel>(QStringLiteral("lblRTX_Type"))->isHidden(), c.kinds >= 0);
    if (c.kinds >= 0) {
        EXPECT_EQ(kinds->count(), c.kinds);
        EXPECT_EQ(Find<QSpinBox>(QStringLiteral("udBusID"))->maximum(), c.busMax);
    }
    EXPECT_EQ(!Find<QCheckBox>(QStringLiteral("chkCNC_TxTD"))->isHidden(), c.td);
    EXPECT_EQ(!Find<QCheckBox>(QStringLiteral("chkCNC_TxGSM"))->isHidden(), c.gsm);
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, TransmissionControls,
                         ::testing::Values(TxCase{1, 3, false, false, 7}, TxCase{13, 4, false, false, 7},
                                           TxCase{5, 3, false, true, 32}, TxCase{8, 3, false, false, 32},
                                           TxCase{6, -1, true, true, 0}, TxCase{11, -1, true, true, 0},
                                           TxCase{18, -1, true, true, 0}, TxCase{15, -1, false, true, 0}),
                         NamedBy([](const TxCase& c) { return "Type" + std::to_string(c.type); }));

TEST_F(WindowTest, BusNumberShownForTheBusKindOnly) {
    ChooseFromMenu(13);
    auto* kinds = Find<QComboBox>(QStringLiteral("bxRTX_Type"));
    auto* bus = Find<QSpinBox>(QStringLiteral("udBusID"));
    EXPECT_TRUE(bus->isHidden());
    ChooseText(kinds, QStringLiteral("RS-485"));
    EXPECT_FALSE(bus->isHidden());
    EXPECT_EQ(state.device->GetParam(prmDevTX), 3);
    bus->setValue(5);
    EXPECT_EQ(state.device->GetBusID(), 5);
    EXPECT_TRUE(bus->findChild<QLineEdit*>(QStringLiteral("edtBusID"))->isReadOnly());
    dialogs.answers.push_back(MsgAnswer::No); // the edits are not saved
    ChooseFromMenu(9);
    ChooseText(Find<QComboBox>(QStringLiteral("bxRTX_Type")), QStringLiteral("RS-485"));
    EXPECT_EQ(state.device->GetParam(prmDevTX), 2);
    EXPECT_FALSE(bus->isHidden());
    bus->setValue(32);
    EXPECT_EQ(state.device->GetBusID(), 32);
}

TEST_F(WindowTest, TransmitterCheckBoxes) {
    ChooseFromMenu(6);
    auto* kp2 = dynamic_cast<TDV6_KP2*>(state.device.get());
    Click(Find<QCheckBox>(QStringLiteral("chkCNC_TxTD")));
    EXPECT_TRUE(kp2->GetUseTD());
    Click(Find<QCheckBox>(QStringLiteral("chkCNC_TxGSM")));
    EXPECT_TRUE(kp2->GetGsmConnected());
    dialogs.answers.push_back(MsgAnswer::No); // the edits are not saved
    ChooseFromMenu(11);
    auto* cnc = dynamic_cast<TDevCnc*>(state.device.get());
    EXPECT_FALSE(Find<QCheckBox>(QStringLiteral("chkCNC_TxTD"))->isChecked());
    Click(Find<QCheckBox>(QStringLiteral("chkCNC_TxTD")));
    EXPECT_TRUE(cnc->GetUseTD());
}

} // namespace
