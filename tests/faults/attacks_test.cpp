// orvanta-cli run as a careless script or a hostile user would run it, one row per attack: names
// that stand for a device, a FIFO, a loop of links or the journal, names at the file system's
// limit, options out of their usual place, text made to forge lines or reach the terminal, ports
// that are none. Each row gives the command, the exit status and the words it must print; around
// every row the folder is compared entry by entry (kind, mode, inode, content, link target), so
// that nothing but what the row may make has changed: the device node, the FIFO, the journal, the
// links. The real program runs, with a deadline: an attack that blocks fails its row.
#include "cli/cli.h"
#include "files/config_file.h"
#include "gsm/tx_buffers.h"
#include "settings/random_configuration.h"
#include "support/cli_run.h"
#include "support/read_only_media.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace orv::test {
namespace {

namespace fs = std::filesystem;

// A name of 255 bytes, the longest most file systems take, and one of 254 bytes in Cyrillic
// (two bytes a letter), so that a shortened temporary name must not cut a letter in two.
const std::string kLongest = std::string(251, 'x') + ".cf8";
const std::string kLongCyrillic = [] {
    std::string name;
    for (int i = 0; i < 125; ++i) {
        name += "ж";
    }
    return name + ".cf8";
}();
const std::string kTooLong = std::string(252, 'x') + ".cf8";

// What a text made to forge output holds: a tab and a line break, and an OSC sequence that would
// set the terminal's title.
const std::string kForged = "Склад\t7\nforged\x1b]0;pwned\x07";
const std::string kForgedEscaped = "Склад\\t7\\nforged\\x1b]0;pwned\\x07";

struct Attack {
    const char* name;
    std::vector<std::string> args; // "@name": that entry of the scene ("@device": its device node)
    int status;
    std::string words;                  // what out or err must hold
    std::vector<std::string> made = {}; // entries the command may make or change; nothing else may
    int lines = -1;                     // when set: how many lines out has
    // The journal is read from read-only media ("media/journal.sqlite") instead.
    bool readOnlyJournal = false;
};

void PrintTo(const Attack& a, std::ostream* os) {
    *os << a.name;
}

const Attack kAttacks[] = {
    // Saving over what is not a regular file.
    {"NewOverFifo", {"new", "--type", "16", "--out", "@fifo"}, 3, "Это именованный канал, а не файл."},
    {"NewOverDevice", {"new", "--type", "16", "--out", "@device"}, 3, "Это устройство, а не файл."},
    {"NewOverLinkToFifo", {"new", "--type", "16", "--out", "@to-fifo"}, 3, "Это именованный канал"},
    {"NewOverLinkLoop", {"new", "--type", "16", "--out", "@loop"}, 3, "замыкаются в петлю"},
    {"ReportOverFifo", {"report", "@a.cf8", "--out", "@fifo.pdf"}, 3, "Это именованный канал"},
    {"DiffReportOverDevice",
     {"diff", "--report", "@device.html", "@a.cf8", "@a.cf8"},
     3,
     "Это устройство, а не файл."},
    {"JournalExportOverFifo", {"journal", "export", "1", "--out", "@fifo"}, 3, "Это именованный канал"},
    // Names at the file system's limit are saved; one past it is refused in Russian.
    {"NewLongestName",
     {"new", "--type", "16", "--out", "@" + kLongest},
     0,
     "Файл сохранен",
     {kLongest, "journal.sqlite"}},
    {"NewLongCyrillicName",
     {"new", "--type", "16", "--out", "@" + kLongCyrillic},
     0,
     "Файл сохранен",
     {kLongCyrillic, "journal.sqlite"}},
    {"NewNameTooLong", {"new", "--type", "16", "--out", "@" + kTooLong}, 3, "Слишком длинное имя файла."},
    // Reading what is not a regular file: refused at once, never waited on.
    {"ShowFifo", {"show", "@fifo"}, 3, "Это именованный канал, а не файл."},
    {"ShowDevice", {"show", "@device"}, 3, "Это устройство, а не файл."},
    {"ShowLinkLoop", {"show", "@loop"}, 3, "замыкаются в петлю"},
    {"ShowMissing", {"show", "@missing.cf8"}, 3, "Нет такого файла или папки."},
    {"DiffFifo", {"diff", "@a.cf8", "@fifo"}, 3, "Это именованный канал"},
    {"ReportFifo", {"report", "@fifo", "--out", "@r.pdf"}, 3, "Это именованный канал"},
    {"WriteFifo", {"write", "--port", "@no-port", "@fifo"}, 3, "Это именованный канал"},
    {"DiffPortFifo", {"diff", "--port", "@no-port", "@fifo"}, 3, "Это именованный канал"},
    {"FlashFifo", {"flash", "--port", "@no-port", "@fifo"}, 3, "Это именованный канал"},
    // The journal and any other SQLite database are never written over.
    {"NewOverJournal", {"new", "--type", "16", "--out", "@journal.sqlite"}, 3, "базы данных SQLite"},
    {"ExportOverJournal", {"journal", "export", "1", "--out", "@journal.sqlite"}, 3, "базы данных SQLite"},
    {"ReportOverDatabase", {"report", "@a.cf8", "--out", "@database.html"}, 3, "базы данных SQLite"},
    // Global options anywhere on the line; the journal stays as it was.
    {"NoJournalFirstReport", {"--no-journal", "report", "@a.cf8", "--out", "@r.pdf"}, 0, "", {"r.pdf"}},
    {"NoJournalFirstDiffReport",
     {"--no-journal", "diff", "--report", "@r.html", "@a.cf8", "@a.cf8"},
     0,
     "",
     {"r.html"}},
    {"NoJournalLastNew",
     {"new", "--type", "16", "--out", "@n.cf8", "--no-journal"},
     0,
     "Файл сохранен",
     {"n.cf8"}},
    // Text from files and other computers reaches the terminal escaped.
    {"JournalListEscapes", {"journal", "list"}, 0, kForgedEscaped, {}, 1},
    {"ShowEscapes", {"show", "@a.cf8"}, 0, kForgedEscaped},
    // A journal another run made, on read-only media: the reading commands read it as it is and
    // leave nothing beside it.
    {"JournalListOnReadOnlyMedia", {"journal", "list"}, 0, kForgedEscaped, {}, 1, true},
    {"JournalShowOnReadOnlyMedia", {"journal", "show", "1"}, 0, "Прибор: Терсан 34x", {}, -1, true},
    {"JournalExportFromReadOnlyMedia",
     {"journal", "export", "1", "--out", "@x.cf8"},
     0,
     "Файл сохранен",
     {"x.cf8"},
     -1,
     true},
    // Settings and templates as JSON: read and saved by the same rules.
    {"ImportFifo", {"import", "@fifo", "--out", "@x.cf8"}, 3, "Это именованный канал"},
    {"ApplyDeviceAsTemplate", {"apply", "@device", "@a.cf8"}, 3, "Это устройство, а не файл."},
    {"SetOverFifo", {"set", "@a.cf8", "buzzer=нет", "--out", "@fifo"}, 3, "Это именованный канал"},
    {"TemplateOverJournal",
     {"template", "make", "@a.cf8", "--keys", "buzzer", "--out", "@journal.sqlite"},
     3,
     "базы данных SQLite"},
    {"GetEscapes", {"get", "@a.cf8", "gsm.gprs.1.apn"}, 0, "gsm.gprs.1.apn=" + kForgedEscaped, {}, 1},
    // Ports that are none, told in Russian whatever the locale.
    {"ReadMissingPort", {"read", "--port", "@no-port", "--out", "@x.cf8"}, 8, "Нет такого файла или папки."},
    {"ReadFileAsPort", {"read", "--port", "@a.cf8", "--out", "@x.cf8"}, 8, "не является терминалом"},
    {"ReadFifoAsPort", {"read", "--port", "@fifo", "--out", "@x.cf8"}, 8, "не является терминалом"},
    {"FlashMissingPort", {"flash", "--port", "@no-port", "@fw.enc"}, 8, "Нет такого файла или папки."},
};

// One entry of a folder as far as a user could tell it changed.
struct Entry {
    std::string kind;
    unsigned mode = 0;
    unsigned long long inode = 0;
    unsigned long long device = 0; // of a device node
    std::string content;           // a regular file's bytes, a link's target
    bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Entry& e) {
    return os << e.kind << " mode " << std::oct << e.mode << std::dec << " inode " << e.inode << " device "
              << e.device << " (" << e.content.size() << " bytes)";
}

Entry Look(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return {"missing", 0, 0, 0, {}};
    }
    Entry e{"", static_cast<unsigned>(st.st_mode & 07777), st.st_ino, 0, {}};
    if (S_ISREG(st.st_mode)) {
        e.kind = "file";
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        e.content = s.str();
    } else if (S_ISLNK(st.st_mode)) {
        e.kind = "link";
        e.content = fs::read_symlink(path).string();
    } else if (S_ISFIFO(st.st_mode)) {
        e.kind = "fifo";
    } else if (S_ISCHR(st.st_mode)) {
        e.kind = "character device";
        e.device = st.st_rdev;
    } else {
        e.kind = "other";
    }
    return e;
}

struct RunResult {
    bool finished = false;
    int status = -1;
    std::string out, err;
};

class Attacks : public ::testing::TestWithParam<Attack> {
protected:
    // A configuration whose first SIM card's APN is made to forge a line and retitle the
    // terminal, and a journal whose entry 1 has such a site: made once, copied into every scene.
    static void SetUpTestSuite() {
        EnsureQtApp();
        made = std::make_unique<TempDir>();
        qputenv("ORVANTA_JOURNAL", QFile::encodeName(QString::fromStdString(made->File("journal.sqlite"))));
        TProgramState state = RandomConfiguration(16, 5);
        state.Gprs.SetApn(0, kForged);
        ASSERT_TRUE(UpdateAllTXBuffers(state, nullptr).ok());
        ASSERT_TRUE(WriteConfigFile(state, made->File("a.cf8")).ok);
        ASSERT_EQ(Cli({"new", "--type", "16", "--out", made->File("entry.cf8")}).status, 0);
        ASSERT_EQ(Cli({"journal", "site", "1", kForged}).status, 0);
    }
    static void TearDownTestSuite() { made.reset(); }

    void SetUp() override {
        journal = dir.File("journal.sqlite");
        qputenv("ORVANTA_JOURNAL", QFile::encodeName(QString::fromStdString(journal)));
        for (const char* name : {"a.cf8", "entry.cf8", "journal.sqlite"}) {
            fs::copy_file(made->File(name), dir.File(name));
        }
        ASSERT_EQ(::mkfifo(dir.File("fifo").c_str(), 0644), 0);
        ASSERT_EQ(::mkfifo(dir.File("fifo.pdf").c_str(), 0644), 0);
        // A device node of the scene's own where the system allows one (never the machine's
        // own /dev/null, should a save replace it); elsewhere /dev/null, which then cannot be.
        device = dir.File("device");
        if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
            device = "/dev/null";
        }
        fs::create_symlink(device, dir.File("device.html"));
        fs::create_symlink("fifo", dir.File("to-fifo"));
        fs::create_symlink("loop-back", dir.File("loop"));
        fs::create_symlink("loop", dir.File("loop-back"));
        fs::create_symlink("journal.sqlite", dir.File("database.html"));
        std::ofstream(dir.File("fw.enc")) << "0004112233440002AABB";
    }

    std::string Path(const std::string& arg) const {
        if (arg == "@device") {
            return device;
        }
        return arg.starts_with("@") ? dir.File(arg.substr(1)) : arg;
    }

    // Every entry of the scene, of its media and the device node, by name.
    std::map<std::string, Entry> Scene() const {
        std::map<std::string, Entry> scene;
        for (const auto& e : fs::directory_iterator(dir.path())) {
            scene[e.path().filename().string()] = Look(e.path().string());
        }
        if (fs::is_directory(dir.File("media"))) {
            for (const auto& e : fs::directory_iterator(dir.File("media"))) {
                scene["media/" + e.path().filename().string()] = Look(e.path().string());
            }
        }
        scene[device] = Look(device);
        return scene;
    }

    RunResult Run(const std::vector<std::string>& args) const {
        QStringList arguments;
        for (const std::string& arg : args) {
            arguments << QString::fromStdString(Path(arg));
        }
        QProcess process;
        process.start(QStringLiteral(ORVANTA_CLI_PATH), arguments);
        RunResult run;
        if (!process.waitForStarted(10'000)) {
            return run;
        }
        run.finished = process.waitForFinished(20'000);
        if (!run.finished) {
            process.kill();
            process.waitForFinished(-1);
        }
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        run.out = process.readAllStandardOutput().toStdString();
        run.err = process.readAllStandardError().toStdString();
        return run;
    }

    static inline std::unique_ptr<TempDir> made;
    TempDir dir;
    std::string journal;
    std::string device;
};

TEST_P(Attacks, AreRefusedOrHandled) {
    const Attack& a = GetParam();
    std::unique_ptr<ReadOnlyMedia> media;
    if (a.readOnlyJournal) {
        ASSERT_TRUE(fs::create_directory(dir.File("media")));
        journal = dir.File("media/journal.sqlite");
        fs::copy_file(made->File("journal.sqlite"), journal);
        qputenv("ORVANTA_JOURNAL", QFile::encodeName(QString::fromStdString(journal)));
        media = std::make_unique<ReadOnlyMedia>(dir.File("media"));
        if (!media->Unavailable().empty()) {
            GTEST_SKIP() << media->Unavailable();
        }
    }
    auto before = Scene();
    const RunResult run = Run(a.args);
    ASSERT_TRUE(run.finished) << "orvanta-cli did not end";
    EXPECT_EQ(run.status, a.status) << run.out << run.err;
    const std::string said = run.out + run.err;
    EXPECT_NE(said.find(a.words), std::string::npos) << said;
    // No escape sequence reaches the terminal, whatever the row.
    EXPECT_EQ(said.find('\x1b'), std::string::npos) << said;
    if (a.lines >= 0) {
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), a.lines) << run.out;
    }

    auto after = Scene();
    for (const std::string& name : a.made) {
        EXPECT_EQ(after[name].kind, "file") << name;
        before.erase(name);
        after.erase(name);
    }
    for (const auto& [name, entry] : before) {
        EXPECT_EQ(after[name], entry) << name;
    }
    for (const auto& [name, entry] : after) {
        EXPECT_TRUE(before.contains(name)) << "left behind: " << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Cli, Attacks, ::testing::ValuesIn(kAttacks),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace orv::test
