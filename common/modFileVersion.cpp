// Version text of an executable from its fixed file information.
#include "modFileVersion.h"

#include <windows.h>

#include <vector>

#include "modCommon.h"
#include "FaultLog.h"

namespace tessaly {

std::wstring GetFileVersion(const std::wstring& path) {
    const std::wstring unknown = L"0.0.0";
    try {
        if (!DirLookup(path)) return unknown;
        DWORD ignored = 0;
        const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
        if (size <= 1) return unknown;
        std::vector<BYTE> block(size);
        if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return unknown;
        VS_FIXEDFILEINFO* info = nullptr;
        UINT infoSize = 0;
        if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || info == nullptr ||
            infoSize < sizeof(VS_FIXEDFILEINFO))
            return unknown;
        // Each part is a signed 16-bit number; the build number (high word of the LS part) is not shown.
        const auto major = static_cast<std::int16_t>(HIWORD(info->dwFileVersionMS));
        const auto minor = static_cast<std::int16_t>(LOWORD(info->dwFileVersionMS));
        const auto revision = static_cast<std::int16_t>(LOWORD(info->dwFileVersionLS));
        return std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." + std::to_wstring(revision);
    } catch (...) {
        LogCaughtFault(L"GetFileVersion");
        return unknown;
    }
}

}  // namespace tessaly
