// The main window's start-up rules that need no window: the "/sf " command line, the missing
// installation files, the question about running office programs and the release notes.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tessaly::main_startup {

inline constexpr wchar_t kWindowCaption[] = L"Tessaly2021(Brenmoor增强版)";
inline constexpr wchar_t kMissingFilesPrefix[] = L"引擎启动出错，请重新安装，丢失以下文件:";
inline constexpr wchar_t kUnicodeFolderText[] = L"应用不能安装在中文目录中，请将程序放到非中文目录。";
inline constexpr wchar_t kOfficeQuestionTitle[] = L"发现Office/wps进程正在运行中";
inline constexpr wchar_t kOfficeQuestionText[] =
    L"是否要结束Office相关进程?\r\n\r\n请保存好文档关闭Office/wps后再进行病毒查杀\r\n\r\n按确定结束进程\r\n按取消忽略本提示";
inline constexpr wchar_t kExitQuestionTitle[] = L"确认退出?";
inline constexpr wchar_t kExitQuestionText[] = L"程序正在扫描/清除病毒中，确认退出吗?";
inline constexpr wchar_t kNotesCaption[] = L"最新版本特性";
inline constexpr wchar_t kNotesTitle[] = L"以下为本次更新主要内容,更新内容一般用于提升查杀效果或增加新功能。";
inline constexpr wchar_t kContactPrefix[] = L"疑问/建议联系我们QQ:";
inline constexpr wchar_t kNotesFileName[] = L"lastupdate.log";
// What a "/sf " start says when its path cannot be scanned, and when the window that already runs
// did not take the path of a second start.
inline constexpr wchar_t kScanPathMissingText[] = L"找不到要扫描的文件或文件夹:";
inline constexpr wchar_t kScanPathQuotedHint[] = L"路径前后不需要加引号。";
inline constexpr wchar_t kScanPathHiddenText[] = L"隐藏文件和系统文件不在扫描范围内:";
inline constexpr wchar_t kHandOverFailedText[] = L"程序已在运行，但没有接收这次扫描，请稍后在程序中扫描:";

// The engine-failure text with the support contact.
std::wstring EngineFailureText();
std::wstring ContactText();

// The scan path of a "/sf <path>" command line: the switch in any case followed by one blank,
// at most 512 characters in all; the path is the rest, lower-cased and otherwise unchanged.
std::optional<std::wstring> ScanPathFromArguments(const std::wstring& arguments);

// Why the scan page would do nothing with a "/sf " path (missing, or a hidden or system file),
// as the message the user sees; nothing when the path can be scanned.
std::optional<std::wstring> ScanPathProblem(const std::wstring& path);

// Names of the programs missing from programFolder (with trailing "\"), each followed by CR LF.
std::wstring GetMissingEngineFiles(const std::wstring& programFolder);

struct OfficeProcessOps {
    std::function<bool(const std::wstring& name)> isRunning;
    std::function<void(const std::wstring& name)> terminate;
    std::function<bool()> askToEnd;  // true: OK
};
// Offers to end the running office programs; Cancel ends the whole check.
void CheckOfficeProcesses(const OfficeProcessOps& ops) noexcept;

// Reads and deletes <programFolder>lastupdate.log; the notes when the trimmed text is not empty.
std::optional<std::wstring> TakeLastUpdateNotes(const std::wstring& programFolder) noexcept;

}  // namespace tessaly::main_startup
