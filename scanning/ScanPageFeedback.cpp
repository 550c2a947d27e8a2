#include "ScanPageFeedback.h"

#include <cmath>
#include <cstdlib>

#include "TextConvert.h"

namespace tessaly {

bool IsCloudFeedbackOn(const std::wstring& value) {
    const std::wstring text = TrimSpaces(value);
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    const double number = std::wcstod(text.c_str(), &end);
    if (end == text.c_str() || *end != L'\0' || !std::isfinite(number)) return false;
    return std::trunc(number) != 0.0;
}

std::wstring BuildScanFeedbackText(const ScanFeedbackFacts& facts, const ScanResults& results) {
    auto pair = [](const wchar_t* key, const std::wstring& value) { return std::wstring(key) + L"=" + value; };
    auto number = [&pair](const wchar_t* key, std::int32_t value) { return pair(key, std::to_wstring(value)); };
    std::wstring text = pair(L"AppVer", facts.AppVersion);
    text += L"&" + number(L"DataType", 1);
    text += L"&" + number(L"FromSource", facts.ScanSoureID);
    text += L"&" + number(L"ScanUsedTime", facts.ScanUsedTime);
    text += L"&" + number(L"TotalCount", results.TotalCount);
    text += L"&" + number(L"VirusCount", results.VirusCount);
    text += L"&" + number(L"CleanedCount", results.CleanedCount);
    text += L"&" + number(L"SuspectedCount", results.SuspectedCount);
    text += L"&" + number(L"EncryptedCount", results.EncryptedCount);
    text += L"&" + number(L"CleanFailedCount", results.CleanFailedCount);
    text += L"&" + number(L"BadDocFileCount", results.BadDocFileCount);
    if (results.VirusCount > 0) {
        text += L"&" + number(L"CleanUsedTime", facts.CleanUsedTime);
        if (!results.InfectedFiles.empty()) {
            std::wstring names;
            for (const InfectedFileRecord& record : results.InfectedFiles) {
                std::wstring name = record.VirusName;
                std::erase(name, L',');
                if (!names.empty()) names += L",";
                names += name;
            }
            text += L"&" + pair(L"VirusNameList", names);
        }
    }
    return text;
}

}  // namespace tessaly
