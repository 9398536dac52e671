// The window as a user drives it, at random: opening files and journal entries, reading and
// writing the simulated panel, editing, saving, choosing devices, comparing and closing, with the
// questions answered at random and files changed behind the window's back. After every step:
// a file changes only through a save the user confirmed, only the file the caption then names,
// and never losing what it held (it is in the journal); a write to a panel read in this session
// said how many settings it changes there, and that is what changed; the caption is marked
// exactly when the screen differs from the document's file, or without one from what last came
// on screen. A failure prints the seed and the steps.
//
// ORVANTA_WINDOW_STEPS sets the steps per seed (default 500; four seeds), ORVANTA_WINDOW_SEED the
// first seed.
#include "window_fixture.h"

#include "cli/cli.h"
#include "device/catalogue.h"
#include "files/config_file.h"
#include "journal/recorder.h"
#include "support/grid_input.h"
#include "support/sim_process.h"
#include "ui/document.h"
#include "ui/link_bridge.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>

#include <map>
#include <random>
#include <sstream>

using namespace orv;
using namespace orv::test;

namespace {

const QString kTitle = QStringLiteral("Программатор ППКОП");
constexpr Byte kPanelType = 16;

int EnvNumber(const char* name, int fallback) {
    const QByteArray value = qgetenv(name);
    bool ok = false;
    const int n = value.toInt(&ok);
    return ok && n > 0 ? n : fallback;
}

// What the user answers and picks, at random, with a record of every box shown.
class TRandomDialogs final : public IDialogs {
public:
    struct Shown {
        MsgButtons buttons;
        QString text;
        MsgAnswer answer;
    };

    explicit TRandomDialogs(std::mt19937& random) : random_(random) {}

    MsgAnswer Message(QWidget*, MsgKind, const QString&, const QString& text, MsgButtons buttons,
                      const QString&) override {
        MsgAnswer answer = MsgAnswer::Ok;
        if (buttons == MsgButtons::YesNo) {
            answer = Pick(2) == 0 ? MsgAnswer::No : MsgAnswer::Yes;
        } else if (buttons == MsgButtons::YesNoCancel) {
            const int n = Pick(5);
            answer = n < 2 ? MsgAnswer::Yes : n < 4 ? MsgAnswer::No : MsgAnswer::Cancel;
        }
        shown.push_back({buttons, text, answer});
        return answer;
    }
    QString GetOpenFileName(QWidget*, const FileDialogSpec&) override {
        return openName ? openName() : QString();
    }
    QString GetSaveFileName(QWidget*, const FileDialogSpec&) override {
        return saveName ? saveName() : QString();
    }
    int Exec(QDialog& dialog) override {
        if (!step) {
            return QDialog::Rejected;
        }
        auto run = std::move(step);
        step = nullptr;
        dialog.setResult(QDialog::Rejected);
        dialog.setModal(true);
        dialog.show();
        dialog.activateWindow();
        WaitActive(&dialog);
        run(dialog);
        dialog.hide();
        if (QWidget* below = dialog.parentWidget(); below && below->window()->isVisible()) {
            below->window()->activateWindow();
            WaitActive(below->window());
        }
        return dialog.result();
    }

    int Pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }

    std::vector<Shown> shown;
    std::function<QString()> openName;
    std::function<QString()> saveName;
    std::function<void(QDialog&)> step;

private:
    std::mt19937& random_;
};

// The window's document as the user can know it: what the caption's file held when the window
// last opened or saved it, or without a file what last came on screen; what the panel holds.
struct TModel {
    QString file;
    QByteArray fileHash;                      // the file's bytes when the window opened or saved it
    std::optional<SettingsList> fileSettings; // nothing: the file holds no configuration
    std::optional<SettingsList> shown;
    // The panel as this session last read or wrote it, with the type the window read or wrote.
    std::optional<SettingsList> windowPanel;
    std::optional<SettingsList> panel; // what the panel holds, when known

    std::optional<SettingsList> Baseline() const { return file.isEmpty() ? shown : fileSettings; }
};

QByteArray FileHash(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? Sha256(f.readAll().toStdString()) : QByteArray();
}

class WindowModel : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        settings = std::make_unique<SettingsSandbox>();
        ASSERT_TRUE(files.isValid());
        sim = std::make_unique<SimProcess>(
            QStringList{QStringLiteral("--type"), QString::number(kPanelType), QStringLiteral("--no-pace")});
        ASSERT_TRUE(sim->Start()) << sim->Error().toStdString();
        recorder = std::make_unique<journal::TJournalRecorder>(
            [](const QString& problem) { ADD_FAILURE() << problem.toStdString(); },
            QDir(journalDir.path()).filePath(QStringLiteral("journal.sqlite")));
        // A few files to start with: two sites of the panel's type and one of another.
        WriteConfig(QStringLiteral("site_a.cf8"), kPanelType, 1);
        WriteConfig(QStringLiteral("site_b.cf8"), kPanelType, 2);
        WriteConfig(QStringLiteral("other.cf8"), 10, 3);
        NewWindow();
    }
    void TearDown() override {
        window.reset();
        data.reset();
        recorder.reset();
        if (sim) {
            sim->Stop();
        }
        settings.reset();
    }

    QString Path(const QString& name) const { return QDir(files.path()).filePath(name); }

    void WriteConfig(const QString& name, Byte type, unsigned seed) {
        std::mt19937 r(seed);
        TProgramState s;
        s.device = CreateDevice(type);
        ResetGsmFrame(s.GsmFrame);
        RefreshGsmModels(s);
        // Another program's idea of the site: a few bytes of the zones.
        for (int p = 0; p < 6; ++p) {
            s.device->SetPayload(p, static_cast<Byte>(r()));
        }
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::fromStdString(BuildConfigDocument(s)));
    }

    void NewWindow() {
        window.reset();
        state = std::make_unique<TProgramState>();
        data = std::make_unique<TmodData>();
        window = std::make_unique<TFormMain>(*state, dialogs, *data);
        window->SetJournal(recorder.get());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QObject::connect(window.get(), &TFormMain::statusChanged, window.get(),
                         [this](const QString& text) { statuses.push_back(text); });
        auto* ports = window->findChild<QComboBox*>(QStringLiteral("cbbPorts"));
        ports->lineEdit()->setText(sim->PortPath());
        window->cbbPortsChange(sim->PortPath());
        model = TModel{};
    }

    // Every .cf8 file in the folder with its bytes.
    std::map<QString, QByteArray> Files() const {
        std::map<QString, QByteArray> all;
        for (const QString& name : QDir(files.path()).entryList(QDir::Files)) {
            QFile f(Path(name));
            all[Path(name)] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
        }
        return all;
    }

    QString RandomFile() {
        const auto all = Files();
        auto it = all.begin();
        std::advance(it, dialogs.Pick(static_cast<int>(all.size())));
        return it->first;
    }

    // The save dialog's choice: an existing file, a new one, or cancelled.
    QString SaveName() {
        const int n = dialogs.Pick(10);
        if (n < 2) {
            return {};
        }
        if (n < 6) {
            return RandomFile();
        }
        return Path(QStringLiteral("new%1.cf8").arg(dialogs.Pick(4)));
    }

    bool WaitIdle() {
        return QTest::qWaitFor([this] { return !window->Busy(); }, 30'000);
    }

    // What the panel holds, read by the command-line tool from the same port.
    std::optional<SettingsList> ReadPanel() {
        const QString out = QDir(journalDir.path()).filePath(QStringLiteral("panel.cf8"));
        int status = 0;
        std::ostringstream e;
        // The window lets go of the port once its transaction has ended.
        for (int attempt = 0; attempt < 40; ++attempt) {
            std::ostringstream o;
            e.str({});
            status = cli::RunCli(
                {"read", "--no-journal", "--port", sim->PortPath().toStdString(), "--out", out.toStdString()},
                o, e);
            if (status != 8) {
                break;
            }
            QTest::qWait(50);
        }
        EXPECT_EQ(status, 0) << e.str();
        return ReadFileContent(out).settings;
    }

    bool Marked() const { return window->windowTitle().startsWith(QLatin1Char('*')); }

    std::unique_ptr<SettingsSandbox> settings;
    QTemporaryDir files;
    QTemporaryDir journalDir;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<journal::TJournalRecorder> recorder;
    std::mt19937 random;
    TRandomDialogs dialogs{random};
    std::unique_ptr<TProgramState> state;
    std::unique_ptr<TmodData> data;
    std::unique_ptr<TFormMain> window;
    QStringList statuses;
    TModel model;
};

enum class Act { Open, Read, Edit, Save, SaveAs, Write, Entry, Device, Compare, Close, Outside, Count };

const char* ActName(Act a) {
    static const char* names[] = {"open",          "read",   "edit",    "save",  "save as",       "write",
                                  "journal entry", "device", "compare", "close", "outside change"};
    return names[static_cast<int>(a)];
}

TEST_P(WindowModel, EveryChangeIsSeenBeforeItHappens) {
    const int seed = GetParam() + EnvNumber("ORVANTA_WINDOW_SEED", 1) - 1;
    const int steps = EnvNumber("ORVANTA_WINDOW_STEPS", 500);
    random.seed(static_cast<unsigned>(seed));
    std::vector<std::string> log;
    const auto fail = [&](const std::string& what) {
        std::string all;
        for (std::size_t i = 0; i < log.size(); ++i) {
            all += "\n  " + std::to_string(i + 1) + ". " + log[i];
        }
        return "seed " + std::to_string(seed) + ", step " + std::to_string(log.size()) + ": " + what +
               "\nsteps:" + all;
    };
    // Weights of the actions: edits and saves most, transactions less, closing seldom.
    const std::array<int, static_cast<int>(Act::Count)> weights{8, 5, 20, 10, 6, 6, 5, 5, 3, 2, 5};
    std::discrete_distribution<int> pick(weights.begin(), weights.end());

    for (int step = 0; step < steps && !HasFailure(); ++step) {
        const Act act = static_cast<Act>(pick(random));
        std::string what = ActName(act);
        const auto before = Files();
        const SettingsList screenBefore = window->ScreenSettings();
        const TModel modelBefore = model;
        const std::size_t shownBefore = dialogs.shown.size();
        statuses.clear();
        dialogs.openName = nullptr;
        dialogs.saveName = [this] { return SaveName(); };
        bool userSaves = false; // the step is a save the user asked for

        switch (act) {
        case Act::Open: {
            const QString name = RandomFile();
            what += " " + QFileInfo(name).fileName().toStdString();
            dialogs.openName = [name] { return name; };
            window->findChild<QAction*>(QStringLiteral("FileOpen"))->trigger();
            break;
        }
        case Act::Read:
            window->ButtonReadClick();
            EXPECT_TRUE(WaitIdle());
            break;
        case Act::Edit: {
            auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("PageMain"));
            if (!state->device || !tabs->isVisible()) {
                what += " (nothing on screen)";
                break;
            }
            QWidget* page = tabs->currentWidget();
            std::vector<QCheckBox*> boxes;
            for (auto* box : page->findChildren<QCheckBox*>()) {
                if (box->isVisible() && box->isEnabled()) {
                    boxes.push_back(box);
                }
            }
            std::vector<QLineEdit*> edits;
            for (auto* edit : page->findChildren<QLineEdit*>()) {
                if (edit->isVisible() && edit->isEnabled() && !edit->isReadOnly() &&
                    !qobject_cast<QComboBox*>(edit->parentWidget())) {
                    edits.push_back(edit);
                }
            }
            const int how = dialogs.Pick(3);
            if (how == 0 || (boxes.empty() && edits.empty())) {
                // Another page: only those the device shows can be reached.
                QTest::keyClick(tabs, Qt::Key_Tab, Qt::ControlModifier);
                what += " page " + tabs->tabText(tabs->currentIndex()).toStdString();
                if (!tabs->isTabVisible(tabs->currentIndex())) {
                    ADD_FAILURE() << fail("a hidden page was reached");
                }
            } else if (how == 1 && !boxes.empty()) {
                QCheckBox* box =
                    boxes[static_cast<std::size_t>(dialogs.Pick(static_cast<int>(boxes.size())))];
                what += " click " + box->objectName().toStdString();
                QTest::mouseClick(box, Qt::LeftButton, {},
                                  QPoint(std::min(8, box->width() / 2), box->height() / 2));
            } else if (!edits.empty()) {
                QLineEdit* edit =
                    edits[static_cast<std::size_t>(dialogs.Pick(static_cast<int>(edits.size())))];
                const QString text = QString::number(dialogs.Pick(120));
                what += " type " + text.toStdString() + " into " + edit->objectName().toStdString();
                edit->setFocus(Qt::MouseFocusReason);
                edit->selectAll();
                QTest::keyClick(edit, Qt::Key_Delete);
                QTest::keyClicks(edit, text);
                QTest::keyClick(edit, Qt::Key_Tab);
            }
            break;
        }
        case Act::Save:
            userSaves = true;
            window->findChild<QAction*>(QStringLiteral("FileSave"))->trigger();
            break;
        case Act::SaveAs:
            userSaves = true;
            window->findChild<QAction*>(QStringLiteral("FileSaveAs"))->trigger();
            break;
        case Act::Write:
            if (!state->device || state->device->DevType != kPanelType) {
                what += " (not the panel's type)";
                break;
            }
            window->ButtonWriteClick();
            EXPECT_TRUE(WaitIdle());
            break;
        case Act::Entry: {
            const int choice = dialogs.Pick(4);
            what += " row " + std::to_string(choice);
            dialogs.step = [choice](QDialog& dialog) {
                auto* grid = dialog.findChild<QTableView*>(QStringLiteral("grdJournal"));
                if (!grid || choice >= grid->model()->rowCount()) {
                    return;
                }
                grid->selectRow(choice);
                QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("btnOpen")), Qt::LeftButton);
            };
            window->findChild<QAction*>(QStringLiteral("FileJournal"))->trigger();
            dialogs.step = nullptr;
            break;
        }
        case Act::Device: {
            const Byte type = dialogs.Pick(3) == 0 ? Byte{10} : kPanelType;
            what += " " + std::to_string(type);
            window->ChooseDevice(type);
            break;
        }
        case Act::Compare: {
            const QString name = RandomFile();
            dialogs.openName = [name] { return name; };
            window->findChild<QAction*>(QStringLiteral("FileCompare"))->trigger();
            break;
        }
        case Act::Close:
            window->close();
            break;
        case Act::Outside: {
            // Another program rewrites a file.
            const QString name = RandomFile();
            what += " " + QFileInfo(name).fileName().toStdString();
            WriteConfig(QFileInfo(name).fileName(), dialogs.Pick(2) == 0 ? Byte{10} : kPanelType,
                        static_cast<unsigned>(random()));
            break;
        }
        case Act::Count:
            break;
        }
        QApplication::processEvents();
        // Input settles: the mark is checked once the input has been handled.
        QTest::qWait(1);
        for (std::size_t i = shownBefore; i < dialogs.shown.size(); ++i) {
            what += " [" +
                    dialogs.shown[i]
                        .text.left(40)
                        .replace(QLatin1String("\r\n"), QLatin1String(" "))
                        .toStdString() +
                    " -> " + std::to_string(static_cast<int>(dialogs.shown[i].answer)) + "]";
        }
        log.push_back(what);
        const bool closed = !window->isVisible();

        // The model follows what the window said it did, in order.
        const auto saidYesToSave = [&] {
            for (std::size_t i = shownBefore; i < dialogs.shown.size(); ++i) {
                if (dialogs.shown[i].text == QStringLiteral("Сохранить изменения?") &&
                    dialogs.shown[i].answer == MsgAnswer::Yes) {
                    return true;
                }
            }
            return false;
        };
        const auto asked = [&](const QString& file) {
            for (std::size_t i = shownBefore; i < dialogs.shown.size(); ++i) {
                if (dialogs.shown[i].buttons == MsgButtons::YesNo && dialogs.shown[i].text.contains(file)) {
                    return dialogs.shown[i].answer == MsgAnswer::Yes;
                }
            }
            return false;
        };
        std::optional<SettingsList> writtenBox;
        for (const QString& status : statuses) {
            if (status.startsWith(QStringLiteral("Файл сохранен: "))) {
                const QString file = status.mid(15);
                if (!userSaves && !saidYesToSave()) {
                    ADD_FAILURE() << fail("saved without being asked to: " + file.toStdString());
                }
                // A file this window did not put there, or of another type, was asked about.
                const auto old = before.find(file);
                if (old != before.end() && file == modelBefore.file) {
                    const auto oldSettings = ReadFileContent(file).settings; // as saved now
                    const bool changed = Sha256(old->second.toStdString()) != modelBefore.fileHash;
                    TProgramState onDisk;
                    const bool config = ReadConfigDocument(onDisk, old->second.constData(),
                                                           static_cast<std::size_t>(old->second.size()));
                    const bool otherType =
                        !config || !oldSettings || onDisk.device->DevType != oldSettings->devType;
                    if ((changed || otherType) && !asked(file)) {
                        ADD_FAILURE() << fail("replaced " + file.toStdString() + " without asking");
                    }
                }
                model.file = file;
                model.fileHash = FileHash(file);
                model.fileSettings = ReadFileContent(file).settings;
                model.shown.reset();
            } else if (status.startsWith(QStringLiteral("Файл открыт: "))) {
                model.file = status.mid(13);
                model.fileHash = FileHash(model.file);
                model.fileSettings = ReadFileContent(model.file).settings;
                model.shown.reset();
            } else if (status.startsWith(QStringLiteral("Из журнала:"))) {
                if (model.file.isEmpty()) {
                    model.shown = window->ScreenSettings();
                }
            } else if (status.startsWith(QStringLiteral("Конфигурация прочитана"))) {
                model.windowPanel = window->ScreenSettings();
                model.panel = model.windowPanel;
                if (model.file.isEmpty()) {
                    model.shown = model.windowPanel;
                }
            } else if (status == QStringLiteral("Конфигурация записана")) {
                writtenBox = window->ScreenSettings();
            } else if (status.isEmpty() && act == Act::Device && model.file.isEmpty()) {
                model.shown = window->ScreenSettings();
            }
        }

        // A write: the count shown is what changed in the panel.
        if (act == Act::Write && state->device && state->device->DevType == kPanelType) {
            QString box;
            for (std::size_t i = shownBefore; i < dialogs.shown.size(); ++i) {
                if (dialogs.shown[i].text.startsWith(QStringLiteral("Будет изменено параметров: "))) {
                    box = dialogs.shown[i].text;
                }
            }
            std::optional<std::size_t> expected;
            if (modelBefore.windowPanel && modelBefore.windowPanel->devType == screenBefore.devType) {
                expected = Compare(*modelBefore.windowPanel, screenBefore).diffs.size();
            }
            const int shownCount = box.isEmpty() ? -1 : box.mid(27).section(QLatin1Char('\r'), 0, 0).toInt();
            if (expected && *expected > 0 && shownCount != static_cast<int>(*expected)) {
                ADD_FAILURE() << fail("the write showed " + std::to_string(shownCount) + " changes, not " +
                                      std::to_string(*expected));
            }
            if (!expected && shownCount >= 0) {
                ADD_FAILURE() << fail("a count without a read: " + box.toStdString());
            }
            if (writtenBox) {
                const auto panel = ReadPanel();
                if (!panel || *panel != *writtenBox) {
                    ADD_FAILURE() << fail("the panel does not hold what was written");
                } else if (modelBefore.panel && shownCount >= 0 &&
                           Compare(*modelBefore.panel, *panel).diffs.size() !=
                               static_cast<std::size_t>(shownCount)) {
                    ADD_FAILURE() << fail("the count is not what changed in the panel");
                }
                model.windowPanel = writtenBox;
                model.panel = panel;
                if (model.file.isEmpty()) {
                    model.shown = writtenBox;
                }
            } else if (!box.isEmpty() || statuses.size() > 0) {
                // Answered No, or failed: a failed write leaves the panel unknown.
                for (const QString& status : statuses) {
                    if (status.startsWith(QStringLiteral("Обнаружены")) ||
                        status.startsWith(QStringLiteral("Нет связи")) ||
                        status.startsWith(QStringLiteral("Ошибка"))) {
                        model.windowPanel.reset();
                        model.panel.reset();
                    }
                }
            }
        }

        // Files: only saved ones changed, and what they held is kept.
        const auto after = Files();
        for (const auto& [file, bytes] : after) {
            const auto old = before.find(file);
            if (act == Act::Outside || (old != before.end() && old->second == bytes)) {
                continue;
            }
            bool saved = false;
            for (const QString& status : statuses) {
                saved |= status == QStringLiteral("Файл сохранен: ") + file;
            }
            if (!saved) {
                ADD_FAILURE() << fail("changed on disk without a save: " + file.toStdString());
            }
            if (!closed && file != window->FileName() &&
                statuses.back().startsWith(QStringLiteral("Файл сохранен"))) {
                ADD_FAILURE() << fail("saved a file the caption does not name: " + file.toStdString());
            }
            if (old != before.end()) {
                TProgramState replaced;
                if (ReadConfigDocument(replaced, old->second.constData(),
                                       static_cast<std::size_t>(old->second.size())) &&
                    !recorder->Journal().HoldsConfiguration(
                        QString::fromLatin1(Sha256(old->second.toStdString())))) {
                    ADD_FAILURE() << fail("what " + file.toStdString() + " held is not in the journal");
                }
            }
        }
        if (act == Act::Outside) {
            continue;
        }

        if (closed) {
            NewWindow();
            continue;
        }
        // The mark: exactly when the screen differs from the document.
        QTest::qWait(1);
        const SettingsList screen = window->ScreenSettings();
        const auto baseline = model.Baseline();
        const bool differs = state->device && (!baseline || *baseline != screen);
        if (Marked() != differs) {
            ADD_FAILURE() << fail(
                std::string("the caption ") + (Marked() ? "is" : "is not") +
                " marked: " + window->windowTitle().toStdString() + "\n" +
                (baseline ? ToText(Compare(*baseline, screen)) : std::string("no baseline")) +
                "\nstatuses: " + statuses.join(QStringLiteral(" | ")).toStdString() +
                "\nthe window's baseline:\n" +
                (window->Document().Baseline() ? ToText(Compare(*window->Document().Baseline(), screen))
                                               : std::string("none")));
        }
        if (!model.file.isEmpty() && !window->windowTitle().contains(model.file)) {
            ADD_FAILURE() << fail("the caption does not name " + model.file.toStdString());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, WindowModel, ::testing::Values(1, 2, 3, 4),
                         [](const auto& info) { return "Seed" + std::to_string(info.param); });

} // namespace
