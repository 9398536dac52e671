// Long drop-down lists scroll.
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
