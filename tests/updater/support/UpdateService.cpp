// The loopback update service; see UpdateService.h.
#include "UpdateService.h"

#include <ws2tcpip.h>
#include <windows.h>
#include <wincrypt.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>

#include "BoundedPoll.h"

namespace updater_test {
namespace {

constexpr char kUpdatePath[] = "/tessaly/update1";
constexpr char kPackagePath[] = "/packages/zdvupdatepkg.exe";
constexpr unsigned kPauseStepMs = 20;

bool SameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return std::tolower(x) == std::tolower(y); });
}

bool SendAll(SOCKET socket, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const int n = ::send(socket, data.data() + sent, static_cast<int>(std::min<std::size_t>(data.size() - sent, 65536)), 0);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

std::string StatusLine(int status) {
    switch (status) {
    case 200: return "200 OK";
    case 206: return "206 Partial Content";
    case 302: return "302 Found";
    case 403: return "403 Forbidden";
    case 404: return "404 Not Found";
    case 416: return "416 Range Not Satisfiable";
    case 500: return "500 Internal Server Error";
    default: return std::to_string(status) + " Status";
    }
}

std::string Reply(int status, const std::string& body, const std::string& extraHeaders = {}) {
    return "HTTP/1.1 " + StatusLine(status) + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nContent-Type: application/octet-stream\r\n" + extraHeaders + "\r\n" + body;
}

// 206 with the bytes first..last and their Content-Range.
std::string PieceReply(const std::string& package, std::uint64_t first, std::uint64_t last) {
    return Reply(206, package.substr(first, last - first + 1),
                 "Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
                     std::to_string(package.size()) + "\r\n");
}

std::string WideToAscii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::string ErrorPage(int status) { return "<html><body>error " + std::to_string(status) + "</body></html>"; }

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Appends what arrives to pending; false when the connection closed or the service stops. A
// blocked receive is not woken when the service stops, so the wait is a select that looks again.
bool Receive(SOCKET client, std::string& pending, const std::atomic<bool>& stop) {
    while (!stop) {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(client, &ready);
        timeval wait{0, 20000};
        const int result = ::select(0, &ready, nullptr, nullptr, &wait);
        if (result < 0) return false;
        if (result == 0) continue;
        char buffer[65536];
        const int got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) return false;
        pending.append(buffer, static_cast<std::size_t>(got));
        return true;
    }
    return false;
}

// Reads one request (head and body) from the connection; nullopt when it closed.
std::optional<RecordedRequest> ReadRequest(SOCKET client, std::string& pending, const std::atomic<bool>& stop) {
    std::size_t headEnd = std::string::npos;
    while ((headEnd = pending.find("\r\n\r\n")) == std::string::npos)
        if (!Receive(client, pending, stop)) return std::nullopt;
    RecordedRequest request;
    const std::string head = pending.substr(0, headEnd);
    pending.erase(0, headEnd + 4);
    std::size_t lineEnd = head.find("\r\n");
    const std::string first = head.substr(0, lineEnd);
    const std::size_t space = first.find(' ');
    request.method = first.substr(0, space);
    request.target = first.substr(space + 1, first.find(' ', space + 1) - space - 1);
    while (lineEnd != std::string::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        request.headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
    }
    std::size_t length = 0;
    if (const auto value = request.Header("Content-Length")) length = std::stoul(*value);
    while (pending.size() < length)
        if (!Receive(client, pending, stop)) return std::nullopt;
    request.body = pending.substr(0, length);
    pending.erase(0, length);
    return request;
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> ParseRange(const std::string& value) {
    unsigned long long first = 0, last = 0;
    if (std::sscanf(value.c_str(), "bytes=%llu-%llu", &first, &last) != 2) return std::nullopt;
    return std::make_pair(first, last);
}

}  // namespace

std::optional<std::string> RecordedRequest::Header(const std::string& name) const {
    for (const auto& [key, value] : headers)
        if (SameNoCase(key, name)) return value;
    return std::nullopt;
}

std::map<std::string, std::string> RecordedRequest::Form() const {
    std::map<std::string, std::string> fields;
    std::size_t start = 0;
    while (start <= body.size()) {
        const std::size_t end = std::min(body.find('&', start), body.size());
        const std::string pair = body.substr(start, end - start);
        const std::size_t equals = pair.find('=');
        if (equals != std::string::npos) fields[pair.substr(0, equals)] = pair.substr(equals + 1);
        start = end + 1;
    }
    return fields;
}

std::string RecordedRequest::Query() const {
    auto fields = Form();
    const std::string& hex = fields["data"];
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    if (fields["zip"] != "1") return bytes;
    std::string plain(std::max<std::size_t>(bytes.size() * 20, 4096), '\0');
    for (;;) {
        uLongf size = static_cast<uLongf>(plain.size());
        const int result = uncompress(reinterpret_cast<Bytef*>(plain.data()), &size,
                                      reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()));
        if (result == Z_OK) return plain.substr(0, size);
        if (result != Z_BUF_ERROR) return "(not zlib)";
        plain.resize(plain.size() * 2);
    }
}

UpdateService::UpdateService() {
    m_listener.reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    const SOCKET listener = m_listener.get();
    if (!m_listener || ::bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listener, 16) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return;
    m_port = ::ntohs(address.sin_port);
    m_acceptor = std::thread([this] { Accept(); });
}

UpdateService::~UpdateService() {
    m_stop = true;
    if (m_acceptor.joinable()) m_acceptor.join();
    {
        std::lock_guard<std::mutex> hold(m_lock);
        for (SOCKET client : m_clients) ::shutdown(client, SD_BOTH);
    }
    for (std::thread& thread : m_threads) thread.join();
}

std::wstring UpdateService::Root() const { return L"http://127.0.0.1:" + std::to_wstring(m_port); }
std::wstring UpdateService::UpdateUrl() const { return Root() + L"/tessaly/update1"; }
std::wstring UpdateService::PackageUrl() const { return Root() + L"/packages/zdvupdatepkg.exe"; }

std::wstring UpdateService::UnreachableRoot() {
    UpdateService gone;
    return gone.Root();
}

void UpdateService::QueueAnswer(const ScriptedAnswer& answer) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_answers.push_back(answer);
}

void UpdateService::SetPackage(std::string bytes) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_package = std::move(bytes);
}

void UpdateService::SetPackageFault(PackageFault fault, bool alsoWithoutRange) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_fault = fault;
    m_unrangedFault = alsoWithoutRange ? fault : PackageFault::None;
    m_misbehaved = 0;
}

void UpdateService::SetUnrangedFault(PackageFault fault) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_unrangedFault = fault;
}

void UpdateService::SetPieceDelayMs(unsigned milliseconds) {
    std::lock_guard<std::mutex> hold(m_lock);
    m_pieceDelayMs = milliseconds;
}

std::vector<RecordedRequest> UpdateService::Requests() {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_requests;
}

std::vector<RecordedRequest> UpdateService::Posts() {
    std::vector<RecordedRequest> posts;
    for (auto& request : Requests())
        if (request.method == "POST") posts.push_back(request);
    return posts;
}

std::vector<RecordedRequest> UpdateService::PackageGets() {
    std::vector<RecordedRequest> gets;
    for (auto& request : Requests())
        if (request.method == "GET" && request.target == kPackagePath) gets.push_back(request);
    return gets;
}

void UpdateService::Accept() {
    while (!m_stop) {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(m_listener.get(), &ready);
        timeval wait{0, 20000};
        if (::select(0, &ready, nullptr, nullptr, &wait) != 1) continue;
        const SOCKET client = ::accept(m_listener.get(), nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        std::lock_guard<std::mutex> hold(m_lock);
        m_clients.push_back(client);
        m_threads.emplace_back([this, client] { Serve(client); });
    }
}

void UpdateService::Serve(SOCKET client) {
    const tessaly::unique_socket owned(client);
    std::string pending;
    while (!m_stop) {
        std::optional<RecordedRequest> request = ReadRequest(client, pending, m_stop);
        if (!request) break;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_requests.push_back(*request);
        }
        if (!Answer(client, *request)) break;
        if (const auto connection = request->Header("Connection"); connection && SameNoCase(*connection, "close")) break;
    }
    ::shutdown(client, SD_SEND);
    std::lock_guard<std::mutex> hold(m_lock);
    m_clients.erase(std::remove(m_clients.begin(), m_clients.end(), client), m_clients.end());
}

bool UpdateService::Answer(SOCKET client, const RecordedRequest& request) {
    if (request.method == "POST") return AnswerPost(client);
    if (request.method == "GET" && request.target == kPackagePath) return AnswerPackage(client, request);
    return SendAll(client, Reply(404, ErrorPage(404)));
}

bool UpdateService::AnswerPost(SOCKET client) {
    ScriptedAnswer answer;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (!m_answers.empty()) {
            m_lastAnswer = m_answers.front();
            m_answers.pop_front();
        }
        answer = m_lastAnswer;
    }
    if (answer.delayMs > 0 && !Pause(answer.delayMs)) return false;
    const std::string location = answer.location.empty() ? "" : "Location: " + answer.location + "\r\n";
    return SendAll(client, Reply(answer.status, answer.body, location));
}

bool UpdateService::Pause(unsigned milliseconds) {
    // The server's threads have no windows: the poll only dozes.
    const tessaly::PollPlan plan{milliseconds, kPauseStepMs, 0, false};
    return tessaly::PollUntil([this] { return m_stop.load(); }, plan) != tessaly::PollResult::Done;
}

bool UpdateService::AnswerPackage(SOCKET client, const RecordedRequest& request) {
    std::string package;
    PackageFault fault;
    unsigned delay;
    const std::optional<std::string> rangeHeader = request.Header("Range");
    {
        std::lock_guard<std::mutex> hold(m_lock);
        package = m_package;
        fault = rangeHeader ? m_fault : m_unrangedFault;
        delay = m_pieceDelayMs;
    }
    if (delay > 0 && !Pause(delay)) return false;
    switch (fault) {
    case PackageFault::Status403: return SendAll(client, Reply(403, ErrorPage(403)));
    case PackageFault::Status404: return SendAll(client, Reply(404, ErrorPage(404)));
    case PackageFault::Status500: return SendAll(client, Reply(500, ErrorPage(500)));
    case PackageFault::Stall:
        if (!Pause(kStallMs)) return false;
        break;
    case PackageFault::CloseMidBody: {
        const std::string reply = Reply(200, package);
        SendAll(client, reply.substr(0, reply.size() - package.size() / 2));
        return false;
    }
    default:
        if (const std::optional<bool> held = Misbehave(client, fault, request, package)) return *held;
        break;
    }
    const auto range = rangeHeader ? ParseRange(*rangeHeader) : std::nullopt;
    if (!range || fault == PackageFault::IgnoreRanges) return SendAll(client, Reply(200, package));
    const std::uint64_t total = package.size();
    if (range->first >= total)
        return SendAll(client, Reply(416, "", "Content-Range: bytes */" + std::to_string(total) + "\r\n"));
    const std::uint64_t last = std::min<std::uint64_t>(range->second, total - 1);
    return SendAll(client, PieceReply(package, range->first, last));
}

std::optional<bool> UpdateService::Misbehave(SOCKET client, PackageFault fault, const RecordedRequest& request,
                                             const std::string& package) {
    if (fault == PackageFault::Silent) {
        if (!Pause(kSilentMs)) return false;
        return std::nullopt;
    }
    if (fault == PackageFault::Drip) {
        const std::string reply = Reply(200, package);
        if (!SendAll(client, reply.substr(0, reply.size() - package.size()))) return false;
        for (std::size_t at = 0; at < package.size(); at += kDripBytes)
            if (!Pause(kDripStepMs) || !SendAll(client, package.substr(at, kDripBytes))) return false;
        return true;
    }
    if (fault != PackageFault::SameRangeAgain && fault != PackageFault::RedirectToItself) return std::nullopt;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (++m_misbehaved > kGiveInAfter) return std::nullopt;
    }
    if (fault == PackageFault::RedirectToItself)
        return SendAll(client, Reply(302, "", "Location: " + WideToAscii(Root()) + request.target + "\r\n"));
    const std::uint64_t last = std::min<std::uint64_t>(1048576, package.size() - 1);
    return SendAll(client, PieceReply(package, 0, last));
}

std::string HexOf(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char b : bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0F];
    }
    return hex;
}

std::string Md5Of(const std::string& bytes) {
    const tessaly::unique_cryptprov provider = tessaly::AcquireCryptContext(CRYPT_VERIFYCONTEXT);
    const tessaly::unique_crypthash hash = tessaly::CreateCryptHash(provider.get(), CALG_MD5);
    std::string digest(16, '\0');
    DWORD size = 16;
    if (hash &&
        ::CryptHashData(hash.get(), reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), 0))
        ::CryptGetHashParam(hash.get(), HP_HASHVAL, reinterpret_cast<BYTE*>(digest.data()), &size, 0);
    return HexOf(digest);
}

}  // namespace updater_test
