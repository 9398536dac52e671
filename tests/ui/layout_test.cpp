// Every page of every panel type shows its texts whole and its controls apart, at the usual font
// size and at 125 %, with the controls that only some settings bring into view shown as well;
// controls keep their place; long drop-down lists scroll.
#include "device/catalogue.h"
#include "device/retranslator.h"
#include "gsm/directions.h"
#include "ui/device_page.h"
#include "window_fixture.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTabWidget>

#include <functional>

namespace orv::test {
namespace {

// The font the package depends on (fonts-dejavu-core), at the size toolkits use by default: the
// measurements mean the same on every machine that runs the suite.
const QString kFontFamily = QStringLiteral("DejaVu Sans");
constexpr double kFontPoints = 9.0;

struct LayoutCase {
    Byte type;
    int fontPercent;
};

std::string Name(const LayoutCase& c) {
    return "Type" + std::to_string(c.type) + "_Font" + std::to_string(c.fontPercent);
}

void PrintTo(const LayoutCase& c, std::ostream* out) {
    *out << Name(c);
}

std::vector<LayoutCase> AllCases() {
    std::vector<LayoutCase> cases;
    for (int percent : {100, 125}) {
        for (int type = 1; type <= 18; ++type) {
            if (type != 14) {
                cases.push_back({static_cast<Byte>(type), percent});
            }
        }
    }
    return cases;
}

// A setting of the device that brings more controls into view than the factory settings do.
struct PageState {
    std::string name;
    std::function<void(TDevice&, TProgramState&)> apply;
};

void GsmOn(TDevice& d, TProgramState& state) {
    d.SetGsmConnected(true);
    SetSmsFlag(state.GsmFrame, true);
    SetGprsFlag(state.GsmFrame, true);
}

std::vector<PageState> StatesOf(const TDevice& device) {
    std::vector<PageState> states{{"factory", [](TDevice&, TProgramState&) {}}};
    if (IsOP8(device)) {
        // Door zones show their delays, fire zones their re-query box; the GSM kind the GSM part
        // with both "Изменить..." buttons, the bus kind the network number.
        const auto zones = [](TDevice& d) {
            const int fire = dynamic_cast<TDevOP8&>(d).ZoneTypeCount() > 8 ? 8 : 3;
            for (int zone = 1; zone <= 8; ++zone) {
                d.SetZoneType(zone, static_cast<Byte>(zone <= 4 ? 7 : fire));
            }
        };
        states.push_back({"GSM", [zones](TDevice& d, TProgramState& state) {
                              zones(d);
                              d.SetParam(prmDevTX, 2);
                              SetSmsFlag(state.GsmFrame, true);
                              SetGprsFlag(state.GsmFrame, true);
                          }});
        if (device.DevType != 1) {
            states.push_back({"RS-485", [zones](TDevice& d, TProgramState&) {
                                  zones(d);
                                  d.SetParam(prmDevTX, 3);
                              }});
        }
        return states;
    }
    states.push_back({"GSM and extras", [](TDevice& d, TProgramState& state) {
                          GsmOn(d, state);
                          if (IsOP5(d)) {
                              d.SetParam(prmDevTX, 2); // RS-485: the network number
                          } else if (auto* cnc8 = dynamic_cast<TDevCnc8*>(&d)) {
                              cnc8->SetExpanders(0xFF);
                          } else if (auto* cnc5 = dynamic_cast<TDevCnc5*>(&d)) {
                              cnc5->SetExpanderMask({0xFF, 0xFF, 0xFF, 0xFF, 0x01});
                          } else if (auto* ret = dynamic_cast<TDV15_Ret*>(&d)) {
                              ret->SetTxMode(2);
                          }
                      }});
    return states;
}

QString Describe(const QWidget* w) {
    QString name = w->objectName();
    if (name.isEmpty()) {
        if (auto* label = qobject_cast<const QLabel*>(w)) {
            name = QLatin1Char('"') + label->text() + QLatin1Char('"');
        } else if (auto* button = qobject_cast<const QAbstractButton*>(w)) {
            name = QLatin1Char('"') + button->text() + QLatin1Char('"');
        } else if (auto* group = qobject_cast<const QGroupBox*>(w)) {
            name = QLatin1Char('"') + group->title() + QLatin1Char('"');
        } else {
            name = QString::fromLatin1(w->metaObject()->className());
        }
    }
    return name.replace(QLatin1Char('\r'), QString()).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

// The size a text takes in the widget's font, line by line.
QSize TextSize(const QWidget* w, const QString& text, int flags = 0) {
    return w->fontMetrics().boundingRect(QRect(0, 0, 10000, 10000), flags, text).size();
}

// Where a check box, radio button or push button draws its caption.
QRect CaptionRect(const QAbstractButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QStyle::SubElement element = QStyle::SE_PushButtonContents;
    if (qobject_cast<const QCheckBox*>(button)) {
        element = QStyle::SE_CheckBoxContents;
    } else if (qobject_cast<const QRadioButton*>(button)) {
        element = QStyle::SE_RadioButtonContents;
    }
    QRect rect = button->style()->subElementRect(element, &option, button);
    if (element == QStyle::SE_PushButtonContents && !button->icon().isNull()) {
        rect.setLeft(rect.left() + button->iconSize().width() + 4);
    }
    return rect;
}

// Widgets whose children are their own business (a combo's line edit, a grid's viewport).
bool IsComposite(const QWidget* w) {
    return qobject_cast<const QAbstractScrollArea*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QLineEdit*>(w) ||
           qobject_cast<const QTabBar*>(w) || qobject_cast<const QMenuBar*>(w) ||
           qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLabel*>(w);
}

void CheckText(const QWidget* w, QStringList& faults) {
    if (auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->text().isEmpty()) {
            return;
        }
        const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                                          -label->margin());
        const QString text = QString(label->text()).remove(QLatin1Char('\r'));
        const QSize need = label->wordWrap()
                               ? label->fontMetrics()
                                     .boundingRect(QRect(0, 0, room.width(), 10000), Qt::TextWordWrap, text)
                                     .size()
                               : TextSize(label, text);
        // A word too long for the wrapping width runs past it as well.
        int widest = need.width();
        if (label->wordWrap()) {
            for (const QString& word : text.split(QRegularExpression(QStringLiteral("\\s+")))) {
                widest = std::max(widest, label->fontMetrics().horizontalAdvance(word));
            }
        }
        if (widest > room.width() || need.height() > room.height()) {
            faults << QStringLiteral("label %1 needs %2x%3, has %4x%5")
                          .arg(Describe(w))
                          .arg(widest)
                          .arg(need.height())
                          .arg(room.width())
                          .arg(room.height());
        }
        return;
    }
    if (auto* button = qobject_cast<const QAbstractButton*>(w)) {
        if (button->text().isEmpty()) {
            return;
        }
        const QRect room = CaptionRect(button);
        const QSize need = TextSize(button, button->text(), Qt::TextShowMnemonic);
        if (need.width() > room.width() || need.height() > room.height()) {
            faults << QStringLiteral("button %1 needs %2x%3, has %4x%5")
                          .arg(Describe(w))
                          .arg(need.width())
                          .arg(need.height())
                          .arg(room.width())
                          .arg(room.height());
        }
        return;
    }
    if (auto* combo = qobject_cast<const QComboBox*>(w);
        combo && !combo->isEditable() && combo->currentIndex() >= 0) {
        // The chosen item shows whole in the closed combo (its list may elide).
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.frame = combo->hasFrame();
        option.currentText = combo->currentText();
        option.currentIcon = combo->itemIcon(combo->currentIndex());
        option.iconSize = combo->iconSize();
        const QRect room =
            combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
        int need = combo->fontMetrics().horizontalAdvance(combo->currentText()) + 2;
        if (!option.currentIcon.isNull()) {
            need += option.iconSize.width() + 4;
        }
        if (need > room.width()) {
            faults << QStringLiteral("combo %1 needs %2 for \"%3\", has %4")
                          .arg(Describe(w))
                          .arg(need)
                          .arg(combo->currentText())
                          .arg(room.width());
        }
        return;
    }
    if (auto* group = qobject_cast<const QGroupBox*>(w)) {
        // The group's minimum holds its title and its layout's minimum.
        const QSize least = group->minimumSizeHint();
        if (group->width() < least.width() || group->height() < least.height()) {
            faults << QStringLiteral("group %1 is %2x%3, needs %4x%5")
                          .arg(Describe(w))
                          .arg(group->width())
                          .arg(group->height())
                          .arg(least.width())
                          .arg(least.height());
        }
    }
}

// Texts that do not fit, siblings that overlap, and children that stick out of their parent,
// among the visible widgets under w.
void CheckTree(const QWidget* w, QStringList& faults) {
    CheckText(w, faults);
    if (IsComposite(w)) {
        return;
    }
    std::vector<const QWidget*> shown;
    for (QObject* child : w->children()) {
        auto* c = qobject_cast<const QWidget*>(child);
        if (c && !c->isWindow() && c->isVisible()) {
            shown.push_back(c);
        }
    }
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const QWidget* a = shown[i];
        if (!w->rect().contains(a->geometry())) {
            faults << QStringLiteral("%1 sticks out of %2").arg(Describe(a), Describe(w));
        }
        for (std::size_t j = i + 1; j < shown.size(); ++j) {
            if (a->geometry().intersects(shown[j]->geometry())) {
                faults << QStringLiteral("%1 overlaps %2").arg(Describe(a), Describe(shown[j]));
            }
        }
        CheckTree(a, faults);
    }
}

class PageLayout : public WindowTest, public ::testing::WithParamInterface<LayoutCase> {
protected:
    void SetUp() override {
        savedFont_ = QApplication::font();
        QFont font(kFontFamily);
        font.setPointSizeF(kFontPoints * GetParam().fontPercent / 100.0);
        ASSERT_EQ(QFontInfo(font).family(), kFontFamily) << "the package's font is not installed";
        QApplication::setFont(font);
        WindowTest::SetUp();
    }

    void TearDown() override {
        WindowTest::TearDown();
        QApplication::setFont(savedFont_);
    }

    // With ORVANTA_LAYOUT_SHOTS naming a folder, every page checked is saved there as a picture
    // (run under a real X server to see what a user sees).
    void SaveShot(const std::string& stateName, const QString& page) const {
        const QString folder = qEnvironmentVariable("ORVANTA_LAYOUT_SHOTS");
        if (folder.isEmpty()) {
            return;
        }
        const QString name =
            QStringLiteral("%1/type%2_font%3_%4_%5.png")
                .arg(folder)
                .arg(GetParam().type, 2, 10, QLatin1Char('0'))
                .arg(GetParam().fontPercent)
                .arg(QString::fromStdString(stateName).replace(QLatin1Char(' '), QLatin1Char('-')))
                .arg(page);
        window->grab().save(name);
    }

private:
    QFont savedFont_;
};

TEST_P(PageLayout, TextsWholeAndControlsApart) {
    const Byte type = GetParam().type;
    {
        Settle();
        SaveShot("start", QStringLiteral("no-device"));
        QStringList faults;
        CheckTree(window.get(), faults);
        EXPECT_TRUE(faults.isEmpty())
            << "before any device:\n  " << faults.join(QStringLiteral("\n  ")).toStdString();
    }
    ChooseFromMenu(type);
    ASSERT_TRUE(state.device);
    auto* tabs = Find<QTabWidget>(QStringLiteral("PageMain"));
    window->HandleResult(3, 0); // a status text as well
    for (const PageState& pageState : StatesOf(*state.device)) {
        pageState.apply(*state.device, state);
        window->RefreshControls();
        for (int i = 0; i < tabs->count(); ++i) {
            if (!tabs->isTabVisible(i)) {
                continue;
            }
            tabs->setCurrentIndex(i);
            Settle();
            SaveShot(pageState.name, tabs->tabText(i));
            QStringList faults;
            CheckTree(window.get(), faults);
            EXPECT_TRUE(faults.isEmpty()) << pageState.name << ", page \"" << tabs->tabText(i).toStdString()
                                          << "\", window " << window->width() << "x" << window->height()
                                          << ":\n  " << faults.join(QStringLiteral("\n  ")).toStdString();
        }
    }
    // The window grows to hold its pages but stays within a small desktop, in the screen's own
    // pixels: at 120 DPI Qt draws every logical pixel as 1.25.
    const double ratio = window->devicePixelRatioF();
    if (const QString expected = qEnvironmentVariable("ORVANTA_LAYOUT_PIXEL_RATIO"); !expected.isEmpty()) {
        ASSERT_DOUBLE_EQ(ratio, expected.toDouble()) << "the screen the run asked for";
    }
    EXPECT_LE(window->width() * ratio, 1024) << window->width() << " logical pixels";
    EXPECT_LE(window->frameGeometry().height() * ratio, 740);
}

INSTANTIATE_TEST_SUITE_P(EveryType, PageLayout, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) { return Name(info.param); });

// ---------------------------------------------------------------------------------------------
// Controls that keep their place.

// The GSM flags on the right of "Передача" stay where they are when the "Изменить..." buttons
// of the SMS list and the GPRS settings come into view.
TEST_F(WindowTest, GsmFlagsStayPutWhenTheChangeButtonsAppear) {
    ChooseFromMenu(3);
    state.device->SetGsmConnected(true);
    window->RefreshControls();
    Find<QTabWidget>(QStringLiteral("PageMain"))->setCurrentWidget(window->Page(QStringLiteral("PG_TX")));
    Settle();
    auto* smsButton = Find<QPushButton>(QStringLiteral("btnSMS_Show"));
    auto* gprsButton = Find<QPushButton>(QStringLiteral("btnGPRS"));
    ASSERT_FALSE(smsButton->isVisible());
    ASSERT_FALSE(gprsButton->isVisible());
    std::vector<std::pair<QWidget*, QPoint>> flags;
    for (const char* name : {"chkGSM_Control", "chkGSM_TX"}) {
        auto* box = Find<QCheckBox>(QString::fromLatin1(name));
        ASSERT_TRUE(box->isVisible()) << name;
        flags.emplace_back(box, box->mapTo(window.get(), QPoint()));
    }

    SetSmsFlag(state.GsmFrame, true);
    SetGprsFlag(state.GsmFrame, true);
    window->RefreshControls();
    Settle();
    ASSERT_TRUE(smsButton->isVisible());
    ASSERT_TRUE(gprsButton->isVisible());
    for (const auto& [box, at] : flags) {
        const QPoint now = box->mapTo(window.get(), QPoint());
        EXPECT_EQ(now, at) << Describe(box).toStdString() << " moved from " << at.x() << "," << at.y()
                           << " to " << now.x() << "," << now.y();
    }
}

// A relay combo sits beside its caption, not at the far edge of a wide page.
struct BesideCase {
    Byte type;
    const char* page;
    const char* combo;
};

void PrintTo(const BesideCase& c, std::ostream* out) {
    *out << "type " << int(c.type) << ", " << c.combo;
}

class CombosBesideCaptions : public WindowTest, public ::testing::WithParamInterface<BesideCase> {};

TEST_P(CombosBesideCaptions, NoGapToTheCaption) {
    ChooseFromMenu(GetParam().type);
    Find<QTabWidget>(QStringLiteral("PageMain"))
        ->setCurrentWidget(window->Page(QString::fromLatin1(GetParam().page)));
    Settle();
    auto* combo = Find<QComboBox>(QString::fromLatin1(GetParam().combo));
    ASSERT_TRUE(combo->isVisible());
    // Where the widest caption to the left of the combo ends: its text, not its label, which a
    // layout may stretch.
    int captions = -1;
    for (auto* label : combo->parentWidget()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (label->isVisible() && label->geometry().right() < combo->x()) {
            ASSERT_TRUE(label->alignment() & Qt::AlignLeft) << Describe(label).toStdString();
            captions = std::max(captions, label->x() + label->contentsRect().left() +
                                              label->fontMetrics().horizontalAdvance(label->text()));
        }
    }
    ASSERT_GE(captions, 0);
    EXPECT_LE(combo->x() - captions, 24) << "page " << combo->parentWidget()->width() << " wide";
}

INSTANTIATE_TEST_SUITE_P(RelayGroups, CombosBesideCaptions,
                         ::testing::Values(BesideCase{6, "PG_KP2", "bxKP2ReleAlarm"},
                                           BesideCase{11, "PGCNC", "bxCNCReleAlarm"},
                                           BesideCase{7, "PG_CNCOP5", "bxCNC5ReleFire"},
                                           BesideCase{15, "tsRetTk", "cbbRetReleAlarmCfg"},
                                           BesideCase{15, "tsRetTk", "cbbRetTxMode"}),
                         [](const ::testing::TestParamInfo<BesideCase>& info) {
                             return "Type" + std::to_string(info.param.type) + "_" + info.param.combo;
                         });

// ---------------------------------------------------------------------------------------------
// Long drop-down lists open at their visible-item limit and scroll.

struct ListsCase {
    Byte type;
    QStringList among; // long lists that must be among those checked
};

void PrintTo(const ListsCase& c, std::ostream* out) {
    *out << "type " << int(c.type);
}

class LongLists : public WindowTest, public ::testing::WithParamInterface<ListsCase> {};

TEST_P(LongLists, OpenAtTheirLimitWithAScrollBar) {
    ChooseFromMenu(GetParam().type);
    if (auto* ret = dynamic_cast<TDV15_Ret*>(state.device.get())) {
        ret->SetTxMode(2); // "Mirel-420": 30 liters
        window->RefreshControls();
    }
    QStringList checked;
    // The window's own combos and those of the dialogs it keeps (the SMS lists' editors).
    for (QComboBox* combo : window->findChildren<QComboBox*>()) {
        if (combo->count() <= combo->maxVisibleItems()) {
            continue;
        }
        checked << combo->objectName();
        combo->showPopup();
        QWidget* popup = combo->view()->window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(popup)) << Describe(combo).toStdString();
        const int rows = combo->maxVisibleItems() * combo->view()->sizeHintForRow(0);
        EXPECT_LE(popup->height(), rows + 16)
            << Describe(combo).toStdString() << " with " << combo->count() << " items";
        EXPECT_TRUE(combo->view()->verticalScrollBar()->isVisible()) << Describe(combo).toStdString();
        combo->hidePopup();
    }
    for (const QString& name : GetParam().among) {
        EXPECT_TRUE(checked.contains(name)) << name.toStdString();
    }
}

// The event lists (178 and 225 items), the transmit liters (30) and the source editor of the
// retranslator's SMS list (34).
INSTANTIATE_TEST_SUITE_P(EventLiterAndSourceLists, LongLists,
                         ::testing::Values(ListsCase{13, {"cbbEvOP8Ev1", "cbbEvOP8Ev8"}},
                                           ListsCase{6, {"cbbEvKP2_1", "cbbEvKP2_2"}},
                                           ListsCase{15, {"cmbvShlfEvent1", "cbbRetLiterTX", "bxPartNum"}}),
                         [](const ::testing::TestParamInfo<ListsCase>& info) {
                             return "Type" + std::to_string(info.param.type);
                         });

} // namespace
} // namespace orv::test
