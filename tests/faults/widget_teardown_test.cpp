// Widgets destroyed while the user is still in one of their cells: the focus leaving and the
// open editor committing must not reach the widget that is being torn down (found by
// UndefinedBehaviorSanitizer in the dialogs' tests).
#include "device/catalogue.h"
#include "dialogs/dialogs_fixture.h"
#include "ui/dialogs/form_sms.h"
#include "ui/dialogs/gsm_directions.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace orv::test {
namespace {

TEST(WidgetTeardown, DirectionsWithACellBeingTypedInReportNothing) {
    TProgramState state;
    ResetGsmFrame(state.GsmFrame);
    state.Directions.ChooseAttempts(0, 2);
    auto widget = std::make_unique<TGsmDirections>(state);
    widget->Refresh();
    Activate(widget.get());
    ClickCell(widget->Grid(), 0, dcTarget);
    QLineEdit* edit = CellEditorLine(widget->Grid());
    ASSERT_NE(edit, nullptr);
    TypeInto(edit, QStringLiteral("+7903"));
    QSignalSpy changed(widget.get(), &TGsmDirections::changed);
    widget.reset();
    EXPECT_EQ(changed.count(), 0);
}

TEST(WidgetTeardown, SmsDialogWithABadPartitionBeingTypedWarnsNothing) {
    TProgramState state;
    state.device = CreateDevice(3);
    TScriptedDialogs dialogs;
    auto dialog = std::make_unique<TFrmSMS>(state, dialogs);
    dialog->RefreshControls();
    Activate(dialog.get());
    state.Sms.ChooseType(0, 1);
    dialog->Refresh();
    ClickCell(dialog->Grid(), 0, sms::kColPartition);
    QLineEdit* edit = CellEditorLine(dialog->Grid());
    ASSERT_NE(edit, nullptr);
    TypeInto(edit, QStringLiteral("99"));
    dialog.reset();
    EXPECT_TRUE(dialogs.shown.empty());
}

} // namespace
} // namespace orv::test
