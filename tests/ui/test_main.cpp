#include "support/test_app.h"
#include "ui/application.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Widget tests never need a screen; test discovery runs without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // As the program starts: Qt's own texts in Russian, its file dialogs' sizes and dates too.
    // The plugin folder is set once the application has taken its locale: setting it first
    // settles the system locale before the application can choose it.
    const auto app = orv::CreateApplication(argc, argv);
    orv::test::UseTestPlugins();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
