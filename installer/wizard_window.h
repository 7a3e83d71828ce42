// What the wizard's steps need from the main window, and the state of the window that the steps share. The
// steps are Qt-free; the main window implements TWizardWindow with its message dialog and its event queue, and
// tests implement it with a recorder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvix {

class TWizardWindow {
public:
    virtual ~TWizardWindow() = default;

    // The message dialog's boxes; texts are in the dialog's markup. They return the modal result (6 = yes).
    virtual int MsgError(const std::string& markup) = 0;
    virtual int MsgWarning(const std::string& markup) = 0;
    virtual int MsgInformation(const std::string& markup) = 0;
    virtual int MsgConfirmation(const std::string& markup) = 0;

    // Posts a close request to the window's own queue: the window closes when its message loop next runs.
    virtual void PostClose() = 0;
};

// State of the main window shared by the steps, for the whole run of the installer.
struct TWizardState {
    std::string PastaTemp;                  // work folder, no trailing backslash; empty until made
    std::vector<std::string> ListaArquivos; // unpacked names in archive order, repeats included
    // The file that carries the payload (Windows path), as the unpacking opened it: the installer, which a
    // successful installation copies into the destination as its uninstaller. Empty until unpacked.
    std::string ArquivoInstalador;

    // Values of the setup descriptor.
    int32_t Version = 0;
    std::string Package;
    std::string Files;
    std::string Names;
    bool Source = false;
    // Where the installation report goes: the descriptor's Relatorio, else the build's default; empty: no report.
    std::string Relatorio;

    int32_t IndiceDelphi = -1; // position of the target installation in the collection; -1 while none
    bool Finalizado = false;   // nothing more to do: closing asks no confirmation
};

// The key of the remembered destination ("Caminho D" + version) under HKEY_LOCAL_MACHINE.
inline constexpr const char* ChaveTarvixComps = "\\SOFTWARE\\Morvane\\TarvixComps";

// The one way a step fails: the error box with the message, the finished flag, and a close request.
inline void FalharEtapa(TWizardState& state, TWizardWindow& window, const std::string& markup)
{
    window.MsgError(markup);
    state.Finalizado = true;
    window.PostClose();
}

} // namespace tarvix
