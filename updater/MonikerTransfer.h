// One request through the platform's URL moniker, bound asynchronously on the updater's one
// thread: window events run while it lasts, it gives up when no byte came for a while or its
// whole time is up, and it follows redirects itself, kMostRedirects at most and never to an
// address that leaves http(s) or lowers https to http (the platform would follow every one of
// them, a loop included, without telling).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessaly::updater {

struct MonikerRequest {
    std::wstring url;
    bool post = false;
    std::string body;             // sent with a POST, again to each redirect target
    std::wstring headers;         // further request headers, each line ending in CR LF
    std::uint32_t stallMs = 0;    // longest time without a new byte; 0: no such limit
    std::uint32_t overallMs = 0;  // longest time of the whole request, redirects included
};

enum class MonikerEnd {
    Complete,  // the answer came whole
    Failed,    // the platform reported an error, or the answer could not be kept
    Refused,   // a redirect that may not be followed, or one too many
    TimedOut,  // a limit passed first
};

struct MonikerResult {
    MonikerEnd end = MonikerEnd::Failed;
    long status = 0;  // HTTP status of the last answer; 0 when none came
};

// Where the body of the answer goes.
class MonikerSink {
public:
    virtual ~MonikerSink() = default;
    // Drops what came so far: a redirect came instead of the answer.
    virtual bool Restart() = 0;
    virtual bool Write(const unsigned char* bytes, std::size_t count) = 0;
};

MonikerResult RunMonikerRequest(const MonikerRequest& request, MonikerSink& sink);

}  // namespace tessaly::updater
