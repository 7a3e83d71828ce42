// A file system that hands every call to another one. Tests derive from it and override only the calls whose
// answers they change (an attribute the prefix cannot show, a file that shrinks while it is read).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tarvix::test {

class ForwardingFileSystem : public platform::FileSystem {
public:
    explicit ForwardingFileSystem(platform::FileSystem& inner) : inner_(inner) {}

    std::string toHostPath(std::string_view p) const override { return inner_.toHostPath(p); }
    std::string toWindowsPath(std::string_view p) const override { return inner_.toWindowsPath(p); }
    std::vector<std::string> drives() const override { return inner_.drives(); }
    bool fileExists(std::string_view p) const override { return inner_.fileExists(p); }
    bool directoryExists(std::string_view p) const override { return inner_.directoryExists(p); }
    std::optional<uint32_t> attributes(std::string_view p) const override { return inner_.attributes(p); }
    std::vector<platform::DirEntry> enumerate(std::string_view f, std::string_view m) const override
    {
        return inner_.enumerate(f, m);
    }
    std::string longPathName(std::string_view p) const override { return inner_.longPathName(p); }
    std::string currentDirectory() const override { return inner_.currentDirectory(); }
    bool setCurrentDirectory(std::string_view path) override { return inner_.setCurrentDirectory(path); }
    bool createDirectory(std::string_view p, uint32_t* e = nullptr) override { return inner_.createDirectory(p, e); }
    bool forceDirectories(std::string_view p) override { return inner_.forceDirectories(p); }
    bool removeDirectory(std::string_view p) override { return inner_.removeDirectory(p); }
    bool deleteFile(std::string_view p) override { return inner_.deleteFile(p); }
    void deleteTree(std::string_view p) override { inner_.deleteTree(p); }
    bool setAttributes(std::string_view p, uint32_t a) override { return inner_.setAttributes(p, a); }
    bool copyFile(std::string_view f, std::string_view t, bool x) override { return inner_.copyFile(f, t, x); }
    bool moveFile(std::string_view f, std::string_view t) override { return inner_.moveFile(f, t); }
    bool replaceFile(std::string_view f, std::string_view t) override { return inner_.replaceFile(f, t); }
    bool flushDirectory(std::string_view p) override { return inner_.flushDirectory(p); }
    std::unique_ptr<platform::File> open(std::string_view p, platform::FileMode m,
                                         platform::FileShare s = platform::FileShare::DenyWrite) override
    {
        return inner_.open(p, m, s);
    }

protected:
    platform::FileSystem& inner_;
};

} // namespace tarvix::test
