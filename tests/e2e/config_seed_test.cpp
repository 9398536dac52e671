// A panel read by the program, saved to a configuration file, and a second simulated panel
// seeded from that file: the second read gives back what the first panel held.
#include "device/retranslator.h"
#include "e2e_support.h"
#include "files/config_file.h"
#include "gsm/tx_buffers.h"
#include "support/temp_dir.h"

namespace orv::e2e {
namespace {

class ConfigSeed : public InEachMode {
protected:
    test::TempDir files;

    // Reads the panel now running into a fresh state.
    TProgramState ReadPanel() {
        TProgramState read;
        const auto results = RunTransaction(*data, read, TThreadBuff::modeRead);
        EXPECT_EQ(results.back().code, rcReadDone);
        return read;
    }

    void RoundTrip(QStringList firstPanel) {
        StartSim(firstPanel);
        TProgramState first = ReadPanel();
        ASSERT_TRUE(first.device);
        RefreshGsmModels(first);
        const QString path = QString::fromStdString(files.File("panel.cf8"));
        ASSERT_TRUE(WriteConfigFile(first, path.toStdString()).ok);
        const auto firstPanelState = sim->Dump();
        sim->Stop();

        // The file's type wins over --type.
        StartSim({"--type", "1", "--config", path});
        TProgramState second = ReadPanel();
        ASSERT_TRUE(second.device);
        EXPECT_EQ(second.device->DevType, first.device->DevType);
        const auto a = first.device->PayloadBytes();
        const auto b = second.device->PayloadBytes();
        EXPECT_EQ(Bytes(b.begin(), b.end()), Bytes(a.begin(), a.end()));
        EXPECT_EQ(Data(FrameBytes(second.GsmFrame)), Data(FrameBytes(first.GsmFrame)));
        if (first.GsmFrame[6]) {
            EXPECT_EQ(Data(FrameBytes(second.GprsFrame)), Data(FrameBytes(first.GprsFrame)));
        }
        const auto secondPanelState = sim->Dump();
        ASSERT_TRUE(firstPanelState && secondPanelState);
        EXPECT_EQ(secondPanelState->objects, firstPanelState->objects);
        EXPECT_EQ(secondPanelState->SmsRecordCount(), firstPanelState->SmsRecordCount());
        for (std::size_t k = 0; k < firstPanelState->SmsRecordCount(); ++k) {
            EXPECT_EQ(secondPanelState->smsRecords[k], firstPanelState->smsRecords[k]) << k;
        }
    }
};

TEST_P(ConfigSeed, RetranslatorWithObjectsAndSmsList) {
    auto config = std::make_shared<TDV15_Ret>();
    config->SetGsmConnected(true);
    config->SetLiterRX(5);
    const Bytes gsm{0x00, 0x07, 0x00, 0x01, 0x0C, 0x29, '8', '9', '0', '3', '1',
                    '2',  '3',  '4',  '5',  '6',  '7',  0,   0,   0,   0};
    RoundTrip({"--type", "15", "--config-hex", Hex(config->PayloadBytes()), "--gsm", Hex(gsm),
               "--object-count", "9", "--sms-records", "13"});
}

TEST_P(ConfigSeed, EightZonePanelWithGsmGprsAndSms) {
    auto config = CreateDevice(16);
    ConnectGsm(*config, true);
    config->SetPayload(0, 0x13);
    const Bytes gsm{0x04, 0xD2, 0x01, 0x01, 0x0C, 0x29, '8', '9', '0', '3', '1',
                    '2',  '3',  '4',  '5',  '6',  '7',  0,   0,   0,   0};
    const Bytes gprs{0x18, 'i', 'n', 't', 'e', 'r', 'n', 'e', 't', '.', 'm', 't', 's',
                     '.',  'r', 'u', 0,   'd', 'z', 'u', 0,   'd', 'z', 'u', 0,   0x00};
    const Bytes sms{0x01, 0x02, 0x97, 0x30, 0x21, 0x43, 0x65, 0xF7, 0xFF, 0xFF, 0x00};
    RoundTrip({"--type", "16", "--config-hex", Hex(config->PayloadBytes()), "--gsm", Hex(gsm), "--gprs",
               Hex(gprs), "--sms", Hex(sms)});
}

INSTANTIATE_TEST_SUITE_P(Link, ConfigSeed, ::testing::ValuesIn(kExchangeModes), ModeParamName);

} // namespace
} // namespace orv::e2e
