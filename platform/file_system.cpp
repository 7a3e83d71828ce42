#include "platform/file_system.h"

#include <atomic>
#include <cstdio>
#include <random>

#include "platform/errors.h"

namespace tarvix::platform {

namespace {

thread_local uint32_t threadLastError = 0;

// Where the folder part of a Windows path ends (the index after its last separator; 0 when there is none,
// 2 for "C:name").
std::size_t folderPartLength(std::string_view path)
{
    const auto sep = path.find_last_of("\\/");
    if (sep != std::string_view::npos)
        return sep + 1;
    if (path.size() >= 2 && path[1] == ':')
        return 2;
    return 0;
}

std::string temporaryNameBeside(std::string_view path)
{
    static std::atomic<uint64_t> counter{std::random_device{}()};
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%012llx.tmp",
                  static_cast<unsigned long long>(counter.fetch_add(0x9E3779B97F4A7C15ull) & 0xFFFFFFFFFFFFull));
    const std::size_t folder = folderPartLength(path);
    // A leading dot keeps the half-written file out of sight of ordinary listings on the host.
    return std::string(path.substr(0, folder)) + "." + std::string(path.substr(folder)) + suffix;
}

[[noreturn]] void throwCreateError(std::string_view path, uint32_t code)
{
    throw FileError("Cannot create file \"" + std::string(path) + "\". " + systemErrorText(code), code);
}

} // namespace

void File::readExact(void* buffer, std::size_t n)
{
    auto* p = static_cast<char*>(buffer);
    while (n > 0) {
        const std::size_t got = read(p, n);
        if (got == 0)
            throw FileError("Stream read error");
        p += got;
        n -= got;
    }
}

uint32_t FileSystem::lastError()
{
    return threadLastError;
}

void FileSystem::setLastError(uint32_t code)
{
    threadLastError = code;
}

std::string FileSystem::readFile(std::string_view path)
{
    auto file = open(path, FileMode::Read, FileShare::DenyWrite);
    std::string bytes;
    const int64_t size = file->size();
    if (size > 0)
        bytes.reserve(static_cast<std::size_t>(size));
    char buffer[65536];
    // Read to the end rather than trusting the size: the file may grow or shrink while it is read.
    while (const std::size_t got = file->read(buffer, sizeof buffer))
        bytes.append(buffer, got);
    file->close();
    return bytes;
}

void FileSystem::writeFile(std::string_view path, std::string_view bytes)
{
    // The rename below would replace what Windows refuses to overwrite.
    if (const auto attrs = attributes(path); attrs && (*attrs & (FileAttr::ReadOnly | FileAttr::Directory)))
        throwCreateError(path, WinError::AccessDenied);

    std::string temporary;
    std::unique_ptr<File> file;
    for (int attempt = 0; !file; ++attempt) {
        temporary = temporaryNameBeside(path);
        try {
            file = open(temporary, FileMode::CreateNew, FileShare::Exclusive);
        } catch (const FileError& e) {
            // A name clash is retried; anything else is reported against the file the caller named.
            if (e.code() != WinError::FileExists || attempt >= 8)
                throwCreateError(path, e.code());
        }
    }
    try {
        file->write(bytes.data(), bytes.size());
        file->close();
    } catch (...) {
        file.reset();
        deleteFile(temporary);
        throw;
    }
    file.reset();
    if (!replaceFile(temporary, path)) {
        const uint32_t code = lastError();
        deleteFile(temporary);
        throwCreateError(path, code);
    }
    // The new file is in place; a folder that cannot be flushed makes the rename less durable, not undone.
    const std::size_t folder = folderPartLength(path);
    flushDirectory(folder == 0 ? std::string_view(".") : path.substr(0, folder));
    setLastError(WinError::Success);
}

} // namespace tarvix::platform
