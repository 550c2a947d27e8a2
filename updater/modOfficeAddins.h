// The active add-ins of Word, Excel and PowerPoint as the compact JSON text the machine facts
// carry: {"Word":["name",...],"Excel":[...],"PowerPoint":[...]}.
#pragma once

#include <string>

namespace tessaly::updater {

// The add-in JSON for the document applications of Microsoft Office ("winword", "moc"); "{}" for
// every other application, without reading the registry.
std::wstring GetOfficeAddinsJson(const std::wstring& appName);
// From the Addins keys under HKEY_CURRENT_USER; "{}" when no application qualifies or on a fault.
std::wstring ListMsOfficeAddins();
// Built-in add-ins left out: by key name, or by description.
bool IsBuiltinAddin(const std::wstring& name, bool byKeyName);

}  // namespace tessaly::updater
