// Holding a checked package; see PackageLock.h.
#include "PackageLock.h"

#include <windows.h>

#include "TextConvert.h"

namespace tessaly::updater {

PackageLock::PackageLock(const std::wstring& path)
    : m_file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr)) {}

std::int64_t PackageLock::Length() const {
    LARGE_INTEGER size{};
    if (!m_file || !::GetFileSizeEx(m_file.get(), &size)) return -1;
    return size.QuadPart;
}

bool SameDigest(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && ToLowerText(a) == ToLowerText(b);
}

}  // namespace tessaly::updater
