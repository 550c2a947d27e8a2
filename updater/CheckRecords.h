// What an update check records in config.dat and reads from the program folder: the date of the
// last request, the installed version, the default document application.
#pragma once

#include <string>

namespace tessaly::updater {

// Writes today's date text to "general"/LastCheckUpdate of config.dat.
void SaveLastCheckDate(const std::wstring& configPath);
// Version of the first of drossel.exe, zdvcore.exe, zdvshengji.exe, kestrine.exe in the folder
// that carries one; "0.0.0" when none does.
std::wstring GetInstalledAppVersion(const std::wstring& programFolder);
// The default document application into section "Office", when Office discovery finds one.
void SaveOfficeInfo(const std::wstring& configPath);

}  // namespace tessaly::updater
