// File digest through CryptoAPI, read in 32768-byte blocks into one reused buffer.
#include "modMD5.h"

#include <vector>

#include "DoEvents.h"
#include "FaultLog.h"
#include "UniqueHandle.h"
#include "modCommon.h"

namespace tessaly {
namespace {

constexpr DWORD kBlockSize = 32768;

unique_cryptprov AcquireHashContext() noexcept {
    if (unique_cryptprov context = AcquireCryptContext(0)) return context;
    if (::GetLastError() == static_cast<DWORD>(NTE_BAD_KEYSET))
        if (unique_cryptprov context = AcquireCryptContext(CRYPT_NEWKEYSET)) return context;
    // A hash needs no key container; this works where the user's key store is unusable.
    return AcquireCryptContext(CRYPT_VERIFYCONTEXT);
}

bool ReadExactly(HANDLE file, BYTE* buffer, DWORD size) {
    DWORD got = 0;
    return ::ReadFile(file, buffer, size, &got, nullptr) && got == size;
}

bool HashFile(HCRYPTHASH hash, const std::wstring& path) {
    unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return false;
    // The whole length counts, so files of 4 GiB and more get their true digest.
    const auto length = static_cast<unsigned long long>(size.QuadPart);
    std::vector<BYTE> buffer(kBlockSize);
    for (unsigned long long block = 0; block < length / kBlockSize; ++block) {
        if (!ReadExactly(file.get(), buffer.data(), kBlockSize)) return false;
        if (!::CryptHashData(hash, buffer.data(), kBlockSize, 0)) return false;
    }
    const auto rest = static_cast<DWORD>(length % kBlockSize);
    if (rest > 0) {
        if (!ReadExactly(file.get(), buffer.data(), rest)) return false;
        if (!::CryptHashData(hash, buffer.data(), rest, 0)) return false;
    }
    return true;
}

}  // namespace

std::wstring GetFileMD5(const std::wstring& path, ALG_ID algId) {
    try {
        if (!DirLookup(path)) return {};
        const unique_cryptprov context = AcquireHashContext();
        const unique_crypthash hash = CreateCryptHash(context.get(), algId);
        if (!hash || !HashFile(hash.get(), path)) return {};
        DWORD hashSize = 0;
        DWORD fieldSize = sizeof hashSize;
        if (!::CryptGetHashParam(hash.get(), HP_HASHSIZE, reinterpret_cast<BYTE*>(&hashSize), &fieldSize, 0) ||
            hashSize == 0)
            return {};
        std::vector<BYTE> digest(hashSize);
        if (!::CryptGetHashParam(hash.get(), HP_HASHVAL, digest.data(), &hashSize, 0)) return {};
        static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
        std::wstring text;
        for (DWORD i = 0; i < hashSize; ++i) {
            text += kDigits[digest[i] >> 4];
            text += kDigits[digest[i] & 0x0F];
            DoEvents();
        }
        return text;
    } catch (...) {
        LogCaughtFault(L"GetFileMD5");
        return {};
    }
}

}  // namespace tessaly
