// A small Wine prefix in a temporary folder for the platform tests: drive_c, the drive links of dosdevices
// (c: → ../drive_c, z: → /) and hive files written as text.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "tests/support/temp_dir.h"

namespace tarvix::test {

class SandboxPrefix {
public:
    SandboxPrefix()
    {
        std::filesystem::create_directories(path() / "drive_c");
        std::filesystem::create_directories(path() / "dosdevices");
        link("c:", "../drive_c");
        link("z:", "/");
    }

    const std::filesystem::path& root() const { return temp_.path(); }
    std::filesystem::path path() const { return temp_.path() / "prefix"; }
    std::filesystem::path driveC() const { return path() / "drive_c"; }

    // dosdevices/<name> → target.
    void link(std::string_view name, const std::filesystem::path& target) const
    {
        const auto at = path() / "dosdevices" / name;
        std::error_code ignored;
        std::filesystem::remove(at, ignored);
        std::filesystem::create_directory_symlink(target, at);
    }

    // A file below drive_c (folders made as needed); returns its host path.
    std::filesystem::path writeC(std::string_view relative, std::string_view bytes = {}) const
    {
        return temp_.write("prefix/drive_c/" + std::string(relative), bytes);
    }
    std::filesystem::path mkdirC(std::string_view relative) const
    {
        const auto p = driveC() / relative;
        std::filesystem::create_directories(p);
        return p;
    }
    std::string readC(std::string_view relative) const { return temp_.read("prefix/drive_c/" + std::string(relative)); }

    // A hive file (system.reg, user.reg, userdef.reg) with the usual header and the given keys.
    void writeHive(std::string_view file, std::string_view keys, std::string_view arch = "win64") const
    {
        const bool user = file == "user.reg";
        std::string text = "WINE REGISTRY Version 2\n";
        text += user ? ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"
                     : ";; All keys relative to REGISTRY\\\\Machine\n";
        text += "\n#arch=" + std::string(arch) + "\n\n";
        text += keys;
        temp_.write("prefix/" + std::string(file), text);
    }

private:
    TempDir temp_;
};

} // namespace tarvix::test
