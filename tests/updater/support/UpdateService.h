// A real HTTP/1.1 update service on 127.0.0.1 for the updater's tests: it answers the update
// request (POST) with scripted answers, serves the package with true Range support, records every
// request, and misbehaves on demand. It runs on threads of the test program on a free port and
// stops when the object goes.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "UniqueHandle.h"

namespace updater_test {

struct RecordedRequest {
    std::string method;
    std::string target;
    // In the order they arrived, names and values as sent (values trimmed of leading blanks).
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // The first header of that name (ignoring case), or nullopt.
    std::optional<std::string> Header(const std::string& name) const;
    // The form fields of a POST body ("size", "checksum", "zip", "data").
    std::map<std::string, std::string> Form() const;
    // The query the updater sent: "data" decoded from hex and, with "zip" 1, inflated.
    std::string Query() const;
};

struct ScriptedAnswer {
    int status = 200;
    std::string body;
    unsigned delayMs = 0;       // how long the service keeps the client waiting first
    std::string location = {};  // sent as the Location header when not empty
};

// How the package is served.
enum class PackageFault {
    None,
    IgnoreRanges,  // 200 with the whole file, whatever the Range header says
    Status403,
    Status404,
    Status500,
    Stall,         // answers only after StallMs (or never, while the service runs)
    CloseMidBody,  // announces the whole length, sends half and closes
    // Misbehaviours that hold a client for ever: each gives in after a while (kSilentMs, or
    // kGiveInAfter answers), so a client that never gives up still ends in a test.
    SameRangeAgain,    // every range answered with the first piece and its Content-Range
    Silent,            // takes the request and says nothing for kSilentMs
    Drip,              // the whole file, kDripBytes every kDripStepMs
    RedirectToItself,  // 302 to the very address asked for
};

class UpdateService {
public:
    UpdateService();
    ~UpdateService();
    UpdateService(const UpdateService&) = delete;
    UpdateService& operator=(const UpdateService&) = delete;

    [[nodiscard]] bool Running() const { return m_port != 0; }
    [[nodiscard]] unsigned short Port() const { return m_port; }
    // "http://127.0.0.1:<port>"
    [[nodiscard]] std::wstring Root() const;
    [[nodiscard]] std::wstring UpdateUrl() const;   // Root + "/tessaly/update1"
    [[nodiscard]] std::wstring PackageUrl() const;  // Root + "/packages/zdvupdatepkg.exe"
    // The root of a loopback port nobody listens on (one a service just gave back).
    static std::wstring UnreachableRoot();

    // Answers to the update requests in turn; once they are used up, the last one answers again
    // (a 404 before any was queued).
    void QueueAnswer(const ScriptedAnswer& answer);
    void QueueAnswer(const std::string& json) { QueueAnswer(ScriptedAnswer{200, json}); }
    void SetPackage(std::string bytes);
    // Ranged requests only, or every request for the package.
    void SetPackageFault(PackageFault fault, bool alsoWithoutRange = false);
    // The fault of requests without a Range header from now on (after SetPackageFault).
    void SetUnrangedFault(PackageFault fault);
    // A pause before each package answer, so a test can watch the progress.
    void SetPieceDelayMs(unsigned milliseconds);
    static constexpr unsigned kStallMs = 4000;
    static constexpr unsigned kSilentMs = 15000;
    static constexpr unsigned kDripStepMs = 100;
    static constexpr std::size_t kDripBytes = 4096;
    static constexpr int kGiveInAfter = 40;

    std::vector<RecordedRequest> Requests();
    std::vector<RecordedRequest> Posts();
    std::vector<RecordedRequest> PackageGets();

private:
    void Accept();
    void Serve(SOCKET client);
    bool Answer(SOCKET client, const RecordedRequest& request);
    bool AnswerPost(SOCKET client);
    bool AnswerPackage(SOCKET client, const RecordedRequest& request);
    // The misbehaviours that hold a client; nullopt when the fault has given in (answer as usual).
    std::optional<bool> Misbehave(SOCKET client, PackageFault fault, const RecordedRequest& request,
                                  const std::string& package);
    bool Pause(unsigned milliseconds);

    tessaly::WinsockSession m_winsock;
    tessaly::unique_socket m_listener;
    unsigned short m_port = 0;
    std::atomic<bool> m_stop{false};
    std::mutex m_lock;
    std::vector<RecordedRequest> m_requests;
    std::deque<ScriptedAnswer> m_answers;
    ScriptedAnswer m_lastAnswer{404, "<html><body>error 404</body></html>"};
    std::string m_package;
    PackageFault m_fault = PackageFault::None;
    PackageFault m_unrangedFault = PackageFault::None;
    int m_misbehaved = 0;  // answers the current fault has given
    unsigned m_pieceDelayMs = 0;
    std::vector<SOCKET> m_clients;
    std::vector<std::thread> m_threads;
    std::thread m_acceptor;
};

// Hex of bytes as the service sends digests and the updater sends fields: upper case.
std::string HexOf(const std::string& bytes);
std::string Md5Of(const std::string& bytes);

}  // namespace updater_test
