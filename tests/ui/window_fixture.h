#pragma once

#include "gsm/program_state.h"
#include "link/data_module.h"
#include "support/grid_input.h"
#include "ui/dialogs.h"
#include "ui/form_main.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>

#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

// Test output shows texts as text.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace orv::test {

// Answers the program's modal windows from a script and records what was shown.
class TScriptedDialogs final : public IDialogs {
public:
    struct Shown {
        MsgKind kind;
        QString caption;
        QString text;
        MsgButtons buttons;
        QString details;
    };

    MsgAnswer Message(QWidget* parent, MsgKind kind, const QString& caption, const QString& text,
                      MsgButtons buttons, const QString& details = {}) override;
    QString GetOpenFileName(QWidget* parent, const FileDialogSpec& spec) override;
    QString GetSaveFileName(QWidget* parent, const FileDialogSpec& spec) override;
    int Exec(QDialog& dialog) override;

    std::deque<MsgAnswer> answers;                         // for the boxes that ask
    std::deque<QString> fileNames;                         // for the file dialogs ("" = cancel)
    std::deque<std::function<void(QDialog&)>> dialogSteps; // what the user does in a dialog

    std::vector<Shown> shown;
    std::vector<FileDialogSpec> fileDialogs;
    int execs = 0;
};

// Every test gets its own settings store, removed afterwards.
class SettingsSandbox {
public:
    SettingsSandbox();
    ~SettingsSandbox();
    QString Stored(const QString& name) const;
    void Store(const QString& name, const QString& value) const;

private:
    QTemporaryDir dir_;
};

// A window over its own state and scripted dialogs.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The device-menu action carrying the code (0: "Последний использованный").
    QAction* MenuAction(Byte code) const;
    void ChooseFromMenu(Byte code) const;

    template <typename T> T* Find(const QString& name) const {
        T* w = window->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }

    // What a user's choice in a combo does: select and report it as activated.
    static void Choose(QComboBox* combo, int index);
    static void ChooseText(QComboBox* combo, const QString& text);
    // A mouse click on a control, with its page brought to the front first.
    void Click(QWidget* widget) const;
    // Brings the control's page to the front and gives the control the focus.
    void Focus(QWidget* widget) const;
    // Whether the control shows on its page when the page is in front (hidden parents count).
    static bool ShownOnPage(const QWidget* widget);
    // Types the text into an edit (replacing what it holds) and leaves it with Enter.
    static void TypeAndLeave(class QLineEdit* edit, const QString& text);

    std::unique_ptr<SettingsSandbox> settings;
    TmodData data;
    TProgramState state;
    TScriptedDialogs dialogs;
    std::unique_ptr<TFormMain> window;
};

} // namespace orv::test
