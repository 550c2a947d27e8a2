// Digest of a file's bytes through CryptoAPI, as upper-case hex text.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

namespace tessaly {

// "" for a missing, hidden, system or locked file, a folder, or any failure.
std::wstring GetFileMD5(const std::wstring& path, ALG_ID algId = CALG_MD5);

}  // namespace tessaly
