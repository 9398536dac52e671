#pragma once

#include <QString>

#include <memory>

class QDialog;
class QFileDialog;
class QWidget;

namespace orv {

enum class MsgKind { Plain, Information, Warning, Error, Question }; // Plain: no icon
enum class MsgButtons { Ok, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Yes, No, Cancel };

struct FileDialogSpec {
    QString title;
    QString filter; // Qt form: "Name (*.ext)"
    QString defaultSuffix;
    QString directory;
};

// Every modal window of the program goes through this interface, so that tests can answer
// them from a script instead of blocking on a real one.
class IDialogs {
public:
    virtual ~IDialogs() = default;

    // details: extra text (e.g. the operating system's reason) shown on request; may be empty.
    virtual MsgAnswer Message(QWidget* parent, MsgKind kind, const QString& caption, const QString& text,
                              MsgButtons buttons, const QString& details = {}) = 0;
    // Empty when cancelled.
    virtual QString GetOpenFileName(QWidget* parent, const FileDialogSpec& spec) = 0;
    virtual QString GetSaveFileName(QWidget* parent, const FileDialogSpec& spec) = 0;
    // Runs a dialog of the program's own (about box, expander mask) modally; returns its result.
    virtual int Exec(QDialog& dialog) = 0;
};

// The file dialog the real thing shows, before it is run.
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const FileDialogSpec& spec, bool save);

// The box the real thing shows for a message with details, before it is run: the text, the
// details in a box of their own wide enough for their longest line (within the screen), the
// buttons; the user may resize it. DetailsBoxAnswer reads its result.
std::unique_ptr<QDialog> MakeDetailsBox(QWidget* parent, MsgKind kind, const QString& caption,
                                        const QString& text, MsgButtons buttons, const QString& details);
MsgAnswer DetailsBoxAnswer(int result, MsgButtons buttons);

// The real thing: QMessageBox (a details box when there are details), QFileDialog, QDialog::exec.
class TQtDialogs final : public IDialogs {
public:
    MsgAnswer Message(QWidget* parent, MsgKind kind, const QString& caption, const QString& text,
                      MsgButtons buttons, const QString& details = {}) override;
    QString GetOpenFileName(QWidget* parent, const FileDialogSpec& spec) override;
    QString GetSaveFileName(QWidget* parent, const FileDialogSpec& spec) override;
    int Exec(QDialog& dialog) override;
};

} // namespace orv
