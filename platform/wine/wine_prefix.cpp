#include "platform/wine/wine_prefix.h"

namespace tarvix::platform {

namespace {

std::filesystem::path absolutePrefix(const std::filesystem::path& dir)
{
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(dir, ec);
    return (ec ? dir : absolute).lexically_normal();
}

} // namespace

WinePrefix::WinePrefix(std::filesystem::path prefixDir)
    : prefixDir_(absolutePrefix(prefixDir)),
      registry_(prefixDir_),
      files_(prefixDir_),
      shell_(registry_, files_, prefixDir_),
      processes_(files_, prefixDir_)
{}

std::string WinePrefix::description() const
{
    std::string path = prefixDir_.string();
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return "Wine prefix " + path;
}

} // namespace tarvix::platform
