#include "dialogs_fixture.h"

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "gsm/program_state.h"
#include "ui/dialogs/form_tx_num.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

namespace orv::test {
namespace {

class TxNumDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        state.device = CreateDevice(15);
        ret = dynamic_cast<TDV15_Ret*>(state.device.get());
        ASSERT_NE(ret, nullptr);
        dialog = std::make_unique<TFormTxNum>(state);
    }
    // Opens the dialog for an object as the objects dialog does, and shows it.
    void Open(int object) {
        ASSERT_TRUE(dialog->LoadObject(object));
        Activate(dialog.get());
    }
    QLineEdit* Field(const char* name) const {
        auto* edit = dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
        EXPECT_NE(edit, nullptr) << name;
        return edit;
    }
    QLineEdit* Hex() const { return Field("edtHex"); }
    QLineEdit* Station() const { return Field("medtPCN"); }
    QLineEdit* Board() const { return Field("medtBtn"); }
    QPushButton* Ready() const { return dialog->findChild<QPushButton*>(QStringLiteral("btnOK")); }
    QRadioButton* Type(int index) const {
        return dialog->findChild<QRadioButton*>(QStringLiteral("rbObjType%1").arg(index));
    }
    // What the three fields show (a masked field's blanks as "_").
    QStringList Forms() const { return {Hex()->text(), Station()->displayText(), Board()->displayText()}; }
    // Types into a field and leaves it for the hex field (or the station field when it is the hex one).
    void TypeAndLeave(QLineEdit* field, const QString& text) {
        TypeInto(field, text);
        (field == Hex() ? Station() : Hex())->setFocus();
    }

    TProgramState state;
    TDV15_Ret* ret = nullptr;
    std::unique_ptr<TFormTxNum> dialog;
};

const QStringList kEmpty{QString(), QStringLiteral("_.___.___"), QStringLiteral("______")};

TEST_F(TxNumDialogTest, ControlsCaptionsAndHints) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Номер передатчика"));
    auto* group = dialog->findChild<QGroupBox*>(QStringLiteral("rgObjType"));
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->title(), QStringLiteral("Тип объекта"));
    const QStringList types{"Выключен", "Кнопка", "Mirel", "Консьерж"};
    for (int t = 0; t < 4; ++t) {
        ASSERT_NE(Type(t), nullptr);
        EXPECT_EQ(Type(t)->text(), types[t]);
    }
    EXPECT_EQ(Hex()->toolTip(), QStringLiteral("Номер на плате передатчика"));
    EXPECT_EQ(Station()->toolTip(), QStringLiteral("Номер для ПЦН"));
    EXPECT_EQ(Board()->toolTip(), QStringLiteral("Номер на плате кнопок"));
    // Every field is named on the dialog itself, not only in its hint.
    const struct {
        const char* label;
        const char* text;
        QLineEdit* field;
    } labels[] = {
        {"lblHex", "HEX:", Hex()}, {"lblPCN", "ПЦН:", Station()}, {"lblBtn", "Плата кнопок:", Board()}};
    for (const auto& l : labels) {
        auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(l.label));
        ASSERT_NE(label, nullptr) << l.label;
        EXPECT_EQ(label->text(), QString::fromUtf8(l.text));
        EXPECT_EQ(label->buddy(), l.field) << l.label;
    }
    EXPECT_EQ(Ready()->text(), QStringLiteral("Готово"));
}

TEST_F(TxNumDialogTest, StoredNumberShowsInItsThreeForms) {
    ret->SetObject(1, MakeObjectRecord(173555, objMirel));
    Open(1);
    EXPECT_EQ(dialog->Object(), 1);
    EXPECT_EQ(dialog->Number(), 173555u);
    EXPECT_TRUE(Type(objMirel)->isChecked());
    EXPECT_EQ(Forms(), (QStringList{"2A5F3", "2.165.243", "173555"}));
    // The hex field has the focus when the dialog comes up.
    EXPECT_TRUE(Hex()->hasFocus());
}

TEST_F(TxNumDialogTest, StationEntryIsShownBackInEveryForm) {
    Open(2);
    TypeAndLeave(Station(), QStringLiteral("0000300"));
    EXPECT_EQ(dialog->Number(), 300u);
    EXPECT_EQ(Forms(), (QStringList{"0012C", "0.001.044", "000300"}));
}

TEST_F(TxNumDialogTest, HexTypedInLowerCase) {
    Open(2);
    TypeInto(Hex(), QStringLiteral("ff0"));
    EXPECT_EQ(Hex()->text(), QStringLiteral("FF0"));
    Station()->setFocus();
    EXPECT_EQ(dialog->Number(), 4080u);
    EXPECT_EQ(Forms(), (QStringList{"00FF0", "0.015.240", "004080"}));
    // Anything but hexadecimal digits is dropped.
    TypeInto(Hex(), QStringLiteral("1g2-h3 a"));
    EXPECT_EQ(Hex()->text(), QStringLiteral("123A"));
}

TEST_F(TxNumDialogTest, BoardEntry) {
    Open(2);
    TypeAndLeave(Board(), QStringLiteral("123"));
    EXPECT_EQ(dialog->Number(), 123u);
    EXPECT_EQ(Forms(), (QStringList{"0007B", "0.000.123", "000123"}));
    // Emptied, it gives no number and leaves the other fields as they are.
    TypeAndLeave(Board(), QString());
    EXPECT_EQ(dialog->Number(), 0u);
    EXPECT_EQ(Forms(), (QStringList{"0007B", "0.000.123", "______"}));
}

TEST_F(TxNumDialogTest, StationFirstDigitAboveThreeIsShownAsEnteredAndStoredIn18Bits) {
    Open(6);
    TypeAndLeave(Station(), QStringLiteral("5000001"));
    EXPECT_EQ(dialog->Number(), 5u * 65536 + 1);
    EXPECT_EQ(Forms(), (QStringList{"50001", "5.000.001", "327681"}));
    Type(objMirel)->click();
    QTest::mouseClick(Ready(), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(ret->GetObject(6), (ObjectRecord{0x42, 0x00, 0x01}));
}

TEST_F(TxNumDialogTest, ReadyStoresTypeAndNumber) {
    Open(32);
    TypeAndLeave(Hex(), QStringLiteral("2a5f3"));
    Type(objConcierge)->click();
    QTest::mouseClick(Ready(), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(ret->GetObject(32), (ObjectRecord{0x83, 0xA5, 0xF3}));
    EXPECT_EQ(ret->ObjectNumberText(32), "2A5F3");
}

TEST_F(TxNumDialogTest, ReadyWithEmptyFieldsKeepsTheRecord) {
    // An off object opens empty; choosing a type alone stores nothing.
    Open(3);
    EXPECT_EQ(Forms(), kEmpty);
    EXPECT_TRUE(Type(objOff)->isChecked());
    Type(objButton)->click();
    QTest::mouseClick(Ready(), Qt::LeftButton);
    EXPECT_EQ(ret->GetObject(3), (ObjectRecord{0, 0, 0}));

    // Emptying the number of a present object keeps its record, type included.
    const ObjectRecord stored{0x81, 0x12, 0x34};
    ret->SetObject(4, stored);
    Open(4);
    TypeInto(Hex(), QString());
    Type(objConcierge)->click();
    QTest::mouseClick(Ready(), Qt::LeftButton);
    EXPECT_EQ(dialog->Number(), 0u);
    EXPECT_EQ(ret->GetObject(4), stored);
}

TEST_F(TxNumDialogTest, ObjectWhoseTypeIsOffOpensEmpty) {
    ret->SetObject(5, ObjectRecord{0x40, 0x12, 0x34});
    Open(5);
    EXPECT_EQ(dialog->Number(), 0u);
    EXPECT_EQ(Forms(), kEmpty);
    EXPECT_TRUE(Type(objOff)->isChecked());
}

TEST_F(TxNumDialogTest, OnlyObjectsOneToThirtyTwoOfARetranslatorOpen) {
    ret->SetObject(1, MakeObjectRecord(77, objButton));
    ASSERT_TRUE(dialog->LoadObject(1));
    for (const int object : {0, 33, -1}) {
        EXPECT_FALSE(dialog->LoadObject(object));
        EXPECT_EQ(dialog->Object(), 0);
        EXPECT_EQ(dialog->Number(), 0u);
    }
    state.device = CreateDevice(1);
    EXPECT_FALSE(dialog->LoadObject(1));
}

TEST_F(TxNumDialogTest, EscapeIsReadyAndTakesWhatTheFieldShows) {
    Open(9);
    TypeInto(Hex(), QStringLiteral("1f"));
    Type(objButton)->setChecked(true);
    Hex()->setFocus();
    QTest::keyClick(Hex(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(ret->GetObject(9), (ObjectRecord{0x01, 0x00, 0x1F}));
}

} // namespace
} // namespace orv::test
