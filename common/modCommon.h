// Plain functions shared by every program: folders, web-server root, own version, platform test,
// run markers, error logs, program start, autorun, text codecs, list helpers and the installation
// identity. The settings file itself lives in IniOperation.h and modAppSettings.h.
#pragma once

#include <windows.h>

#include <concepts>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly {

// ---- Folders, web-server root, version, platform ------------------------------------------------

// Folder of the running program's file, always with a trailing "\".
std::wstring GetAppFolder();
// %AppData%\Tessaly without a trailing "\" ("\Tessaly" when AppData is empty); not created here.
std::wstring GetUserDataFolder();
// %ProgramData%\Tessaly\ (created when missing); the program folder when ProgramData is empty.
std::wstring GetCommonDataFolder();
// %windir% with a trailing "\".
std::wstring GetWindowsFolder();
// Windows folder & "explorer.exe".
std::wstring GetExplorerPath();
// Root URL of the maker's web server without a trailing "/" ("general"/WebServerHost).
std::wstring GetWebServerHost(const std::wstring& configFile);
// Major.minor.revision of the running program's version resource; "0.0.0" when unreadable.
std::wstring GetAppVersion();
bool IsWinXPOrEarlier();
// Today's local date as mm-dd-yyyy, the form dates take in the settings file.
std::wstring GetDateText();

// Attributes for DirLookup, as the directory lookup of the programs knows them.
inline constexpr unsigned kLookupNormal = 0;
inline constexpr unsigned kLookupHidden = FILE_ATTRIBUTE_HIDDEN;        // 0x02
inline constexpr unsigned kLookupDirectory = FILE_ATTRIBUTE_DIRECTORY;  // 0x10
// The existence test every module uses: finds normal files, hidden files only with kLookupHidden,
// folders only with kLookupDirectory, and never an entry with the system attribute.
bool DirLookup(const std::wstring& path, unsigned attributes = kLookupNormal);

// ---- Run markers, error log, program start, autorun ---------------------------------------------

// Marker names in use.
inline constexpr wchar_t kMarkerMain[] = L"zdvmain";
inline constexpr wchar_t kMarkerGuard[] = L"zdvguard";
inline constexpr wchar_t kMarkerTray[] = L"zdvtray";
inline constexpr wchar_t kMarkerUpdater[] = L"zdvshengji";
inline constexpr wchar_t kMarkerInstalling[] = L"zdvinstalling";
inline constexpr wchar_t kMarkerEngine[] = L"zdvcore";

// folder, when not empty, replaces the per-machine data folder and must end in "\".
bool CreateRunMarker(const std::wstring& name, const std::wstring& folder = L"");
bool DeleteRunMarker(const std::wstring& name);
// Lets go of a marker this process made in the per-machine data folder, which removes it at once;
// False when this process holds no such marker.
bool ReleaseRunMarker(const std::wstring& name);
bool IsRunMarkerPresent(const std::wstring& name, const std::wstring& folder = L"");
// Appends message & CR LF as UTF-8 to <per-machine data folder><name>.err; failures are silent.
void WriteErrLog(const std::wstring& message, const std::wstring& name, bool deleteFirst = false);

// Window styles the callers pass to ShellRun/ShellRunEx.
inline constexpr std::int32_t kWindowHidden = 0;
inline constexpr std::int32_t kWindowNormal = 1;
// The command line ShellRunEx starts, without touching the file system.
std::wstring BuildShellRunCommand(const std::wstring& path, const std::wstring& args, bool viaExplorer,
                                  bool winXPOrEarlier);
bool ShellRunEx(const std::wstring& path, const std::wstring& args, std::int32_t windowStyle, bool viaExplorer);
bool ShellRun(const std::wstring& path, const std::wstring& args, std::int32_t windowStyle);
bool InitCommonControlClasses();

// HKLM\Software\Microsoft\Windows\CurrentVersion\Run, value "Drossel".
inline constexpr wchar_t kAutoRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kAutoRunValueName[] = L"Drossel";
bool SetAutoRun(bool enable);

// ---- Text codecs --------------------------------------------------------------------------------

using ByteSequence = std::vector<unsigned char>;

// UTF-8 of the text up to its first NUL character, without terminator.
ByteSequence TextToUtf8Bytes(std::wstring_view text);
// Decodes up to the first zero byte; ill-formed sequences become U+FFFD.
std::wstring Utf8BytesToText(const ByteSequence& bytes);
// Two upper-case hex digits per byte.
std::wstring BytesToHex(const ByteSequence& bytes);
std::wstring TextToHex(std::wstring_view text);
// Non-empty and of even length; the characters themselves are not examined.
bool IsHexString(std::wstring_view text);
// (length / 2) + 1 bytes, the last one always 0.
ByteSequence HexToBytes(std::wstring_view text);
std::wstring HexToText(std::wstring_view text);

// ---- List helpers -------------------------------------------------------------------------------

using TextList = std::vector<std::wstring>;
// A list that may not be created yet (std::nullopt).
using OptionalTextList = std::optional<TextList>;

// Always True. With unique, an item equal to an element up to letter case is not added again.
bool AppendToList(TextList& list, const std::wstring& item, bool unique);
bool AppendToList(OptionalTextList& list, const std::wstring& item, bool unique);
// Appends nothing unless count equals items.size() and is above 0.
void AppendItemsToList(TextList& list, std::int32_t count, const TextList& items, bool unique);
void AppendItemsToList(OptionalTextList& list, std::int32_t count, const TextList& items, bool unique);
// Lower-cases the paths, drops entries that lie inside an existing folder of the list and
// duplicates; True when done, False only for a list that was never created.
bool CompactPathList(TextList& list);
bool CompactPathList(OptionalTextList& list);

// ---- Installation identity ----------------------------------------------------------------------

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", 38 characters.
std::wstring NewGuidString();
// Empty, or one of the all-0, all-F, all-FE identities (compared case-sensitively).
bool IsInvalidUUID(std::wstring_view uuid);

// Asks a source for the machine's product UUID, as ClsWMI::getUUIDInfo answers it.
using UUIDInfoQuery = std::function<bool(std::wstring& retUUID)>;

// The installation identity: the product UUID when usable (and stored), else the stored one,
// else a new upper-case GUID without braces (stored). configFile is the path of config.dat.
std::wstring GetMachineUUID(const UUIDInfoQuery& query, const std::wstring& configFile);
// Calls GetMachineUUID only when the stored identity is unusable.
void EnsureInstalledUUID(const UUIDInfoQuery& query, const std::wstring& configFile);

// Any object offering getUUIDInfo(std::wstring&) serves, ClsWMI first of all.
template <typename Source>
    requires requires(Source& s, std::wstring& out) {
        { s.getUUIDInfo(out) } -> std::convertible_to<bool>;
    }
std::wstring GetMachineUUID(Source& source, const std::wstring& configFile) {
    return GetMachineUUID(UUIDInfoQuery([&source](std::wstring& out) { return source.getUUIDInfo(out); }),
                          configFile);
}

template <typename Source>
    requires requires(Source& s, std::wstring& out) {
        { s.getUUIDInfo(out) } -> std::convertible_to<bool>;
    }
void EnsureInstalledUUID(Source& source, const std::wstring& configFile) {
    EnsureInstalledUUID(UUIDInfoQuery([&source](std::wstring& out) { return source.getUUIDInfo(out); }),
                        configFile);
}

}  // namespace tessaly
