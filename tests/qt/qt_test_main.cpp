// The Qt tests share one application object, set up as the program sets up its own.
#include "platform/qt/application.h"
#include "platform/qt/window.h"

#include <QApplication>
#include <gtest/gtest.h>

// Under AddressSanitizer freed memory is filled: Qt's and the sound server library's own code is
// not instrumented, and a use of freed memory there would otherwise read what was left and pass.
extern "C" const char* __asan_default_options() {
    return "max_free_fill_size=4096:free_fill_byte=190";
}

int main(int argc, char* argv[]) {
    testing::InitGoogleTest(&argc, argv);
    // A death test runs in a fresh copy of this program, with its own application object.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // In-process tests need no screen; a test that wants one says so.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    pikorina::qt::SetUpApplication(app);
    return RUN_ALL_TESTS();
}
