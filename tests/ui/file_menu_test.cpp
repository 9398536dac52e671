#include "window_fixture.h"

#include "device/catalogue.h"
#include "ui/settings.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace orv;
using namespace orv::test;

namespace {

class FileMenu : public WindowTest {
protected:
    QString Path(const QString& name) const { return QDir(files.path()).filePath(name); }
    void Trigger(const char* action) const {
        auto* a = window->findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(a, nullptr) << action;
        a->trigger();
    }
    QTemporaryDir files;
};

TEST_F(FileMenu, NothingToSaveWithoutADevice) {
    Trigger("FileSave");
    Trigger("FileSaveAs");
    EXPECT_TRUE(dialogs.fileDialogs.empty());
}

TEST_F(FileMenu, SaveAsAppendsTheExtensionAndStoresTheFolder) {
    ChooseFromMenu(16);
    settings->Store(QStringLiteral("filepath"), files.path());
    dialogs.fileNames.push_back(Path(QStringLiteral("site")));
    Trigger("FileSaveAs");
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    const FileDialogSpec& spec = dialogs.fileDialogs[0];
    EXPECT_EQ(spec.title, QStringLiteral("Сохранить настройки прибора в файл"));
    EXPECT_EQ(spec.filter, QStringLiteral("Файлы конфигурации прибора (*.cf8)"));
    EXPECT_EQ(spec.defaultSuffix, QStringLiteral("cf8"));
    // The folder last used, with a name offered: the device and the date.
    EXPECT_EQ(spec.directory,
              Path(QString::fromStdString(DeviceName(16)) + QLatin1Char(' ') +
                   QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".cf8")));
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("site.cf8"))));
    EXPECT_EQ(window->FileName(), Path(QStringLiteral("site.cf8")));
    EXPECT_EQ(window->StatusText(),
              QStringLiteral("Файл сохранен: ") + QDir::toNativeSeparators(Path("site.cf8")));
    EXPECT_EQ(settings->Stored(QStringLiteral("filepath")),
              QDir::toNativeSeparators(files.path() + QLatin1Char('/')));
    // The caption names the file saved, which is the current file now.
    EXPECT_EQ(window->windowTitle(), QDir::toNativeSeparators(Path(QStringLiteral("site.cf8"))) +
                                         QStringLiteral(" : Программатор ППКОП"));

    // ".cf8" anywhere in the name: kept as it is.
    dialogs.fileNames.push_back(Path(QStringLiteral("site.cf8.old")));
    Trigger("FileSaveAs");
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("site.cf8.old"))));
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("site.cf8.old.cf8"))));
    // Cancelled: nothing changes.
    dialogs.fileNames.push_back(QString());
    Trigger("FileSaveAs");
    EXPECT_EQ(window->FileName(), Path(QStringLiteral("site.cf8.old")));
}

TEST_F(FileMenu, SaveBeforeAnyFileAsksForAName) {
    ChooseFromMenu(5);
    dialogs.fileNames.push_back(Path(QStringLiteral("first.cf8")));
    Trigger("FileSave");
    EXPECT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("first.cf8"))));
    // Now it has a name: no dialog.
    QFile::remove(Path(QStringLiteral("first.cf8")));
    Trigger("FileSave");
    EXPECT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("first.cf8"))));
    EXPECT_EQ(window->StatusText(),
              QStringLiteral("Файл сохранен: ") + QDir::toNativeSeparators(Path("first.cf8")));
}

TEST_F(FileMenu, SaveRunsTheCommitStep) {
    ChooseFromMenu(13);
    ChooseText(Find<QComboBox>(QStringLiteral("FShlfType3")), QStringLiteral("Охранный"));
    Choose(Find<QComboBox>(QStringLiteral("bxShlfPart3")), 3);
    Click(Find<QCheckBox>(QStringLiteral("chkPartDep4")));
    dialogs.fileNames.push_back(Path(QStringLiteral("dep.cf8")));
    Trigger("FileSaveAs");
    EXPECT_EQ(dynamic_cast<TDevOP8*>(state.device.get())->GetPartDep(), 1u << 3);
    // And the file holds it: open it again after another device was chosen.
    ASSERT_TRUE(QFile::exists(Path(QStringLiteral("dep.cf8"))));
    dialogs.fileNames.push_back(Path(QStringLiteral("dep.cf8")));
    ChooseFromMenu(5);
    // dep.cf8 is still the current file and does not hold what is on screen now.
    dialogs.answers.push_back(MsgAnswer::No);
    Trigger("FileOpen");
    ASSERT_TRUE(state.device);
    EXPECT_EQ(state.device->DevType, 13);
    EXPECT_EQ(dynamic_cast<TDevOP8*>(state.device.get())->GetPartDep(), 1u << 3);
    EXPECT_TRUE(Find<QCheckBox>(QStringLiteral("chkPartDep4"))->isChecked());
}

TEST_F(FileMenu, OpenReplacesTheDeviceAndLaysItOut) {
    ChooseFromMenu(16);
    state.device->SetParam(prmReleAlarmFire, 0x41);
    state.device->SetOutput(6, 0x40);
    dialogs.fileNames.push_back(Path(QStringLiteral("t16.cf8")));
    Trigger("FileSaveAs");
    const auto saved = state.device;

    ChooseFromMenu(7);
    settings->Store(QStringLiteral("filepath"), QStringLiteral("/somewhere/else/"));
    dialogs.fileNames.push_back(Path(QStringLiteral("t16.cf8")));
    dialogs.answers.push_back(MsgAnswer::No); // t16.cf8 does not hold the type 7 on screen
    Trigger("FileOpen");
    const FileDialogSpec& spec = dialogs.fileDialogs.back();
    EXPECT_EQ(spec.title, QStringLiteral("Открыть файл конфигурации"));
    EXPECT_EQ(spec.filter, QStringLiteral("Файлы конфигурации прибора (*.cf8)"));
    EXPECT_EQ(spec.defaultSuffix, QStringLiteral("cf8"));
    EXPECT_EQ(spec.directory, QStringLiteral("/somewhere/else/"));
    ASSERT_TRUE(state.device);
    EXPECT_NE(state.device, saved);
    EXPECT_EQ(state.device->DevType, 16);
    EXPECT_EQ(state.device->GetParam(prmReleAlarmFire), 0x41);
    EXPECT_EQ(state.device->GetOutput(6), 0x40);
    EXPECT_EQ(window->SetUpType(), 16);
    EXPECT_EQ(Find<QComboBox>(QStringLiteral("bxReleAlarm"))->currentText(),
              QStringLiteral("Прерывисто 2 минуты"));
    EXPECT_EQ(window->FileName(), Path(QStringLiteral("t16.cf8")));
    EXPECT_EQ(window->windowTitle(), QDir::toNativeSeparators(Path(QStringLiteral("t16.cf8"))) +
                                         QStringLiteral(" : Программатор ППКОП"));
    EXPECT_EQ(window->StatusText(),
              QStringLiteral("Файл открыт: ") + QDir::toNativeSeparators(Path("t16.cf8")));
    EXPECT_EQ(settings->Stored(QStringLiteral("filepath")),
              QDir::toNativeSeparators(files.path() + QLatin1Char('/')));
}

TEST_F(FileMenu, DamagedFileIsRefusedAndChangesNothing) {
    ChooseFromMenu(11);
    const auto before = state.device;
    QFile bad(Path(QStringLiteral("bad.cf8")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("<?xml version=\"1.0\"?><config FileID=\"7\"><device ID=\"13\"/></config>");
    bad.close();
    settings->Store(QStringLiteral("filepath"), QStringLiteral("/kept/"));
    dialogs.fileNames.push_back(bad.fileName());
    Trigger("FileOpen");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, MsgKind::Error);
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Ошибка чтения файла"));
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Файл поврежден или не найден"));
    EXPECT_EQ(state.device, before);
    EXPECT_TRUE(window->FileName().isEmpty());
    EXPECT_TRUE(window->StatusText().isEmpty());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Программатор ППКОП"));
    EXPECT_EQ(settings->Stored(QStringLiteral("filepath")), QStringLiteral("/kept/"));
    // Cancelling the dialog does nothing at all.
    dialogs.fileNames.push_back(QString());
    Trigger("FileOpen");
    EXPECT_EQ(dialogs.shown.size(), 1u);
}

TEST_F(FileMenu, WriteFailureIsShownAndTheStatusStays) {
    ChooseFromMenu(6);
    dialogs.fileNames.push_back(Path(QStringLiteral("no/such/folder/x.cf8")));
    Trigger("FileSaveAs");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, MsgKind::Error);
    EXPECT_FALSE(dialogs.shown[0].text.isEmpty());
    EXPECT_TRUE(window->StatusText().isEmpty());
}

// What is no regular file is refused at once, never waited on: a FIFO is neither opened nor
// replaced by a save.
TEST_F(FileMenu, FifoIsNeitherOpenedNorReplaced) {
    ChooseFromMenu(16);
    const QString fifo = Path(QStringLiteral("pipe.cf8"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    dialogs.fileNames.push_back(fifo);
    Trigger("FileOpen");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Файл поврежден или не найден"));

    dialogs.fileNames.push_back(fifo);
    Trigger("FileSaveAs");
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_TRUE(dialogs.shown[1].text.contains(QStringLiteral("Это именованный канал, а не файл.")))
        << dialogs.shown[1].text.toStdString();
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// Qt's file dialogs show sizes and dates as the system locale words them: in Russian whatever the
// machine's locale, as the program sets itself up (the suite's main does the same).
TEST(FileDialogs, SizesAndDatesInRussian) {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("site.cf8")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1740, 'x'));
    ASSERT_TRUE(file.flush());
    const QDateTime time(QDate(2025, 12, 10), QTime(9, 30));
    ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
    file.close();

    QFileSystemModel model;
    model.setRootPath(dir.path());
    const QModelIndex index = model.index(file.fileName());
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    const QString size = russian.formattedDataSize(1740);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return model.data(index.siblingAtColumn(1)).toString() == size; }, 5000))
        << model.data(index.siblingAtColumn(1)).toString().toStdString() << " instead of "
        << size.toStdString();
    EXPECT_EQ(model.data(index.siblingAtColumn(3)).toString(), russian.toString(time, QLocale::ShortFormat));
}

} // namespace
