// XOR copy and MD5 digests for the quarantine store, written against the wide file functions so
// that every document path can be named.
#include "ClsQuarantineXor.h"

#include "DoEvents.h"
#include "FaultLog.h"
#include "UniqueHandle.h"

#include <windows.h>
#include <wincrypt.h>

#include <vector>

namespace tessaly::quarantine {
namespace {

// Incremental MD5 through CryptoAPI; a failed step makes Finish return "".
class Md5Stream {
public:
    Md5Stream()
        : m_prov(AcquireCryptContext(CRYPT_VERIFYCONTEXT)), m_hash(CreateCryptHash(m_prov.get(), CALG_MD5)),
          m_ok(m_hash.valid()) {}
    void Add(const unsigned char* data, DWORD size) {
        if (m_ok && size > 0) m_ok = ::CryptHashData(m_hash.get(), data, size, 0) != FALSE;
    }
    std::wstring Finish() {
        if (!m_ok) return {};
        BYTE value[16]{};
        DWORD size = sizeof value;
        if (!::CryptGetHashParam(m_hash.get(), HP_HASHVAL, value, &size, 0) || size != sizeof value) return {};
        static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
        std::wstring text;
        for (BYTE b : value) {
            text += kHex[b >> 4];
            text += kHex[b & 0x0F];
        }
        return text;
    }

private:
    unique_cryptprov m_prov;
    unique_crypthash m_hash;
    bool m_ok = false;
};

unique_file OpenForReading(const std::wstring& path) {
    return unique_file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool ReadExactly(HANDLE file, unsigned char* buffer, DWORD size) {
    DWORD got = 0;
    return ::ReadFile(file, buffer, size, &got, nullptr) && got == size;
}

bool WriteExactly(HANDLE file, const unsigned char* buffer, DWORD size) {
    DWORD put = 0;
    return ::WriteFile(file, buffer, size, &put, nullptr) && put == size;
}

}  // namespace

XorCopyResult XorCopy(const std::wstring& sourcePath, const std::wstring& targetPath) {
    XorCopyResult result;
    try {
        unique_file source = OpenForReading(sourcePath);
        if (!source) return result;
        LARGE_INTEGER length{};
        if (!::GetFileSizeEx(source.get(), &length) || length.QuadPart < 0) return result;
        unique_file target(::CreateFileW(targetPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!target) return result;

        Md5Stream readDigest;
        Md5Stream writtenDigest;
        std::vector<unsigned char> block(kCopyBlockSize);
        std::int64_t left = length.QuadPart;
        while (left > 0) {
            const DWORD size = static_cast<DWORD>(left < static_cast<std::int64_t>(kCopyBlockSize) ? left : kCopyBlockSize);
            if (!ReadExactly(source.get(), block.data(), size)) return result;
            DoEvents();
            readDigest.Add(block.data(), size);
            for (DWORD i = 0; i < size; ++i) block[i] ^= kScrambleKey;
            writtenDigest.Add(block.data(), size);
            if (!WriteExactly(target.get(), block.data(), size)) return result;
            left -= size;
        }
        // Bytes that reached the cache but not the disk are no backup.
        if (!::FlushFileBuffers(target.get())) return result;
        result.length = length.QuadPart;
        result.sourceDigest = readDigest.Finish();
        result.targetDigest = writtenDigest.Finish();
        result.ok = !result.sourceDigest.empty() && !result.targetDigest.empty();
    } catch (...) {
        LogCaughtFault(L"XorCopy");
        result.ok = false;
    }
    return result;
}

std::wstring ReadBackDigest(const std::wstring& path) {
    try {
        unique_file file = OpenForReading(path);
        if (!file) return {};
        Md5Stream digest;
        std::vector<unsigned char> block(kCopyBlockSize);
        for (;;) {
            DWORD got = 0;
            if (!::ReadFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &got, nullptr)) return {};
            if (got == 0) break;
            digest.Add(block.data(), got);
        }
        return digest.Finish();
    } catch (...) {
        LogCaughtFault(L"ReadBackDigest");
        return {};
    }
}

bool IsDigestName(const std::wstring& digest) {
    if (digest.size() != 32) return false;
    for (wchar_t c : digest) {
        const bool hex = (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f');
        if (!hex) return false;
    }
    return true;
}

}  // namespace tessaly::quarantine
