// The texts a user sees and the names a user's machine holds, written out here as the user meets
// them, so a wrong text in the program shows up as a failing test.
#pragma once

namespace e2e::texts {

inline constexpr wchar_t kMainCaption[] = L"Tessaly2021(Brenmoor增强版)";
inline constexpr wchar_t kProgramTitle[] = L"Tessaly(Brenmoor增强版)";
inline constexpr wchar_t kMissingFilesPrefix[] = L"引擎启动出错，请重新安装，丢失以下文件:";
inline constexpr wchar_t kUnicodeFolderText[] = L"应用不能安装在中文目录中，请将程序放到非中文目录。";
inline constexpr wchar_t kExitTitle[] = L"确认退出?";
inline constexpr wchar_t kExitQuestion[] = L"程序正在扫描/清除病毒中，确认退出吗?";
inline constexpr wchar_t kLeaveResultsQuestion[] =
    L"继续返回吗?\r\n扫描结果发现病毒，不处理直接返回可能会导致病毒破坏系统";
inline constexpr wchar_t kScanPathMissing[] = L"找不到要扫描的文件或文件夹:";
inline constexpr wchar_t kScanPathQuotedHint[] = L"路径前后不需要加引号。";
inline constexpr wchar_t kCleanFinished[] = L"处理完成";
inline constexpr wchar_t kNotesCaption[] = L"最新版本特性";
inline constexpr wchar_t kWebToolsTip[] = L"推荐应用需要联网...";
inline constexpr wchar_t kNotesTitle[] = L"以下为本次更新主要内容,更新内容一般用于提升查杀效果或增加新功能。";
inline constexpr wchar_t kContactPrefix[] = L"疑问/建议联系我们QQ:";
inline constexpr wchar_t kVerbCaption[] = L"查杀office病毒";
inline constexpr const wchar_t* kTopButtonCaptions[5] = {L"首页", L"扫描", L"监控", L"应用", L"设置"};

inline constexpr wchar_t kMainMarker[] = L"zdvmain";
inline constexpr wchar_t kInstallingMarker[] = L"zdvinstalling";
inline constexpr wchar_t kNotesFile[] = L"lastupdate.log";
inline constexpr wchar_t kScanLog[] = L"scan.log";

inline constexpr const wchar_t* kSwitches[5] = {L"RightMenuScan", L"CloudScan", L"OfficeAddin", L"AutoRun",
                                                L"CloudFeedBack"};
inline constexpr const wchar_t* kVerbKeys[10] = {
    L"SystemFileAssociations\\.doc\\shell\\Mendwick",  L"SystemFileAssociations\\.docm\\shell\\Mendwick",
    L"SystemFileAssociations\\.dotm\\shell\\Mendwick", L"SystemFileAssociations\\.docx\\shell\\Mendwick",
    L"SystemFileAssociations\\.xls\\shell\\Mendwick",  L"SystemFileAssociations\\.xlsm\\shell\\Mendwick",
    L"SystemFileAssociations\\.xlam\\shell\\Mendwick", L"SystemFileAssociations\\.xlm\\shell\\Mendwick",
    L"SystemFileAssociations\\.xlsx\\shell\\Mendwick", L"Folder\\shell\\Mendwick"};

}  // namespace e2e::texts
