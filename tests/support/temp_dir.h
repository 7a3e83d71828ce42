// A temporary folder for one test, removed with everything in it when the object goes away.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarvix::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

    // Writes a file (and its parent folders) under the folder; returns its path.
    std::filesystem::path write(std::string_view relative, std::string_view bytes) const;
    // Reads a file under the folder as bytes.
    std::string read(std::string_view relative) const;

private:
    std::filesystem::path path_;
};

} // namespace tarvix::test
