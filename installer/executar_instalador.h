// The installer's run inside its application object: the main window created, the message loop run until the
// window has closed. An error raised while the window is created (a hive that cannot be parsed, say) is shown with
// its text in the application's top-level error box, and the run ends in order with exit code 1: nothing is
// left to a crash. The installer runs the window alone; the demo's walk runs the same window with its walk
// alongside (installer/demo_walk_main.cpp).
#pragma once

#include <functional>
#include <string>

namespace tarvix {

class TFrmMain;
struct TLinhaComando;

// What goes along with a run of the window. It is called once the window exists, before the window is shown and
// the loop runs, and returns the function that turns the loop's exit code into the run's once the loop has ended.
// Whatever it sets up lives until then, and ends before the window does.
using TAcompanhamento = std::function<std::function<int(int)>(TFrmMain& janela)>;

// `executavel`: the file that carries the payload; empty means the running executable. Needs the application
// object (TApplication) and returns the process's exit code.
int ExecutarInstalador(const std::string& executavel = {}, const TAcompanhamento& acompanhamento = {});

// The run a command line asks for, once the application object exists (/VERYSILENT never gets here: it needs
// none). /SILENT and a windowed /UNINSTALL run in the small window of installer/silent_window.h and return its
// exit code; otherwise the wizard runs with the command line's /DIR, /LOG, /NOREPORT and /SUPPRESSMSGBOXES. A /LOG
// file that cannot be created is said on standard error and gives exit code 1 before any window opens.
int ExecutarInstalador(const TLinhaComando& opcoes, const std::string& executavel = {});

} // namespace tarvix
