// Framing on the engine's side: four ASCII digits, hex-UTF-8 text, CR LF; the length field is the
// only flag between the two sides, so the payload is always written before it.
#include "EngineBlock.h"

#include <sddl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ClsPipeShareMem.h"
#include "TextConvert.h"
#include "modCommon.h"

namespace tessaly::engine {
namespace {

// Elevated and non-elevated clients of the desktop user both open the block, so it is not left
// to the elevated engine's default DACL; medium integrity keeps the guard able to write.
constexpr wchar_t kBlockSecurity[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;AU)S:(ML;;NW;;;ME)";

// How long a client that wrote length and payload in one copy may take to finish its payload.
constexpr DWORD kTornWriteWaitMs = 20;

int LengthOf(volatile const unsigned char* field) noexcept {
    int n = 0;
    for (int i = 0; i < 4; ++i) {
        const unsigned char c = field[i];
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

void ZeroLength(volatile unsigned char* field) noexcept {
    ::MemoryBarrier();
    for (int i = 0; i < 4; ++i) field[i] = 0;
    ::MemoryBarrier();
}

std::string CopyBytes(volatile const unsigned char* from, int n) {
    std::string out(static_cast<std::size_t>(n), '\0');
    for (int i = 0; i < n; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>(from[i]);
    return out;
}

bool EndsWithLineEnd(const std::string& payload) {
    return payload.size() >= 2 && payload[payload.size() - 2] == '\r' && payload.back() == '\n';
}

}  // namespace

bool EngineBlock::Create() noexcept {
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof attributes;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(kBlockSecurity, SDDL_REVISION_1, &descriptor, nullptr))
        attributes.lpSecurityDescriptor = descriptor;
    m_mapping.reset(::CreateFileMappingW(INVALID_HANDLE_VALUE, descriptor ? &attributes : nullptr, PAGE_READWRITE, 0,
                                         kPipeBlockSize, kPipeMappingName));
    if (!m_mapping && descriptor)
        m_mapping.reset(
            ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kPipeBlockSize, kPipeMappingName));
    if (descriptor) ::LocalFree(descriptor);
    if (!m_mapping) return false;
    m_view.reset(::MapViewOfFile(m_mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, kPipeBlockSize));
    return static_cast<bool>(m_view);
}

void EngineBlock::Clear() noexcept {
    if (!m_view) return;
    ZeroLength(Base() + kPipeSendOffset);
    ZeroLength(Base() + kPipeRecvOffset);
}

std::optional<std::wstring> EngineBlock::TakeRequest() noexcept {
    if (!m_view) return std::nullopt;
    volatile unsigned char* mailbox = Base() + kPipeSendOffset;
    if (mailbox[0] == 0) return std::nullopt;
    try {
        ::MemoryBarrier();
        const int n = LengthOf(mailbox);
        std::wstring text;
        if (n >= 2 && n <= static_cast<int>(kPipePayloadLimit)) {
            std::string payload = CopyBytes(mailbox + 4, n);
            const ULONGLONG until = ::GetTickCount64() + kTornWriteWaitMs;
            while (!EndsWithLineEnd(payload) && ::GetTickCount64() < until) {
                ::Sleep(1);
                payload = CopyBytes(mailbox + 4, n);
            }
            if (EndsWithLineEnd(payload)) {
                payload.resize(payload.size() - 2);
                text = HexToText(AnsiToWide(payload));
                std::erase_if(text, [](wchar_t c) { return c == L'\r' || c == L'\n' || c == L'\0'; });
            }
        }
        ZeroLength(mailbox);
        return text;
    } catch (...) {
        ZeroLength(mailbox);
        return std::wstring();
    }
}

bool EngineBlock::ReplyMailboxEmpty() const noexcept { return !m_view || Base()[kPipeRecvOffset] == 0; }

bool EngineBlock::Post(const std::wstring& text, DWORD waitMs) noexcept {
    if (!m_view) return false;
    try {
        const std::string payload = WideToAnsi(TextToHex(text)) + "\r\n";
        if (payload.size() > kPipePayloadLimit) return false;
        const ULONGLONG until = ::GetTickCount64() + waitMs;
        while (!ReplyMailboxEmpty() && ::GetTickCount64() < until) ::Sleep(1);
        volatile unsigned char* mailbox = Base() + kPipeRecvOffset;
        ZeroLength(mailbox);
        for (std::size_t i = 0; i < payload.size(); ++i) mailbox[4 + i] = static_cast<unsigned char>(payload[i]);
        char digits[5]{};
        std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(payload.size()));
        ::MemoryBarrier();
        for (int i = 0; i < 4; ++i) mailbox[i] = static_cast<unsigned char>(digits[i]);
        ::MemoryBarrier();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace tessaly::engine
