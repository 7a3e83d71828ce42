// The small window of /SILENT (and of /UNINSTALL run with a window): no wizard pages, only the copy gauge, the
// file being copied and the run's log while the unattended run works, and a Cancel button that stops the copy
// before its next file. The window starts the run as soon as it is shown and closes by itself when the run ends;
// the run's exit code is then Codigo(). The run itself is the Qt-free one of installer/unattended_run.h: this
// window only shows it.
#pragma once

#include <QWidget>

#include <string>

#include "installer/command_line.h"
#include "installer/unattended_run.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tarvix {

class TKqGauge;
class TKqMsgDlg;

class TFrmSilenciosa : public QWidget, public TWizardWindow {
    Q_OBJECT
public:
    // `log` receives every line of the run and must outlive the window; `executavel` carries the payload
    // (empty: the running executable).
    TFrmSilenciosa(const TLinhaComando& opcoes, RunLog& log, std::string executavel = {}, QWidget* parent = nullptr);
    ~TFrmSilenciosa() override;

    // The message dialog's boxes, or with /SUPPRESSMSGBOXES their text on standard error and in the log; either
    // way the log keeps the message.
    int MsgError(const std::string& markup) override;
    int MsgWarning(const std::string& markup) override;
    int MsgInformation(const std::string& markup) override;
    int MsgConfirmation(const std::string& markup) override;
    // The window closes when the run has ended; a step's close request changes nothing before that.
    void PostClose() override {}

    // The run's exit code once it has ended (Concluida()).
    TCodigoSaida Codigo() const { return FCodigo; }
    bool Concluida() const { return FConcluida; }
    // True once Cancel (or the close box) asked the run to stop.
    bool Cancelada() const { return FCancelada; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Executar();
    void BtnCancelarClick();

    TLinhaComando FOpcoes;
    RunLog& FLog;
    std::string FExecutavel;
    TextWindow FTexto;

    TKqGauge* ProgBar1 = nullptr;
    QLabel* LabArquivo = nullptr;
    QPlainTextEdit* MemLog = nullptr;
    QPushButton* BtnCancelar = nullptr;
    TKqMsgDlg* MsgDlg1 = nullptr;

    bool FIniciada = false;
    bool FConcluida = false;
    bool FCancelada = false;
    TCodigoSaida FCodigo = TCodigoSaida::NaoIniciou;
};

} // namespace tarvix
