#include "ScopedEnvironment.h"

#include <windows.h>

namespace testsupport {

std::optional<std::wstring> EnvironmentValue(const wchar_t* name) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return std::nullopt;
    std::wstring value(size, L'\0');
    value.resize(::GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

ScopedEnvironmentVariable::ScopedEnvironmentVariable(std::wstring name, const std::wstring& value)
    : m_name(std::move(name)), m_old(EnvironmentValue(m_name.c_str())) {
    ::SetEnvironmentVariableW(m_name.c_str(), value.empty() ? nullptr : value.c_str());
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
    ::SetEnvironmentVariableW(m_name.c_str(), m_old ? m_old->c_str() : nullptr);
}

}  // namespace testsupport
