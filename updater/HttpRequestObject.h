// The platform's XML HTTP request object (Msxml2.XMLHTTP.3.0 by its class id): one request
// after another on one object, answers read as text, bytes or headers. Every call reports
// failure instead of throwing.
#pragma once

#include <windows.h>
#include <msxml2.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "UniqueHandle.h"

namespace tessaly::updater {

inline constexpr long kReadyStateComplete = 4;

class HttpRequestObject {
public:
    // Creates the object; Valid() tells whether the platform gave one.
    HttpRequestObject();
    [[nodiscard]] bool Valid() const noexcept { return static_cast<bool>(m_request); }

    bool Open(const wchar_t* method, const std::wstring& url, bool async);
    bool SetHeader(const std::wstring& name, const std::wstring& value);
    // A text body, or none.
    bool Send(const std::wstring* body);
    // Polls the ready state `pollMs` apart for polls x pollMs in all, letting window events run;
    // true once the request is complete.
    bool WaitComplete(std::uint32_t polls, std::uint32_t pollMs);
    // Gives up a request that did not complete. The object is then kept for the life of the
    // process instead of released: Wine's object lets an asynchronous transfer that is still under
    // way call back into it after its release, which crashes the program.
    void Abandon();

    std::optional<long> Status();
    std::optional<std::wstring> ResponseText();
    bool ResponseBody(std::vector<unsigned char>& bytes);
    // "" when the answer lacks the header.
    std::wstring ResponseHeader(const std::wstring& name);

private:
    std::optional<long> ReadyState();

    com_ptr<IXMLHTTPRequest> m_request;
};

}  // namespace tessaly::updater
