#include "installer/unattended_run.h"

#include <algorithm>
#include <csignal>
#include <exception>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>

#include "components/kq_find_file.h"
#include "components/kq_lib_functions.h"
#include "components/kq_reg_manager.h"
#include "ideservices/ide_installation.h"
#include "ideservices/ide_installations.h"
#include "installer/file_deployment.h"
#include "installer/installation_report.h"
#include "installer/package_registration.h"
#include "installer/payload_extractor.h"
#include "installer/setup_descriptor.h"
#include "installer/uninstall_record.h"
#include "platform/system.h"
#include "platform/text_format.h"
#include "platform/windows_path.h"

namespace tarvix {

namespace {

// The dialog's answers that the text window gives.
constexpr int RespostaOk = 1;
constexpr int RespostaSim = 6;

bool Comeca(std::string_view texto, std::size_t p, std::string_view tag)
{
    return texto.substr(p).starts_with(tag);
}

// The Windows form of a path: a drive letter and a colon, or two backslashes (a share).
bool CaminhoWindows(std::string_view valor)
{
    const bool letra = valor.size() >= 2 && valor[1] == ':' &&
                       ((valor[0] >= 'A' && valor[0] <= 'Z') || (valor[0] >= 'a' && valor[0] <= 'z'));
    return letra || valor.starts_with("\\\\");
}

// The interrupt signals cancel a very silent run the way the window's Cancel cancels a silent one: the copy
// stops before its next file.
volatile std::sig_atomic_t Interrompida = 0;

void AoInterromper(int)
{
    Interrompida = 1;
}

class TratamentoInterrupcao {
public:
    TratamentoInterrupcao()
    {
        Interrompida = 0;
        anteriorInt_ = std::signal(SIGINT, AoInterromper);
        anteriorTerm_ = std::signal(SIGTERM, AoInterromper);
    }
    ~TratamentoInterrupcao()
    {
        std::signal(SIGINT, anteriorInt_);
        std::signal(SIGTERM, anteriorTerm_);
    }
    TratamentoInterrupcao(const TratamentoInterrupcao&) = delete;
    TratamentoInterrupcao& operator=(const TratamentoInterrupcao&) = delete;

private:
    void (*anteriorInt_)(int) = SIG_DFL;
    void (*anteriorTerm_)(int) = SIG_DFL;
};

// The work folder goes with the run, whatever way it ends.
class PastaTempDaExecucao {
public:
    explicit PastaTempDaExecucao(TWizardState& estado) : estado_(estado) {}
    ~PastaTempDaExecucao() { ApagarPastaTemp(estado_); }
    PastaTempDaExecucao(const PastaTempDaExecucao&) = delete;
    PastaTempDaExecucao& operator=(const PastaTempDaExecucao&) = delete;

private:
    TWizardState& estado_;
};

// The registry manager of the remembered destination. It reads without creating the key, so that a run that
// stops before the registration leaves the registry as it found it; the registration turns creating on again.
void PrepararRegMan(TKqRegManager& RegMan)
{
    RegMan.SetRootKey(HKeyLocalMachine);
    RegMan.SetKey(ChaveTarvixComps);
    RegMan.SetAutoCreate(false);
    RegMan.Loaded();
}

// The payload unpacked into a fresh work folder and its descriptor read; false when the unpacking failed and said
// so.
bool AbrirPacote(TWizardState& estado, TWizardWindow& window, std::string_view executavel)
{
    TSorteioPasta sorteio;
    if (!ExtrairInstalacao(estado, window, sorteio, executavel))
        return false;
    LerConfiguracao(estado);
    return true;
}

bool IdeEmExecucao()
{
    return IsRunning("TAppBuilder");
}

void AdicionarLinha(RunLog& log, const TPaginaAutomatica& pagina, const std::string& linha)
{
    log.line(linha);
    if (pagina.AdicionarLinha)
        pagina.AdicionarLinha(linha);
}

// One run of the installation's steps; the caller adds the outcome's line.
class InstalacaoSemAssistente {
public:
    InstalacaoSemAssistente(const TLinhaComando& opcoes, TWizardWindow& window, RunLog& log,
                            const TPaginaAutomatica& pagina)
        : opcoes_(opcoes),
          window_(window),
          log_(log),
          pagina_(pagina)
    {}

    TCodigoSaida run(std::string_view executavel)
    {
        if (!opcoes_.AceitarLicenca) {
            window_.MsgError(std::string(MsgLicencaNaoAceita));
            return TCodigoSaida::Cancelada;
        }
        PastaTempDaExecucao pastaTemp(estado_);
        std::unique_ptr<TIdeBorRADToolInstallations> instalacoes;
        try {
            instalacoes = std::make_unique<TIdeBorRADToolInstallations>();
        } catch (const std::exception& e) {
            window_.MsgError(platform::formatText(MsgErroInicio, {e.what()}));
            return TCodigoSaida::NaoIniciou;
        }
        if (!AbrirPacote(estado_, window_, executavel))
            return TCodigoSaida::NaoIniciou;
        TKqRegManager RegMan;
        PrepararRegMan(RegMan);
        try {
            destino_ =
                opcoes_.Pasta ? PastaDaLinhaComando(*opcoes_.Pasta) : ProporPastaDestino(estado_.Version, RegMan).Pasta;
        } catch (const std::exception& e) {
            window_.MsgError(platform::formatText(MsgErroInicio, {e.what()}));
            return TCodigoSaida::NaoIniciou;
        }
        LocalizarDelphi(estado_, window_, *instalacoes);
        if (estado_.IndiceDelphi < 0)
            return TCodigoSaida::NaoIniciou;
        if (IdeEmExecucao()) {
            window_.MsgError(platform::formatText(MsgDelphiEmExecucao, {NomeDelphi(estado_.Version)}));
            return TCodigoSaida::IdeAberta;
        }
        if (cancelada()) {
            window_.MsgWarning(std::string(MsgCanceladaAntesDeGravar));
            return TCodigoSaida::Cancelada;
        }
        adicionar("Pasta de destino: " + destino_);

        switch (copiar()) {
        case TFimCopia::Concluida: break;
        case TFimCopia::Falhou: return TCodigoSaida::Falhou;
        case TFimCopia::Interrompida:
            window_.MsgWarning(std::string(MsgCanceladaDuranteCopia));
            return TCodigoSaida::Interrompida;
        }
        return registrar(*instalacoes->Installations(estado_.IndiceDelphi), RegMan);
    }

    void adicionar(const std::string& linha) { AdicionarLinha(log_, pagina_, linha); }

private:
    bool cancelada() const { return pagina_.Cancelada && pagina_.Cancelada(); }

    TFimCopia copiar()
    {
        TPaginaCopia copia;
        copia.PastaDestino = [this] { return destino_; };
        copia.SetMaxValue = [this](int n) {
            if (pagina_.SetMaxValue)
                pagina_.SetMaxValue(n);
        };
        copia.SetProgress = [this](int n) {
            if (pagina_.SetProgress)
                pagina_.SetProgress(n);
        };
        copia.MostrarArquivo = [this](const std::string& arquivo) {
            if (pagina_.MostrarArquivo)
                pagina_.MostrarArquivo(arquivo);
            adicionar(LinhaCopia(arquivo));
        };
        copia.Fechada = [this] { return cancelada(); };
        TKqFindFile FndFile;
        FndFile.SetOptions({foReadOnlyFiles, foHiddenFiles, foSysFiles});
        return CopiarArquivos(estado_, window_, copia, FndFile);
    }

    TCodigoSaida registrar(TIdeBorRADToolInstallation& instalacao, TKqRegManager& RegMan)
    {
        std::string registro; // the registration log as the report carries it, lines joined by CR LF
        int erro = -1;
        TPaginaRegistro pagina;
        pagina.PastaDestino = [this] { return destino_; };
        pagina.AdicionarLinha = [this, &registro](const std::string& linha) {
            registro += registro.empty() ? linha : "\r\n" + linha;
            adicionar(linha);
        };
        pagina.Concluir = [] {};
        pagina.EnviarRelatorio = [this, &erro, &registro](int indicador) {
            erro = indicador;
            if (!opcoes_.SemRelatorio)
                enviarRelatorio(indicador, registro);
        };
        RegMan.SetAutoCreate(true);
        try {
            TEtapaRegistro etapa(estado_, window_, std::move(pagina), instalacao, RegMan);
            etapa.RegistrarPackage();
        } catch (const std::exception& e) {
            window_.MsgError(platform::formatText(MsgErroServicos, {e.what()}));
            return TCodigoSaida::Falhou;
        }
        return erro == 0 ? TCodigoSaida::Sucesso : TCodigoSaida::Falhou;
    }

    void enviarRelatorio(int erro, const std::string& registro)
    {
        // No window, so no overlay; the transport-security libraries as the wizard handles them.
        TAmbienteRelatorio ambiente;
        ambiente.MostrarAguardando = [] {};
        ambiente.FecharAguardando = [] {};
        ambiente.PostarPrimeiro = PostarPrimeiroTransporte;
        ambiente.PostarSegundo = PostarSegundoTransporte;
        ambiente.ExtrairBibliotecaSSL = [this] { ExtrairBibliotecaSSL(estado_.PastaTemp, std::nullopt); };
        ambiente.ApagarBibliotecaSSL = [this] { ApagarBibliotecaSSL(estado_.PastaTemp); };
        EnviarRelatorio(estado_, erro, registro, estado_.Relatorio, ambiente);
    }

    const TLinhaComando& opcoes_;
    TWizardWindow& window_;
    RunLog& log_;
    const TPaginaAutomatica& pagina_;
    TWizardState estado_;
    std::string destino_;
};

// The folder of the uninstall: /DIR; the uninstaller's own folder when it holds a record; the remembered one.
// Empty when there is none. Raises what the payload's unpacking or the path mapping raise.
std::optional<std::string> PastaDaDesinstalacao(const TLinhaComando& opcoes, TWizardWindow& window,
                                                std::string_view executavel)
{
    if (opcoes.Pasta)
        return PastaDaLinhaComando(*opcoes.Pasta);
    const std::string programa = executavel.empty() ? ExeName() : std::string(executavel);
    const std::size_t barra = programa.find_last_of("\\/");
    if (barra != std::string::npos) {
        const std::string pasta = programa.substr(0, barra);
        if (platform::current().files().fileExists(ArquivoRegistro(pasta)))
            return pasta;
    }
    // The remembered value is named by the payload's version.
    TWizardState estado;
    PastaTempDaExecucao pastaTemp(estado);
    if (!AbrirPacote(estado, window, executavel))
        return std::nullopt;
    TKqRegManager RegMan;
    PrepararRegMan(RegMan);
    return RegMan.ReadString("", NomeCaminhoLembrado(estado.Version), "");
}

} // namespace

std::vector<std::string> LinhasSemMarcacao(std::string_view markup)
{
    std::vector<std::string> linhas(1);
    std::size_t p = 0;
    while (p < markup.size()) {
        const char c = markup[p];
        if (c == '|' || c == '\n') {
            linhas.emplace_back();
            ++p;
        } else if (c == '\r') {
            linhas.emplace_back();
            p += Comeca(markup, p, "\r\n") ? 2 : 1;
        } else if (Comeca(markup, p, "<b>") || Comeca(markup, p, "<i>") || Comeca(markup, p, "<u>") ||
                   Comeca(markup, p, "<r>") || Comeca(markup, p, "<c>")) {
            p += 3;
        } else if (Comeca(markup, p, "<c:")) {
            // As the dialog reads it: a name that closes within 30 characters goes, whether it names a colour
            // or not; otherwise only the "<" is dropped.
            const std::size_t fecha = markup.substr(p + 3, 30).find('>');
            p += fecha == std::string_view::npos ? 1 : 3 + fecha + 1;
        } else {
            linhas.back() += c;
            ++p;
        }
    }
    return linhas;
}

void RunLog::openFile(const std::filesystem::path& file)
{
    file_.open(file, std::ios::out | std::ios::trunc);
    if (!file_.is_open())
        throw std::runtime_error("cannot create the log file " + file.string());
}

void RunLog::line(std::string_view text)
{
    if (!file_.is_open())
        return;
    file_ << text << '\n';
    file_.flush();
}

void RunLog::message(std::string_view title, std::string_view markup)
{
    const std::vector<std::string> linhas = LinhasSemMarcacao(markup);
    for (std::size_t i = 0; i < linhas.size(); ++i)
        line(i == 0 ? std::string(title) + ": " + linhas[i] : linhas[i]);
}

int TextWindow::MsgError(const std::string& markup)
{
    return write(TituloErro, markup, RespostaOk);
}

int TextWindow::MsgWarning(const std::string& markup)
{
    return write(TituloAviso, markup, RespostaOk);
}

int TextWindow::MsgInformation(const std::string& markup)
{
    return write(TituloInformacao, markup, RespostaOk);
}

int TextWindow::MsgConfirmation(const std::string& markup)
{
    return write(TituloConfirmacao, markup, RespostaSim);
}

int TextWindow::write(std::string_view title, std::string_view markup, int answer)
{
    const std::vector<std::string> linhas = LinhasSemMarcacao(markup);
    for (std::size_t i = 0; i < linhas.size(); ++i)
        out_ << (i == 0 ? std::string(title) + ": " : std::string()) << linhas[i] << '\n';
    out_.flush();
    log_.message(title, markup);
    return answer;
}

std::string LinhaCopia(std::string_view arquivo)
{
    return "Copiando " + std::string(arquivo);
}

std::string LinhaResultado(bool desinstalacao, TCodigoSaida codigo)
{
    std::string_view sentido;
    switch (codigo) {
    case TCodigoSaida::Sucesso: sentido = "concluída"; break;
    case TCodigoSaida::NaoIniciou: sentido = "não iniciada"; break;
    case TCodigoSaida::Cancelada: sentido = "cancelada antes de gravar"; break;
    case TCodigoSaida::Falhou: sentido = "falhou"; break;
    case TCodigoSaida::Interrompida: sentido = "interrompida pelo usuário"; break;
    case TCodigoSaida::IdeAberta: sentido = "recusada: o Delphi está aberto"; break;
    }
    return std::string(desinstalacao ? "Desinstalação " : "Instalação ") + std::string(sentido) + " (código de saída " +
           std::to_string(static_cast<int>(codigo)) + ")";
}

std::string PastaDaLinhaComando(std::string_view valor)
{
    std::string pasta;
    if (CaminhoWindows(valor)) {
        pasta = valor;
        std::replace(pasta.begin(), pasta.end(), '/', '\\');
    } else {
        const std::filesystem::path host = std::filesystem::absolute(std::filesystem::path(valor)).lexically_normal();
        pasta = platform::current().files().toWindowsPath(host.string());
    }
    // A drive's root keeps its backslash; any other folder is named without one, as the folder dialog names it.
    if (pasta.size() > 3 || (pasta.size() == 3 && pasta[1] != ':'))
        pasta = platform::excludeTrailingBackslash(pasta);
    return pasta;
}

std::filesystem::path ArquivoLogDaLinhaComando(std::string_view valor)
{
    if (CaminhoWindows(valor))
        return std::filesystem::path(platform::current().files().toHostPath(valor));
    return std::filesystem::path(valor);
}

bool AbrirLogDaLinhaComando(RunLog& log, const TLinhaComando& opcoes, std::ostream& erros)
{
    if (!opcoes.Log)
        return true;
    try {
        log.openFile(ArquivoLogDaLinhaComando(*opcoes.Log));
        return true;
    } catch (const std::exception& e) {
        erros << "Error: " << e.what() << '\n';
        return false;
    }
}

TCodigoSaida InstalarSemAssistente(const TLinhaComando& opcoes, TWizardWindow& window, RunLog& log,
                                   const TPaginaAutomatica& pagina, std::string_view executavel)
{
    InstalacaoSemAssistente instalacao(opcoes, window, log, pagina);
    TCodigoSaida codigo = TCodigoSaida::Falhou;
    try {
        codigo = instalacao.run(executavel);
    } catch (const std::exception& e) {
        window.MsgError(platform::formatText(MsgErroServicos, {e.what()}));
    }
    instalacao.adicionar(LinhaResultado(false, codigo));
    return codigo;
}

TCodigoSaida DesinstalarSemAssistente(const TLinhaComando& opcoes, TWizardWindow& window, RunLog& log,
                                      const TPaginaAutomatica& pagina, std::string_view executavel)
{
    const auto adicionar = [&log, &pagina](const std::string& linha) { AdicionarLinha(log, pagina, linha); };
    TCodigoSaida codigo = TCodigoSaida::NaoIniciou;
    try {
        const std::optional<std::string> pasta = PastaDaDesinstalacao(opcoes, window, executavel);
        if (!pasta) {
            codigo = TCodigoSaida::NaoIniciou;
        } else if (pasta->empty()) {
            window.MsgInformation(std::string(MsgNadaADesinstalar));
            codigo = TCodigoSaida::Sucesso;
        } else {
            TOpcoesDesinstalacao desinstalacao;
            desinstalacao.PastaDestino = *pasta;
            desinstalacao.Silenciosa = opcoes.Automatica();
            desinstalacao.IdeEmExecucao = IdeEmExecucao;
            desinstalacao.Log = adicionar;
            codigo = Desinstalar(window, desinstalacao);
        }
    } catch (const std::exception& e) {
        window.MsgError(platform::formatText(MsgErroInicio, {e.what()}));
        codigo = TCodigoSaida::NaoIniciou;
    }
    adicionar(LinhaResultado(true, codigo));
    return codigo;
}

int ExecutarMuitoSilencioso(const TLinhaComando& opcoes, std::ostream& erros, std::string_view executavel)
{
    RunLog log;
    if (!AbrirLogDaLinhaComando(log, opcoes, erros))
        return static_cast<int>(TCodigoSaida::NaoIniciou);
    TextWindow window(erros, log);
    TratamentoInterrupcao interrupcao;
    TPaginaAutomatica pagina;
    pagina.Cancelada = [] { return Interrompida != 0; };
    const TCodigoSaida codigo = opcoes.Desinstalar ? DesinstalarSemAssistente(opcoes, window, log, pagina, executavel)
                                                   : InstalarSemAssistente(opcoes, window, log, pagina, executavel);
    return static_cast<int>(codigo);
}

} // namespace tarvix
