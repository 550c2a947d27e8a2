// The update request body; see UpdateRequest.h.
#include "UpdateRequest.h"

#include "FaultLog.h"
#include "modCommon.h"
#include "modZlib.h"

namespace tessaly::updater {

std::wstring BuildUpdateQuery(const std::wstring& appVersion, bool elevated, const std::wstring& facts) {
    std::wstring query = L"AppVer=" + TextToHex(appVersion) + L"&ExecutionLevel=" + TextToHex(elevated ? L"1" : L"0");
    if (!facts.empty()) query += L"&" + facts;
    return query;
}

std::wstring PackRequestData(const std::wstring& query) {
    try {
        std::wstring data;
        bool zipped = false;
        if (query.size() >= kCompressFromChars) {
            data = CompressToHex(query);
            zipped = !data.empty();
        }
        if (!zipped) data = TextToHex(query);
        return L"size=" + std::to_wstring(data.size()) + L"&checksum=0&zip=" + (zipped ? L"1" : L"0") + L"&data=" + data;
    } catch (...) {
        LogCaughtFault(L"PackRequestData");
        return {};
    }
}

}  // namespace tessaly::updater
