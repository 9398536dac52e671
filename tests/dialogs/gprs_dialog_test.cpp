#include "dialogs_fixture.h"

#include "gsm/program_state.h"
#include "ui/dialogs/form_gprs.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace orv::test {
namespace {

const char* const kFields[] = {"edtAPN1", "edtUser1", "edtPass1", "edtAPN2", "edtUser2", "edtPass2"};

class GprsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        dialog = std::make_unique<TfrmGPRS>(state, dialogs);
        dialog->Reset();
        Activate(dialog.get());
    }
    QLineEdit* Field(const char* name) const {
        auto* edit = dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
        EXPECT_NE(edit, nullptr) << name;
        return edit;
    }
    QComboBox* Preset(int sim) const {
        return dialog->findChild<QComboBox*>(QStringLiteral("bxOper%1").arg(sim));
    }
    QPushButton* Save() const { return dialog->findChild<QPushButton*>(QStringLiteral("btnSave")); }
    static void Choose(QComboBox* combo, int index) {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    TProgramState state;
    TScriptedDialogs dialogs;
    std::unique_ptr<TfrmGPRS> dialog;
};

TEST_F(GprsDialogTest, GroupsLabelsPresetsAndNoTitleBarButtons) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Параметры GPRS"));
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowMinMaxButtonsHint);
    QStringList groups;
    for (const QGroupBox* g : dialog->findChildren<QGroupBox*>()) {
        groups << g->title();
    }
    groups.sort();
    EXPECT_EQ(groups, (QStringList{"SIM-карта №1", "SIM-карта №2"}));
    QStringList labels;
    for (const QLabel* l : dialog->findChildren<QLabel*>()) {
        labels << l->text();
    }
    for (const QString& label : {QStringLiteral("APN"), QStringLiteral("Пользователь"),
                                 QStringLiteral("Пароль"), QStringLiteral("Шаблон")}) {
        EXPECT_EQ(labels.count(label), 2) << label.toStdString();
    }
    for (int sim = 1; sim <= 2; ++sim) {
        QComboBox* preset = Preset(sim);
        ASSERT_NE(preset, nullptr);
        ASSERT_EQ(preset->count(), 4);
        EXPECT_EQ(preset->itemText(0), QStringLiteral("Билайн"));
        EXPECT_EQ(preset->itemText(1), QStringLiteral("МТС"));
        EXPECT_EQ(preset->itemText(2), QStringLiteral("Tele2"));
        EXPECT_EQ(preset->itemText(3), QStringLiteral("Megafon"));
        EXPECT_EQ(preset->currentIndex(), 0);
    }
    EXPECT_EQ(Save()->text(), QStringLiteral("Сохранить"));
}

TEST_F(GprsDialogTest, TemplatesFillTheirSimOnly) {
    EXPECT_EQ(Field("edtUser1")->text(), QStringLiteral("qirvost"));
    EXPECT_EQ(Field("edtPass2")->text(), QStringLiteral("qirvost"));
    Choose(Preset(1), 2);
    EXPECT_EQ(Field("edtAPN1")->text(), QStringLiteral("internet.tele2.ru"));
    EXPECT_EQ(Field("edtUser1")->text(), QString());
    EXPECT_EQ(Field("edtPass1")->text(), QString());
    EXPECT_EQ(Field("edtUser2")->text(), QStringLiteral("qirvost"));
    EXPECT_EQ(state.Gprs.Sim(0).user, "");

    Choose(Preset(2), 1);
    EXPECT_EQ(Field("edtAPN2")->text(), QStringLiteral("internet.mts.ru"));
    EXPECT_EQ(Field("edtUser2")->text(), QStringLiteral("dzu"));
    EXPECT_EQ(Field("edtPass2")->text(), QStringLiteral("dzu"));
    EXPECT_EQ(Field("edtAPN1")->text(), QStringLiteral("internet.tele2.ru"));

    // The template shown, picked again, leaves what was typed over it.
    TypeInto(Field("edtAPN1"), QStringLiteral("corp.apn"));
    TypeInto(Field("edtUser1"), QStringLiteral("me"));
    Choose(Preset(1), Preset(1)->currentIndex());
    EXPECT_EQ(Field("edtAPN1")->text(), QStringLiteral("corp.apn"));
    EXPECT_EQ(Field("edtUser1")->text(), QStringLiteral("me"));
    EXPECT_EQ(state.Gprs.Sim(0).apn, "corp.apn");
}

TEST_F(GprsDialogTest, KeyFilterOfEveryField) {
    for (const char* name : kFields) {
        QLineEdit* edit = Field(name);
        TypeInto(edit, QStringLiteral("a b-Ж.9@_Z!\tq,"));
        EXPECT_EQ(edit->text(), QStringLiteral("ab-.9@_Zq")) << name;
        // Enter goes nowhere: it neither types nor saves.
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_TRUE(dialog->isVisible()) << name;
        QTest::keyClick(edit, Qt::Key_Backspace);
        EXPECT_EQ(edit->text(), QStringLiteral("ab-.9@_Z")) << name;
        QApplication::clipboard()->setText(QStringLiteral("x y:z"));
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(edit->text(), QStringLiteral("ab-.9@_Zxyz")) << name;
    }
    EXPECT_EQ(state.Gprs.Sim(0).apn, "ab-.9@_Zxyz");
    EXPECT_EQ(state.Gprs.Sim(1).password, "ab-.9@_Zxyz");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(GprsDialogTest, SaveEncodesAndCloses) {
    TypeInto(Field("edtAPN1"), QString());
    TypeInto(Field("edtAPN2"), QStringLiteral("ap"));
    TypeInto(Field("edtUser2"), QStringLiteral("u"));
    TypeInto(Field("edtPass2"), QString());
    QSignalSpy saved(dialog.get(), &TfrmGPRS::saved);
    QTest::mouseClick(Save(), Qt::LeftButton);
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    // SIM 1 has no APN: its length is 0 and SIM 2's block follows at once.
    const Byte expected[] = {0x7E, 13, 0x57, 3, 0, 6, 'a', 'p', 0, 'u', 0, 0};
    for (std::size_t i = 0; i < sizeof expected; ++i) {
        EXPECT_EQ(state.GprsFrame[i], expected[i]) << i;
    }
    EXPECT_EQ(state.GprsFrame[12], frame::Crc8(state.GprsFrame.data(), 12));
}

TEST_F(GprsDialogTest, OverlongTextsAreRefusedAndTheDialogStaysOpen) {
    const FrameBuffer before = state.GprsFrame;
    Field("edtAPN1")->setText(QString(120, QLatin1Char('a')));
    Field("edtUser2")->setText(QString(90, QLatin1Char('u')));
    QTest::mouseClick(Save(), Qt::LeftButton);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, MsgKind::Warning);
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Параметры GPRS"));
    EXPECT_FALSE(dialogs.shown[0].text.isEmpty());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(state.GprsFrame, before);

    Field("edtUser2")->setText(QStringLiteral("u"));
    QTest::mouseClick(Save(), Qt::LeftButton);
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(state.GprsFrame[4], 120 + 7 + 7 + 3);
}

TEST_F(GprsDialogTest, EscapeDoesNotCloseWithoutSaving) {
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());
    dialog->close();
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(GprsDialogTest, FillFromFrameShowsBothSims) {
    const Byte body[] = {0x7E, 0, 0x57, 3, 0, 9, 'a', 'p', 'n', 0, 'u', 0, 'p', 'w', 0};
    ASSERT_TRUE(PutFrame(state.GprsFrame, body));
    dialog->FillFromFrame();
    const QString expected[] = {"", "", "", "apn", "u", "pw"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(Field(kFields[i])->text(), expected[i]) << kFields[i];
    }
    // A frame marked empty gives the first template on both cards.
    state.GprsFrame[0] = 0;
    dialog->FillFromFrame();
    EXPECT_EQ(Field("edtAPN1")->text(), QStringLiteral("internet.beeline.ru"));
    EXPECT_EQ(Field("edtAPN2")->text(), QStringLiteral("internet.beeline.ru"));
}

} // namespace
} // namespace orv::test
