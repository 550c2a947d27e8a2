// Scrambled copies of the quarantine: the XOR copy that stores and restores a document, and the
// MD5 digests that name a stored copy and prove a copy complete before anything relies on it.
#pragma once

#include <cstdint>
#include <string>

namespace tessaly::quarantine {

inline constexpr unsigned char kScrambleKey = 0x5B;
inline constexpr std::size_t kCopyBlockSize = 32768;

// What XorCopy read and wrote, so callers can check the bytes on disk against them.
struct XorCopyResult {
    bool ok = false;
    std::int64_t length = 0;       // bytes copied (the source's true 64-bit length)
    std::wstring sourceDigest;     // MD5 of the bytes read, upper-case hex
    std::wstring targetDigest;     // MD5 of the bytes written, upper-case hex
};

// Copies source to target with every byte XOR-ed with the key, in blocks of kCopyBlockSize and a
// last shorter block, letting window events run once per block. The target is created anew.
// A short read (the source shrank meanwhile) or any write failure gives ok = false.
XorCopyResult XorCopy(const std::wstring& sourcePath, const std::wstring& targetPath);

// MD5 of a file's bytes as 32 upper-case hex digits, "" on any failure. Unlike GetFileMD5 it
// does not apply the directory-lookup rule: it proves what is on disk at exactly that path.
std::wstring ReadBackDigest(const std::wstring& path);

// True for a text that can be a stored copy's name: exactly 32 hex digits. Index lines come from
// disk; a digest like "..\x" must never turn into a delete outside the folder.
bool IsDigestName(const std::wstring& digest);

}  // namespace tessaly::quarantine
