#pragma once

#include <QString>

#include <functional>
#include <optional>

class QLineEdit;

namespace orv {

// Decides about one character about to be typed into text: the character to insert (it may be
// changed, e.g. upper-cased), or nullopt to drop it. Enter, Escape and Backspace arrive as the
// codes of gsm/keys.h; keys without a character (arrows, Delete, shortcuts) are not asked about.
using CharRule = std::function<std::optional<char32_t>(const QString& text, char32_t key)>;

// Applies rule to everything the user puts into edit: typed keys, and pasted or dropped text
// character by character, so that a filter cannot be got round through the clipboard.
void InstallCharFilter(QLineEdit* edit, CharRule rule);

// A rule that only accepts or drops.
CharRule AcceptRule(std::function<bool(const QString& text, char32_t key)> accept);

} // namespace orv
