// The automation object of an office program, played for the guard's tests: a class of the tests'
// own registered as "Excel.Application", whose object answers "version" and "Path" and takes
// "Quit". The office stand-in serves it when COM starts it as a local server; a test may serve it
// in its own process instead.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <functional>
#include <string>

namespace tessaly::test {

inline constexpr wchar_t kExcelProgId[] = L"Excel.Application";
// {6A1C3E52-9D4B-4F0E-A7B2-5E8D1C0F3A61}
inline constexpr CLSID kStandInExcelClassId = {
    0x6a1c3e52, 0x9d4b, 0x4f0e, {0xa7, 0xb2, 0x5e, 0x8d, 0x1c, 0x0f, 0x3a, 0x61}};
inline constexpr wchar_t kStandInExcelClassKey[] = L"CLSID\\{6A1C3E52-9D4B-4F0E-A7B2-5E8D1C0F3A61}";

// Called on the serving thread: before a property is answered, and when "Quit" is called.
struct AutomationHooks {
    std::function<void()> onQuestion;
    std::function<void()> onQuit;
};

// A class factory whose objects answer version "16.0" and folder as "Path"; one reference.
IClassFactory* NewAutomationFactory(std::wstring folder, AutomationHooks hooks = {});

}  // namespace tessaly::test
