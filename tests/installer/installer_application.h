// The installer's own application object for the tests that need its top-level error handler: made once per test
// process on the offscreen platform, before the shared test helpers would make a plain QApplication.
#pragma once

#include <QtGlobal>

#include "installer/application.h"

namespace tarvix::test {

inline TApplication& InstallerApplication()
{
    static int argc = 1;
    static char name[] = "tarvix-setup";
    static char* argv[] = {name, nullptr};
    // Never destroyed: windows a test leaves behind must not outlive the application object.
    static TApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new TApplication(argc, argv);
    }();
    return *app;
}

} // namespace tarvix::test
