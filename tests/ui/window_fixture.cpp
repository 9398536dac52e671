#include "window_fixture.h"

#include "ui/device_page.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>

namespace orv::test {

MsgAnswer TScriptedDialogs::Message(QWidget*, MsgKind kind, const QString& caption, const QString& text,
                                    MsgButtons buttons, const QString& details) {
    shown.push_back({kind, caption, text, buttons, details});
    if (buttons == MsgButtons::Ok) {
        return MsgAnswer::Ok;
    }
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return buttons == MsgButtons::YesNoCancel ? MsgAnswer::Cancel : MsgAnswer::No;
    }
    const MsgAnswer a = answers.front();
    answers.pop_front();
    return a;
}

QString TScriptedDialogs::GetOpenFileName(QWidget*, const FileDialogSpec& spec) {
    fileDialogs.push_back(spec);
    if (fileNames.empty()) {
        ADD_FAILURE() << "unexpected open dialog";
        return {};
    }
    QString name = fileNames.front();
    fileNames.pop_front();
    return name;
}

QString TScriptedDialogs::GetSaveFileName(QWidget*, const FileDialogSpec& spec) {
    fileDialogs.push_back(spec);
    if (fileNames.empty()) {
        ADD_FAILURE() << "unexpected save dialog";
        return {};
    }
    QString name = fileNames.front();
    fileNames.pop_front();
    return name;
}

int TScriptedDialogs::Exec(QDialog& dialog) {
    ++execs;
    if (dialogSteps.empty()) {
        return QDialog::Rejected;
    }
    auto step = std::move(dialogSteps.front());
    dialogSteps.pop_front();
    // Shown as exec shows it (modal, active, so that leaving its fields happens as for a user),
    // without blocking.
    dialog.setResult(QDialog::Rejected);
    dialog.setModal(true);
    dialog.show();
    dialog.activateWindow();
    EXPECT_TRUE(WaitActive(&dialog)) << dialog.objectName().toStdString();
    step(dialog);
    dialog.hide();
    // A window system gives the focus back to the window below; the offscreen platform does not.
    if (QWidget* below = dialog.parentWidget(); below && below->window()->isVisible()) {
        below->window()->activateWindow();
        EXPECT_TRUE(WaitActive(below->window()));
    }
    return dialog.result();
}

SettingsSandbox::SettingsSandbox() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
}

SettingsSandbox::~SettingsSandbox() = default;

QString SettingsSandbox::Stored(const QString& name) const {
    QSettings s(QSettings::UserScope, QStringLiteral("Zelvorin"), QStringLiteral("Orvanta"));
    return s.value(name).toString();
}

void SettingsSandbox::Store(const QString& name, const QString& value) const {
    QSettings s(QSettings::UserScope, QStringLiteral("Zelvorin"), QStringLiteral("Orvanta"));
    s.setValue(name, value);
}

void WindowTest::SetUp() {
    settings = std::make_unique<SettingsSandbox>();
    window = std::make_unique<TFormMain>(state, dialogs, data);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
}

void WindowTest::TearDown() {
    window.reset();
    settings.reset();
}

QAction* WindowTest::MenuAction(Byte code) const {
    auto* menu = window->findChild<QMenu*>(QStringLiteral("mnuDevice"));
    if (!menu) {
        return nullptr;
    }
    for (QAction* a : menu->actions()) {
        if (a->menu()) {
            for (QAction* item : a->menu()->actions()) {
                if (item->data().toInt() == code) {
                    return item;
                }
            }
        } else if (!a->isSeparator() && code == 0 && a->data().toInt() == 0) {
            return a;
        }
    }
    return nullptr;
}

void WindowTest::ChooseFromMenu(Byte code) const {
    QAction* a = MenuAction(code);
    ASSERT_NE(a, nullptr) << int(code);
    a->trigger();
}

void WindowTest::Choose(QComboBox* combo, int index) {
    ASSERT_NE(combo, nullptr);
    ASSERT_LT(index, combo->count());
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

void WindowTest::ChooseText(QComboBox* combo, const QString& text) {
    ASSERT_NE(combo, nullptr);
    const int index = combo->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    Choose(combo, index);
}

void WindowTest::Click(QWidget* widget) const {
    ASSERT_NE(widget, nullptr);
    auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("PageMain"));
    for (QWidget* w = widget; w; w = w->parentWidget()) {
        if (auto* page = qobject_cast<TDevicePage*>(w)) {
            tabs->setCurrentWidget(page);
            break;
        }
    }
    ASSERT_TRUE(widget->isVisible()) << widget->objectName().toStdString();
    // A check box reacts only to clicks on its box and caption: aim at the box.
    const QPoint at = qobject_cast<QCheckBox*>(widget)
                          ? QPoint(std::min(8, widget->width() / 2), widget->height() / 2)
                          : widget->rect().center();
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
}

void WindowTest::Focus(QWidget* widget) const {
    ASSERT_NE(widget, nullptr);
    auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("PageMain"));
    for (QWidget* w = widget; w; w = w->parentWidget()) {
        if (auto* page = qobject_cast<TDevicePage*>(w)) {
            tabs->setCurrentWidget(page);
            break;
        }
    }
    widget->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    EXPECT_TRUE(widget->hasFocus() || widget->isAncestorOf(QApplication::focusWidget()))
        << widget->objectName().toStdString();
}

bool WindowTest::ShownOnPage(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (qobject_cast<const TDevicePage*>(w)) {
            return widget->isVisibleTo(w);
        }
    }
    return !widget->isHidden();
}

void WindowTest::TypeAndLeave(QLineEdit* edit, const QString& text) {
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

} // namespace orv::test
