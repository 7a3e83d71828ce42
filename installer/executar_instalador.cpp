#include "installer/executar_instalador.h"

#include <exception>
#include <iostream>

#include "installer/application.h"
#include "installer/command_line.h"
#include "installer/frm_main.h"
#include "installer/silent_window.h"
#include "installer/unattended_run.h"

namespace tarvix {

namespace {

int Executar(const std::string& executavel, const TAcompanhamento& acompanhamento, const TLinhaComando* opcoes,
             RunLog* log)
{
    // The main window is a top-level window without an owner, so it is the one the task bar shows; closing it
    // ends the application. It lives on this stack until the loop has ended, so no step that is still
    // unwinding after the close finds it gone.
    TFrmMain janela(executavel);
    if (opcoes)
        janela.UsarLinhaComando(*opcoes, *log);
    const std::function<int(int)> concluir = acompanhamento ? acompanhamento(janela) : nullptr;

    janela.show();
    const int resultado = TApplication::exec();
    return concluir ? concluir(resultado) : resultado;
}

int ExecutarSilencioso(const TLinhaComando& opcoes, RunLog& log, const std::string& executavel)
{
    TFrmSilenciosa janela(opcoes, log, executavel);
    janela.show();
    TApplication::exec();
    return static_cast<int>(janela.Codigo());
}

int ExecutarProtegido(const std::function<int()>& executar)
{
    // Errors inside the message loop are the application's to show (TApplication::notify); what is left is the
    // window's creation, before any loop runs.
    try {
        return executar();
    } catch (const std::exception& e) {
        TApplication::ShowException(QString::fromUtf8(e.what()));
    } catch (...) {
        TApplication::ShowException(QStringLiteral("Erro desconhecido."));
    }
    return 1;
}

} // namespace

int ExecutarInstalador(const std::string& executavel, const TAcompanhamento& acompanhamento)
{
    return ExecutarProtegido([&] { return Executar(executavel, acompanhamento, nullptr, nullptr); });
}

int ExecutarInstalador(const TLinhaComando& opcoes, const std::string& executavel)
{
    RunLog log;
    if (!AbrirLogDaLinhaComando(log, opcoes, std::cerr))
        return static_cast<int>(TCodigoSaida::NaoIniciou);
    if (opcoes.Silenciosa || opcoes.Desinstalar)
        return ExecutarProtegido([&] { return ExecutarSilencioso(opcoes, log, executavel); });
    return ExecutarProtegido([&] { return Executar(executavel, {}, &opcoes, &log); });
}

} // namespace tarvix
