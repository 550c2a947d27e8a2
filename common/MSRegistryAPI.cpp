// Read-only registry access through the wide registry functions.
#include "MSRegistryAPI.h"

#include <cstring>

#include "FaultLog.h"
#include "UniqueHandle.h"

namespace tessaly {
namespace {

constexpr DWORD kEnumBufferSize = 2048;

std::wstring WithoutNuls(std::wstring text) {
    std::erase(text, L'\0');
    return text;
}

}  // namespace

LONG QueryOpenKeyValue(HKEY key, const std::wstring& name, RegValue& value) {
    LONG status = ERROR_INVALID_FUNCTION;
    try {
        DWORD type = REG_NONE;
        DWORD size = 0;
        status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS) return status;
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            // A text stored without its NUL is still that text: status 0 must come with a value.
            std::wstring buffer((size + 1) / sizeof(wchar_t), L'\0');
            DWORD got = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
            status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                                        &got);
            if (status != ERROR_SUCCESS) {
                value = std::monostate{};
                return status;
            }
            buffer.resize(got / sizeof(wchar_t));
            const size_t nul = buffer.find(L'\0');
            value = nul == std::wstring::npos ? buffer : buffer.substr(0, nul);
            return status;
        }
        if (type == REG_DWORD) {
            std::int32_t number = 0;
            DWORD got = sizeof number;
            status = ::RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number), &got);
            if (status == ERROR_SUCCESS) value = number;
            return status;
        }
        return kRegTypeNotRead;
    } catch (...) {
        LogCaughtFault(L"QueryOpenKeyValue");
        return status;
    }
}

LONG ReadRegValue(HKEY root, const std::wstring& subKey, const std::wstring& name, RegValue& value) {
    unique_hkey key;
    const LONG status = ::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE, key.put());
    if (status != ERROR_SUCCESS) return status;
    return QueryOpenKeyValue(key.get(), name, value);
}

std::vector<std::wstring> EnumRegSubKeys(HKEY root, const std::wstring& subKey, std::int32_t& count) {
    std::vector<std::wstring> names;
    count = 0;
    try {
        unique_hkey key;
        if (::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
        std::wstring name(kEnumBufferSize, L'\0');
        std::wstring className(kEnumBufferSize, L'\0');
        for (DWORD index = 0;; ++index) {
            DWORD nameLength = kEnumBufferSize;
            DWORD classLength = kEnumBufferSize;
            if (::RegEnumKeyExW(key.get(), index, name.data(), &nameLength, nullptr, className.data(), &classLength,
                                nullptr) != ERROR_SUCCESS)
                break;
            names.emplace_back(name.data(), nameLength);
        }
    } catch (...) {
        LogCaughtFault(L"EnumRegSubKeys");
    }
    count = static_cast<std::int32_t>(names.size());
    return names;
}

std::vector<RegValueEntry> EnumRegValues(HKEY root, const std::wstring& subKey, bool withData, DWORD& lastType,
                                         std::int32_t& count) {
    std::vector<RegValueEntry> entries;
    count = 0;
    try {
        unique_hkey key;
        if (::RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return entries;
        std::wstring name(kEnumBufferSize, L'\0');
        std::vector<BYTE> data(kEnumBufferSize);
        for (DWORD index = 0;; ++index) {
            DWORD nameLength = kEnumBufferSize;
            DWORD dataLength = kEnumBufferSize;
            DWORD type = REG_NONE;
            if (::RegEnumValueW(key.get(), index, name.data(), &nameLength, nullptr, &type, data.data(),
                                &dataLength) != ERROR_SUCCESS)
                break;
            lastType = type;
            RegValueEntry entry;
            entry.name = WithoutNuls(std::wstring(name.data(), nameLength));
            if (withData) {
                std::wstring text(dataLength / sizeof(wchar_t), L'\0');
                std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
                entry.data = WithoutNuls(std::move(text));
            }
            entries.push_back(std::move(entry));
        }
    } catch (...) {
        LogCaughtFault(L"EnumRegValues");
    }
    count = static_cast<std::int32_t>(entries.size());
    return entries;
}

std::wstring ReadRegText(HKEY root, const std::wstring& subKey, const std::wstring& name) {
    RegValue value;
    if (ReadRegValue(root, subKey, name, value) != ERROR_SUCCESS) return {};
    const auto* text = std::get_if<std::wstring>(&value);
    return text ? *text : std::wstring();
}

}  // namespace tessaly
