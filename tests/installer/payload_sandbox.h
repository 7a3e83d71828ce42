// What the payload tests share: a sandbox Wine prefix made by the prefix builder and made the current system,
// whose temporary folder (C:\temp unless the test says otherwise) and ANSI code page are chosen by the test;
// builders of records and containers; and a window that records what the steps show.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "installer/payload_format.h"
#include "installer/wizard_window.h"
#include "platform/registry.h"
#include "platform/wine/wine_prefix.h"
#include "tests/support/sandbox_system.h"

namespace tarvix::test {

class PayloadSandbox {
public:
    // `temp`: the TEMP and TMP of the prefix's user, a Windows path.
    explicit PayloadSandbox(std::string_view ansiCodePage = "1252", std::string_view temp = "C:\\temp")
    {
        tools::PrefixBuilder& builder = sandbox_.builder();
        builder.setString(platform::RegRoot::LocalMachine, "System\\CurrentControlSet\\Control\\Nls\\Codepage", "ACP",
                          ansiCodePage);
        builder.setValues(platform::RegRoot::CurrentUser, "Environment",
                          {{"TEMP", std::string(temp)}, {"TMP", std::string(temp)}});
        mkdirC("temp");
    }

    platform::WinePrefix& prefix() { return sandbox_.system(); }
    std::filesystem::path driveC() const { return sandbox_.builder().dir() / "drive_c"; }
    std::filesystem::path tempHost() const { return driveC() / "temp"; }

    // A file or folder below drive_c ("temp/321/KqA.dcu"; parent folders made as needed). writeC returns the
    // file's Windows path ("C:\" + relative with backslashes).
    std::string writeC(std::string_view relative, std::string_view bytes)
    {
        const std::string windows = windowsPath(relative);
        sandbox_.builder().writeFile(windows, bytes);
        return windows;
    }
    void mkdirC(std::string_view relative) { sandbox_.builder().makeFolder(windowsPath(relative)); }
    std::string readC(std::string_view relative) const
    {
        std::ifstream in(driveC() / relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Every entry below drive_c, as paths relative to it.
    std::set<std::string> treeOfC() const
    {
        std::set<std::string> entries;
        for (auto it = std::filesystem::recursive_directory_iterator(driveC()); it != decltype(it)(); ++it)
            entries.insert(std::filesystem::relative(it->path(), driveC()).string());
        return entries;
    }

private:
    static std::string windowsPath(std::string_view relative)
    {
        std::string windows = "C:\\" + std::string(relative);
        for (char& c : windows)
            if (c == '/')
                c = '\\';
        return windows;
    }

    SandboxSystem sandbox_;
};

// One record of the file-record archive, its name given as raw bytes.
inline std::string Record(std::string_view nameBytes, std::string_view data)
{
    return EscreverCabecalhoRegistro(static_cast<uint8_t>(nameBytes.size()), static_cast<int32_t>(data.size())) +
           std::string(nameBytes) + std::string(data);
}

// An installer: an executable image followed by the payload container.
inline std::string Container(std::string_view archive, std::string_view descriptor,
                             std::string_view image = "MZ\x90\x00 executable image of the installer")
{
    return std::string(image) + std::string(archive) + std::string(descriptor) +
           EscreverTrailer(static_cast<int64_t>(archive.size()), static_cast<int64_t>(descriptor.size()));
}

// The trailer's two fields as they are, for damaged containers.
inline std::string RawTrailer(int32_t a, int32_t d)
{
    return EscreverCabecalhoRegistro(0, a).substr(1) + EscreverCabecalhoRegistro(0, d).substr(1);
}

class RecordingWindow : public TWizardWindow {
public:
    int MsgError(const std::string& markup) override
    {
        if (OnError)
            OnError();
        return record("error", markup);
    }
    int MsgWarning(const std::string& markup) override { return record("warning", markup); }
    int MsgInformation(const std::string& markup) override { return record("information", markup); }
    int MsgConfirmation(const std::string& markup) override { return record("confirmation", markup); }
    void PostClose() override { ++closes; }

    std::function<void()> OnError;     // runs while the error box would be shown
    std::vector<std::string> messages; // "error: <markup>", ...
    int closes = 0;

private:
    int record(std::string_view kind, const std::string& markup)
    {
        messages.push_back(std::string(kind) + ": " + markup);
        return 1;
    }
};

} // namespace tarvix::test
