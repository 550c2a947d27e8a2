// The texts of the engine conversation as the scan page reads them: request texts, the split of a
// reply at "::", and the turning of one scan or clean reply into counters, rows, records and lines.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ScanPageResults.h"

namespace tessaly {

inline constexpr wchar_t kScanRequestPrefix[] = L"SCAN::";
inline constexpr wchar_t kCleanRequestPrefix[] = L"CLEAN::";
inline constexpr wchar_t kScanReplyPrefix[] = L"R_SCAN::";
inline constexpr wchar_t kCleanReplyPrefix[] = L"R_CLEAN::";
inline constexpr wchar_t kClientExitText[] = L"CLIENT::EXIT";
inline constexpr wchar_t kServerExitText[] = L"SERVER::EXIT";

// Engine scan result codes.
inline constexpr std::int32_t kResultInfected = 2;
inline constexpr std::int32_t kResultSuspected = 50;
inline constexpr std::int32_t kResultEncrypted = 51;
inline constexpr std::int32_t kResultDamaged = 52;
inline constexpr std::int32_t kResultEngineError = -1;
inline constexpr std::int32_t kCleanRepaired = 1;

// The path as the engine expects it: "/" for every "\".
std::wstring ToEnginePath(std::wstring path);
std::wstring ToLocalPath(std::wstring path);
std::wstring EngineRequestText(const std::wstring& path, bool isClean);
bool IsEngineExitText(const std::wstring& text);

std::vector<std::wstring> SplitReply(const std::wstring& reply);
// A whole decimal number, blanks around it allowed; nothing for any other text or an overflow.
std::optional<std::int32_t> ParseReplyCode(const std::wstring& text);

void HandleScanReply(const std::wstring& reply, ScanResults& results, ScanResultSink& sink);
// Updates the record's row; True when the engine repaired the document.
bool HandleCleanReply(const std::wstring& reply, const InfectedFileRecord& record, ScanResultSink& sink);

}  // namespace tessaly
