#pragma once

namespace orv {

// What the program sets up once, after its QApplication and before its window: Qt's own texts
// (standard buttons, file dialogs, edit menus, port errors) in Russian, and the window icon.
// No application display name is set: Qt would append it to the caption of every dialog.
void SetUpApplication();

} // namespace orv
