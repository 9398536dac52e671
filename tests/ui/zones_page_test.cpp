#include "window_fixture.h"

#include "device/catalogue.h"
#include "ui/page_zones.h"
#include "ui/widgets.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QTabWidget>

using namespace orv;
using namespace orv::test;

namespace {

class ZonesPage : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ChooseFromMenu(13);
        op8 = dynamic_cast<TDevOP8*>(state.device.get());
        ASSERT_NE(op8, nullptr);
    }
    QComboBox* Type(int z) const { return Find<QComboBox>(QStringLiteral("FShlfType%1").arg(z)); }
    TComboboxEvent* Event(int z) const { return Find<TComboboxEvent>(QStringLiteral("cbbEvOP8Ev%1").arg(z)); }
    QLineEdit* DelayIn(int z) const { return Find<QLineEdit>(QStringLiteral("edtDelayIn%1").arg(z)); }
    QLineEdit* DelayOut(int z) const { return Find<QLineEdit>(QStringLiteral("edtDelayOut%1").arg(z)); }
    QComboBox* Part(int z) const { return Find<QComboBox>(QStringLiteral("bxShlfPart%1").arg(z)); }
    QCheckBox* Rearm(int z) const { return Find<QCheckBox>(QStringLiteral("chkShlfRearm%1").arg(z)); }
    QCheckBox* FireReq(int z) const { return Find<QCheckBox>(QStringLiteral("chkF_Req%1").arg(z)); }
    QCheckBox* Dep(int n) const { return Find<QCheckBox>(QStringLiteral("chkPartDep%1").arg(n)); }
    void SetType(int z, const char* caption) const { ChooseText(Type(z), QString::fromUtf8(caption)); }

    TDevOP8* op8 = nullptr;
};

TEST_F(ZonesPage, FillsFromTheDevice) {
    // Factory defaults: zone 1 door with 30/30, zones 2-4 guard, 5 alarm, 6 silent, 7-8 fire.
    EXPECT_EQ(Type(1)->currentText(), QStringLiteral("Дверной"));
    EXPECT_EQ(Event(1)->currentText(), QStringLiteral("ВХОД/ВЫХОД - 134"));
    EXPECT_FALSE(DelayIn(1)->isHidden());
    EXPECT_EQ(DelayIn(1)->text(), QStringLiteral("30"));
    EXPECT_TRUE(DelayIn(2)->isHidden());
    EXPECT_FALSE(FireReq(7)->isHidden());
    EXPECT_TRUE(FireReq(2)->isHidden());
    EXPECT_EQ(Type(1)->count(), 9);
    EXPECT_EQ(Event(1)->count(), 178);
    EXPECT_FALSE(Type(1)->itemIcon(7).isNull());
}

TEST_F(ZonesPage, DoorAndBack) {
    SetType(2, "Дверной");
    EXPECT_FALSE(DelayIn(2)->isHidden());
    EXPECT_FALSE(DelayOut(2)->isHidden());
    EXPECT_EQ(DelayIn(2)->text(), QStringLiteral("30"));
    EXPECT_EQ(op8->GetZoneDelay(2, false), 30);
    EXPECT_EQ(op8->GetZoneDelay(2, true), 30);
    EXPECT_EQ(op8->GetZoneType(2), 7);
    EXPECT_EQ(op8->GetZoneCID(2), 23);
    SetType(2, "Тревожный");
    EXPECT_TRUE(DelayIn(2)->isHidden());
    EXPECT_TRUE(DelayOut(2)->isHidden());
    EXPECT_EQ(DelayIn(2)->text(), QStringLiteral("0"));
    EXPECT_EQ(DelayOut(2)->text(), QStringLiteral("0"));
    EXPECT_EQ(op8->GetZoneDelay(2, false), 30);
    EXPECT_EQ(op8->GetZoneDelay(2, true), 30);
    EXPECT_EQ(op8->GetZoneCID(2), 16);
    EXPECT_EQ(Event(2)->currentText(), QStringLiteral("Т.К.ГРОМКАЯ - 123"));
}

TEST_F(ZonesPage, DelayEditsAreCheckedWhenLeft) {
    const struct {
        const char* typed;
        const char* shown;
        int stored;
    } cases[] = {{"abc", "30", 30}, {"150", "99", 99}, {"-5", "0", 0}, {"45", "45", 45}, {"", "30", 30}};
    for (const auto& c : cases) {
        TypeAndLeave(DelayIn(1), QString::fromLatin1(c.typed));
        EXPECT_EQ(DelayIn(1)->text(), QString::fromLatin1(c.shown)) << c.typed;
        EXPECT_EQ(op8->GetZoneDelay(1, false), c.stored) << c.typed;
        TypeAndLeave(DelayOut(1), QString::fromLatin1(c.typed));
        EXPECT_EQ(DelayOut(1)->text(), QString::fromLatin1(c.shown)) << c.typed;
        EXPECT_EQ(op8->GetZoneDelay(1, true), c.stored) << c.typed;
    }
}

TEST_F(ZonesPage, RearmBoxStates) {
    SetType(3, "Технологический");
    EXPECT_FALSE(Rearm(3)->isHidden());
    EXPECT_TRUE(Rearm(3)->isChecked());
    EXPECT_FALSE(Rearm(3)->isEnabled());
    SetType(3, "Отключен");
    EXPECT_TRUE(Rearm(3)->isHidden());
    EXPECT_FALSE(Event(3)->isEnabled());
    SetType(3, "Охранный");
    EXPECT_FALSE(Rearm(3)->isHidden());
    EXPECT_TRUE(Rearm(3)->isEnabled());
    EXPECT_TRUE(Rearm(3)->isChecked());
}

TEST_F(ZonesPage, FireReQueryOnlyForFireTypesAndClearedOnChange) {
    for (int t = 0; t < 9; ++t) {
        ChooseText(Type(4), ToQ(ZoneTypeNames[static_cast<std::size_t>(t)]));
        EXPECT_EQ(!FireReq(4)->isHidden(), t == 3 || t == 8) << t;
        EXPECT_FALSE(FireReq(4)->isChecked()) << t;
        if (!FireReq(4)->isHidden()) {
            Click(FireReq(4));
            EXPECT_TRUE(FireReq(4)->isChecked());
        }
    }
}

TEST_F(ZonesPage, PartitionDependencyExample) {
    // Only zone 3 in partition 4, of a guard type.
    for (int z = 1; z <= 8; ++z) {
        Choose(Part(z), 0);
    }
    SetType(3, "Охранный");
    Choose(Part(3), 3);
    EXPECT_EQ(op8->GetZonePart(3), 3);
    EXPECT_TRUE(Dep(4)->isEnabled());
    Click(Dep(4));
    EXPECT_TRUE(Dep(4)->isChecked());
    SetType(3, "Пожарный");
    EXPECT_FALSE(Dep(4)->isEnabled());
    EXPECT_FALSE(Dep(4)->isChecked());
    EXPECT_TRUE(op8->GetPartNoArmMask() & (1u << 3));
}

TEST_F(ZonesPage, HeldBackBoxesReachTheDeviceOnlyThroughTheCommit) {
    SetType(3, "Охранный");
    Choose(Part(3), 3);
    Click(Dep(4));
    Click(Rearm(2)); // on in the defaults: now off
    SetType(7, "Пожарный");
    Click(FireReq(7));
    EXPECT_EQ(op8->GetPartDep(), 0);
    EXPECT_NE(op8->GetZoneRearm(2), 0);
    EXPECT_EQ(op8->GetZoneFireReCheck(7), 0);
    ASSERT_TRUE(window->UpdateAllTXBuffers());
    EXPECT_EQ(op8->GetPartDep(), 1u << 3);
    EXPECT_EQ(op8->GetZoneRearm(2), 0);
    EXPECT_NE(op8->GetZoneFireReCheck(7), 0);
}

TEST_F(ZonesPage, LeavingThePageRecomputesTheNoArmMask) {
    op8->SetPartNoArmMask(0xFF);
    auto* tabs = Find<QTabWidget>(QStringLiteral("PageMain"));
    tabs->setCurrentWidget(window->Page(QStringLiteral("PageShlf")));
    tabs->setCurrentWidget(window->Page(QStringLiteral("PGPeriph")));
    // Defaults: everything in partition 1, which holds guard zones.
    EXPECT_EQ(op8->GetPartNoArmMask(), 0);
}

TEST_F(ZonesPage, TwoThresholdTypeOnlyBeyondCodesOneAndTwo) {
    ChooseFromMenu(2);
    EXPECT_EQ(Type(1)->count(), 8);
    ChooseFromMenu(4);
    EXPECT_EQ(Type(1)->count(), 9);
}

TEST_F(ZonesPage, HiddenEventShowsNoSelectionOnAnEightZoneCombo) {
    op8->SetZoneCID(5, 123); // "СНЯТ - 400", hidden
    window->RefreshControls();
    EXPECT_EQ(Event(5)->currentIndex(), -1);
    EXPECT_TRUE(Event(5)->currentText().isEmpty());
    // Byte 0 leaves the previous selection.
    op8->SetZoneCID(6, 16);
    window->RefreshControls();
    op8->SetZoneCID(6, 0);
    window->RefreshControls();
    EXPECT_EQ(Event(6)->currentText(), QStringLiteral("Т.К.ГРОМКАЯ - 123"));
}

TEST_F(ZonesPage, EventChoiceIsStored) {
    ChooseText(Event(5), QStringLiteral("ДАТЧИК ГАЗА - 151"));
    EXPECT_EQ(op8->GetZoneCID(5), 38);
}

} // namespace
