// dcc32.exe [options] package[.dpk]: the simulated IDE compiler (tools/sim_dcc32.h) as a Windows console
// program, cross-compiled with mingw-w64, so that the real wine can run it the way it would run the IDE's own
// compiler. It is a simulation for demos and tests, not a compiler.
//
// It speaks to Windows directly (the platform layer is not built for Windows): paths go to the wide-character
// file functions, 8-bit text is converted with the process's ANSI and OEM code pages.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tools/sim_dcc32.h"

namespace {

std::wstring toWide(std::string_view text, UINT codePage)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string fromWide(std::wstring_view wide, UINT codePage)
{
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
    return text;
}

std::wstring widePath(std::string_view utf8Path)
{
    return toWide(utf8Path, CP_UTF8);
}

// Closes a file handle when it goes out of scope.
class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle()
    {
        if (valid())
            CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

bool writeAll(HANDLE handle, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(bytes.size() > 1u << 20 ? 1u << 20 : bytes.size());
        if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

class Win32Host : public tarvix::tools::SimDcc32Host {
public:
    bool fileExists(std::string_view path) override
    {
        const DWORD attributes = GetFileAttributesW(widePath(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool directoryExists(std::string_view path) override
    {
        const DWORD attributes = GetFileAttributesW(widePath(path).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    std::optional<std::string> readFile(std::string_view path) override
    {
        const Handle file(CreateFileW(widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid())
            return std::nullopt;
        std::string bytes;
        char buffer[65536];
        DWORD got = 0;
        while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
            if (got == 0)
                return bytes;
            bytes.append(buffer, got);
        }
        return std::nullopt;
    }

    bool writeFile(std::string_view path, std::string_view bytes) override
    {
        const std::wstring wide = widePath(path);
        bool written = false;
        {
            const Handle file(
                CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file.valid())
                return false;
            written = writeAll(file.get(), bytes);
        }
        // A half-written output would pass for a complete one.
        if (!written)
            DeleteFileW(wide.c_str());
        return written;
    }

    std::string currentDirectory() override
    {
        const DWORD length = GetCurrentDirectoryW(0, nullptr);
        std::wstring folder(length, L'\0');
        const DWORD got = GetCurrentDirectoryW(length, folder.data());
        folder.resize(got < length ? got : 0);
        return fromWide(folder, CP_UTF8);
    }

    std::string decodeAnsi(std::string_view bytes) override { return fromWide(toWide(bytes, CP_ACP), CP_UTF8); }
    std::string encodeOem(std::string_view utf8) override { return fromWide(toWide(utf8, CP_UTF8), CP_OEMCP); }

    // Unbuffered: each call reaches the pipe or console at once.
    void writeOutput(std::string_view bytes) override { writeAll(GetStdHandle(STD_OUTPUT_HANDLE), bytes); }
};

} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(fromWide(argv[i], CP_UTF8));
    Win32Host host;
    return tarvix::tools::SimDcc32(host).run(arguments);
}
