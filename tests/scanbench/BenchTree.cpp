// Enumerations and the engine alone; see BenchTree.h.
#include "BenchTree.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "BenchClock.h"
#include "ClsPipeShareMem.h"
#include "EngineLinkMessages.h"
#include "EngineLinkProtocol.h"
#include "ScanPageFilters.h"
#include "UniqueHandle.h"

namespace scanbench {
namespace {

constexpr DWORD kHeaderBytes = 8;

template <typename EachFile>
void Walk(const std::wstring& folder, EachFile&& eachFile) {
    WIN32_FIND_DATAW entry{};
    tessaly::unique_find find(::FindFirstFileW((folder + L"*").c_str(), &entry));
    if (!find) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Walk(folder + name + L"\\", eachFile);
        else
            eachFile(folder + name);
    } while (::FindNextFileW(find.get(), &entry));
}

std::wstring Folder(std::wstring root) {
    if (!root.empty() && root.back() != L'\\') root += L'\\';
    return root;
}

bool ReadHeader(const std::wstring& path) {
    tessaly::unique_file file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    unsigned char header[kHeaderBytes]{};
    DWORD read = 0;
    return ::ReadFile(file.get(), header, kHeaderBytes, &read, nullptr) != 0;
}

// One request and its reply, looked for without any pause: the engine's time plus the link's.
// A reply for another file (left over from a client that went away) is passed over.
bool ScanOnce(tessaly::ClsPipeShareMem& link, const std::wstring& path) {
    const std::wstring linkPath = tessaly::ToEnginePath(path);
    const std::wstring replyPath = tessaly::ReplyPathField(linkPath);
    if (!link.SendMsgToUTF8HexStr(tessaly::kScanRequestPrefix + linkPath)) return false;
    const double end = Milliseconds() + 120000;
    std::wstring reply;
    while (Milliseconds() < end) {
        if (link.RecvMsgFromUTF8encoding(reply, true) > 0 && reply.starts_with(tessaly::kScanReplyPrefix) &&
            reply.find(replyPath) != std::wstring::npos)
            return true;
    }
    std::fwprintf(stderr, L"no reply for %ls\n", path.c_str());
    return false;
}

}  // namespace

TreeFigures EnumerateTree(const std::wstring& root, bool readHeaders) {
    TreeFigures figures;
    const double start = Milliseconds();
    Walk(Folder(root), [&](const std::wstring& path) {
        ++figures.files;
        if (readHeaders) ReadHeader(path);
    });
    figures.ms = Milliseconds() - start;
    return figures;
}

std::vector<std::wstring> DocumentsOf(const std::wstring& root) {
    std::vector<std::wstring> documents;
    Walk(Folder(root), [&](const std::wstring& path) {
        if (tessaly::CheckScanCandidate(path, false) == tessaly::ScanFileVerdict::Send) documents.push_back(path);
    });
    return documents;
}

TreeFigures EngineAlone(const std::wstring& stageFolder, const std::vector<std::wstring>& documents) {
    TreeFigures figures;
    tessaly::ClsPipeShareMem link(Folder(stageFolder));
    if (!link.ConnectPipeServer(false, tessaly::kClientIdGuard)) {
        figures.ms = -1;
        return figures;
    }
    const double start = Milliseconds();
    for (const std::wstring& document : documents)
        if (ScanOnce(link, document)) ++figures.files;
    figures.ms = Milliseconds() - start;
    link.SendMsgToUTF8HexStr(tessaly::kClientExitText);
    return figures;
}

}  // namespace scanbench
