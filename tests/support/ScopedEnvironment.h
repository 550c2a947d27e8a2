// An environment variable of this process set (an empty value: removed) for one object's life and
// put back afterwards.
// Programs the test starts inherit the value.
#pragma once

#include <optional>
#include <string>

namespace testsupport {

std::optional<std::wstring> EnvironmentValue(const wchar_t* name);

class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(std::wstring name, const std::wstring& value);
    ~ScopedEnvironmentVariable();
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    std::wstring m_name;
    std::optional<std::wstring> m_old;
};

}  // namespace testsupport
