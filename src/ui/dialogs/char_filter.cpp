#include "char_filter.h"

#include "gsm/keys.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>

namespace orv {

namespace {

class TCharFilter final : public QObject {
public:
    TCharFilter(QLineEdit* edit, CharRule rule) : QObject(edit), edit_(edit), rule_(std::move(rule)) {
        edit->installEventFilter(this);
        edit->setAcceptDrops(false);
        // Composed input would bypass the key events.
        edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != edit_) {
            return false;
        }
        switch (event->type()) {
        case QEvent::KeyPress:
            return KeyPress(static_cast<QKeyEvent*>(event));
        case QEvent::ContextMenu:
            ContextMenu(static_cast<QContextMenuEvent*>(event));
            return true;
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
                Paste(QGuiApplication::clipboard()->text(QClipboard::Selection));
                return true;
            }
            return false;
        }
        default:
            return false;
        }
    }

private:
    bool KeyPress(QKeyEvent* key) {
        if (key->matches(QKeySequence::Paste)) {
            Paste(QGuiApplication::clipboard()->text());
            return true;
        }
        char32_t code = 0;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            code = kKeyEnter;
            break;
        case Qt::Key_Escape:
            code = kKeyEscape;
            break;
        case Qt::Key_Backspace:
            code = kKeyBackspace;
            break;
        default: {
            // Shortcuts (copy, select all, undo) put no character in.
            if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) {
                return false;
            }
            const QString text = key->text();
            if (text.isEmpty() || !text.at(0).isPrint()) {
                return false;
            }
            code = text.toUcs4().value(0);
        }
        }
        const std::optional<char32_t> result = rule_(edit_->text(), code);
        if (!result) {
            return true;
        }
        if (*result == code) {
            return false;
        }
        const char32_t out = *result;
        edit_->insert(QString::fromUcs4(&out, 1));
        return true;
    }

    void Paste(const QString& text) {
        if (edit_->isReadOnly()) {
            return;
        }
        // What the text would be as the characters go in, so that length rules see it grow.
        QString current = edit_->text();
        if (edit_->hasSelectedText()) {
            current.remove(edit_->selectionStart(), edit_->selectedText().size());
        }
        QString accepted;
        for (const char32_t c : text.toUcs4()) {
            if (c < 0x20 || c == 0x7F) {
                continue;
            }
            if (const auto result = rule_(current + accepted, c)) {
                const char32_t out = *result;
                accepted += QString::fromUcs4(&out, 1);
            }
        }
        if (!accepted.isEmpty()) {
            edit_->insert(accepted);
        }
    }

    void ContextMenu(QContextMenuEvent* event) {
        QPointer<QMenu> menu = edit_->createStandardContextMenu();
        if (!menu) {
            return;
        }
        for (QAction* action : menu->actions()) {
            if (action->objectName() == QLatin1String("edit-paste")) {
                disconnect(action, &QAction::triggered, nullptr, nullptr);
                connect(action, &QAction::triggered, this,
                        [this] { Paste(QGuiApplication::clipboard()->text()); });
            }
        }
        menu->exec(event->globalPos());
        delete menu;
    }

    QLineEdit* edit_;
    CharRule rule_;
};

} // namespace

void InstallCharFilter(QLineEdit* edit, CharRule rule) {
    new TCharFilter(edit, std::move(rule));
}

CharRule AcceptRule(std::function<bool(const QString& text, char32_t key)> accept) {
    return [accept = std::move(accept)](const QString& text, char32_t key) -> std::optional<char32_t> {
        if (accept(text, key)) {
            return key;
        }
        return std::nullopt;
    };
}

} // namespace orv
