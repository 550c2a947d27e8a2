// Office discovery: the default document application (Microsoft Office or WPS Office) and the
// folders and recently used documents that a quick scan covers. Everything here only reads the
// registry, the environment and the file system; nothing is created or owned beyond the call.
#pragma once

#include <oaidl.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tessaly {

struct OfficeAppInfo {
    std::wstring AppName;        // "winword", "excel", "wps", ... (lower case, no ".exe")
    std::wstring MajorVersion;   // "16"; "0" for a command without separator; "0.0.0" when unknown
    std::wstring InstallFolder;  // folder of ExePath with its trailing "\" (registry case)
    std::wstring ExePath;
};

// True unless the version stayed "0.0.0".
bool GetOfficeInfo(OfficeAppInfo& info);
// Asks the automation object of className ("Excel.Application", "ket.Application") for its
// version and folder; always asks it to quit. False when the class is not there or fails.
bool GetAppInfoByAutomation(const std::wstring& className, const std::wstring& exeName, OfficeAppInfo& info);
// Told on the calling thread when GetAppInfoByAutomation is about to create an application's
// object (which starts the application; holding is true) and once it has let go of it again
// (false): a program that watches office programs can tell the ones discovery started itself.
using AutomationHoldObserver = std::function<void(bool holding)>;
void SetAutomationHoldObserver(AutomationHoldObserver observer);
// Same questions asked of an object that already exists; "Quit" is called on it in every case.
bool ReadAppInfoFromAutomationObject(IDispatch* app, const std::wstring& exeName, OfficeAppInfo& info);
// (name, major version) guessed from the folder layout of a lower-case application path.
std::pair<std::wstring, std::wstring> GuessAppFromPath(const std::wstring& appPath);

// Each collector replaces its out list only when it found something and returns the count.
std::int32_t GetOfficeMruFiles(std::vector<std::wstring>& files);
std::int32_t GetWpsRecentFiles(std::vector<std::wstring>& files);
// Appends to folders; the length of folders afterwards, or 0 when nothing was added.
std::int32_t GetUserTemplateFolders(std::vector<std::wstring>& folders);
std::int32_t GetOfficeStartupFolders(std::vector<std::wstring>& folders);

// Appends every Office target (unique) to targets and returns its length; 0 on an error.
// skipConfigTarget leaves the installed library folder named in config.dat out.
std::int32_t GetOfficeScanTargets(const std::wstring& configFile, std::vector<std::wstring>& targets,
                                  bool skipConfigTarget);

}  // namespace tessaly
