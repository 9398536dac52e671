#pragma once

namespace orv {

// What the program sets up once, after its QApplication and before its window: Qt's own texts
// (standard buttons, file dialogs, edit menus, port errors) in Russian, the program's style (long
// lists scroll), the window icon and the names the settings and data folder go by.
// No application display name is set: Qt would append it to the caption of every dialog.
void SetUpApplication();

} // namespace orv
