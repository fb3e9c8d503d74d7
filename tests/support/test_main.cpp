#include <QApplication>

#include <gtest/gtest.h>

// Every test binary gets a QApplication on the offscreen platform, so widgets, timers and
// queued calls work as in the program.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
