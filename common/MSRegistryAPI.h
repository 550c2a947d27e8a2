// Read-only registry access: one value, the sub-key names and the values of a key.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tessaly {

// Empty (std::monostate) when nothing was read; a text for REG_SZ/REG_EXPAND_SZ (not expanded);
// a signed 32-bit number for REG_DWORD.
using RegValue = std::variant<std::monostate, std::wstring, std::int32_t>;

// Status of a value of a type that is not read.
inline constexpr LONG kRegTypeNotRead = -1;

// One entry of EnumRegValues: the name alone, or the name and the data read as text.
struct RegValueEntry {
    std::wstring name;
    std::optional<std::wstring> data;
};

// Returns the registry status (0 = success) or kRegTypeNotRead; value is changed only on a read.
LONG QueryOpenKeyValue(HKEY key, const std::wstring& name, RegValue& value);
LONG ReadRegValue(HKEY root, const std::wstring& subKey, const std::wstring& name, RegValue& value);
// Sub-key names in index order; count receives their number.
std::vector<std::wstring> EnumRegSubKeys(HKEY root, const std::wstring& subKey, std::int32_t& count);
// Values in index order, stopping at the first that does not fit 2048 characters/bytes; lastType
// receives the type of the last value read.
std::vector<RegValueEntry> EnumRegValues(HKEY root, const std::wstring& subKey, bool withData, DWORD& lastType,
                                         std::int32_t& count);

// Convenience for callers that only want a text: the text value or "" when missing or not text.
std::wstring ReadRegText(HKEY root, const std::wstring& subKey, const std::wstring& name);

}  // namespace tessaly
