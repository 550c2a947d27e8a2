// English reasons of the analysis in the user's words.
#include "ReasonTexts.h"

#include <windows.h>

#include <algorithm>
#include <string_view>

#include "Analyzer.h"

namespace tessaly::engine {
namespace {

struct Reason {
    std::wstring_view part;  // a piece of the analysis' wording
    const wchar_t* text;
};

constexpr wchar_t kNotChecked[] = L"清除结果未通过校验，文件未改动";

// Why a clean was refused, by what the analysis said.
constexpr Reason kRefusals[] = {
    {L"cannot be removed safely", L"此格式的Excel 4.0宏表无法安全清除，文件未改动"},
    {L"nothing but macro sheets", L"工作簿只有宏表，无法清除"},
    {L"macro sheets cannot be removed", L"Excel 4.0宏表无法安全清除，文件未改动"},
    {L"whole file is a VBA project", L"文件本身是VBA工程，无法清除"},
    {L"cannot be adjusted", L"工作簿记录无法调整，文件未改动"},
    {L"unreadable", L"文档内容无法读取，文件未改动"},
    {L"did not read back", kNotChecked},
    {L"macros remained", kNotChecked},
    {L"stream changed", kNotChecked},
};

bool IsAscii(const std::wstring& text) {
    return std::all_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x80; });
}

bool IsFolder(const std::wstring& linkPath) {
    const DWORD attributes = ::GetFileAttributesW(ToFileSystemPath(linkPath).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

const wchar_t* RefusalText(int code, const std::wstring& reason) {
    switch (code) {
        case analysis::kCleanNothingToDo: return L"未发现宏，无需修复";
        case analysis::kCleanEncrypted: return L"文档已加密，无法清除";
        case analysis::kCleanDamaged: return L"文档已损坏，无法清除";
        case analysis::kCleanEngineError: return L"引擎内部错误";
        default: break;
    }
    for (const Reason& refusal : kRefusals)
        if (reason.find(refusal.part) != std::wstring::npos) return refusal.text;
    return L"无法清除，文件未改动";
}

}  // namespace

FileResult ForUser(bool clean, FileResult result, const std::wstring& linkPath) {
    // Opening a folder as a file is refused like a file without access; tell the two apart.
    if (result.code == analysis::kScanEngineError && IsFolder(linkPath)) return {result.code, L"不是文件"};
    if (!IsAscii(result.text)) return result;
    if (clean && result.code != analysis::kCleanRepaired) result.text = RefusalText(result.code, result.text);
    else if (!clean && result.code == analysis::kScanEngineError) result.text = L"引擎内部错误";
    return result;
}

}  // namespace tessaly::engine
