#include "device/catalogue.h"
#include "support/grid_input.h"
#include "ui/images.h"
#include "ui/widgets.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>
#include <set>

using namespace orv;

namespace {

TEST(EventCombo, FillItemsWithAndWithoutHiddenEntries) {
    TComboboxEvent combo;
    combo.FillItems(false);
    EXPECT_EQ(combo.count(), 178);
    EXPECT_EQ(combo.currentIndex(), -1);
    EXPECT_EQ(combo.findText(QStringLiteral("СНЯТ - 400")), -1);
    combo.FillItems(true);
    EXPECT_EQ(combo.count(), 225);
    EXPECT_EQ(combo.itemText(0), QStringLiteral("МЕД.ТРЕВОГА - 100"));
    EXPECT_EQ(combo.itemText(224), QStringLiteral("СИСТ.НЕАКТИВ - 654"));
    EXPECT_EQ(combo.findText(QStringLiteral("РЕЛЕ НЕИСПР  - 324")), 74);
}

TEST(EventCombo, BytesAndSelections) {
    TComboboxEvent combo;
    combo.FillItems(true);
    EXPECT_EQ(combo.GetCIDByte(combo.currentText()), 0); // no selection
    combo.SetCIDByte(133);
    EXPECT_EQ(combo.currentText(), QStringLiteral("СНЯТ С ПОЛЬЗ - 441"));
    EXPECT_EQ(combo.GetCIDByte(combo.currentText()), 133);
    combo.SetCIDByte(134);
    EXPECT_EQ(combo.GetCIDByte(combo.currentText()), 134);
    combo.SetCIDByte(0);
    combo.SetCIDByte(226);
    EXPECT_EQ(combo.GetCIDByte(combo.currentText()), 134); // unknown bytes keep the selection
    EXPECT_EQ(combo.GetCIDByte(QStringLiteral("no such event")), 0);
    // Every byte round-trips through the full list.
    for (int b = 1; b <= 225; ++b) {
        combo.SetCIDByte(static_cast<Byte>(b));
        EXPECT_EQ(combo.GetCIDByte(combo.currentText()), b);
    }
    // Refilling empties the selection.
    combo.FillItems(false);
    EXPECT_EQ(combo.currentIndex(), -1);
    combo.SetCIDByte(123);
    EXPECT_EQ(combo.currentIndex(), -1);
    EXPECT_EQ(combo.GetCIDByte(combo.currentText()), 0);
}

TEST(CheckEditMinMax, ReplacesAndClamps) {
    const struct {
        const char* text;
        int min, fallback, max;
        int value;
        const char* shown;
    } cases[] = {
        {"abc", 0, 30, 99, 30, "30"},
        {"150", 0, 30, 99, 99, "99"},
        {"-5", 0, 30, 99, 0, "0"},
        {"42", 0, 30, 99, 42, "42"},
        {"", 1, 2, 10, 2, "2"},
        {"0", 1, 2, 10, 1, "1"},
        {"11", 1, 2, 10, 10, "10"},
        {"x", 1, 2, 10, 2, "2"},
        {" 7 ", 1, 2, 10, 7, " 7 "},
        {"5.5", 0, 30, 99, 30, "30"},
        {"99999999999", 0, 30, 99, 30, "30"},
    };
    for (const auto& c : cases) {
        QLineEdit edit(QString::fromLatin1(c.text));
        EXPECT_EQ(CheckEditMinMax(&edit, c.min, c.fallback, c.max), c.value) << c.text;
        EXPECT_EQ(edit.text(), QString::fromLatin1(c.shown)) << c.text;
    }
}

TEST(ZoneTypeCombo, VariantsAndIcons) {
    QComboBox combo;
    FillZoneTypeCombo(&combo, 8);
    EXPECT_EQ(combo.count(), 8);
    FillZoneTypeCombo(&combo, 5);
    EXPECT_EQ(combo.count(), 5);
    FillZoneTypeCombo(&combo, 9);
    ASSERT_EQ(combo.count(), 9);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(combo.itemText(i), ToQ(ZoneTypeNames[static_cast<std::size_t>(i)]));
        EXPECT_EQ(ZoneTypeIndex(combo.itemText(i).toStdString()), i);
    }
}

// The list dropped down and an item picked from it with Enter, as a user picks it.
void PickFromList(QComboBox& combo, int index) {
    combo.showPopup();
    orv::test::PickInList(&combo, index);
}

TEST(ChoiceCombo, RunsOnlyWhenTheUserChoosesAnotherItem) {
    QComboBox combo;
    combo.addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    int runs = 0;
    OnChoiceChanged(&combo, &combo, [&] { ++runs; });
    orv::test::Activate(&combo);

    PickFromList(combo, 0); // the item shown
    EXPECT_EQ(runs, 0);
    PickFromList(combo, 2);
    EXPECT_EQ(runs, 1);
    PickFromList(combo, 2);
    EXPECT_EQ(runs, 1);
    QTest::keyClick(&combo, Qt::Key_Up); // on the closed combo
    EXPECT_EQ(combo.currentIndex(), 1);
    EXPECT_EQ(runs, 2);
    // What the program selects is no choice of the user's, and the user picking it again neither.
    combo.setCurrentIndex(0);
    QCoreApplication::processEvents();
    EXPECT_EQ(runs, 2);
    PickFromList(combo, 0);
    EXPECT_EQ(runs, 2);
    SetIndexQuietly(&combo, 2);
    PickFromList(combo, 2);
    EXPECT_EQ(runs, 2);
    PickFromList(combo, 1);
    EXPECT_EQ(runs, 3);
}

QImage Image(const QIcon& icon, int size) {
    return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
}

bool Drawn(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 0) {
                return true;
            }
        }
    }
    return false;
}

TEST(Images, EveryImageIsDrawnAndZoneIconsDiffer) {
    EXPECT_TRUE(Drawn(Image(AppIcon(), 32)));
    EXPECT_TRUE(Drawn(Image(AdapterIcon(), 16)));
    EXPECT_TRUE(Drawn(LogoPixmap().toImage()));
    std::set<QByteArray> distinct;
    for (int code = 0; code <= 8; ++code) {
        const QImage image = Image(ZoneTypeIcon(code), 16);
        EXPECT_TRUE(Drawn(image)) << code;
        distinct.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
    }
    EXPECT_EQ(distinct.size(), 9u);
    EXPECT_TRUE(ZoneTypeIcon(9).isNull());
}

} // namespace
