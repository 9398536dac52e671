#pragma once

#include <QApplication>

#include <memory>

namespace orv {

// The program's QApplication, made under a Russian locale: Qt's file dialogs show sizes and dates
// as the system locale words them ("1,7 KiB", "10.12.2025"), and Qt reads that locale from the
// environment once, while the application is made. Programs started later get the user's
// environment. SetUpApplication follows.
std::unique_ptr<QApplication> CreateApplication(int& argc, char** argv);

// What the program sets up once, after its QApplication and before its window: Qt's own texts
// (standard buttons, file dialogs, edit menus, port errors) in Russian, the program's style (long
// lists scroll), the window icon and the names the settings and data folder go by.
// No application display name is set: Qt would append it to the caption of every dialog.
void SetUpApplication();

} // namespace orv
