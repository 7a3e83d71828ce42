#include "installer/executar_instalador.h"

#include <exception>

#include "installer/application.h"
#include "installer/frm_main.h"

namespace tarvix {

namespace {

int Executar(const std::string& executavel, const TAcompanhamento& acompanhamento)
{
    // The main window is a top-level window without an owner, so it is the one the task bar shows; closing it
    // ends the application. It lives on this stack until the loop has ended, so no step that is still
    // unwinding after the close finds it gone.
    TFrmMain janela(executavel);
    const std::function<int(int)> concluir = acompanhamento ? acompanhamento(janela) : nullptr;

    janela.show();
    const int resultado = TApplication::exec();
    return concluir ? concluir(resultado) : resultado;
}

} // namespace

int ExecutarInstalador(const std::string& executavel, const TAcompanhamento& acompanhamento)
{
    // Errors inside the message loop are the application's to show (TApplication::notify); what is left is the
    // window's creation, before any loop runs.
    try {
        return Executar(executavel, acompanhamento);
    } catch (const std::exception& e) {
        TApplication::ShowException(QString::fromUtf8(e.what()));
    } catch (...) {
        TApplication::ShowException(QStringLiteral("Erro desconhecido."));
    }
    return 1;
}

} // namespace tarvix
