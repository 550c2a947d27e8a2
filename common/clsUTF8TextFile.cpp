// UTF-8 text files without byte-order mark: whole-file reads and appending writes.
#include "clsUTF8TextFile.h"

#include <vector>

#include "modCommon.h"
#include "FaultLog.h"

namespace tessaly {
namespace {

// Larger files are not text this class is meant for; refusing them keeps memory bounded.
constexpr LONGLONG kMaxReadBytes = 256LL * 1024 * 1024;

}  // namespace

bool clsUTF8TextFile::WriteMsgToUTF8File(const std::wstring& fileName, bool AppendMod, const std::wstring& Text,
                                         bool NewLine) {
    try {
        if (!AppendMod && DirLookup(fileName) && !::DeleteFileW(fileName.c_str())) return false;
        if (!OpenForAppend(fileName)) return false;
        const bool written = AppendText(Text, NewLine);
        CloseWrite();
        return written;
    } catch (...) {
        LogCaughtFault(L"clsUTF8TextFile::WriteMsgToUTF8File");
        CloseWrite();
        return false;
    }
}

std::int32_t clsUTF8TextFile::ReadFromUTF8File(const std::wstring& fileName, std::wstring& outText) {
    outText.clear();
    try {
        OpenForRead(fileName);
        const std::int32_t count = ReadAllText(outText);
        CloseRead();
        return count > 0 ? static_cast<std::int32_t>(outText.size()) : 0;
    } catch (...) {
        LogCaughtFault(L"clsUTF8TextFile::ReadFromUTF8File");
        CloseRead();
        outText.clear();
        return 0;
    }
}

bool clsUTF8TextFile::OpenForRead(const std::wstring& fileName) {
    // A file that cannot be opened reads as empty; the open itself never fails the call.
    m_readChannel.reset(::CreateFileW(fileName.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return true;
}

std::int32_t clsUTF8TextFile::ReadAllText(std::wstring& outText) {
    if (!m_readChannel) return 0;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(m_readChannel.get(), &size) || size.QuadPart <= 0 || size.QuadPart > kMaxReadBytes) return 0;
    ByteSequence bytes(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!::ReadFile(m_readChannel.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) return 0;
    bytes.resize(got);
    outText = Utf8BytesToText(bytes);
    return static_cast<std::int32_t>(outText.size());
}

void clsUTF8TextFile::CloseRead() { m_readChannel.reset(); }

bool clsUTF8TextFile::OpenForAppend(const std::wstring& fileName) {
    // Append-only access keeps each write whole at the end, also when two programs log at once.
    m_writeChannel.reset(::CreateFileW(fileName.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return m_writeChannel.valid();
}

bool clsUTF8TextFile::AppendText(const std::wstring& text, bool newLine) {
    ByteSequence bytes = TextToUtf8Bytes(newLine ? text + L"\r\n" : text);
    if (newLine && text.find(L'\0') != std::wstring::npos) {
        // The text ends at its NUL; the line end still follows it.
        bytes.push_back('\r');
        bytes.push_back('\n');
    }
    if (bytes.empty()) return true;
    DWORD written = 0;
    return ::WriteFile(m_writeChannel.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

void clsUTF8TextFile::CloseWrite() { m_writeChannel.reset(); }

}  // namespace tessaly
