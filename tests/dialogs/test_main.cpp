#include "support/test_app.h"
#include "ui/dialogs/program_style.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Widget tests never need a screen; test discovery runs without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    orv::test::UseTestPlugins();
    QApplication app(argc, argv);
    orv::UseProgramStyle();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
