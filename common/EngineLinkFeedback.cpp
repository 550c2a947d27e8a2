// Statistics text of the "FEEDBACK::" message.
#include "EngineLinkFeedback.h"

#include "EngineLinkMessages.h"
#include "EngineLinkProtocol.h"

namespace tessaly {
namespace {

std::wstring Pair(const wchar_t* key, const std::wstring& value) { return std::wstring(key) + L"=" + value; }
std::wstring Pair(const wchar_t* key, std::int32_t value) { return Pair(key, std::to_wstring(value)); }

std::wstring CountsText(const FeedbackStatistics& s) {
    std::wstring text = Pair(L"AppVer", s.AppVersion);
    text += L"&" + Pair(L"DataType", 1);
    text += L"&" + Pair(L"FromSource", s.FromSource);
    text += L"&" + Pair(L"ScanUsedTime", s.ScanUsedTime);
    text += L"&" + Pair(L"TotalCount", s.TotalCount);
    text += L"&" + Pair(L"VirusCount", s.VirusCount);
    text += L"&" + Pair(L"CleanedCount", s.CleanedCount);
    text += L"&" + Pair(L"SuspectedCount", s.SuspectedCount);
    text += L"&" + Pair(L"EncryptedCount", s.EncryptedCount);
    text += L"&" + Pair(L"CleanFailedCount", s.CleanFailedCount);
    text += L"&" + Pair(L"BadDocFileCount", s.BadDocFileCount);
    return text;
}

// The names without their commas, joined by ",": as many whole names as fit in room bytes.
struct NameList {
    std::wstring text;
    std::size_t count = 0;
};

NameList FittingNames(const std::vector<std::wstring>& names, std::size_t room) {
    NameList list;
    std::size_t used = 0;
    for (std::wstring name : names) {
        std::erase(name, L',');
        const std::size_t size = Utf8Size(name) + (list.count == 0 ? 0 : 1);
        if (used + size > room) break;
        if (list.count++ > 0) list.text += L",";
        list.text += name;
        used += size;
    }
    return list;
}

}  // namespace

std::wstring BuildFeedbackText(const FeedbackStatistics& statistics) {
    std::wstring text = CountsText(statistics);
    if (statistics.VirusCount <= 0) return text;
    text += L"&" + Pair(L"CleanUsedTime", statistics.CleanUsedTime);
    if (statistics.VirusNames.empty()) return text;
    const std::wstring key = L"&" + Pair(L"VirusNameList", L"");
    const std::size_t used = Utf8Size(FeedbackMessage(text + key));
    const NameList names = FittingNames(statistics.VirusNames, used < kMessageTextLimit ? kMessageTextLimit - used : 0);
    return names.count == 0 ? text : text + key + names.text;
}

std::wstring FeedbackMessage(const std::wstring& statisticsText) { return kFeedbackPrefix + statisticsText; }

}  // namespace tessaly
