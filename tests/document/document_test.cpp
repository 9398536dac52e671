// The window's document: when the caption is marked, when a save asks first and what it keeps,
// what a write is said to change in the panel, and how a file on disk is read.
#include "device/catalogue.h"
#include "files/config_file.h"
#include "gsm/tx_buffers.h"
#include "support/temp_dir.h"
#include "ui/document.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace orv {
namespace {

const QString kTitle = QStringLiteral("Программатор ППКОП");
const QString kPort = QStringLiteral("/dev/ttyUSB0");

TProgramState Factory(Byte type) {
    TProgramState s;
    s.device = CreateDevice(type);
    ResetGsmFrame(s.GsmFrame);
    RefreshGsmModels(s);
    return s;
}

// A configuration of the type with the entry delay of zone 1 (or another first byte) changed.
SettingsList Edited(Byte type, Byte value) {
    TProgramState s = Factory(type);
    s.device->SetPayload(0, value);
    return ListSettings(s);
}

std::string Text(Byte type, Byte value = 0) {
    TProgramState s = Factory(type);
    if (value != 0) {
        s.device->SetPayload(0, value);
    }
    return BuildConfigDocument(s);
}

class Document : public ::testing::Test {
protected:
    QString Write(const std::string& name, const std::string& bytes) const {
        const QString path = QString::fromStdString(dir.File(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
        return path;
    }
    // Opens the file as the window does.
    void Open(const QString& path) {
        const TFileContent content = ReadFileContent(path);
        ASSERT_TRUE(content.settings);
        document.Opened(path, content, *content.settings, {});
    }

    test::TempDir dir;
    TDocument document;
};

TEST_F(Document, TheMarkComparesWithTheFileWhileThereIsOne) {
    const SettingsList factory = ListSettings(Factory(10));
    const SettingsList panel = Edited(10, 0x5A);
    ASSERT_NE(factory, panel);
    const QString site = Write("site.cf8", Text(10));
    Open(site);
    EXPECT_FALSE(document.Modified(factory));
    EXPECT_EQ(document.Caption(kTitle, false), QStringLiteral("%1 : %2").arg(site, kTitle));

    // A read (or a journal entry, or another device) keeps the file: marked while it differs.
    document.Read(kPort, panel);
    EXPECT_TRUE(document.Modified(panel));
    EXPECT_FALSE(document.Modified(factory));
    document.OpenedEntry(QStringLiteral("Из журнала"), panel, {});
    EXPECT_EQ(document.File(), site);
    EXPECT_EQ(document.Caption(kTitle, true), QStringLiteral("*%1 : %2").arg(site, kTitle));
    document.DeviceChosen(ListSettings(Factory(5)));
    EXPECT_TRUE(document.Modified(ListSettings(Factory(5))));

    document.Saved(site, Text(10, 0x5A), panel);
    EXPECT_FALSE(document.Modified(panel));
    document.Written(kPort, panel);
    EXPECT_FALSE(document.Modified(panel));
    EXPECT_TRUE(document.Modified(factory));

    // A directions file holds no configuration: nothing on screen is saved in it.
    document.DirectionsSaved(Write("directions.cf8", "<x/>"), "<x/>");
    EXPECT_TRUE(document.Modified(panel));
    EXPECT_FALSE(document.Modified(SettingsList{}));
}

TEST_F(Document, WithoutAFileTheMarkComparesWithWhatLastCameOnScreen) {
    const SettingsList factory = ListSettings(Factory(10));
    const SettingsList panel = Edited(10, 0x5A);
    document.DeviceChosen(factory);
    EXPECT_FALSE(document.Modified(factory));
    EXPECT_TRUE(document.Modified(panel));
    document.Read(kPort, panel);
    EXPECT_FALSE(document.Modified(panel));
    document.OpenedEntry(QStringLiteral("Из журнала: запись"), factory, QStringLiteral("Склад"));
    EXPECT_FALSE(document.Modified(factory));
    EXPECT_EQ(document.Caption(kTitle, false), QStringLiteral("Из журнала: запись : ") + kTitle);
    EXPECT_EQ(document.Site(), QStringLiteral("Склад"));
    // A new configuration from the menu is not that entry's site any more.
    document.DeviceChosen(factory);
    EXPECT_EQ(document.Site(), QString());
}

struct SaveCase {
    const char* name;
    Byte onDisk;  // the type the file holds now; 0: not a configuration
    bool changed; // changed on disk since it was opened
    bool current; // the current file (else another, as a save under a new name)
    bool asks;
    bool keeps;
};

void PrintTo(const SaveCase& c, std::ostream* os) {
    *os << c.name;
}

class SaveChecks : public Document, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveChecks, AskAndKeepAsTheFileDeserves) {
    const SaveCase& c = GetParam();
    const QString site = Write("site.cf8", Text(10));
    Open(site);
    const QString target = c.current ? site : Write("other.cf8", Text(10));
    const std::string now =
        c.onDisk == 0 ? std::string("<not a configuration/>") : Text(c.onDisk, c.changed ? 0x69 : 0);
    Write(c.current ? "site.cf8" : "other.cf8", now);
    const SettingsList screen = Edited(10, 0x3C);
    const TSaveCheck check = document.CheckSave(target, ReadFileContent(target), screen);
    EXPECT_EQ(!check.question.isEmpty(), c.asks) << check.question.toStdString();
    EXPECT_EQ(check.keepReplaced, c.keeps);
    if (c.asks) {
        // It names the file and both devices.
        EXPECT_TRUE(check.question.contains(target)) << check.question.toStdString();
        EXPECT_TRUE(check.question.contains(QString::fromStdString(DeviceName(10))));
        if (c.onDisk != 0) {
            EXPECT_TRUE(check.question.contains(QString::fromStdString(DeviceName(c.onDisk))));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, SaveChecks,
                         ::testing::Values(SaveCase{"AsOpened", 10, false, true, false, false},
                                           SaveCase{"ChangedOnDisk", 10, true, true, true, true},
                                           SaveCase{"AnotherType", 5, false, true, true, true},
                                           SaveCase{"NotAConfiguration", 0, false, true, true, false},
                                           SaveCase{"AnotherFile", 10, false, false, false, true},
                                           SaveCase{"AnotherFileOfAnotherType", 5, true, false, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Document, NothingToAskOrKeepWhenTheFileIsGone) {
    const QString site = Write("site.cf8", Text(10));
    Open(site);
    ASSERT_EQ(::unlink(site.toLocal8Bit().constData()), 0);
    const TSaveCheck check = document.CheckSave(site, ReadFileContent(site), Edited(5, 0x3C));
    EXPECT_TRUE(check.question.isEmpty());
    EXPECT_FALSE(check.keepReplaced);
}

TEST_F(Document, ChangesAreCountedAgainstThePanelOfThatTypeOnThatPort) {
    const SettingsList panel = Edited(10, 0x5A);
    const SettingsList screen = Edited(10, 0xA5);
    EXPECT_FALSE(document.PanelChanges(kPort, screen));
    document.Read(kPort, panel);
    const auto changes = document.PanelChanges(kPort, screen);
    ASSERT_TRUE(changes);
    EXPECT_EQ(ToText(*changes), ToText(Compare(panel, screen)));
    EXPECT_FALSE(changes->diffs.empty());
    // Whatever came on screen since: a file, an entry, another device of the type.
    Open(Write("site.cf8", Text(10)));
    EXPECT_TRUE(document.PanelChanges(kPort, screen));
    EXPECT_FALSE(document.PanelChanges(QStringLiteral("/dev/ttyUSB1"), screen));
    EXPECT_FALSE(document.PanelChanges(kPort, Edited(5, 0xA5)));
    // A written panel holds what was written; after a failed write nobody knows.
    document.Written(kPort, screen);
    EXPECT_TRUE(document.PanelChanges(kPort, screen)->Equal());
    document.WriteFailed();
    EXPECT_FALSE(document.PanelChanges(kPort, screen));
}

TEST_F(Document, SuggestedNamesAreFileNames) {
    const QDate date(2026, 12, 10);
    EXPECT_EQ(document.SuggestedName(QStringLiteral("Терсан 34x"), date),
              QStringLiteral("Терсан 34x 2026-12-10.cf8"));
    document.SetSite(QStringLiteral(" Склад 3/4: \"север\"\t"));
    EXPECT_EQ(document.SuggestedName(QStringLiteral("Терсан 34x"), date),
              QStringLiteral("Склад 3_4_ _север_ 2026-12-10.cf8"));
}

// Anything that is not a regular file is refused at once, never waited on.
TEST_F(Document, OnlyRegularFilesAreRead) {
    const QString regular = Write("site.cf8", Text(16));
    const QString fifo = QString::fromStdString(dir.File("fifo"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QString link = QString::fromStdString(dir.File("link.cf8"));
    ASSERT_EQ(::symlink(regular.toLocal8Bit().constData(), link.toLocal8Bit().constData()), 0);
    const QString dangling = QString::fromStdString(dir.File("dangling.cf8"));
    ASSERT_EQ(::symlink("nowhere", dangling.toLocal8Bit().constData()), 0);
    const QString loop = QString::fromStdString(dir.File("loop.cf8"));
    ASSERT_EQ(::symlink(loop.toLocal8Bit().constData(), loop.toLocal8Bit().constData()), 0);

    struct Case {
        QString path;
        bool exists, read, configuration;
    };
    for (const Case& c :
         {Case{regular, true, true, true}, Case{link, true, true, true}, Case{fifo, true, false, false},
          Case{QString::fromStdString(dir.path()), true, false, false}, Case{dangling, true, false, false},
          Case{loop, true, false, false},
          Case{QString::fromStdString(dir.File("missing.cf8")), false, false, false}}) {
        SCOPED_TRACE(c.path.toStdString());
        const TFileContent content = ReadFileContent(c.path);
        EXPECT_EQ(content.exists, c.exists);
        EXPECT_EQ(content.read, c.read);
        EXPECT_EQ(content.settings.has_value(), c.configuration);
    }
    EXPECT_EQ(ReadFileContent(link).sha256, Sha256(Text(16)));
}

} // namespace
} // namespace orv
