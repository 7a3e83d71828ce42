// The installer's main window: a fixed-size dialog window with the header band, the step notebook of six pages
// (welcome, licence agreement, destination folder, confirmation, copying, registration) and the Back, Next and
// Cancel buttons. Its layout is the form description resources/frm_main.ui; this class is the wizard's
// controller: the start-up sequence when the window is first shown, the page changes, the buttons, the close
// confirmation and the deletion of the work folder on close. The steps themselves are Qt-free (payload,
// descriptor, copy, package rewriting, compile and register, report) and reach the window through TWizardWindow.
//
// Lifetime rules that keep the steps off released objects: the copy step runs inside the page change that the
// Next button causes and processes messages while it works, so the window can be closed under it. Closing only
// deletes the work folder and marks the window closed; the list of names and the installations collection live
// as long as the window object. The copy step stops before its next file once the window is closed, and then
// neither the package rewriting nor the registration step starts. The registration step processes no messages
// while the compiler runs, so nothing can close the window under it. The window object itself must outlive its
// message loop (the application keeps it on the stack of main, so it is destroyed after exec() has returned).
#pragma once

#include <QWidget>

#include <memory>
#include <string>

#include "components/kq_find_file.h"
#include "components/kq_lib_functions.h"
#include "components/kq_reg_manager.h"
#include "installer/command_line.h"
#include "installer/wizard_window.h"

namespace Ui {
class FrmMain;
}

namespace tarvix {

class TExSelectFolder;
class TKqMsgDlg;
class TKqSkinPlus;
class TSorteioPasta;
class TIdeBorRADToolInstallations;
class TEtapaRegistro;
class RunLog;
class TextWindow;

// The page header texts, in page order.
inline constexpr const char* TextosCabecalho[] = {
    "Apresentação da Tarvix Library",           "Ler e aceitar o Contrato de Licença",
    "Definir a pasta de destino da instalação", "Confirmar a instalação dos componentes",
    "Copiar os arquivos para pasta destino",    "Registrar o package no Delphi.",
};

inline constexpr const char* MsgDelphiAberto = "É recomendável que você <b>encerre o Delphi<b> antes de continuar.";
inline constexpr const char* MsgCancelarInstalacao = "A instalação não foi concluída. Tem certeza que deseja cancelar?";

class TFrmMain : public QWidget, public TWizardWindow {
    Q_OBJECT
public:
    // `executavel`: the file that carries the payload; empty means the running executable. Creating the window
    // runs FormCreate, which enumerates the installed IDEs.
    explicit TFrmMain(std::string executavel = {}, QWidget* parent = nullptr);
    ~TFrmMain() override;

    // The window services of the steps: the message dialog MsgDlg1 and the window's own event queue.
    int MsgError(const std::string& markup) override;
    int MsgWarning(const std::string& markup) override;
    int MsgInformation(const std::string& markup) override;
    int MsgConfirmation(const std::string& markup) override;
    void PostClose() override;

    // The command line's options for the wizard, before the window is shown: /DIR names the destination (the
    // change button stays enabled), /LOG gets the messages, the copied files, the registration log and the
    // outcome, /NOREPORT sends no report, /SUPPRESSMSGBOXES answers every box with its default and writes its
    // text to standard error and the log. `log` must outlive the window.
    void UsarLinhaComando(const TLinhaComando& opcoes, RunLog& log);

    // The shared state of the wizard (work folder, names, descriptor values, target, Finalizado).
    const TWizardState& Estado() const { return FEstado; }
    // True once the start-up sequence has run (whatever its outcome).
    bool Iniciada() const { return FIniciada; }
    // True once the close has been allowed and carried out.
    bool Fechada() const { return FFechada; }
    // The destination folder, as the label on the folder page holds it.
    std::string PastaDestino() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    void FormClose();
    void NoteEtapasChange(QObject* Sender);
    void BtnAvancarClick();
    void BtnVoltarClick();
    void BtnCancelarClick();
    void ChxContratoClick();
    void BtnAlterarClick();

    void DefinirPastaDestino();
    void AdicionarLog(const std::string& linha);
    void CopiarArquivos();
    void RegistrarPackage();
    // The installation report with the registration step's error indicator, under the wait overlay; and the
    // transport-security libraries of the second transport, in the work folder while it posts.
    void EnviarRelatorio(int erro);
    void ExtrairBibliotecaSSL();
    void ApagarBibliotecaSSL();

    // The form keeps the names its description and the system gave it (the components LibFunc1 ... SelPasta1,
    // Instalacoes); the state added to it is named as the system names a form's fields, with F (FEstado behind
    // Estado()). FUi holds the controls of the form description.
    std::unique_ptr<Ui::FrmMain> FUi;
    std::string FExecutavel;

    // The non-visual components of the form.
    TKqLibFunctions LibFunc1;
    TKqMsgDlg* MsgDlg1 = nullptr; // a child object of the window
    TKqRegManager RegMan1;
    TKqFindFile FndFile1;
    TExSelectFolder* SelPasta1 = nullptr; // a child object of the window
    TKqSkinPlus* SkinPlus1 = nullptr;     // a child object of the window

    TWizardState FEstado;
    // The command line's options; the run's log (none without UsarLinhaComando) and the boxes as text.
    TLinhaComando FOpcoes;
    RunLog* FLog = nullptr;
    std::unique_ptr<TextWindow> FTexto;
    int FErroRegistro = -1; // the registration's outcome as the report carries it, -1 until known
    std::unique_ptr<TSorteioPasta> FSorteio;
    std::unique_ptr<TIdeBorRADToolInstallations> Instalacoes;
    // The registration step; its handlers stay attached to the target IDE's compiler driver, so it lives as long
    // as the installations do.
    std::unique_ptr<TEtapaRegistro> FEtapaRegistro;

    bool FMostrada = false;    // the start-up sequence has been scheduled
    bool FIniciada = false;    // ... and has run
    bool FPerguntando = false; // the close confirmation is on the screen
    bool FAdiada = false;      // a close request came while it was
    bool FFechada = false;     // the close was allowed: the work folder is gone
    bool FCopiado = false;     // the copy step ended well: the registration page may do its work
};

} // namespace tarvix
