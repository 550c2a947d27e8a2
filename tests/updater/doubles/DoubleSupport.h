// What the two test doubles share: the folder they log into (the per-machine data folder the test
// points ProgramData at), their settings file there, and appending a line of text.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace doubles {

// %ProgramData%\Tessaly\ (created), where the updater's markers live too.
std::wstring DataFolder();
// The value of key in <DataFolder><name>, a file of "key=value" lines; fallback when missing.
std::wstring Setting(const std::wstring& name, const std::wstring& key, const std::wstring& fallback);
// Appends the text as UTF-8 and CR LF.
void AppendLine(const std::wstring& path, const std::wstring& text);
void AppendBytes(const std::wstring& path, const std::string& bytes);
// Replaces the file's content.
void WriteBytes(const std::wstring& path, const std::string& bytes);
// The whole file; "" when it cannot be read.
std::string ReadBytes(const std::wstring& path);
// UTF-8 text split at CR LF (a last line without one counts too).
std::vector<std::wstring> Utf8Lines(const std::string& utf8);
std::wstring OwnPath();

}  // namespace doubles
