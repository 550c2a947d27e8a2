// Benchmark of the engine link (run by hand, not a test): median time of one "SCAN::" request and
// its "R_SCAN::" reply for a small clean document, against the staged zdvcore.exe, through the scan
// page's own request and through a bare loop over the link; and of the handshake's answer, which
// costs the engine no work.
//   enginelink_bench [requests]
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "ClsPipeShareMem.h"
#include "BoundedPoll.h"
#include "ScanPageEngine.h"
#include "UniqueHandle.h"
#include "modCommon.h"

namespace {

double Milliseconds() {
    LARGE_INTEGER frequency{}, counter{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The smallest OOXML package: one stored [Content_Types].xml entry.
std::string CleanDocx() {
    const std::string name = "[Content_Types].xml";
    const std::string body = "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>";
    unsigned crc = 0xFFFFFFFFu;
    for (unsigned char c : body) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc = ~crc;
    std::string out;
    auto p16 = [](std::string& s, unsigned v) { s += static_cast<char>(v & 255); s += static_cast<char>((v >> 8) & 255); };
    auto p32 = [&](std::string& s, unsigned v) { p16(s, v & 0xFFFF); p16(s, v >> 16); };
    p32(out, 0x04034b50); p16(out, 20); p16(out, 0); p16(out, 0); p16(out, 0); p16(out, 0);
    p32(out, crc); p32(out, static_cast<unsigned>(body.size())); p32(out, static_cast<unsigned>(body.size()));
    p16(out, static_cast<unsigned>(name.size())); p16(out, 0);
    out += name + body;
    std::string central;
    p32(central, 0x02014b50); p16(central, 20); p16(central, 20); p16(central, 0); p16(central, 0);
    p16(central, 0); p16(central, 0); p32(central, crc); p32(central, static_cast<unsigned>(body.size()));
    p32(central, static_cast<unsigned>(body.size())); p16(central, static_cast<unsigned>(name.size()));
    p16(central, 0); p16(central, 0); p16(central, 0); p16(central, 0); p32(central, 0); p32(central, 0);
    central += name;
    const unsigned at = static_cast<unsigned>(out.size());
    out += central;
    p32(out, 0x06054b50); p16(out, 0); p16(out, 0); p16(out, 1); p16(out, 1);
    p32(out, static_cast<unsigned>(central.size())); p32(out, at); p16(out, 0);
    return out;
}

struct Figures {
    std::vector<double> times;
    int failures = 0;
};

void Report(const wchar_t* what, Figures& figures) {
    std::sort(figures.times.begin(), figures.times.end());
    const auto& t = figures.times;
    double sum = 0;
    for (double time : t) sum += time;
    std::wprintf(L"%ls over %zu requests: median %.3f ms, mean %.3f ms, p10 %.3f ms, p90 %.3f ms, failures %d\n",
                 what, t.size(), t[t.size() / 2], sum / static_cast<double>(t.size()), t[t.size() / 10],
                 t[t.size() * 9 / 10], figures.failures);
}

// Times `requests` calls of one round trip after 20 that warm caches up.
template <typename RoundTrip>
Figures Measure(int requests, RoundTrip roundTrip) {
    Figures figures;
    for (int i = 0; i < requests + 20; ++i) {
        const double start = Milliseconds();
        const bool answered = roundTrip();
        if (!answered) ++figures.failures;
        if (i >= 20) figures.times.push_back(Milliseconds() - start);
    }
    return figures;
}

// The scan page's own request: send, then its bounded wait for the reply.
bool PageRequest(tessaly::PipeShareMemLink& link, const std::wstring& document) {
    std::wstring reply;
    std::int32_t code = 0;
    return tessaly::RequestEngine(&link, document, reply, false, code, [] { return false; }) &&
           reply.starts_with(L"R_SCAN::0::");
}

// A bare loop over the link: one receive, then a 1 ms pause with window events, until the reply.
bool BareRequest(tessaly::ClsPipeShareMem& link, const std::wstring& linkPath) {
    if (!link.IsPipeAlive() || !link.SendMsgToUTF8HexStr(L"SCAN::" + linkPath)) return false;
    for (int poll = 0; poll < 100000; ++poll) {
        std::wstring reply;
        if (link.RecvMsgFromUTF8encoding(reply, true) > 0 && reply.starts_with(L"R_SCAN::") &&
            reply.find(linkPath) != std::wstring::npos)
            return reply.starts_with(L"R_SCAN::0::");
        tessaly::PauseWithEvents(1);
    }
    return false;
}

// The same without pauses: the engine's own time for the document plus the link.
bool BusyRequest(tessaly::ClsPipeShareMem& link, const std::wstring& linkPath) {
    if (!link.SendMsgToUTF8HexStr(L"SCAN::" + linkPath)) return false;
    for (int poll = 0; poll < 10000000; ++poll) {
        std::wstring reply;
        if (link.RecvMsgFromUTF8encoding(reply, true) > 0 && reply.find(linkPath) != std::wstring::npos)
            return reply.starts_with(L"R_SCAN::0::");
    }
    return false;
}

// The handshake's answer needs no work of the engine: what is left is the link itself.
bool Ping(tessaly::ClsPipeShareMem& link) {
    if (!link.SendMsgToUTF8HexStr(L"INIT::PING::1001")) return false;
    for (int poll = 0; poll < 1000000; ++poll) {
        std::wstring reply;
        if (link.RecvMsgFromUTF8encoding(reply, true) > 0 && reply == L"INIT::PONG") return true;
    }
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int requests = argc > 1 ? std::max(10, _wtoi(argv[1])) : 500;
    wchar_t temp[MAX_PATH]{};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"linkbench_" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::SHCreateDirectoryExW(nullptr, (root + L"ProgramData").c_str(), nullptr);
    ::SetEnvironmentVariableW(L"ProgramData", (root + L"ProgramData").c_str());
    ::SetEnvironmentVariableW(L"AppData", root.c_str());

    const std::wstring document = root + L"clean.docx";
    {
        const std::string bytes = CleanDocx();
        tessaly::unique_file file(::CreateFileW(document.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    std::wstring linkPath = document;
    std::replace(linkPath.begin(), linkPath.end(), L'\\', L'/');

    wchar_t stage[MAX_PATH * 2]{};
    ::GetFullPathNameW((tessaly::GetAppFolder() + L"..\\stage\\").c_str(), MAX_PATH * 2, stage, nullptr);
    tessaly::ClsPipeShareMem link(stage);
    if (!link.ConnectPipeServer(false, 1001)) {
        std::fwprintf(stderr, L"engine did not connect\n");
        return 1;
    }
    tessaly::PipeShareMemLink pageLink(link);
    Figures page = Measure(requests, [&] { return PageRequest(pageLink, document); });
    Figures bare = Measure(requests, [&] { return BareRequest(link, linkPath); });
    Figures busy = Measure(requests, [&] { return BusyRequest(link, linkPath); });
    Figures ping = Measure(requests, [&] { return Ping(link); });

    const double aliveStart = Milliseconds();
    for (int i = 0; i < 200; ++i) link.IsPipeAlive();
    const double aliveEach = (Milliseconds() - aliveStart) / 200;
    tessaly::ClsWMI wmi;
    const double wmiStart = Milliseconds();
    for (int i = 0; i < 20; ++i) wmi.IsExistProcess(L"zdvcore.exe");
    const double wmiEach = (Milliseconds() - wmiStart) / 20;
    link.PostPipeServerExitMessage(1000, 60);
    {
        std::wstring from = root;
        from.back() = L'\0';  // the trailing "\" becomes the list's terminator
        from.push_back(L'\0');
        SHFILEOPSTRUCTW op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
        ::SHFileOperationW(&op);
    }
    Report(L"SCAN round trip, scan page request", page);
    Report(L"SCAN round trip, bare loop with 1 ms pauses", bare);
    Report(L"SCAN round trip, busy loop", busy);
    Report(L"PING round trip, busy loop", ping);
    std::wprintf(L"IsPipeAlive %.3f ms each (a WMI process query alone: %.3f ms)\n", aliveEach, wmiEach);
    return page.failures + bare.failures + busy.failures + ping.failures == 0 ? 0 : 1;
}
