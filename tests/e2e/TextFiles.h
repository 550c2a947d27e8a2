// Files the programs write, read back the way a user's editor would: whole bytes, lines of the
// system code page or of UTF-8.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace e2e {

bool FileExists(const std::wstring& path);
std::optional<std::string> ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::string& bytes);
// Lines split at CR LF (a last line without one counts too); nullopt when the file is missing.
std::optional<std::vector<std::wstring>> ReadAnsiLines(const std::wstring& path);
std::optional<std::vector<std::wstring>> ReadUtf8Lines(const std::wstring& path);

}  // namespace e2e
