// Small text helpers of the IDE installation services. Names of properties, environment variables and registry
// values compare without regard to letter case; the folding covers ASCII letters, which is what those names are
// made of (other characters compare exactly): platform/ascii_case.h, which the searches below are built on.
#pragma once

#include <string>
#include <string_view>

namespace tarvix::ide {

// Position of the first occurrence of `what` in `s` at or after `from`, ignoring case; npos when none.
std::size_t FindText(std::string_view s, std::string_view what, std::size_t from = 0);
// Every occurrence of `what` replaced by `by`, ignoring case; the replacements are not scanned again.
std::string ReplaceText(std::string_view s, std::string_view what, std::string_view by);

// Windows path pieces (backslash separated, "C:" or "\\server\share" roots).
std::string ExtractFileName(std::string_view path);  // after the last "\" or ":"
std::string ExtractFileDir(std::string_view path);   // before the last "\" (the root keeps its "\")
std::string ExtractFileExt(std::string_view path);   // ".proj"; empty when the name has no dot
std::string ExtractFileDrive(std::string_view path); // "C:" or "\\server\share"; empty when none
std::string ChangeFileExt(std::string_view path, std::string_view ext);
bool IsAbsoluteWindowsPath(std::string_view path); // "C:\..." or "\\server\..."
// Resolves "." and ".." components and doubled separators ("/" counts as "\"); ".." never climbs above the root.
std::string NormalizeWindowsPath(std::string_view path);

} // namespace tarvix::ide
