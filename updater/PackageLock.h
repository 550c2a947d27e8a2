// A package file held open against writers and deleters from the moment its size and digest are
// checked until it has been started or copied, so the file that runs is the file that was checked.
#pragma once

#include <cstdint>
#include <string>

#include "UniqueHandle.h"

namespace tessaly::updater {

class PackageLock {
public:
    // Opens the file for reading, sharing it for reading only; Held() tells whether it worked.
    explicit PackageLock(const std::wstring& path);
    [[nodiscard]] bool Held() const noexcept { return static_cast<bool>(m_file); }
    // Length of the held file; -1 when nothing is held.
    [[nodiscard]] std::int64_t Length() const;
    void Release() noexcept { m_file.reset(); }

private:
    unique_file m_file;
};

// The lower-cased digests are equal and not empty.
bool SameDigest(const std::wstring& a, const std::wstring& b);

}  // namespace tessaly::updater
