// Every text the updater shows: its window, status lines, progress format and questions. Tests
// compare against these same constants.
#pragma once

namespace tessaly::updater {

inline constexpr wchar_t kUpdaterTitle[] = L"Tessaly-升级App";
inline constexpr wchar_t kFormCaption[] = L"Tessaly(Brenmoor增强版)-升级程序";
inline constexpr wchar_t kExitCaption[] = L"退出";

// Status texts; those ending in ":" are followed by a URL, the answer or a digest.
inline constexpr wchar_t kStatusNoNetwork[] = L"您的网络连接异常，无法连接到升级服务器。";
inline constexpr wchar_t kStatusNoRequest[] = L"获取版本信息失败";
inline constexpr wchar_t kStatusConnecting[] = L"连接服务器:";
inline constexpr wchar_t kStatusConnectFailed[] = L"连接服务器失败:";
inline constexpr wchar_t kStatusServerError[] = L"服务器错误:";
inline constexpr wchar_t kStatusServer00[] = L"服务器00错误:";
inline constexpr wchar_t kStatusReadingAnswer[] = L"获取升级信息......";
inline constexpr wchar_t kStatusServer01[] = L"服务器01错误:";
inline constexpr wchar_t kStatusUpToDate[] = L"版本已更新到最新";
inline constexpr wchar_t kStatusServerBusy[] = L"服务器暂时无法访问.";
inline constexpr wchar_t kStatusServer02[] = L"服务器02错误:";
inline constexpr wchar_t kStatusCheckingOffer[] = L"校验升级信息正确性......";
inline constexpr wchar_t kStatusNoCheckInfo[] = L"获取校验信息失败";
inline constexpr wchar_t kStatusNoHash[] = L"未找到校验值";
inline constexpr wchar_t kStatusNoPackageUrl[] = L"获取升级包地址失败";
inline constexpr wchar_t kStatusDownloading[] = L"下载升级包......";
inline constexpr wchar_t kProgressFormat[] = L"下载升级包进度:%f%";
inline constexpr wchar_t kStatusDownloadFailed[] = L"下载升级包失败,升级地址:";
inline constexpr wchar_t kStatusSizeMismatch[] = L"下载升级包大小校验错误";
inline constexpr wchar_t kStatusHashing[] = L"校验升级包哈希值...";
inline constexpr wchar_t kStatusHashMismatch[] = L"升级包校验值错误:";
inline constexpr wchar_t kStatusContactPrefix[] = L"请联系我们QQ:";
inline constexpr wchar_t kStatusInstalling[] = L"升级中...";
inline constexpr wchar_t kStatusInstallTimeout[] = L"错误: 升级超时...";
inline constexpr wchar_t kStatusInstallDone[] = L"升级完成";
inline constexpr wchar_t kStatusCacheCopyFailed[] = L"复制文件出错02";
inline constexpr wchar_t kStatusCopyStartFailed[] = L"升级过程出错(复制或启动升级程序失败)";

// Questions and notices.
inline constexpr wchar_t kAskManualDownload[] = L"自动更新失败需要手工下载更新包吗?";
inline constexpr wchar_t kAskManualDownloadTitle[] = L"程序自动更新失败";
inline constexpr wchar_t kAskReinstall[] = L"新版本安装需要全新安装，是否启用管理员权限进行安装？";
inline constexpr wchar_t kAskReinstallTitle[] = L"Brenmoor发现新版本";
inline constexpr wchar_t kXpNotSupported[] = L"Winxp不支持的升级方式";

}  // namespace tessaly::updater
