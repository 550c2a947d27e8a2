// Small text helpers shared by the Office discovery files; private to them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessaly::office_detail {

// Parts between the separators, empty parts kept ("a\\b" gives a, "", b).
std::vector<std::wstring> SplitText(std::wstring_view text, wchar_t separator);
std::wstring RemoveAll(std::wstring_view text, std::wstring_view what);
// The text before the first separator, or the whole text when there is none.
std::wstring TextBefore(std::wstring_view text, wchar_t separator);
std::wstring ReplaceFirst(std::wstring_view text, std::wstring_view what, std::wstring_view with);
// Value of an environment variable, "" when it is unset.
std::wstring ReadEnvironment(const std::wstring& name);
// The folder part of a path including its last "\", "" when it holds none.
std::wstring FolderWithSlash(std::wstring_view path);
std::wstring WithTrailingSlash(std::wstring_view path);

// Registry key texts carry this placeholder for the application's own sub-key.
inline constexpr wchar_t kAppNamePlaceholder[] = L"{appname}";

}  // namespace tessaly::office_detail
