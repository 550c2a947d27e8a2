// Fault lines of the program's error log; see FaultLog.h.
#include "FaultLog.h"

#include <windows.h>

#include <cwchar>
#include <exception>
#include <new>
#include <system_error>

#include "TextConvert.h"
#include "modCommon.h"

namespace tessaly {
namespace {

std::wstring ExceptionText() {
    const std::exception_ptr current = std::current_exception();
    if (!current) return L"(no exception)";
    try {
        std::rethrow_exception(current);
    } catch (const std::bad_alloc&) {
        return L"out of memory";
    } catch (const std::system_error& e) {
        return L"system error " + std::to_wstring(e.code().value()) + L": " + Utf8ToWide(e.what());
    } catch (const std::exception& e) {
        return Utf8ToWide(e.what());
    } catch (...) {
        return L"unknown exception";
    }
}

std::wstring TimeText() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    wchar_t text[32] = {};
    std::swprintf(text, std::size(text), L"%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    return text;
}

// Set while this thread writes a fault line: a fault inside the writing (a catch on the way to the
// file that logs too) is dropped instead of recursing.
thread_local bool t_writing = false;

void AppendFaultLine(std::wstring_view where, const std::wstring& what, const std::source_location& location) {
    if (t_writing) return;
    struct Writing {
        Writing() noexcept { t_writing = true; }
        ~Writing() { t_writing = false; }
    } writing;
    std::wstring line = TimeText() + L" fault in ";
    line += where.empty() ? Utf8ToWide(location.function_name()) : std::wstring(where);
    std::string file = location.file_name();
    if (const auto slash = file.find_last_of("/\\"); slash != std::string::npos) file.erase(0, slash + 1);
    line += L" (" + Utf8ToWide(file) + L":" + std::to_wstring(location.line()) + L"): " + what;
    WriteErrLog(line, ProgramErrLogName(), false);
}

}  // namespace

std::wstring ProgramErrLogName() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, length);
    if (const auto slash = name.find_last_of(L"\\/"); slash != std::wstring::npos) name.erase(0, slash + 1);
    if (name.empty()) name = L"tessaly";
    ::CharLowerBuffW(name.data(), static_cast<DWORD>(name.size()));
    return name;
}

void LogCaughtFault(std::wstring_view where, std::source_location location) noexcept {
    try {
        AppendFaultLine(where, ExceptionText(), location);
    } catch (...) {
        // The log is the last resort: there is nowhere left to report its own failure.
    }
}

void LogFault(std::wstring_view where, std::wstring_view what, std::source_location location) noexcept {
    try {
        AppendFaultLine(where, std::wstring(what), location);
    } catch (...) {
        // As above: the error log cannot report that it could not be written.
    }
}

}  // namespace tessaly
