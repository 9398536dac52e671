// File → "Журнал...": the entries listed newest first and found by search and filters; the chosen
// entry opened in the window, compared, exported, reported on and given a site name and note.
#include "journal/journal_support.h"
#include "support/report_reading.h"
#include "window_fixture.h"

#include "device/catalogue.h"
#include "files/config_file.h"
#include "gsm/directions.h"
#include "journal/recorder.h"
#include "ui/compare_dialog.h"
#include "ui/journal_dialog.h"
#include "ui/journal_settings_dialog.h"
#include "ui/sites_dialog.h"
#include "ui/widgets.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QTableView>
#include <QTableWidget>

#include <set>

using namespace orv;
using namespace orv::test;

namespace {

using journal::TAction;
using journal::TNewEntry;
using Col = TJournalModel::Column;

TProgramState Factory(Byte type) {
    TProgramState state;
    state.device = CreateDevice(type);
    ResetGsmFrame(state.GsmFrame);
    RefreshGsmModels(state);
    return state;
}

QDateTime At(int hour, int minute) {
    return QDateTime(QDate(2026, 3, 1), QTime(hour, minute), Qt::UTC);
}

QString Local(const QDateTime& time) {
    return time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class JournalDialogTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        recorder = std::make_unique<journal::TJournalRecorder>(
            [this](const QString& problem) { told.push_back(problem); }, Path());
        window->SetJournal(recorder.get());
    }
    void TearDown() override {
        window.reset();
        recorder.reset();
        WindowTest::TearDown();
    }

    QString Path(const QString& name = QStringLiteral("journal.sqlite")) const { return dir.filePath(name); }

    // A read and a write of one panel, a retranslator saved to a file, and a panel opened from a
    // file by another user on another computer, already sent to a server. Recorded out of time
    // order: the list goes by time.
    void Seed() {
        TNewEntry open =
            journal::EntryFromState(TAction::Open, Factory(5), {}, QStringLiteral("/tmp/kp.cf8"));
        open.time = At(11, 0);
        ids.open = Add(open);

        TNewEntry read = journal::EntryFromState(TAction::Read, panelRead, QStringLiteral("/dev/ttyUSB0"));
        read.firmware = 27;
        read.site = QStringLiteral("Склад №3");
        read.time = At(9, 0);
        ids.read = Add(read);

        panelWritten.device->SetZoneType(1, 3);
        TNewEntry write =
            journal::EntryFromState(TAction::Write, panelWritten, QStringLiteral("/dev/ttyUSB0"));
        write.firmware = 27;
        write.site = QStringLiteral("Склад №3");
        write.note = QStringLiteral("Замена АКБ");
        write.time = At(9, 30);
        // Text the program would never write itself (a comment): only the recorded text itself
        // comes back from an export byte for byte.
        write.config += "<!-- записано на объекте -->\n";
        writeText = write.config;
        ids.write = Add(write);

        TNewEntry save = journal::EntryFromState(TAction::Save, Factory(15), {},
                                                 QStringLiteral("/home/u/Объекты/Башня-7.cf8"));
        save.time = At(10, 0);
        ids.save = Add(save);

        RawDb raw(Path());
        raw.Exec(QStringLiteral(
                     "UPDATE entries SET os_user = 'petrov', host_name = 'pc-2', sent = 1 WHERE id = %1")
                     .arg(ids.open));
    }

    qint64 Add(const TNewEntry& entry) {
        const auto id = recorder->Journal().Record(entry);
        EXPECT_TRUE(id) << recorder->Journal().Problem().toStdString();
        return id.value_or(0);
    }

    // Runs File → "Журнал..." with what the user does in it.
    void InJournal(const std::function<void(TJournalDialog&)>& step) {
        dialogs.dialogSteps.push_back([step](QDialog& dialog) {
            auto* journal = qobject_cast<TJournalDialog*>(&dialog);
            ASSERT_NE(journal, nullptr);
            step(*journal);
        });
        Find<QAction>(QStringLiteral("FileJournal"))->trigger();
        EXPECT_TRUE(dialogs.dialogSteps.empty());
    }

    static TJournalModel& Model(TJournalDialog& d) {
        return *qobject_cast<TJournalModel*>(d.findChild<QTableView*>(QStringLiteral("grdJournal"))->model());
    }
    static std::vector<qint64> Listed(TJournalDialog& d) {
        std::vector<qint64> listed;
        for (int row = 0; row < Model(d).rowCount(); ++row) {
            listed.push_back(Model(d).Entry(row).id);
        }
        return listed;
    }
    // Chooses the entries in the list as a user would with Ctrl held.
    static void Choose(TJournalDialog& d, const std::vector<qint64>& chosen) {
        auto* grid = d.findChild<QTableView*>(QStringLiteral("grdJournal"));
        grid->clearSelection();
        for (qint64 id : chosen) {
            for (int row = 0; row < Model(d).rowCount(); ++row) {
                if (Model(d).Entry(row).id == id) {
                    grid->selectionModel()->select(Model(d).index(row, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
                }
            }
        }
    }
    static void Press(TJournalDialog& d, const char* name) {
        auto* button = d.findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        ASSERT_TRUE(button->isEnabled()) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }

    QTemporaryDir dir;
    std::unique_ptr<journal::TJournalRecorder> recorder;
    std::vector<QString> told;
    TProgramState panelRead = Factory(10);
    TProgramState panelWritten = Factory(10);
    std::string writeText;
    struct {
        qint64 open = 0, read = 0, write = 0, save = 0;
    } ids;
};

TEST_F(JournalDialogTest, ListsNewestFirstAndNarrowsBySearchTypeAndUser) {
    Seed();
    const QString me = recorder->Journal().List().entries.back().user;
    InJournal([&](TJournalDialog& d) {
        EXPECT_EQ(Listed(d), (std::vector<qint64>{ids.open, ids.save, ids.write, ids.read}));
        const TJournalModel& model = Model(d);
        const auto cell = [&](int row, Col column) { return model.index(row, column).data().toString(); };
        struct Row {
            QDateTime time;
            const char* action;
            QString site, device, version, place, onlyHere, user, host, note;
        };
        const QString here = QSysInfo::machineHostName();
        const Row expected[] = {
            {At(11, 0),
             "Открытие",
             {},
             ToQ(DeviceName(5)),
             {},
             QStringLiteral("/tmp/kp.cf8"),
             {},
             QStringLiteral("petrov"),
             QStringLiteral("pc-2"),
             {}},
            {At(10, 0),
             "Сохранение",
             {},
             ToQ(DeviceName(15)),
             {},
             QStringLiteral("/home/u/Объекты/Башня-7.cf8"),
             QStringLiteral("да"),
             me,
             here,
             {}},
            {At(9, 30), "Запись", QStringLiteral("Склад №3"), ToQ(DeviceName(10)), QStringLiteral("27"),
             QStringLiteral("/dev/ttyUSB0"), QStringLiteral("да"), me, here, QStringLiteral("Замена АКБ")},
            {At(9, 0),
             "Чтение",
             QStringLiteral("Склад №3"),
             ToQ(DeviceName(10)),
             QStringLiteral("27"),
             QStringLiteral("/dev/ttyUSB0"),
             QStringLiteral("да"),
             me,
             here,
             {}},
        };
        for (int row = 0; row < 4; ++row) {
            const Row& e = expected[row];
            SCOPED_TRACE(e.action);
            EXPECT_EQ(cell(row, Col::Time), Local(e.time));
            EXPECT_EQ(cell(row, Col::Action), QString::fromUtf8(e.action));
            EXPECT_EQ(cell(row, Col::Site), e.site);
            EXPECT_EQ(cell(row, Col::Device), e.device);
            EXPECT_EQ(cell(row, Col::Version), e.version);
            EXPECT_EQ(cell(row, Col::Place), QDir::toNativeSeparators(e.place));
            EXPECT_EQ(cell(row, Col::OnlyHere), e.onlyHere);
            EXPECT_EQ(cell(row, Col::User), e.user);
            EXPECT_EQ(cell(row, Col::Host), e.host);
            EXPECT_EQ(cell(row, Col::Note), e.note);
        }
        EXPECT_EQ(model.headerData(Col::Site, Qt::Horizontal).toString(), QStringLiteral("Объект"));

        auto* search = d.findChild<QLineEdit*>(QStringLiteral("edtSearch"));
        auto* type = d.findChild<QComboBox*>(QStringLiteral("cbbDeviceType"));
        auto* author = d.findChild<QComboBox*>(QStringLiteral("cbbAuthor"));
        ASSERT_TRUE(search && type && author);
        struct Case {
            const char* name;
            QString search;
            int type;
            QString author;
            std::vector<qint64> listed;
        };
        const Case cases[] = {
            {"site, any case", QStringLiteral("СКЛАД"), 0, {}, {ids.write, ids.read}},
            {"note", QStringLiteral("акб"), 0, {}, {ids.write}},
            {"file path", QStringLiteral("башня"), 0, {}, {ids.save}},
            {"device name", ToQ(DeviceName(15)), 0, {}, {ids.save}},
            {"device type", {}, 10, {}, {ids.write, ids.read}},
            {"search and type", QStringLiteral("склад"), 15, {}, {}},
            {"user and computer", {}, 0, QStringLiteral("petrov@pc-2"), {ids.open}},
            {"everything again", {}, 0, {}, {ids.open, ids.save, ids.write, ids.read}},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            search->setText(c.search);
            QTest::keyClick(search, Qt::Key_Return);
            type->setCurrentIndex(c.type == 0 ? 0 : type->findText(ToQ(DeviceName(c.type))));
            ASSERT_GE(type->currentIndex(), 0);
            author->setCurrentIndex(c.author.isEmpty() ? 0 : author->findText(c.author));
            ASSERT_GE(author->currentIndex(), 0);
            EXPECT_EQ(Listed(d), c.listed);
            EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("lblCount"))->text(),
                      QStringLiteral("Записей: %1").arg(c.listed.size()));
        }
        // The connection state of a journal server shows once there is one to tell.
        auto* connection = d.findChild<QLabel*>(QStringLiteral("lblConnection"));
        EXPECT_TRUE(connection->isHidden());
        d.SetConnectionText(QStringLiteral("Сервер журнала: соединение установлено"));
        EXPECT_FALSE(connection->isHidden());
    });
}

// The device filter offers what "Прибор" shows: versions of one panel recorded under one name are
// one item that finds them all.
TEST_F(JournalDialogTest, DeviceFilterFindsWhatTheColumnShows) {
    std::vector<qint64> shared;
    for (const Byte type : {13, 16, 10}) {
        TNewEntry entry = journal::EntryFromState(TAction::Read, Factory(type), QStringLiteral("/dev/ttyS0"));
        entry.time = At(8, type);
        const qint64 id = Add(entry);
        if (type != 10) {
            shared.insert(shared.begin(), id);
        }
    }
    ASSERT_EQ(DeviceName(13), DeviceName(16));
    InJournal([&](TJournalDialog& d) {
        auto* type = d.findChild<QComboBox*>(QStringLiteral("cbbDeviceType"));
        QStringList items;
        for (int i = 0; i < type->count(); ++i) {
            items << type->itemText(i);
        }
        EXPECT_EQ(items.count(ToQ(DeviceName(13))), 1) << items.join(u'|').toStdString();
        type->setCurrentIndex(type->findText(ToQ(DeviceName(13))));
        EXPECT_EQ(Listed(d), shared);
        for (int row = 0; row < Model(d).rowCount(); ++row) {
            EXPECT_EQ(Model(d).index(row, Col::Device).data().toString(), type->currentText());
        }
    });
}

// Comma-separated values as RFC 4180 reads them: quoted fields may hold commas, quotes
// (doubled) and line breaks.
std::vector<QStringList> ReadCsv(const QString& text) {
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row << field;
            field.clear();
            rows.push_back(row);
            row.clear();
            ++i;
        } else {
            field += c;
        }
    }
    EXPECT_TRUE(row.isEmpty() && field.isEmpty()) << "the last line does not end with CR LF";
    return rows;
}

// The list as an office uses it: a header click orders it (in the journal, the whole list), the
// columns fit a 1280-pixel window with the note and the computer in view, "Только здесь" shows
// only with a server, a hidden column stays hidden the next time, and the list as shown goes to a
// CSV file that reads back as it is shown.
TEST_F(JournalDialogTest, SortsFitsChoosesColumnsAndExports) {
    Seed();
    const QString longSite = QStringLiteral("Торговый центр \"Северный\", корпус 2, ") + QString(120, u'Ж');
    ASSERT_TRUE(recorder->Journal().SetSite(ids.open, longSite));
    ASSERT_TRUE(recorder->Journal().SetNote(ids.write, QStringLiteral("Замена АКБ,\nпроверить \"Пожар\"")));
    const QString csvPath = Path(QStringLiteral("list.csv"));
    InJournal([&](TJournalDialog& d) {
        auto* grid = d.findChild<QTableView*>(QStringLiteral("grdJournal"));
        QHeaderView* header = grid->horizontalHeader();
        d.resize(1280, 700);
        d.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
        const auto click = [&](Col column) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
        };
        click(Col::Site);
        const bool ascending = header->sortIndicatorOrder() == Qt::AscendingOrder;
        const std::vector<qint64> bySite{ids.save, ids.read, ids.write, ids.open};
        EXPECT_EQ(Listed(d), ascending ? bySite : std::vector<qint64>(bySite.rbegin(), bySite.rend()));
        click(Col::Site);
        EXPECT_EQ(Listed(d), !ascending ? bySite : std::vector<qint64>(bySite.rbegin(), bySite.rend()));

        // Sized to content, a long site name short of its whole: the tool tip shows it.
        const int site = Model(d).RowOf(ids.open);
        EXPECT_LT(header->sectionSize(Col::Site), d.fontMetrics().horizontalAdvance(longSite));
        EXPECT_EQ(Model(d).index(site, Col::Site).data(Qt::ToolTipRole).toString(), longSite);
        for (const Col column : {Col::Host, Col::Note}) {
            EXPECT_FALSE(header->isSectionHidden(column));
            EXPECT_LT(header->sectionViewportPosition(column) + 20, grid->viewport()->width())
                << Model(d).headerData(column, Qt::Horizontal).toString().toStdString();
        }
        EXPECT_TRUE(header->isSectionHidden(Col::OnlyHere));
        d.SetShared(true);
        EXPECT_FALSE(header->isSectionHidden(Col::OnlyHere));

        // The user hides a column with the header's menu.
        auto* user = d.findChild<QAction*>(QStringLiteral("actColumn_user"));
        ASSERT_NE(user, nullptr);
        user->trigger();
        EXPECT_TRUE(header->isSectionHidden(Col::User));

        d.findChild<QLineEdit*>(QStringLiteral("edtSearch"))->setText(QStringLiteral("ttyusb0"));
        d.Refresh();
        dialogs.fileNames.push_back(csvPath);
        Press(d, "btnExport");
    });
    QFile file(csvPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const std::vector<QStringList> rows = ReadCsv(QString::fromUtf8(bytes.mid(3)));
    const QStringList titles{QStringLiteral("Время"),         QStringLiteral("Действие"),
                             QStringLiteral("Изменено"),      QStringLiteral("Объект"),
                             QStringLiteral("Прибор"),        QStringLiteral("Версия"),
                             QStringLiteral("Порт или файл"), QStringLiteral("Только здесь"),
                             QStringLiteral("Компьютер"),     QStringLiteral("Примечание")};
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], titles);
    // Ordered as the list was left: by site, the way the second click turned it.
    const bool writeFirst = rows[1][1] == QStringLiteral("Запись");
    const QStringList& written = rows[writeFirst ? 1 : 2];
    EXPECT_EQ(written[0], Local(At(9, 30)));
    EXPECT_EQ(written[3], QStringLiteral("Склад №3"));
    EXPECT_EQ(written[6], QDir::toNativeSeparators(QStringLiteral("/dev/ttyUSB0")));
    EXPECT_EQ(written[7], QStringLiteral("да"));
    EXPECT_EQ(written[9], QStringLiteral("Замена АКБ,\nпроверить \"Пожар\""));
    EXPECT_EQ(rows[writeFirst ? 2 : 1][1], QStringLiteral("Чтение"));

    // The column stays hidden the next time the journal opens.
    InJournal([&](TJournalDialog& d) {
        QHeaderView* header = d.findChild<QTableView*>(QStringLiteral("grdJournal"))->horizontalHeader();
        EXPECT_TRUE(header->isSectionHidden(Col::User));
        EXPECT_FALSE(header->isSectionHidden(Col::Host));
        EXPECT_FALSE(d.findChild<QAction*>(QStringLiteral("actColumn_user"))->isChecked());
    });
}

// File → "Объекты...": the sites at a glance; from one, its entries in the journal's window with
// the latest chosen, and its latest configuration opened in the window.
TEST_F(JournalDialogTest, SitesShowEntriesAndOpenTheLatest) {
    Seed();
    const auto inSites = [&](const std::function<void(TSitesDialog&)>& step) {
        dialogs.dialogSteps.push_back([step](QDialog& dialog) {
            auto* sites = qobject_cast<TSitesDialog*>(&dialog);
            ASSERT_NE(sites, nullptr);
            step(*sites);
        });
        Find<QAction>(QStringLiteral("FileSites"))->trigger();
    };
    inSites([&](TSitesDialog& d) {
        auto* grid = d.findChild<QTableView*>(QStringLiteral("grdSites"));
        const auto text = [grid](int row, int column) {
            return grid->model()->index(row, column).data().toString();
        };
        ASSERT_EQ(grid->model()->rowCount(), 1);
        EXPECT_EQ(text(0, 0), QStringLiteral("Склад №3"));
        EXPECT_EQ(text(0, 7), QStringLiteral("2"));
        EXPECT_TRUE(
            text(0, 2).startsWith(At(9, 30).toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm"))));
        EXPECT_FALSE(d.findChild<QPushButton*>(QStringLiteral("btnSiteEntries"))->isEnabled());
        grid->selectRow(0);
        dialogs.dialogSteps.push_back([&](QDialog& dialog) {
            auto* journal = qobject_cast<TJournalDialog*>(&dialog);
            ASSERT_NE(journal, nullptr);
            EXPECT_EQ(Listed(*journal), (std::vector<qint64>{ids.write, ids.read}));
            auto* grid = journal->findChild<QTableView*>(QStringLiteral("grdJournal"));
            const QModelIndexList chosen = grid->selectionModel()->selectedRows();
            ASSERT_EQ(chosen.size(), 1);
            EXPECT_EQ(Model(*journal).Entry(chosen[0].row()).id, ids.write);
        });
        QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("btnSiteEntries")), Qt::LeftButton);
        EXPECT_TRUE(dialogs.dialogSteps.empty());
        EXPECT_EQ(d.result(), QDialog::Rejected);
        QTest::mouseClick(d.findChild<QPushButton*>(QStringLiteral("btnSiteOpen")), Qt::LeftButton);
        EXPECT_EQ(d.result(), QDialog::Accepted);
    });
    EXPECT_TRUE(dialogs.dialogSteps.empty());
    ASSERT_TRUE(state.device);
    EXPECT_EQ(ListSettings(state), ListSettings(panelWritten));
}

// The sites sort by any column, by value (counts as numbers), either way; the chosen row stays
// with its site, and a button acts on that site.
TEST_F(JournalDialogTest, SitesSortAndKeepTheChoice) {
    Seed();
    for (int n = 0; n < 11; ++n) {
        TNewEntry e = journal::EntryFromState(TAction::Read, Factory(5), QStringLiteral("COM3"));
        e.site = n < 10 ? QStringLiteral("аптека") : QStringLiteral("Башня");
        e.time = At(12, n);
        Add(e);
    }
    std::vector<QString> acted;
    TSitesDialog d(recorder->Journal(), [&](const journal::TSite& site, TSiteAction) {
        acted.push_back(site.site);
        return false;
    });
    auto* grid = d.findChild<QTableView*>(QStringLiteral("grdSites"));
    const auto column = [grid](int c) {
        std::vector<QString> texts;
        for (int row = 0; row < grid->model()->rowCount(); ++row) {
            texts.push_back(grid->model()->index(row, c).data().toString());
        }
        return texts;
    };
    EXPECT_EQ(column(0), (std::vector<QString>{QStringLiteral("аптека"), QStringLiteral("Башня"),
                                               QStringLiteral("Склад №3")}));
    grid->sortByColumn(7, Qt::DescendingOrder);
    EXPECT_EQ(column(7),
              (std::vector<QString>{QStringLiteral("10"), QStringLiteral("2"), QStringLiteral("1")}));
    grid->selectRow(2);
    grid->sortByColumn(2, Qt::AscendingOrder);
    EXPECT_EQ(column(0), (std::vector<QString>{QStringLiteral("Склад №3"), QStringLiteral("аптека"),
                                               QStringLiteral("Башня")}));
    const QModelIndexList chosen = grid->selectionModel()->selectedRows();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen[0].row(), 2);
    d.Act(TSiteAction::Entries);
    EXPECT_EQ(acted, (std::vector<QString>{QStringLiteral("Башня")}));
}

// A password typed in the server settings goes into PostgreSQL's password file, readable by its
// owner alone: the line of the same server, database and login replaced (':' and '\\' escaped as
// libpq reads them), every other line kept; the program's settings never hold it.
TEST_F(JournalDialogTest, ServerPasswordGoesToThePasswordFile) {
    const QString file = Path(QStringLiteral("pgpass"));
    const QByteArray others = "# серверы офиса\n"
                              "db.office:5432:orvanta:petrov:secret\n"
                              "db.office:5432:orvanta:ivanov:old\n"
                              "*:*:*:ivanov:any\n";
    {
        QFile seed(file);
        ASSERT_TRUE(seed.open(QIODevice::WriteOnly));
        seed.write(others);
    }
    ASSERT_TRUE(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    qputenv("PGPASSFILE", QFile::encodeName(file));
    const auto unset = qScopeGuard([] { qunsetenv("PGPASSFILE"); });
    const QString password = QStringLiteral("п:а\\роль");
    for (const char* step : {"new", "again"}) {
        SCOPED_TRACE(step);
        TJournalSettingsDialog dialog;
        dialog.findChild<QLineEdit*>(QStringLiteral("edHost"))->setText(QStringLiteral("db.office"));
        dialog.findChild<QLineEdit*>(QStringLiteral("edDatabase"))->setText(QStringLiteral("orvanta"));
        dialog.findChild<QLineEdit*>(QStringLiteral("edUser"))->setText(QStringLiteral("ivanov"));
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("edPassword"));
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
        edit->setText(password);
        QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_TRUE(dialog.findChild<QLabel*>(QStringLiteral("lblPassword"))
                        ->text()
                        .contains(QDir::toNativeSeparators(file)));
        EXPECT_EQ(ReadAll(file),
                  QByteArray("# серверы офиса\n"
                             "db.office:5432:orvanta:petrov:secret\n") +
                      QStringLiteral("db.office:5432:orvanta:ivanov:п\\:а\\\\роль\n").toUtf8() +
                      "*:*:*:ivanov:any\n");
        EXPECT_EQ(QFile::permissions(file) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
                  QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        dialog.Collect().Save();
    }
    QSettings store(QSettings::UserScope, QStringLiteral("Zelvorin"), QStringLiteral("Orvanta"));
    for (const QString& key : store.allKeys()) {
        EXPECT_FALSE(store.value(key).toString().contains(QStringLiteral("роль"))) << key.toStdString();
    }
    // A new file is made readable by its owner alone.
    QFile::remove(file);
    TJournalSettingsDialog dialog;
    dialog.findChild<QLineEdit*>(QStringLiteral("edHost"))->setText(QStringLiteral("db.office"));
    dialog.findChild<QLineEdit*>(QStringLiteral("edUser"))->setText(QStringLiteral("ivanov"));
    dialog.findChild<QLineEdit*>(QStringLiteral("edPassword"))->setText(QStringLiteral("x"));
    ASSERT_TRUE(dialog.StorePassword());
    EXPECT_EQ(QFile::permissions(file) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// "Открыть" puts the entry's configuration on screen as a new configuration not yet saved: no
// file name, nothing recorded, and "Сохранить" asks where.
TEST_F(JournalDialogTest, OpenPutsTheEntryOnScreen) {
    Seed();
    InJournal([&](TJournalDialog& d) {
        Choose(d, {ids.write});
        Press(d, "btnOpen");
        EXPECT_EQ(d.result(), QDialog::Accepted);
    });
    ASSERT_TRUE(state.device);
    EXPECT_EQ(state.device->DevType, 10);
    const SettingsList shown = ListSettings(state);
    EXPECT_EQ(shown, ListSettings(panelWritten));
    EXPECT_NE(shown, ListSettings(panelRead)); // the zone type the write changed is there
    EXPECT_EQ(window->FileName(), QString());
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("Из журнала: ")))
        << window->windowTitle().toStdString();
    EXPECT_EQ(recorder->Journal().Count(), 4);
    EXPECT_TRUE(told.empty());

    const QString file = Path(QStringLiteral("opened.cf8"));
    dialogs.fileNames.push_back(file);
    Find<QAction>(QStringLiteral("FileSave"))->trigger();
    EXPECT_TRUE(dialogs.fileNames.empty());
    EXPECT_TRUE(QFile::exists(file));
}

// "Сравнить": two entries older against newer, or one entry against the configuration on screen.
TEST_F(JournalDialogTest, CompareShowsTheDifferences) {
    Seed();
    const std::string zone = "zones.1.type";
    const std::string before = ListSettings(panelRead).Find(zone)->value;
    const std::string after = ListSettings(panelWritten).Find(zone)->value;
    ASSERT_NE(before, after);
    ChooseFromMenu(10); // the factory configuration on screen: the read's
    const QString kSecond = QStringLiteral(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d)");
    struct Case {
        const char* name;
        std::vector<qint64> chosen;
        QString captionA, captionB;
        std::string a, b;
    };
    const Case cases[] = {
        {"two entries",
         {ids.write, ids.read},
         QStringLiteral("^Чтение %1$").arg(kSecond),
         QStringLiteral("^Запись %1$").arg(kSecond),
         before,
         after},
        {"entry and screen",
         {ids.write},
         QStringLiteral("^Запись %1$").arg(kSecond),
         QStringLiteral("^В окне$"),
         after,
         before},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool compared = false;
        InJournal([&](TJournalDialog& d) {
            Choose(d, c.chosen);
            dialogs.dialogSteps.push_back([&](QDialog& dialog) {
                auto* compare = qobject_cast<TCompareDialog*>(&dialog);
                ASSERT_NE(compare, nullptr);
                compared = true;
                const Comparison& result = compare->Result();
                ASSERT_TRUE(result.SameType());
                ASSERT_EQ(result.diffs.size(), 1u);
                EXPECT_EQ(result.diffs[0].key, zone);
                EXPECT_EQ(result.diffs[0].a, c.a);
                EXPECT_EQ(result.diffs[0].b, c.b);
                auto* grid = compare->findChild<QTableWidget*>();
                ASSERT_NE(grid, nullptr);
                // Each side named by its action and its time to the second.
                EXPECT_TRUE(
                    QRegularExpression(c.captionA).match(grid->horizontalHeaderItem(2)->text()).hasMatch())
                    << grid->horizontalHeaderItem(2)->text().toStdString();
                EXPECT_TRUE(
                    QRegularExpression(c.captionB).match(grid->horizontalHeaderItem(3)->text()).hasMatch())
                    << grid->horizontalHeaderItem(3)->text().toStdString();
            });
            Press(d, "btnCompare");
        });
        EXPECT_TRUE(compared);
    }
    EXPECT_TRUE(dialogs.shown.empty());
}

// "Сохранить как..." writes the text exactly as recorded; "Отчёт..." heads the report with the entry's
// device, version, port and time, and its site.
TEST_F(JournalDialogTest, ExportsTheExactTextAndReportsTheEntry) {
    Seed();
    const QString html = Path(QStringLiteral("report.html"));
    InJournal([&](TJournalDialog& d) {
        Choose(d, {ids.write});
        dialogs.fileNames.push_back(Path(QStringLiteral("exported")));
        Press(d, "btnSaveAs");
        dialogs.fileNames.push_back(html);
        dialogs.dialogSteps.push_back([&](QDialog& preview) {
            EXPECT_EQ(preview.findChild<QLineEdit*>(QStringLiteral("edtSite"))->text(),
                      QStringLiteral("Склад №3"));
            QTest::mouseClick(preview.findChild<QPushButton*>(QStringLiteral("btnSaveHtml")), Qt::LeftButton);
        });
        Press(d, "btnReport");
    });
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown.front().text.toStdString();
    EXPECT_EQ(ReadAll(Path(QStringLiteral("exported.cf8"))).toStdString(), writeText);

    const HtmlFacts facts = ReadHtml(ReadAll(html));
    ASSERT_EQ(facts.error, QString());
    for (const QStringList& row :
         {QStringList{QStringLiteral("Версия прибора"), QStringLiteral("27")},
          QStringList{QStringLiteral("Порт"), QStringLiteral("/dev/ttyUSB0")},
          QStringList{QStringLiteral("Дата"),
                      At(9, 30).toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm"))},
          QStringList{QStringLiteral("Объект"), QStringLiteral("Склад №3")}}) {
        EXPECT_TRUE(HasRow(facts, row)) << row.join(QLatin1Char(' ')).toStdString();
    }
    EXPECT_TRUE(facts.text.contains(ToQ(DeviceName(10))));
}

// A site name and note typed for an entry are in the journal for the next program that opens it.
TEST_F(JournalDialogTest, SiteAndNoteEditsPersist) {
    Seed();
    InJournal([&](TJournalDialog& d) {
        Choose(d, {ids.save});
        d.findChild<QLineEdit*>(QStringLiteral("edtSite"))->setText(QStringLiteral("Башня, ул. Мира 7"));
        d.findChild<QLineEdit*>(QStringLiteral("edtNote"))->setText(QStringLiteral("Антенна заменена"));
        Press(d, "btnSaveAnnotation");
        EXPECT_EQ(Model(d).index(1, Col::Site).data().toString(), QStringLiteral("Башня, ул. Мира 7"));
    });
    window->SetJournal(nullptr);
    recorder.reset();
    journal::TJournal reopened(Path());
    const auto entry = reopened.Find(ids.save);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->site, QStringLiteral("Башня, ул. Мира 7"));
    EXPECT_EQ(entry->note, QStringLiteral("Антенна заменена"));
}

// What is typed for an entry survives what happens around it: a refresh that brings new entries
// keeps the entry chosen and the text typed, choosing another entry stores it as a table's editor
// does, and reading on down the list after entries arrived neither repeats nor skips any.
TEST_F(JournalDialogTest, EditsAndTheChoiceSurviveRefreshesAndArrivals) {
    Seed();
    InJournal([&](TJournalDialog& d) {
        auto* site = d.findChild<QLineEdit*>(QStringLiteral("edtSite"));
        Choose(d, {ids.write});
        site->setText(QStringLiteral("Склад №4"));
        // A synchronisation brings an entry, newer than all: the list is read anew.
        TNewEntry arrived =
            journal::EntryFromState(TAction::Read, Factory(16), QStringLiteral("/dev/ttyUSB1"));
        arrived.time = At(12, 0);
        const qint64 newest = Add(arrived);
        d.Refresh();
        ASSERT_EQ(Listed(d).front(), newest);
        ASSERT_EQ(
            d.findChild<QTableView*>(QStringLiteral("grdJournal"))->selectionModel()->selectedRows().size(),
            1);
        EXPECT_EQ(Model(d)
                      .Entry(d.findChild<QTableView*>(QStringLiteral("grdJournal"))
                                 ->selectionModel()
                                 ->selectedRows()
                                 .front()
                                 .row())
                      .id,
                  ids.write);
        EXPECT_EQ(site->text(), QStringLiteral("Склад №4"));
        EXPECT_EQ(recorder->Journal().Find(ids.write)->site, QStringLiteral("Склад №3"));
        // Another entry chosen without Enter: the text typed is the entry's now.
        Choose(d, {ids.read});
        EXPECT_EQ(recorder->Journal().Find(ids.write)->site, QStringLiteral("Склад №4"));
        EXPECT_EQ(site->text(), QStringLiteral("Склад №3"));
        EXPECT_EQ(Model(d).Entry(Model(d).RowOf(ids.write)).site, QStringLiteral("Склад №4"));
    });

    // Pages of the list stay in place while newer entries arrive.
    std::vector<TNewEntry> many;
    for (int i = 0; i < 450; ++i) {
        TNewEntry e = journal::EntryFromState(TAction::Read, Factory(10), QStringLiteral("/dev/ttyUSB0"));
        e.time = At(13, 0).addSecs(i);
        many.push_back(e);
    }
    ASSERT_TRUE(recorder->Journal().Record(many));
    InJournal([&](TJournalDialog& d) {
        const int first = Model(d).rowCount();
        ASSERT_LT(first, 455);
        TNewEntry later =
            journal::EntryFromState(TAction::Write, Factory(10), QStringLiteral("/dev/ttyUSB0"));
        later.time = At(20, 0);
        for (int i = 0; i < 3; ++i) {
            Add(later);
        }
        while (Model(d).canFetchMore({})) {
            Model(d).fetchMore({});
        }
        const std::vector<qint64> listed = Listed(d);
        EXPECT_EQ(std::set<qint64>(listed.begin(), listed.end()).size(), listed.size()) << "an entry twice";
        EXPECT_EQ(listed.size(), 455u);
    });
}

// A journal that cannot be opened is said to be so, and nothing in the dialog pretends otherwise.
TEST_F(JournalDialogTest, SaysWhenTheJournalCannotBeOpened) {
    QFile garbage(Path());
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    InJournal([&](TJournalDialog& d) {
        auto* problem = d.findChild<QLabel*>(QStringLiteral("lblJournalProblem"));
        EXPECT_FALSE(problem->isHidden());
        EXPECT_TRUE(problem->text().startsWith(QStringLiteral("Журнал недоступен")))
            << problem->text().toStdString();
        EXPECT_TRUE(problem->text().contains(QDir::toNativeSeparators(Path())))
            << problem->text().toStdString();
        EXPECT_FALSE(d.findChild<QTableView*>(QStringLiteral("grdJournal"))->isEnabled());
        for (const char* name : {"btnOpen", "btnCompare", "btnSaveAs", "btnReport"}) {
            EXPECT_FALSE(d.findChild<QPushButton*>(QString::fromLatin1(name))->isEnabled()) << name;
        }
    });
    EXPECT_EQ(ReadAll(Path()), QByteArray(4096, 'x'));
}

} // namespace
