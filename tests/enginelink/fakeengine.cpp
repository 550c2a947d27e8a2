// A scan engine that misbehaves on purpose, for the engine-link tests. Copied as zdvcore.exe into
// a folder of the test's own; its behaviour comes from "fakeengine.cfg" beside it (one key=value
// per line) or from the same pairs on its command line:
//   idle=1|0|none     what it announces (none: never)
//   take=1|0          whether it takes messages from the send mailbox at all
//   pong=1|0          whether it answers the handshake
//   reply=garbage|clientexit|none   how it answers SCAN::/CLEAN::
//   exit=1|0          whether SERVER::EXIT ends it
//   dieonping=1       ends without a word when the handshake arrives
//   record=1          appends every message it takes, decoded, as one UTF-8 line to "messages.log"
// Each start appends its process id to "starts.log" beside it.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "EngineLinkProtocol.h"
#include "TextConvert.h"
#include "UniqueHandle.h"
#include "modCommon.h"

namespace {

using Options = std::map<std::string, std::string>;

constexpr int kRecv = static_cast<int>(tessaly::kPipeRecvOffset);

void Parse(const std::string& text, Options& options) {
    std::istringstream in(text);
    std::string item;
    while (in >> item) {
        const auto eq = item.find('=');
        if (eq != std::string::npos) options[item.substr(0, eq)] = item.substr(eq + 1);
    }
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

void Write(volatile unsigned char* base, const std::string& length, const std::string& payload) {
    for (std::size_t i = 0; i < payload.size(); ++i) base[kRecv + 4 + i] = static_cast<unsigned char>(payload[i]);
    MemoryBarrier();
    for (int i = 0; i < 4; ++i) base[kRecv + i] = static_cast<unsigned char>(length[static_cast<std::size_t>(i)]);
}

// Opened and closed per line, so a test can read the log while the engine runs or after it died.
void Record(const std::wstring& folder, const std::wstring& text) {
    std::ofstream log(std::filesystem::path(folder + L"messages.log"), std::ios::binary | std::ios::app);
    log << tessaly::WideToUtf8(text) << "\r\n";
}

void Post(volatile unsigned char* base, const std::wstring& text) {
    const std::string payload = Narrow(tessaly::TextToHex(text)) + "\r\n";
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(payload.size()));
    for (int i = 0; i < 500 && base[kRecv] != 0; ++i) Sleep(1);
    Write(base, digits, payload);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    const std::wstring folder = tessaly::GetAppFolder();
    Options options{{"idle", "1"}, {"take", "1"}, {"pong", "1"}, {"reply", "none"}, {"exit", "1"}};
    {
        std::ifstream cfg(std::filesystem::path(folder + L"fakeengine.cfg"));
        std::stringstream text;
        text << cfg.rdbuf();
        Parse(text.str(), options);
    }
    Parse(Narrow(commandLine), options);
    {
        std::ofstream starts(std::filesystem::path(folder + L"starts.log"), std::ios::app);
        starts << GetCurrentProcessId() << "\n";
    }

    const tessaly::unique_kernel_handle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                                   tessaly::kPipeBlockSize, tessaly::kPipeMappingName));
    if (!mapping) return 1;
    const tessaly::unique_view view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!view) return 1;
    auto* base = static_cast<volatile unsigned char*>(view.get());
    for (int i = 0; i < 4; ++i) {
        base[i] = 0;
        base[kRecv + i] = 0;
    }
    tessaly::CreateRunMarker(tessaly::kMarkerEngine, L"");

    const std::wstring idle = options["idle"] == "none" ? L"" : L"SERVER::IDLE::" + std::wstring(options["idle"] == "0" ? L"0" : L"1");
    const ULONGLONG lifetimeEnd = GetTickCount64() + 120000;  // never outlive a test run
    while (GetTickCount64() < lifetimeEnd) {
        if (!idle.empty() && base[kRecv] == 0) Post(base, idle);
        if (options["take"] == "1" && base[0] != 0) {
            const int n = (base[0] - '0') * 1000 + (base[1] - '0') * 100 + (base[2] - '0') * 10 + (base[3] - '0');
            std::wstring hex;
            for (int i = 0; i + 2 < n && i < 8192; ++i) hex += static_cast<wchar_t>(base[4 + i]);
            const std::wstring text = tessaly::HexToText(hex);
            // Recorded before the mailbox is freed: once the sender sees it taken, the line is there.
            if (options["record"] == "1") Record(folder, text);
            for (int i = 0; i < 4; ++i) base[i] = 0;
            if (text.starts_with(L"INIT::PING")) {
                if (options["dieonping"] == "1") return 0;
                if (options["pong"] == "1") {
                    // A stray idle first: the client must keep waiting for its answer.
                    Post(base, L"SERVER::IDLE::1");
                    Post(base, L"INIT::PONG");
                }
            } else if (text == L"SERVER::EXIT") {
                if (options["exit"] == "1") return 0;
            } else if (text.starts_with(L"SCAN::") || text.starts_with(L"CLEAN::")) {
                if (options["reply"] == "garbage") {
                    for (int i = 0; i < 500 && base[kRecv] != 0; ++i) Sleep(1);
                    Write(base, "12AB", "414243\r\n");
                } else if (options["reply"] == "clientexit") {
                    Post(base, L"CLIENT::EXIT");
                }
            }
        }
        Sleep(1);
    }
    return 0;
}
