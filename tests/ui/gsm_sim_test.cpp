// GSM settings and the retranslator written through the window to the simulated panel: what the
// panel receives is what the screen shows.
#include "panel_fixture.h"
#include "support/case_names.h"

#include "device/catalogue.h"
#include "device/retranslator.h"
#include "sim/hex.h"
#include "ui/dialogs/form_gprs.h"
#include "ui/dialogs/form_obj.h"
#include "ui/dialogs/form_sms.h"
#include "ui/dialogs/form_tx_num.h"
#include "ui/dialogs/gsm_directions.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QTabWidget>

#include <algorithm>

using namespace orv;
using namespace orv::test;

namespace {

using orv::test::NamedBy;
using orv::test::NumberedBy;

std::string Hex(std::span<const Byte> bytes) {
    return sim::ToHex(bytes);
}

QString HexArg(std::span<const Byte> bytes) {
    return QString::fromStdString(sim::ToHex(bytes));
}

// The frame data a simulator block takes: from offset 4 up to the checksum.
std::vector<Byte> BlockOf(std::span<const Byte> frame) {
    return {frame.begin() + 4, frame.begin() + frame[1] - 1};
}

std::vector<Byte> Whole(std::span<const Byte> frame) {
    return {frame.begin(), frame.begin() + frame[1]};
}

// The retranslator's factory configuration with its GSM byte set.
std::vector<Byte> RetConfig(Byte gsm, Byte byte2 = 0) {
    std::vector<Byte> config{0x01, 0x00, byte2, 0x03, 0x04, 0x07, 0x17, 0x1E, 0x1E, 0x01,
                             0x01, 0x03, gsm,   0x01, 0x18, 0x28, 0x01, 0x01, 0x33, 0x00};
    return config;
}

class GsmWrite : public WindowWithPanel {
protected:
    // The frames the panel received with the write command and a sub-command.
    std::vector<std::vector<Byte>> Received(Byte sub) const {
        std::vector<std::vector<Byte>> frames;
        for (auto& f : sim->LoggedFrames()) {
            if (f.size() > 4 && f[2] == frame::kCmdWrite && f[3] == sub) {
                frames.push_back(std::move(f));
            }
        }
        return frames;
    }
    TDirectionsGrid* Grid() const { return Find<TDirectionsGrid>(QStringLiteral("grdG1")); }
    TCellCombo* Editor(const char* name) const { return Find<TCellCombo>(QString::fromLatin1(name)); }
};

TEST_F(GsmWrite, DirectionsSmsAndGprsAsTheScreenShowsThem) {
    StartPanel({QStringLiteral("--type"), QStringLiteral("11"), QStringLiteral("--no-pace")});
    RunAndWait("ButtonRead");
    ASSERT_TRUE(state.device);
    Click(Find<QCheckBox>(QStringLiteral("chkCNC_TxGSM")));
    Click(Find<QCheckBox>(QStringLiteral("chkGSM_TX")));

    auto* number = Find<QLineEdit>(QStringLiteral("medtDevNum"));
    Click(number);
    number->selectAll();
    QTest::keyClicks(number, QStringLiteral("0815"));
    ClickCell(Grid(), 0, dcAttempts);
    PickInList(Editor("bxGrTryCnt"), 2);
    TypeIntoCell(Grid(), 0, dcTarget, QStringLiteral("8(912)000-11-22"));
    ClickCell(Grid(), 1, dcAttempts);
    PickInList(Editor("bxGrTryCnt"), 3);
    ClickCell(Grid(), 1, dcSim);
    PickInList(Editor("bxGrSIM"), 2);
    ClickCell(Grid(), 1, dcProtocol);
    PickInList(Editor("bxGrType"), 3);
    TypeIntoCell(Grid(), 1, dcTarget, QStringLiteral("10.0.0.7:5000"));
    ClickCell(Grid(), 3, dcAttempts);
    PickInList(Editor("bxGrTryCnt"), 1);
    DragCell(Grid(), 3, 0);

    dialogs.dialogSteps.push_back([](QDialog& dialog) {
        auto* grid = dynamic_cast<TFrmSMS&>(dialog).Grid();
        ClickCell(grid, 0, sms::kColType);
        PickInList(grid->Editor(CellEditor::SmsType), 1);
        TypeIntoCell(grid, 0, sms::kColPartition, QStringLiteral("12"));
        TypeIntoCell(grid, 0, sms::kColPhone, QStringLiteral("+7(912)345-67-89"));
        ClickCell(grid, 2, sms::kColType);
        PickInList(grid->Editor(CellEditor::SmsType), 2);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btnSaveExit")), Qt::LeftButton);
    });
    Click(Find<QCheckBox>(QStringLiteral("chkSMS_On")));
    dialogs.dialogSteps.push_back([](QDialog& dialog) {
        Choose(dialog.findChild<QComboBox*>(QStringLiteral("bxOper2")), 2);
        auto* apn = dialog.findChild<QLineEdit*>(QStringLiteral("edtAPN1"));
        apn->setFocus();
        apn->selectAll();
        QTest::keyClicks(apn, QStringLiteral("m2m.test"));
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btnSave")), Qt::LeftButton);
    });
    Click(Find<QCheckBox>(QStringLiteral("chkUseGPRScfg")));
    ASSERT_EQ(dialogs.execs, 2);

    dialogs.answers.push_back(MsgAnswer::Yes); // the count of changes against the read
    RunAndWait("ButtonWrite");
    ASSERT_EQ(window->StatusText(), QStringLiteral("Конфигурация записана"));

    // What the screen shows, encoded by the models on their own.
    DirectionsModel directions;
    for (int r = 0; r < DirectionsModel::kRows; ++r) {
        const auto cell = [&](int column) { return CellText(Grid(), r, column).toStdString(); };
        directions.SetRow(
            r, DirectionRow{cell(dcNumber), cell(dcAttempts), cell(dcSim), cell(dcProtocol), cell(dcTarget)});
    }
    FrameBuffer gsm{};
    ResetGsmFrame(gsm);
    ASSERT_TRUE(SetDeviceNumberText(gsm, number->text().toStdString()));
    SetSmsFlag(gsm, Find<QCheckBox>(QStringLiteral("chkSMS_On"))->isChecked());
    SetGprsFlag(gsm, Find<QCheckBox>(QStringLiteral("chkUseGPRScfg"))->isChecked());
    ASSERT_TRUE(EncodeDirections(directions, gsm));
    EXPECT_EQ(GetDeviceNumber(gsm), 815);
    EXPECT_TRUE(GetSmsFlag(gsm));
    EXPECT_TRUE(GetGprsFlag(gsm));
    EXPECT_EQ(ReadDirectionRecords(gsm)[1], (DirectionRecord{true, 0x40, "+89120001122"}));

    auto* smsGrid = window->findChild<TFrmSMS*>()->Grid();
    SmsModel smsRows;
    smsRows.Setup(11, SmsModel::Family::Other);
    for (int r = 0; r < smsRows.RowCount(); ++r) {
        const QString type = CellText(smsGrid, r, sms::kColType);
        const auto it = std::find(SmsTypeNames.begin(), SmsTypeNames.end(), type.toStdString());
        ASSERT_NE(it, SmsTypeNames.end()) << type.toStdString();
        smsRows.SetRow(r, SmsRow{static_cast<Byte>(it - SmsTypeNames.begin()),
                                 CellText(smsGrid, r, sms::kColPartition).toStdString(),
                                 CellText(smsGrid, r, sms::kColPhone).toStdString(),
                                 {}});
    }
    FrameBuffer smsFrame{};
    ASSERT_FALSE(smsRows.Encode(smsFrame).has_value());
    EXPECT_EQ(ReadSmsRecords(smsFrame, 8).size(), 2u);

    auto* gprsDialog = window->findChild<TfrmGPRS*>();
    GprsModel gprsFields;
    for (int sim = 0; sim < GprsModel::kSims; ++sim) {
        const QString n = QString::number(sim + 1);
        const auto field = [&](const QString& name) {
            return gprsDialog->findChild<QLineEdit*>(name + n)->text().toStdString();
        };
        gprsFields.SetApn(sim, field(QStringLiteral("edtAPN")));
        gprsFields.SetUser(sim, field(QStringLiteral("edtUser")));
        gprsFields.SetPassword(sim, field(QStringLiteral("edtPass")));
    }
    EXPECT_EQ(gprsFields.Sim(0).apn, "m2m.test");
    EXPECT_TRUE(gprsFields.Sim(1).user.empty()); // "Tele2" has none
    FrameBuffer gprsFrame{};
    ASSERT_FALSE(gprsFields.Encode(gprsFrame).has_value());

    const auto gsmSent = Received(frame::subGsm);
    const auto smsSent = Received(frame::subSms);
    const auto gprsSent = Received(frame::subGprs);
    ASSERT_EQ(gsmSent.size(), 1u);
    ASSERT_EQ(smsSent.size(), 1u);
    ASSERT_EQ(gprsSent.size(), 1u);
    EXPECT_EQ(Hex(gsmSent[0]), Hex(Whole(gsm)));
    EXPECT_EQ(Hex(smsSent[0]), Hex(Whole(smsFrame)));
    EXPECT_EQ(Hex(gprsSent[0]), Hex(Whole(gprsFrame)));

    const auto dump = sim->Dump();
    ASSERT_TRUE(dump.has_value());
    EXPECT_EQ(dump->gsm, BlockOf(gsm));
    EXPECT_EQ(dump->sms, BlockOf(smsFrame));
    EXPECT_EQ(dump->gprs, BlockOf(gprsFrame));
    const auto payload = state.device->PayloadBytes();
    EXPECT_EQ(dump->config, std::vector<Byte>(payload.begin(), payload.end()));
    EXPECT_TRUE(dynamic_cast<TDevCnc&>(*state.device).GetGsmTx());
}

// Payload byte 2 of the retranslator follows the zone types it is written with.
TEST_F(GsmWrite, UnansweredDirectionsLeaveTheDefaultDeviceNumber) {
    StartPanel({QStringLiteral("--type"), QStringLiteral("15"), QStringLiteral("--config-hex"),
                HexArg(RetConfig(0x01)), QStringLiteral("--fault"), QStringLiteral("no-answer:2"),
                QStringLiteral("--no-pace")});
    RunAndWait("ButtonRead");
    ASSERT_EQ(window->StatusText(), QStringLiteral("Ошибка при чтении или записи параметров GSM"));
    ASSERT_TRUE(state.device && state.device->GetGsmConnected());
    EXPECT_EQ(Find<QLineEdit>(QStringLiteral("medtDevNum"))->text(), QStringLiteral("0001"));
    EXPECT_EQ(GetDeviceNumber(state.GsmFrame), 1);
}

struct Byte2Case {
    int type1;
    int type2;
    Byte sent;
};

void PrintTo(const Byte2Case& c, std::ostream* os) {
    *os << "zone types " << c.type1 << " and " << c.type2;
}

class RetByte2 : public GsmWrite, public ::testing::WithParamInterface<Byte2Case> {};

TEST_P(RetByte2, FromTheZoneTypes) {
    const Byte2Case& c = GetParam();
    StartPanel({QStringLiteral("--type"), QStringLiteral("15"), QStringLiteral("--config-hex"),
                HexArg(RetConfig(0, 0x5A)), QStringLiteral("--no-pace")});
    RunAndWait("ButtonRead");
    ASSERT_TRUE(state.device);
    Choose(Find<QComboBox>(QStringLiteral("cbbRetShlfType1")), c.type1);
    Choose(Find<QComboBox>(QStringLiteral("cbbRetShlfType2")), c.type2);
    dialogs.answers.push_back(MsgAnswer::Yes); // the count of changes against the read
    RunAndWait("ButtonWrite");
    ASSERT_EQ(window->StatusText(), QStringLiteral("Конфигурация записана"));
    const auto sent = Received(frame::subConfig);
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(sent[0].size(), 26u);
    EXPECT_EQ(sent[0][5 + 2], c.sent);
    EXPECT_EQ(sent[0][5 + 3], c.type1);
    EXPECT_EQ(sent[0][5 + 5], c.type2);
    const auto dump = sim->Dump();
    ASSERT_TRUE(dump.has_value());
    EXPECT_EQ(dump->config[2], c.sent);
}

INSTANTIATE_TEST_SUITE_P(ZoneTypes, RetByte2,
                         ::testing::Values(Byte2Case{0, 0, 0x00}, Byte2Case{3, 1, 0xFF},
                                           Byte2Case{6, 3, 0x5A}, Byte2Case{2, 7, 0x5A}),
                         NamedBy([](const Byte2Case& c) {
                             return "Zones" + std::to_string(c.type1) + "And" + std::to_string(c.type2);
                         }));

TEST_F(GsmWrite, ObjectsEditedInTheDialogAreTheTableSent) {
    StartPanel({QStringLiteral("--type"), QStringLiteral("15"), QStringLiteral("--no-pace")});
    RunAndWait("ButtonRead");
    ASSERT_TRUE(state.device);
    const struct {
        int row;
        int column;
        const char* hex;
        int type;
    } edits[] = {{0, 1, "1ABCD", 2}, {15, 1, "00A01", 1}, {0, 6, "2A5F3", 3}, {15, 5, "3FFFF", 2}};
    dialogs.dialogSteps.push_back([&edits](QDialog& dialog) {
        auto& form = dynamic_cast<TFormObj&>(dialog);
        for (const auto& e : edits) {
            ClickCell(form.Grid(), e.row, e.column);
        }
        dialog.reject();
    });
    for (const auto& e : edits) {
        dialogs.dialogSteps.push_back([e](QDialog& dialog) {
            dialog.findChild<QRadioButton*>(QStringLiteral("rbObjType%1").arg(e.type))->click();
            auto* hex = dialog.findChild<QLineEdit*>(QStringLiteral("edtHex"));
            hex->setFocus();
            hex->selectAll();
            QTest::keyClicks(hex, QString::fromLatin1(e.hex));
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
        });
    }
    Click(Find<QPushButton>(QStringLiteral("btnRetObj")));
    ASSERT_EQ(dialogs.execs, 5);
    EXPECT_EQ(Find<QPushButton>(QStringLiteral("btnRetObj"))->text(), QStringLiteral("Объектов: 4"));

    dialogs.answers.push_back(MsgAnswer::Yes); // the count of changes against the read
    RunAndWait("ButtonWrite");
    ASSERT_EQ(window->StatusText(), QStringLiteral("Конфигурация записана"));
    const auto sent = Received(frame::subObjects);
    ASSERT_EQ(sent.size(), 1u);
    const std::vector<Byte>& table = sent[0];
    ASSERT_EQ(table.size(), 102u);
    EXPECT_EQ(table[1], 102);
    EXPECT_EQ(table[4], 1);
    EXPECT_EQ(table[101], frame::Crc8(table.data(), 101));
    std::vector<Byte> records(96, 0);
    const auto put = [&records](int object, ObjectRecord r) {
        std::copy(r.begin(), r.end(), records.begin() + 3 * (object - 1));
    };
    put(1, {0x42, 0xAB, 0xCD});
    put(16, {0x01, 0x0A, 0x01});
    put(17, {0x83, 0xA5, 0xF3});
    put(32, {0xC2, 0xFF, 0xFF});
    EXPECT_EQ(Hex(std::span(table).subspan(5, 96)), Hex(records));
}

TEST_F(GsmWrite, RetranslatorReadSavedOpenedAndWrittenBackUnchanged) {
    FrameBuffer gsm{};
    ResetGsmFrame(gsm);
    SetDeviceNumber(gsm, 0x1234);
    SetSmsFlag(gsm, true);
    WriteDirectionRecords(gsm, {DirectionRecord{true, 0x40, "+79001112233"},
                                {},
                                DirectionRecord{true, 0x2A, "host.example:1"},
                                {},
                                {}});
    StartPanel({QStringLiteral("--type"), QStringLiteral("15"), QStringLiteral("--version"),
                QStringLiteral("3"), QStringLiteral("--config-hex"), HexArg(RetConfig(0x07)),
                QStringLiteral("--gsm"), HexArg(BlockOf(gsm)), QStringLiteral("--object-count"),
                QStringLiteral("32"), QStringLiteral("--sms-records"), QStringLiteral("40"),
                QStringLiteral("--no-pace")});
    RunAndWait("ButtonRead");
    ASSERT_EQ(window->StatusText(), QStringLiteral("Конфигурация прочитана, версия прибора - 3"));
    auto* ret = dynamic_cast<TDV15_Ret*>(state.device.get());
    ASSERT_NE(ret, nullptr);
    EXPECT_EQ(ret->ObjectCount(), 32);
    EXPECT_EQ(ret->Sms().Count(), 40);
    EXPECT_TRUE(Find<QCheckBox>(QStringLiteral("chkSMS_On"))->isChecked());
    EXPECT_EQ(Find<QPushButton>(QStringLiteral("btnRetObj"))->text(), QStringLiteral("Объектов: 32"));

    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("ret.cf8"));
    dialogs.fileNames.push_back(file);
    window->FileSaveAsClick();
    ASSERT_TRUE(QFile::exists(file));
    ChooseFromMenu(13); // another device in between
    ResetGsmFrame(state.GsmFrame);
    dialogs.fileNames.push_back(file);
    dialogs.answers.push_back(MsgAnswer::No); // ret.cf8 does not hold the device now on screen
    window->FileOpenClick();
    ASSERT_TRUE(state.device);
    ASSERT_EQ(state.device->DevType, 15);

    SimProcess second({QStringLiteral("--type"), QStringLiteral("15"), QStringLiteral("--no-pace")});
    ASSERT_TRUE(second.Start()) << second.Error().toStdString();
    PointAt(second);
    const std::size_t asked = dialogs.shown.size();
    RunAndWait("ButtonWrite");
    ASSERT_EQ(window->StatusText(), QStringLiteral("Конфигурация записана"));
    // Another panel: nothing known of it to count changes against.
    EXPECT_EQ(dialogs.shown.size(), asked);

    ASSERT_TRUE(sim->Stop());
    const auto read = sim->Dump();
    const auto written = second.Dump();
    ASSERT_TRUE(read.has_value());
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(Hex(written->config), Hex(read->config));
    EXPECT_EQ(Hex(written->objects), Hex(read->objects));
    EXPECT_EQ(Hex(written->gsm), Hex(read->gsm));
    for (std::size_t k = 0; k < read->smsRecords.size(); ++k) {
        EXPECT_EQ(Hex(written->smsRecords[k]), Hex(read->smsRecords[k])) << "record " << k + 1;
    }

    // The frames themselves: configuration, object table, GSM settings and the four SMS pages.
    std::vector<std::vector<Byte>> frames = second.LoggedFrames();
    const auto find = [&frames](Byte sub) {
        std::vector<std::vector<Byte>> found;
        for (const auto& f : frames) {
            if (f.size() > 4 && f[2] == frame::kCmdWrite && f[3] == sub) {
                found.push_back(f);
            }
        }
        return found;
    };
    const auto config = find(frame::subConfig);
    ASSERT_EQ(config.size(), 1u);
    EXPECT_EQ(Hex(std::span(config[0]).subspan(5, 20)), Hex(read->config));
    const auto objects = find(frame::subObjects);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(Hex(std::span(objects[0]).subspan(5, 96)), Hex(read->objects));
    const auto gsmFrames = find(frame::subGsm);
    ASSERT_EQ(gsmFrames.size(), 1u);
    EXPECT_EQ(Hex(BlockOf(gsmFrames[0])), Hex(read->gsm));
    const auto pages = find(frame::subSmsPage);
    ASSERT_EQ(pages.size(), 4u);
    for (std::size_t p = 0; p < pages.size(); ++p) {
        ASSERT_EQ(pages[p].size(), 107u);
        EXPECT_EQ(pages[p][4], p);
        for (std::size_t n = 0; n < 10; ++n) {
            EXPECT_EQ(Hex(std::span(pages[p]).subspan(5 + 10 * n, 10)), Hex(read->smsRecords[10 * p + n]))
                << "page " << p << " record " << n;
        }
    }
    second.Stop();
}

} // namespace
