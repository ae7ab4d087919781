#pragma once
// main() for the widget and window tests: a headless screen of a chosen size, the
// browser allowed to run as root, and a fresh program folder per test executable.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include "engine/browser_startup.h"
#include "files/program_folder.h"

namespace testsupport {

// Sets up the offscreen platform with one screen of width x height pixels at 96 dpi.
// Must run before the application object exists.
void UseHeadlessScreen(int width, int height);

// The folder that plays the program folder for this test run.
QString FreshProgramFolder();

}  // namespace testsupport

// GLIMPA_TEST_MAIN(TestClass, 1024, 768) in place of QTEST_MAIN.
#define GLIMPA_TEST_MAIN(TestClass, width, height)             \
    int main(int argc, char* argv[]) {                         \
        testsupport::UseHeadlessScreen(width, height);         \
        StartBrowser();                                        \
        QApplication app(argc, argv);                          \
        SetAppPathOverride(testsupport::FreshProgramFolder()); \
        TestClass tc;                                          \
        QTEST_SET_MAIN_SOURCE_PATH                             \
        return QTest::qExec(&tc, argc, argv);                  \
    }
