#include "support/test_app.h"
#include "ui/application.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Widget tests never need a screen; test discovery runs without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    orv::test::UseTestPlugins();
    // As the program starts: Qt's own texts in Russian, its file dialogs' sizes and dates too.
    const auto app = orv::CreateApplication(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
