// The copy step of the copying page: every unpacked file from the work folder into the destination, one at a
// time with a short pause, then the package source rewritten. Qt-free: the main window hands in what the page
// shows (the gauge, the file label) and where the destination stands, as callbacks.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "installer/wizard_window.h"

namespace tarvix {

class TKqFindFile;

// The failure message of the copy step; %s is the error's message text.
inline constexpr std::string_view MsgFalhaCopia =
    "Não foi possível extrair os arquivos de instalação.||<b>Mensagem de erro:<b>|%s";

// Buffer of a file copy.
inline constexpr std::size_t TamanhoBufferCopiaArquivo = 1'048'576;
// Pause after each file, in milliseconds, during which the window stays alive.
inline constexpr int PausaEntreArquivos = 30;

// The package source in the destination: "TarvixLib" + version + "0.dpk".
std::string NomePackage(int32_t Version);

// What the copy step reaches of the copying page and of the window.
struct TPaginaCopia {
    // The destination folder as the window holds it now (read again for every file).
    std::function<std::string()> PastaDestino;
    // The gauge: its maximum, and its progress (1 .. number of names).
    std::function<void(int)> SetMaxValue;
    std::function<void(int)> SetProgress;
    // The file label: the full target path, which the window shortens to the label's width.
    std::function<void(const std::string&)> MostrarArquivo;
    // True once the window has closed: the step stops before its next file and does nothing more.
    std::function<bool()> Fechada;
};

enum class TFimCopia {
    Concluida,   // every file copied and the package source rewritten: the registration step may start
    Falhou,      // the failure was shown, Finalizado set and the close posted: nothing more may run
    Interrompida // the window closed (or the application is terminating): nothing more may run
};

// Copies state.ListaArquivos from state.PastaTemp to the destination (created first, with its parents), one
// file per entry (a name listed twice is copied twice), replacing files of the same names; processes pending
// messages before each file and pauses PausaEntreArquivos ms after it; then rewrites the package source
// (AtualizarPackage with FndFile). A failure is shown with MsgFalhaCopia through FalharEtapa; files copied before
// it stay. The step stops as soon as the application is terminating or the page reports the window closed,
// without a message.
TFimCopia CopiarArquivos(TWizardState& state, TWizardWindow& window, const TPaginaCopia& pagina, TKqFindFile& FndFile);

// Shortens a path until `medir` (the width of a text in the label's font) says that it fits `largura`: the
// folders are replaced from the front by "...", then the drive goes, then the folders altogether; the file name
// itself is never cut. C:\Morvane\TarvixComps\D37\KqAlpha.dcu narrows to C:\...\TarvixComps\D37\KqAlpha.dcu,
// C:\...\D37\KqAlpha.dcu, C:\...\KqAlpha.dcu, ...\KqAlpha.dcu and KqAlpha.dcu.
std::string EncurtarCaminho(std::string_view caminho, int largura, const std::function<int(std::string_view)>& medir);

} // namespace tarvix
