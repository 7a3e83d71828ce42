#include "installer/package_rewriter.h"

#include <algorithm>
#include <locale>
#include <stdexcept>

#include "components/kq_find_file.h"
#include "components/kq_lib_functions.h"
#include "platform/system.h"
#include "platform/text_encoding.h"

namespace tarvix {

namespace {

constexpr std::string_view CrLf = "\r\n";
constexpr std::string_view BomUtf8 = "\xEF\xBB\xBF";
constexpr std::string_view BomUtf16LE = "\xFF\xFE";
constexpr std::string_view BomUtf16BE = "\xFE\xFF";

std::string trocarBytesPares(std::string_view bytes)
{
    std::string out(bytes);
    for (std::size_t i = 0; i + 1 < out.size(); i += 2)
        std::swap(out[i], out[i + 1]);
    return out;
}

uint32_t codePageAnsi()
{
    return platform::current().shell().ansiCodePage();
}

// The folder part of a path, with its trailing backslash (or the drive's colon).
std::string pastaDoCaminho(std::string_view caminho)
{
    const std::size_t p = caminho.find_last_of("\\:");
    return p == std::string_view::npos ? std::string() : std::string(caminho.substr(0, p + 1));
}

// The name without its extension (the part from the last dot of the name on).
std::string semExtensao(std::string_view nome)
{
    const std::size_t p = nome.find_last_of(".\\:");
    if (p == std::string_view::npos || nome[p] != '.')
        return std::string(nome);
    return std::string(nome.substr(0, p));
}

// The user's locale for collation; the classic one when the environment names a locale the system lacks.
const std::locale& localeDoUsuario()
{
    static const std::locale locale = [] {
        try {
            return std::locale("");
        } catch (const std::runtime_error&) {
            return std::locale::classic();
        }
    }();
    return locale;
}

std::wstring paraWide(std::string_view utf8)
{
    const std::u16string s = platform::utf8ToUtf16(utf8);
    std::wstring out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            out.push_back(static_cast<wchar_t>(0x10000 + ((char32_t(c) - 0xD800) << 10) + (s[i + 1] - 0xDC00)));
            ++i;
        } else {
            out.push_back(static_cast<wchar_t>(c));
        }
    }
    return out;
}

} // namespace

std::string TTextoLinhas::Texto() const
{
    std::string texto;
    for (const std::string& linha : Linhas) {
        texto += linha;
        texto += CrLf;
    }
    return texto;
}

void TTextoLinhas::SetTexto(std::string_view texto)
{
    Linhas.clear();
    std::size_t inicio = 0;
    std::size_t i = 0;
    while (i < texto.size()) {
        const char c = texto[i];
        if (c == '\r' || c == '\n') {
            Linhas.emplace_back(texto.substr(inicio, i - inicio));
            if (c == '\r' && i + 1 < texto.size() && texto[i + 1] == '\n')
                ++i;
            inicio = ++i;
        } else {
            ++i;
        }
    }
    if (inicio < texto.size())
        Linhas.emplace_back(texto.substr(inicio));
}

TTextoLinhas CarregarTexto(const std::string& caminho)
{
    const std::string bytes = platform::current().files().readFile(caminho);
    const std::string_view b(bytes);
    TTextoLinhas texto;
    if (b.starts_with(BomUtf8)) {
        texto.Codificacao = TCodificacaoTexto::Utf8;
        texto.SetTexto(b.substr(BomUtf8.size()));
    } else if (b.starts_with(BomUtf16LE)) {
        texto.Codificacao = TCodificacaoTexto::Utf16LE;
        texto.SetTexto(platform::utf16ToUtf8(platform::fromUtf16leBytes(b.substr(BomUtf16LE.size()))));
    } else if (b.starts_with(BomUtf16BE)) {
        texto.Codificacao = TCodificacaoTexto::Utf16BE;
        texto.SetTexto(
            platform::utf16ToUtf8(platform::fromUtf16leBytes(trocarBytesPares(b.substr(BomUtf16BE.size())))));
    } else {
        texto.Codificacao = TCodificacaoTexto::Ansi;
        texto.SetTexto(platform::decodeCodePage(b, codePageAnsi()));
    }
    return texto;
}

void GravarTexto(const std::string& caminho, const TTextoLinhas& texto)
{
    const std::string utf8 = texto.Texto();
    std::string bytes;
    switch (texto.Codificacao) {
    case TCodificacaoTexto::Utf8: bytes = std::string(BomUtf8) + utf8; break;
    case TCodificacaoTexto::Utf16LE:
        bytes = std::string(BomUtf16LE) + platform::utf16leBytes(platform::utf8ToUtf16(utf8));
        break;
    case TCodificacaoTexto::Utf16BE:
        bytes = std::string(BomUtf16BE) + trocarBytesPares(platform::utf16leBytes(platform::utf8ToUtf16(utf8)));
        break;
    case TCodificacaoTexto::Ansi: bytes = platform::encodeCodePage(utf8, codePageAnsi()); break;
    }
    platform::current().files().writeFile(caminho, bytes);
}

std::string QuotedStr(std::string_view texto)
{
    std::string out = "'";
    for (const char c : texto) {
        out.push_back(c);
        if (c == '\'')
            out.push_back('\'');
    }
    out.push_back('\'');
    return out;
}

void OrdenarSemCaixa(std::vector<std::string>& nomes)
{
    const auto& collate = std::use_facet<std::collate<wchar_t>>(localeDoUsuario());
    struct Chave {
        std::wstring maiusculas;
        std::string nome;
    };
    std::vector<Chave> chaves;
    chaves.reserve(nomes.size());
    for (std::string& nome : nomes)
        chaves.push_back({paraWide(StrUpper(nome)), std::move(nome)});
    std::sort(chaves.begin(), chaves.end(), [&](const Chave& a, const Chave& b) {
        const int c = collate.compare(a.maiusculas.data(), a.maiusculas.data() + a.maiusculas.size(),
                                      b.maiusculas.data(), b.maiusculas.data() + b.maiusculas.size());
        if (c != 0)
            return c < 0;
        return a.nome < b.nome;
    });
    for (std::size_t i = 0; i < chaves.size(); ++i)
        nomes[i] = std::move(chaves[i].nome);
}

void AtualizarPackage(const std::string& PackagePath, std::string_view Files, TKqFindFile& FndFile)
{
    const std::string pasta = pastaDoCaminho(PackagePath);
    TTextoLinhas package = CarregarTexto(PackagePath);

    // The component resources of the folder itself, as bare names, whatever their attributes.
    FndFile.SetInitialDir(pasta);
    FndFile.SetFileToSearch("*.dcr");
    FndFile.SetMaxFiles(0);
    FndFile.SetOptions({foReadOnlyFiles, foHiddenFiles, foSysFiles});
    FndFile.Execute();
    std::vector<std::string> recursos = FndFile.Files();
    OrdenarSemCaixa(recursos);

    std::string resources = "{$R *.res}" + std::string(CrLf);
    for (const std::string& nome : recursos) {
        const std::string base = semExtensao(nome);
        if (std::string_view(Files).find("|" + base + "|") != std::string_view::npos)
            resources += "{$R " + QuotedStr(base + ".dcr") + "}" + std::string(CrLf);
    }
    package.SetTexto(StrSubst(package.Texto(), "{$R *.res}", StrAllTrim(resources), 1));

    platform::FileSystem& files = platform::current().files();
    std::string contains = "contains" + std::string(CrLf);
    const int unidades = StrTokenCount(Files, u'|');
    for (int i = 1; i <= unidades; ++i) {
        const std::string unit = StrToken(Files, u'|', i);
        // The empty tokens before the first and after the last name are no units, even if a file named
        // ".pas" happens to lie in the folder.
        if (unit.empty())
            continue;
        if (files.fileExists(pasta + unit + ".pas"))
            contains += "  " + unit + " in " + QuotedStr(unit + ".pas") + "," + std::string(CrLf);
        else if (files.fileExists(pasta + unit + ".dcu"))
            contains += "  " + unit + "," + std::string(CrLf);
    }
    contains = StrAllTrim(contains);
    if (contains.ends_with(','))
        contains.back() = ';';
    package.SetTexto(StrSubst(package.Texto(), "contains", contains, 1));

    GravarTexto(PackagePath, package);
}

} // namespace tarvix
