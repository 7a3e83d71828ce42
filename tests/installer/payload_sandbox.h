// What the payload tests share: a sandbox Wine prefix made the current system, whose temporary folder is
// C:\temp and whose ANSI code page is chosen by the test; builders of records and containers; and a window that
// records what the steps show.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "installer/payload_format.h"
#include "installer/wizard_window.h"
#include "platform/system.h"
#include "platform/wine/wine_prefix.h"
#include "tests/platform/sandbox_prefix.h"

namespace tarvix::test {

class PayloadSandbox {
public:
    explicit PayloadSandbox(std::string_view ansiCodePage = "1252", std::string_view temp = "C:\\\\temp")
    {
        sandbox_.writeHive("system.reg", "[System\\\\CurrentControlSet\\\\Control\\\\Nls\\\\Codepage] 1700000000\n\"ACP\"=\"" +
                                             std::string(ansiCodePage) + "\"\n\"OEMCP\"=\"437\"\n\n");
        sandbox_.writeHive("user.reg", "[Environment] 1700000000\n\"TEMP\"=\"" + std::string(temp) + "\"\n\"TMP\"=\"" +
                                           std::string(temp) + "\"\n\n");
        sandbox_.mkdirC("temp");
        prefix_ = std::make_unique<platform::WinePrefix>(sandbox_.path());
        scoped_ = std::make_unique<platform::ScopedCurrentSystem>(*prefix_);
    }

    platform::WinePrefix& prefix() { return *prefix_; }
    const SandboxPrefix& sandbox() const { return sandbox_; }
    std::filesystem::path driveC() const { return sandbox_.driveC(); }
    std::filesystem::path tempHost() const { return sandbox_.driveC() / "temp"; }

    // Writes a file below drive_c; returns its Windows path ("C:\" + relative with backslashes).
    std::string writeC(std::string_view relative, std::string_view bytes) const
    {
        sandbox_.writeC(relative, bytes);
        std::string windows = "C:\\" + std::string(relative);
        for (char& c : windows)
            if (c == '/')
                c = '\\';
        return windows;
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
    SandboxPrefix sandbox_;
    std::unique_ptr<platform::WinePrefix> prefix_;
    std::unique_ptr<platform::ScopedCurrentSystem> scoped_;
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

    std::function<void()> OnError; // runs while the error box would be shown
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
