// All network traffic of the updater: the update request (a form POST answered with JSON text)
// and three ways of fetching the installer package: ranged GETs of 1 MiB with progress, the
// outside download agent driven by a task file, and a plain URL download.
#pragma once

#include <cstdint>
#include <string>

#include "StatusBox.h"

namespace tessaly::updater {

inline constexpr std::int32_t kPieceBytes = 1048576;
// A piece of the ranged download must come within 120 polls of 10 ms.
inline constexpr std::uint32_t kPieceAnswerPolls = 120;
inline constexpr std::uint32_t kAnswerPollMs = 10;
// Redirects a request follows at most.
inline constexpr int kMostRedirects = 5;

// The answer text of a 200, or "" (another status, or a redirect it may not follow, at once;
// errors and answers that do not come within their wait after three attempts).
std::wstring PostForm(const std::wstring& url, const std::wstring& body);

// Deletes the URL's cache entry, then downloads it to destPath within the transfer limits of the
// waits table; a partial file is removed.
bool DownloadByUrlMoniker(const std::wstring& url, const std::wstring& destPath);

// Runs "zdvupdateget.exe" of the program folder with a task file and waits while its target
// "zdvupdatepkg.dwn" in the per-user data folder grows; true when the target reached size bytes.
// An agent that passes a transfer limit of the waits table is ended.
bool DownloadWithHelper(const std::wstring& programFolder, const std::wstring& version, const std::wstring& url,
                        std::int32_t size, const std::wstring& hash, const std::wstring& progressFormat,
                        StatusBox& status);
// Path of the agent's target.
std::wstring HelperTargetPath();
// Path of the agent in the program folder.
std::wstring HelperProgramPath(const std::wstring& programFolder);

// Fetches the package in pieces into destPath; true when it was written completely, within the
// whole transfer limit. On false the file this call created is gone again.
bool DownloadByRanges(const std::wstring& url, std::int32_t size, const std::wstring& destPath,
                      const std::wstring& progressFormat, StatusBox& status);

}  // namespace tessaly::updater
