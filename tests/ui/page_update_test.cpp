// The firmware page in the window, against the simulator's loader over a pseudo-terminal.
#include "window_fixture.h"

#include "files/firmware_image.h"
#include "link/comm_port_driver.h"
#include "sim/hex.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "ui/page_update.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <fstream>
#include <memory>

using namespace orv;
using namespace orv::test;

namespace {

using Bytes = std::vector<Byte>;

Bytes Chain(const std::vector<std::size_t>& payloads) {
    Bytes bytes;
    Byte next = 0x30;
    for (const std::size_t n : payloads) {
        bytes.push_back(static_cast<Byte>(n >> 8));
        bytes.push_back(static_cast<Byte>(n & 0xFF));
        for (std::size_t i = 0; i < n; ++i) {
            bytes.push_back(next++);
        }
    }
    return bytes;
}

const QString kUpdateCaption = QStringLiteral("Прошивка прибора");
const QString kNoPort = QStringLiteral("/dev/orvanta-no-such-port");

// The controls the window disables while an update runs.
const char* const kControls[] = {"ButtonRead", "ButtonWrite", "cbbPorts",
                                 "PGUpdate",   "btnUpdFile",  "btnUpdate"};

class UpdatePage : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        // The pages are shown once a device type is set up; the firmware page with every type.
        ChooseFromMenu(10);
        page = Find<TPageUpdate>(QStringLiteral("PGUpdate"));
        edt = Find<QLineEdit>(QStringLiteral("edtUpdFileName"));
        btnUpdFile = Find<QPushButton>(QStringLiteral("btnUpdFile"));
        btnUpdate = Find<QPushButton>(QStringLiteral("btnUpdate"));
        bar = Find<QProgressBar>(QStringLiteral("pbUpdate"));
        port = Find<TCommPortDriver>(QStringLiteral("cmprtdrvrUpdate"));
        QObject::connect(page, &TPageUpdate::progressSet,
                         [this](int percent) { progress.push_back(percent); });
    }

    void StartLoader(QStringList args = {}) {
        sim = std::make_unique<SimProcess>(QStringList{"--loader"} + args);
        ASSERT_TRUE(sim->Start()) << sim->Error().toStdString();
        SetPortText(sim->PortPath());
    }

    void SetPortText(const QString& text) {
        TypeAndLeave(Find<QComboBox>(QStringLiteral("cbbPorts"))->lineEdit(), text);
    }

    // A firmware file chosen through the page's dialog.
    QString ChooseFile(const std::string& text) {
        const std::string path = files.File("fw" + std::to_string(++fileCount) + ".enc");
        std::ofstream(path, std::ios::binary) << text;
        dialogs.fileNames.push_back(QString::fromStdString(path));
        Click(btnUpdFile);
        return QString::fromStdString(path);
    }

    void Update() {
        QElapsedTimer clock;
        clock.start();
        Click(btnUpdate);
        elapsedMs = clock.elapsed();
    }

    // The loader's log once it has stopped: the blocks received, and any incomplete one.
    QStringList Received() {
        EXPECT_TRUE(sim->Stop());
        QFile file(sim->LogPath());
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
            return {};
        }
        return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    void ExpectControlsEnabled(bool on) const {
        for (const char* name : kControls) {
            EXPECT_EQ(Find<QWidget>(QString::fromLatin1(name))->isEnabled(), on) << name;
        }
    }

    void ExpectLastMessage(MsgKind kind, const QString& caption, const QString& text) const {
        ASSERT_FALSE(dialogs.shown.empty());
        const auto& m = dialogs.shown.back();
        EXPECT_EQ(m.kind, kind);
        EXPECT_EQ(m.caption, caption);
        EXPECT_EQ(m.text, text);
        EXPECT_EQ(m.buttons, MsgButtons::Ok);
    }

    TempDir files;
    int fileCount = 0;
    std::unique_ptr<SimProcess> sim;
    TPageUpdate* page = nullptr;
    QLineEdit* edt = nullptr;
    QPushButton* btnUpdFile = nullptr;
    QPushButton* btnUpdate = nullptr;
    QProgressBar* bar = nullptr;
    TCommPortDriver* port = nullptr;
    std::vector<int> progress;
    qint64 elapsedMs = 0;
};

TEST_F(UpdatePage, StartsWithoutAFile) {
    EXPECT_EQ(page->Caption(), QStringLiteral("Прошивка"));
    EXPECT_TRUE(edt->isReadOnly());
    EXPECT_TRUE(edt->text().isEmpty());
    EXPECT_EQ(btnUpdFile->text(), QStringLiteral("Выбрать файл"));
    EXPECT_EQ(btnUpdate->text(), QStringLiteral("Обновить прошивку"));
    EXPECT_FALSE(btnUpdate->isEnabled());
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_FALSE(bar->isVisibleTo(page));
    auto* timer = Find<QTimer>(QStringLiteral("tmrUpdOff"));
    EXPECT_EQ(timer->interval(), 4000);
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(port->BaudRateValue(), 115200);
    EXPECT_EQ(port->PollingDelay(), 10);
    EXPECT_FALSE(port->IsOpen());
}

TEST_F(UpdatePage, DialogOpensInTheStoredFolderAndStoresNothing) {
    settings->Store(QStringLiteral("filepath"), QString::fromStdString(files.path()));
    const QString path = ChooseFile("0003AABBCC");
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    const FileDialogSpec& spec = dialogs.fileDialogs[0];
    EXPECT_EQ(spec.filter, QStringLiteral("Файлы прошивок (*.enc)"));
    EXPECT_EQ(spec.directory, QString::fromStdString(files.path()));
    EXPECT_EQ(edt->text(), QDir::toNativeSeparators(path));
    EXPECT_TRUE(btnUpdate->isEnabled());
    EXPECT_EQ(settings->Stored(QStringLiteral("filepath")), QString::fromStdString(files.path()));

    // Cancelling keeps the file chosen before.
    dialogs.fileNames.push_back(QString());
    Click(btnUpdFile);
    EXPECT_EQ(edt->text(), QDir::toNativeSeparators(path));
    EXPECT_TRUE(btnUpdate->isEnabled());
}

TEST_F(UpdatePage, WithoutAFileAsksForOne) {
    StartLoader();
    // The window enables the button with the others, chosen file or not.
    window->ControlsEnable(true);
    Update();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    ExpectLastMessage(MsgKind::Information, kUpdateCaption, QStringLiteral("Выберите файл"));
    EXPECT_FALSE(port->IsOpen());
    EXPECT_TRUE(Received().isEmpty());
}

TEST_F(UpdatePage, OneBlockIsSentWholeAndTheBarLastShowsZero) {
    StartLoader();
    ChooseFile("0003AABBCC");
    Update();
    EXPECT_EQ(progress, std::vector<int>{0});
    EXPECT_EQ(bar->value(), 0);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    ExpectLastMessage(MsgKind::Plain, kUpdateCaption, QStringLiteral("Прошивка прибора обновлена"));
    EXPECT_FALSE(bar->isVisibleTo(page));
    ExpectControlsEnabled(true);
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(Received(), QStringList{"0003AABBCC"});
}

TEST_F(UpdatePage, TwoBlocksSetTheBarToZeroThenSixty) {
    StartLoader();
    const Bytes image = Chain({4, 2});
    ChooseFile(ToFirmwareText(image));
    Update();
    EXPECT_EQ(progress, (std::vector<int>{0, 60}));
    ExpectLastMessage(MsgKind::Plain, kUpdateCaption, QStringLiteral("Прошивка прибора обновлена"));
    EXPECT_EQ(Received(), (QStringList{QString::fromStdString(sim::ToHex(std::span(image).first(6))),
                                       QString::fromStdString(sim::ToHex(std::span(image).subspan(6)))}));
}

TEST_F(UpdatePage, RefusedBlockIsAChecksumError) {
    StartLoader({"--fault", "nak:2"});
    ChooseFile(ToFirmwareText(Chain({4, 4, 4})));
    Update();
    EXPECT_EQ(progress, std::vector<int>{0});
    ASSERT_EQ(dialogs.shown.size(), 1u);
    ExpectLastMessage(MsgKind::Error, kUpdateCaption, QStringLiteral("Ошибка контрольной суммы"));
    EXPECT_FALSE(bar->isVisibleTo(page));
    ExpectControlsEnabled(true);
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(Received().size(), 2);
}

// Silence: the window keeps working while it waits, with its controls off and the bar shown,
// will not close under the update, and gives up after the time-out.
TEST_F(UpdatePage, SilenceEndsInNoLinkWhileTheWindowStaysResponsive) {
    StartLoader({"--fault", "mute:2"});
    ChooseFile(ToFirmwareText(Chain({4, 4, 4})));
    int ticksUpdating = 0;
    bool closed = true;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (!page->Updating()) {
            return;
        }
        ++ticksUpdating;
        for (const char* name : kControls) {
            EXPECT_FALSE(Find<QWidget>(QString::fromLatin1(name))->isEnabled()) << name;
        }
        EXPECT_TRUE(bar->isVisible());
        EXPECT_TRUE(port->IsOpen());
        if (ticksUpdating == 3) {
            closed = window->close();
        }
    });
    ticker.start(50);
    Update();
    ticker.stop();
    EXPECT_GE(ticksUpdating, 40); // 4 s of waiting, 50 ms a tick
    EXPECT_FALSE(closed);
    EXPECT_TRUE(window->isVisible());
    EXPECT_GE(elapsedMs, 4000);
    EXPECT_LT(elapsedMs, 8000);
    EXPECT_EQ(progress, std::vector<int>{0});
    ASSERT_EQ(dialogs.shown.size(), 1u);
    ExpectLastMessage(MsgKind::Error, kUpdateCaption, QStringLiteral("Нет связи с устройством"));
    EXPECT_FALSE(bar->isVisibleTo(page));
    ExpectControlsEnabled(true);
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(Received().size(), 2);
    EXPECT_TRUE(window->close());
}

struct RefusedFile {
    const char* name;
    std::string text;
    QString message;
};

// Every refused file is refused before the port is opened: the loader receives nothing.
TEST_F(UpdatePage, BadFilesAreRefusedBeforeAnythingIsSent) {
    const QString notFound = QString::fromUtf8(kFirmwareNotFoundText);
    Bytes oversize = Chain({256});
    while (oversize.size() <= kFirmwareMaxBytes) {
        const Bytes more = Chain({256});
        oversize.insert(oversize.end(), more.begin(), more.end());
    }
    for (const RefusedFile& c : {
             RefusedFile{"trailing line break", "0003AABBCC\r\n", notFound},
             RefusedFile{"odd length", "0003AABBC", notFound},
             RefusedFile{"not hexadecimal", "0003AABBCZ", notFound},
             RefusedFile{"oversize", ToFirmwareText(oversize), QStringLiteral("Файл прошивки слишком велик")},
             RefusedFile{"last block overruns", "0003AABBCC00FFAA",
                         QStringLiteral("Файл прошивки поврежден: последний блок обрывается")},
         }) {
        StartLoader();
        dialogs.shown.clear();
        ChooseFile(c.text);
        Update();
        ASSERT_EQ(dialogs.shown.size(), 1u) << c.name;
        ExpectLastMessage(MsgKind::Error, QStringLiteral("Ошибка"), c.message);
        EXPECT_FALSE(dialogs.shown.back().details.isEmpty()) << c.name;
        EXPECT_TRUE(progress.empty()) << c.name;
        ExpectControlsEnabled(true);
        EXPECT_FALSE(port->IsOpen()) << c.name;
        EXPECT_TRUE(Received().isEmpty()) << c.name;
    }
}

TEST_F(UpdatePage, FileGoneSinceItWasChosenIsNotFound) {
    StartLoader();
    const QString path = ChooseFile("0003AABBCC");
    ASSERT_TRUE(QFile::remove(path));
    Update();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    ExpectLastMessage(MsgKind::Error, QStringLiteral("Ошибка"), QString::fromUtf8(kFirmwareNotFoundText));
    EXPECT_FALSE(dialogs.shown.back().details.isEmpty());
    EXPECT_TRUE(Received().isEmpty());
}

// No port: the window's port error, as for a read.
TEST_F(UpdatePage, MissingPortIsThePortError) {
    SetPortText(kNoPort);
    ChooseFile("0003AABBCC");
    Update();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    ExpectLastMessage(MsgKind::Error, QStringLiteral("Ошибка открытия порта"),
                      QStringLiteral("Невозможно открыть последовательный порт.\r\nВыберите другой порт и "
                                     "попробуйте снова"));
    // The details carry the update port's own reason, not the protocol port's.
    EXPECT_FALSE(dialogs.shown.back().details.isEmpty());
    EXPECT_EQ(dialogs.shown.back().details, port->LastError());
    EXPECT_EQ(window->StatusText(), QStringLiteral("Ошибка порта"));
    EXPECT_EQ(window->StatusColor(), QColor(255, 0, 0));
    EXPECT_TRUE(progress.empty());
    EXPECT_FALSE(bar->isVisibleTo(page));
    ExpectControlsEnabled(true);
    EXPECT_FALSE(port->IsOpen());
}

TEST_F(UpdatePage, AnotherUpdateAfterAFailure) {
    StartLoader({"--fault", "nak:1"});
    ChooseFile("0003AABBCC");
    Update();
    ExpectLastMessage(MsgKind::Error, kUpdateCaption, QStringLiteral("Ошибка контрольной суммы"));
    Update();
    ExpectLastMessage(MsgKind::Plain, kUpdateCaption, QStringLiteral("Прошивка прибора обновлена"));
    EXPECT_EQ(Received(), (QStringList{"0003AABBCC", "0003AABBCC"}));
}

} // namespace
