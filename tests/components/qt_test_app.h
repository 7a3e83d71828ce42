// The one QApplication of a GUI test executable, created on first use on the platform the test environment
// chooses (offscreen under ctest).
#pragma once

#include <QApplication>

namespace tarvix::test {

inline QApplication& QtTestApp()
{
    static int argc = 1;
    static char name[] = "tarvix-gui-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

} // namespace tarvix::test
