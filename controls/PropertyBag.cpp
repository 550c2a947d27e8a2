// Saved property set; see PropertyBag.h.
#include "PropertyBag.h"

#include "TextConvert.h"

#include <cerrno>
#include <cwchar>
#include <cwctype>

namespace tessaly {

void PropertyBag::Write(std::wstring_view name, std::wstring value) {
    for (auto& entry : m_entries) {
        if (EqualsNoCase(entry.first, name)) {
            entry.second = std::move(value);
            return;
        }
    }
    m_entries.emplace_back(std::wstring(name), std::move(value));
}

std::optional<std::wstring> PropertyBag::Read(std::wstring_view name) const {
    for (const auto& entry : m_entries) {
        if (EqualsNoCase(entry.first, name)) return entry.second;
    }
    return std::nullopt;
}

void PropertyBag::WriteLong(std::wstring_view name, long value) { Write(name, std::to_wstring(value)); }

void PropertyBag::WriteBool(std::wstring_view name, bool value) { Write(name, value ? L"True" : L"False"); }

std::optional<long> PropertyBag::ReadLong(std::wstring_view name, long minValue, long maxValue) const {
    auto text = Read(name);
    if (!text || text->empty()) return std::nullopt;
    const wchar_t* begin = text->c_str();
    wchar_t* end = nullptr;
    errno = 0;
    long long value = std::wcstoll(begin, &end, 10);
    if (errno != 0 || end == begin || *end != L'\0') return std::nullopt;
    // Colours are saved as unsigned 32-bit numbers; they come back as their signed pattern.
    if (minValue < 0 && value > maxValue && value <= 0xFFFFFFFFLL && maxValue == 0x7FFFFFFF)
        value -= 0x100000000LL;
    if (value < minValue || value > maxValue) return std::nullopt;
    return static_cast<long>(value);
}

std::optional<bool> PropertyBag::ReadBool(std::wstring_view name) const {
    auto text = Read(name);
    if (!text) return std::nullopt;
    if (EqualsNoCase(*text, L"True") || *text == L"1" || *text == L"-1") return true;
    if (EqualsNoCase(*text, L"False") || *text == L"0") return false;
    return std::nullopt;
}

std::wstring PropertyBag::ToText() const {
    std::wstring out;
    for (const auto& [name, value] : m_entries) {
        out += name;
        out += L'=';
        out += value;
        out += L"\r\n";
    }
    return out;
}

PropertyBag PropertyBag::FromText(std::wstring_view text) {
    PropertyBag bag;
    while (!text.empty()) {
        size_t eol = text.find_first_of(L"\r\n");
        std::wstring_view line = text.substr(0, eol);
        text = eol == std::wstring_view::npos ? std::wstring_view{} : text.substr(eol + 1);
        size_t eq = line.find(L'=');
        if (eq == std::wstring_view::npos || eq == 0) continue;
        bag.Write(line.substr(0, eq), std::wstring(line.substr(eq + 1)));
    }
    return bag;
}

}  // namespace tessaly
