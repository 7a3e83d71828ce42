// The installer's run inside its application object: the main window created, the message loop run until the
// window has closed. An error raised while the window is created (a hive that cannot be parsed, say) is shown with
// its text in the application's top-level error box, and the run ends in order with exit code 1: nothing is
// left to a crash.
#pragma once

#include <string>

namespace tarvix {

// `executavel`: the file that carries the payload; empty means the running executable. Needs the application
// object (TApplication) and returns the process's exit code.
int ExecutarInstalador(const std::string& executavel = {});

} // namespace tarvix
