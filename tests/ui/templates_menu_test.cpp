// Templates in the window: made from the configuration on screen by ticking pages and settings,
// kept in the templates folder, offered in the menu and applied once the compare dialog has shown
// what they change.
#include "window_fixture.h"

#include "files/config_file.h"
#include "settings/assign.h"
#include "settings/random_configuration.h"
#include "templates/templates.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <set>

using namespace orv;
using namespace orv::test;

namespace {

// The data folder, and so the templates folder, of the test's own.
class TemplatesMenu : public WindowTest {
protected:
    void SetUp() override {
        savedHome_ = qgetenv("HOME");
        qputenv("HOME", home_.path().toUtf8());
        WindowTest::SetUp();
    }
    void TearDown() override {
        WindowTest::TearDown();
        qputenv("HOME", savedHome_);
    }

    QString SaveFile(const QString& name, TProgramState s) const {
        const QString path = QDir(home_.path()).filePath(name);
        EXPECT_TRUE(orv::UpdateAllTXBuffers(s, nullptr, CommitFor::File).ok());
        EXPECT_TRUE(WriteConfigFile(s, path.toStdString()).ok);
        return path;
    }
    void Open(const QString& path) {
        dialogs.fileNames.push_back(path);
        window->FileOpenClick();
        ASSERT_EQ(window->FileName(), path);
    }
    // The menu as it opens: the template named so among its entries.
    QAction* MenuEntry(const QString& name) const {
        auto* menu = window->findChild<QMenu*>(QStringLiteral("mnuTemplates"));
        EXPECT_NE(menu, nullptr);
        emit menu->aboutToShow();
        for (QAction* a : menu->actions()) {
            if (a->text() == name) {
                return a;
            }
        }
        ADD_FAILURE() << "no menu entry " << name.toStdString();
        return nullptr;
    }

    QTemporaryDir home_;
    QByteArray savedHome_;
};

TEST_F(TemplatesMenu, MadeFromOnePanelAppliedToAnother) {
    const QString office = SaveFile(QStringLiteral("office.cf8"), RandomConfiguration(16, 7));
    const QString site = SaveFile(QStringLiteral("site.cf8"), RandomConfiguration(16, 8));
    Open(office);
    const SettingsList officeList = window->ScreenSettings();
    const std::string directionsPage = officeList.Find("gsm.directions.1.number")->page;

    // A whole page ticked, and a single setting of another page.
    std::set<std::string> ticked;
    dialogs.dialogSteps.push_back([&](QDialog& d) {
        auto* tree = d.findChild<QTreeWidget*>(QStringLiteral("treeTemplate"));
        auto* ok = d.findChild<QPushButton*>(QStringLiteral("btnOk"));
        ASSERT_TRUE(tree && ok);
        d.findChild<QLineEdit*>(QStringLiteral("edtTemplateName"))->insert(QStringLiteral("Пульт"));
        EXPECT_FALSE(ok->isEnabled()) << "nothing ticked";
        const auto pages = tree->findItems(QString::fromStdString(directionsPage), Qt::MatchExactly);
        ASSERT_EQ(pages.size(), 1);
        pages[0]->setCheckState(0, Qt::Checked);
        QTreeWidgetItem* single = tree->topLevelItem(0) == pages[0] ? tree->topLevelItem(1)->child(0)
                                                                    : tree->topLevelItem(0)->child(0);
        single->setCheckState(0, Qt::Checked);
        EXPECT_EQ(single->parent()->checkState(0), Qt::PartiallyChecked);
        ticked.insert(single->data(0, Qt::UserRole).toString().toStdString());
        for (const Setting& s : officeList.items) {
            if (s.page == directionsPage) {
                ticked.insert(s.key);
            }
        }
        ASSERT_TRUE(ok->isEnabled());
        ok->click();
    });
    window->TemplateMakeClick();
    const std::vector<TTemplateEntry> listed = ListTemplates();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].path, TemplatesFolder() + QStringLiteral("/Пульт.json"));
    QString error;
    const auto made = LoadTemplateFile(listed[0].path, error);
    ASSERT_TRUE(made) << error.toStdString();
    std::set<std::string> keys;
    for (const Setting& s : made->settings) {
        keys.insert(s.key);
        EXPECT_TRUE(s.SameValue(*officeList.Find(s.key))) << s.key;
    }
    EXPECT_EQ(keys, ticked);
    EXPECT_TRUE(made->types.empty());

    Open(site);
    const SettingsList before = window->ScreenSettings();
    ASSERT_FALSE(window->ChangesMarked());

    // Cancel changes nothing.
    int rows = -1;
    dialogs.dialogSteps.push_back([&](QDialog& d) {
        rows = d.findChild<QTableWidget*>(QStringLiteral("grdCompare"))->rowCount();
        d.findChild<QPushButton*>(QStringLiteral("btnClose"))->click();
    });
    QAction* entry = MenuEntry(QStringLiteral("Пульт"));
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    EXPECT_EQ(window->ScreenSettings(), before);
    EXPECT_FALSE(window->ChangesMarked());
    EXPECT_GT(rows, 0);

    // "Применить": exactly the template's settings take the office's values, the rest stay, and
    // the dialog showed every change made.
    dialogs.dialogSteps.push_back(
        [](QDialog& d) { d.findChild<QPushButton*>(QStringLiteral("btnApply"))->click(); });
    entry = MenuEntry(QStringLiteral("Пульт"));
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    const SettingsList after = window->ScreenSettings();
    for (const Setting& s : after.items) {
        EXPECT_TRUE(s.SameValue(*(ticked.count(s.key) ? officeList : before).Find(s.key))) << s.key;
    }
    EXPECT_EQ(static_cast<std::size_t>(rows), Compare(before, after).diffs.size());
    EXPECT_TRUE(window->ChangesMarked());
    EXPECT_TRUE(window->windowTitle().startsWith(QLatin1Char('*'))) << window->windowTitle().toStdString();

    // A template for another type is refused before any dialog, and changes nothing.
    SettingsTemplate other = *made;
    other.name = "Другой";
    other.types = {13};
    const QString otherPath = TemplatesFolder() + QStringLiteral("/other.json");
    ASSERT_TRUE(SaveTemplateFile(other, otherPath, error)) << error.toStdString();
    const int execs = dialogs.execs;
    EXPECT_FALSE(window->ApplyTemplateFile(otherPath));
    EXPECT_EQ(dialogs.execs, execs);
    ASSERT_FALSE(dialogs.shown.empty());
    EXPECT_TRUE(dialogs.shown.back().text.contains(QStringLiteral("не для прибора")))
        << dialogs.shown.back().text.toStdString();
    EXPECT_EQ(window->ScreenSettings(), after);
}

} // namespace
