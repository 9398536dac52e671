#pragma once

#include "support/grid_input.h"
#include "ui/dialogs.h"

#include <QDialog>
#include <QString>

#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

class QLineEdit;
class QTableWidget;

namespace orv::test {

// Answers the dialogs' modal windows from a script and records what was shown.
class TScriptedDialogs final : public IDialogs {
public:
    struct Shown {
        MsgKind kind;
        QString caption;
        QString text;
    };

    MsgAnswer Message(QWidget* parent, MsgKind kind, const QString& caption, const QString& text,
                      MsgButtons buttons, const QString& details = {}) override;
    QString GetOpenFileName(QWidget* parent, const FileDialogSpec& spec) override;
    QString GetSaveFileName(QWidget* parent, const FileDialogSpec& spec) override;
    // Shows the dialog, runs the next step with it (what the user does in it), and returns its
    // result.
    int Exec(QDialog& dialog) override;

    std::deque<std::function<void(QDialog&)>> steps;
    std::vector<Shown> shown;
    int execs = 0;
};

} // namespace orv::test
