#include "dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace orv {

namespace {

QStyle::StandardPixmap IconOf(MsgKind kind) {
    switch (kind) {
    case MsgKind::Information:
        return QStyle::SP_MessageBoxInformation;
    case MsgKind::Warning:
        return QStyle::SP_MessageBoxWarning;
    case MsgKind::Error:
        return QStyle::SP_MessageBoxCritical;
    case MsgKind::Question:
        return QStyle::SP_MessageBoxQuestion;
    case MsgKind::Plain:
        break;
    }
    return QStyle::SP_CustomBase;
}

// A dialog's result for each answer; 0 is left to closing the window.
int ResultOf(MsgAnswer answer) {
    return 1 + static_cast<int>(answer);
}

} // namespace

std::unique_ptr<QDialog> MakeDetailsBox(QWidget* parent, MsgKind kind, const QString& caption,
                                        const QString& text, MsgButtons buttons, const QString& details) {
    auto box = std::make_unique<QDialog>(parent);
    box->setObjectName(QStringLiteral("DetailsBox"));
    box->setWindowTitle(caption);
    box->setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(box.get());
    auto* top = new QHBoxLayout;
    if (const QStyle::StandardPixmap icon = IconOf(kind); icon != QStyle::SP_CustomBase) {
        auto* picture = new QLabel(box.get());
        const int size = box->style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, box.get());
        picture->setPixmap(box->style()->standardIcon(icon, nullptr, box.get()).pixmap(size, size));
        picture->setAlignment(Qt::AlignTop);
        top->addWidget(picture);
    }
    auto* label = new QLabel(text, box.get());
    label->setObjectName(QStringLiteral("lblText"));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(label, 1);
    layout->addLayout(top);

    // Every line of the details whole, as wide as the screen allows; longer lists scroll.
    auto* shown = new QPlainTextEdit(details, box.get());
    shown->setObjectName(QStringLiteral("edtDetails"));
    shown->setReadOnly(true);
    shown->setLineWrapMode(QPlainTextEdit::NoWrap);
    const QFontMetrics metrics(shown->font());
    int widest = 0;
    const QStringList lines = details.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 700);
    const int margins = 2 * shown->frameWidth() + 2 * static_cast<int>(shown->document()->documentMargin()) +
                        shown->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8;
    const int shownLines = std::clamp(static_cast<int>(lines.size()), 3, 16);
    shown->setMinimumSize(std::min(widest + margins, room.width() * 9 / 10 - 40),
                          std::min(metrics.lineSpacing() * shownLines + margins, room.height() / 2));
    layout->addWidget(shown, 1);

    auto* row = new QDialogButtonBox(box.get());
    const auto add = [&](QDialogButtonBox::StandardButton button, MsgAnswer answer, bool isDefault) {
        QPushButton* b = row->addButton(button);
        b->setDefault(isDefault);
        QObject::connect(b, &QPushButton::clicked, box.get(),
                         [dialog = box.get(), answer] { dialog->done(ResultOf(answer)); });
    };
    switch (buttons) {
    case MsgButtons::Ok:
        add(QDialogButtonBox::Ok, MsgAnswer::Ok, true);
        break;
    case MsgButtons::YesNo:
        add(QDialogButtonBox::Yes, MsgAnswer::Yes, true);
        add(QDialogButtonBox::No, MsgAnswer::No, false);
        break;
    case MsgButtons::YesNoCancel:
        add(QDialogButtonBox::Yes, MsgAnswer::Yes, true);
        add(QDialogButtonBox::No, MsgAnswer::No, false);
        add(QDialogButtonBox::Cancel, MsgAnswer::Cancel, false);
        break;
    }
    layout->addWidget(row);
    return box;
}

MsgAnswer DetailsBoxAnswer(int result, MsgButtons buttons) {
    for (MsgAnswer answer : {MsgAnswer::Ok, MsgAnswer::Yes, MsgAnswer::No, MsgAnswer::Cancel}) {
        if (result == ResultOf(answer)) {
            return answer;
        }
    }
    // Closed without an answer: what the box's escape would mean.
    switch (buttons) {
    case MsgButtons::YesNo:
        return MsgAnswer::No;
    case MsgButtons::YesNoCancel:
        return MsgAnswer::Cancel;
    case MsgButtons::Ok:
        break;
    }
    return MsgAnswer::Ok;
}

MsgAnswer TQtDialogs::Message(QWidget* parent, MsgKind kind, const QString& caption, const QString& text,
                              MsgButtons buttons, const QString& details) {
    if (!details.isEmpty()) {
        const std::unique_ptr<QDialog> box = MakeDetailsBox(parent, kind, caption, text, buttons, details);
        return DetailsBoxAnswer(box->exec(), buttons);
    }
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (kind) {
    case MsgKind::Plain:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgKind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgKind::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgKind::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgKind::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    if (buttons == MsgButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    }
    if (buttons == MsgButtons::YesNoCancel) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel); // closing the box changes nothing either
        switch (box.exec()) {
        case QMessageBox::Yes:
            return MsgAnswer::Yes;
        case QMessageBox::No:
            return MsgAnswer::No;
        default:
            return MsgAnswer::Cancel;
        }
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MsgAnswer::Ok;
}

namespace {

// The kinds of files and folders the file dialog lists, which Qt's Russian texts leave out.
class TFileKinds final : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override {
        if (info.isRoot()) {
            return QStringLiteral("Диск");
        }
        if (info.isDir()) {
            return QStringLiteral("Папка");
        }
        const QMimeType mime = QMimeDatabase().mimeTypeForFile(info);
        if (!mime.isDefault()) {
            return mime.comment(); // in the language of the default locale
        }
        return info.suffix().isEmpty() ? QStringLiteral("Файл") : QStringLiteral("Файл ") + info.suffix();
    }
};

QString RunFileDialog(QWidget* parent, const FileDialogSpec& spec, bool save) {
    const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(parent, spec, save);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
        return {};
    }
    return dialog->selectedFiles().constFirst();
}

} // namespace

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const FileDialogSpec& spec, bool save) {
    auto dialog = std::make_unique<QFileDialog>(parent, spec.title, spec.directory, spec.filter);
    static TFileKinds kinds;
    dialog->setIconProvider(&kinds);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setDefaultSuffix(spec.defaultSuffix);
    if (save) {
        dialog->setFileMode(QFileDialog::AnyFile);
    } else {
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setOption(QFileDialog::ReadOnly, false);
    }
    return dialog;
}

QString TQtDialogs::GetOpenFileName(QWidget* parent, const FileDialogSpec& spec) {
    return RunFileDialog(parent, spec, false);
}

QString TQtDialogs::GetSaveFileName(QWidget* parent, const FileDialogSpec& spec) {
    return RunFileDialog(parent, spec, true);
}

int TQtDialogs::Exec(QDialog& dialog) {
    return dialog.exec();
}

} // namespace orv
