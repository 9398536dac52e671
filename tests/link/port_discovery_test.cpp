#include "link/port_discovery.h"
#include "link/result_codes.h"

#include <QSerialPortInfo>

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(PortDiscovery, EntryToPathOnEachPlatform) {
    struct Case {
        const char* entry;
        TPortPlatform platform;
        const char* path;
    };
    for (const Case c : {
             Case{"COM3", TPortPlatform::Windows, "\\\\.\\COM3"},
             Case{"COM12", TPortPlatform::Windows, "\\\\.\\COM12"},
             Case{"\\\\.\\COM4", TPortPlatform::Windows, "\\\\.\\COM4"},
             Case{" COM1 ", TPortPlatform::Windows, "\\\\.\\COM1"},
             Case{"ttyUSB0", TPortPlatform::Posix, "/dev/ttyUSB0"},
             Case{"ttyACM1", TPortPlatform::Posix, "/dev/ttyACM1"},
             Case{"ttyS0", TPortPlatform::Posix, "/dev/ttyS0"},
             Case{"/dev/pts/3", TPortPlatform::Posix, "/dev/pts/3"},
             Case{"/tmp/bridge", TPortPlatform::Posix, "/tmp/bridge"},
             Case{"ttyUSB0\n", TPortPlatform::Posix, "/dev/ttyUSB0"},
             Case{"", TPortPlatform::Posix, ""},
             Case{"  ", TPortPlatform::Windows, ""},
         }) {
        EXPECT_EQ(PortPathForEntry(QString::fromLatin1(c.entry), c.platform), QString::fromLatin1(c.path))
            << c.entry;
    }
}

TEST(PortDiscovery, NumberedPortsAndTheDefault) {
    EXPECT_EQ(PortEntryForNumber(1, TPortPlatform::Windows), "COM1");
    EXPECT_EQ(PortEntryForNumber(16, TPortPlatform::Windows), "COM16");
    EXPECT_EQ(PortEntryForNumber(1, TPortPlatform::Posix), "ttyS0");
    EXPECT_EQ(DefaultPortEntry(TPortPlatform::Windows), "COM1");
    EXPECT_EQ(DefaultPortEntry(TPortPlatform::Posix), "ttyUSB0");
}

TEST(PortDiscovery, AdapterKindByDescriptionOrIdentifiers) {
    EXPECT_TRUE(IsUsbUartAdapter("Silicon Labs CP210x USB to UART Bridge", std::nullopt, std::nullopt));
    EXPECT_TRUE(IsUsbUartAdapter("CP2102N USB to UART Bridge Controller", std::nullopt, std::nullopt));
    EXPECT_TRUE(IsUsbUartAdapter("", 0x10C4, 0xEA60));
    EXPECT_TRUE(IsUsbUartAdapter("USB Serial", 0x10C4, 0xEA60));
    EXPECT_FALSE(IsUsbUartAdapter("USB Serial", 0x10C4, 0xEA70));
    EXPECT_FALSE(IsUsbUartAdapter("USB Serial", 0x0403, 0xEA60));
    EXPECT_FALSE(IsUsbUartAdapter("FT232R USB UART", 0x0403, 0x6001));
    EXPECT_FALSE(IsUsbUartAdapter("cp210x", std::nullopt, std::nullopt)); // the name is matched as written
    EXPECT_FALSE(IsUsbUartAdapter("Communications Port", std::nullopt, std::nullopt));
}

TEST(PortDiscovery, ListsWhatTheSystemReportsNow) {
    const auto ports = QSerialPortInfo::availablePorts();
    const auto entries = DiscoverPorts();
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(ports.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& info = ports[static_cast<qsizetype>(i)];
        EXPECT_EQ(entries[i].name, info.portName());
        EXPECT_FALSE(entries[i].name.startsWith('/'));
        EXPECT_EQ(PortPathForEntry(entries[i].name), info.systemLocation());
    }
}

TEST(ResultCodes, FinalAndFailureCodes) {
    for (int code = -1; code <= 15; ++code) {
        const bool final = code == 0 || code == 1 || (code >= 8 && code <= 14);
        EXPECT_EQ(IsFinalResult(code), final) << code;
        EXPECT_EQ(IsFailureResult(code), code >= 8 && code <= 14) << code;
        EXPECT_EQ(ResultStatusText(code).empty(), code < 0 || code > 14) << code;
    }
    EXPECT_EQ(ResultStatusText(rcReadDone, 7), "Конфигурация прочитана, версия прибора - 7");
    EXPECT_EQ(ResultStatusText(rcReadDone, 255), "Конфигурация прочитана, версия прибора - 255");
    EXPECT_STREQ(ResultCodeName(rcUnsupportedDevice), "rcUnsupportedDevice");
    EXPECT_STREQ(ResultCodeName(rcObjectsError), "rcObjectsError");
}

} // namespace
} // namespace orv
