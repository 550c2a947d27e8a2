// The saved design-time properties of a user control: named text values in the order they were
// written, kept by the hosting window as "Name=Value" lines.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaly {

class PropertyBag {
public:
    void Write(std::wstring_view name, std::wstring value);
    // The value stored under `name` (case-insensitive), or nothing when the name is missing.
    [[nodiscard]] std::optional<std::wstring> Read(std::wstring_view name) const;

    void WriteLong(std::wstring_view name, long value);
    void WriteBool(std::wstring_view name, bool value);
    // Missing names and values that are not numbers of the type's range read as nothing.
    [[nodiscard]] std::optional<long> ReadLong(std::wstring_view name, long minValue, long maxValue) const;
    [[nodiscard]] std::optional<bool> ReadBool(std::wstring_view name) const;

    [[nodiscard]] const std::vector<std::pair<std::wstring, std::wstring>>& Entries() const noexcept {
        return m_entries;
    }
    [[nodiscard]] std::wstring ToText() const;
    // Lines without "=" and empty names are skipped.
    static PropertyBag FromText(std::wstring_view text);

private:
    std::vector<std::pair<std::wstring, std::wstring>> m_entries;
};

}  // namespace tessaly
