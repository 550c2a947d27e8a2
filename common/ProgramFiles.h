// The file names of the suite's programs in the program folder, one definition each: what the
// programs start, look for, register and report by name.
#pragma once

namespace tessaly {

inline constexpr wchar_t kMainProgramFile[] = L"drossel.exe";
inline constexpr wchar_t kGuardProgramFile[] = L"zdvguard.exe";
inline constexpr wchar_t kUpdaterProgramFile[] = L"zdvshengji.exe";
inline constexpr wchar_t kTrayProgramFile[] = L"kestrine.exe";
// The scan engine's file, also the name of its process.
inline constexpr wchar_t kEngineProgramFile[] = L"zdvcore.exe";

}  // namespace tessaly
