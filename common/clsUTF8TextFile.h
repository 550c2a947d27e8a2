// Writes text to and reads text from files of UTF-8 without byte-order mark. Each call opens,
// uses and closes its file.
#pragma once

#include <cstdint>
#include <string>

#include "UniqueHandle.h"

namespace tessaly {

class clsUTF8TextFile {
public:
    // AppendMod False replaces a file the lookup finds; NewLine adds CR LF after Text.
    bool WriteMsgToUTF8File(const std::wstring& fileName, bool AppendMod, const std::wstring& Text, bool NewLine);
    // Length of outText in UTF-16 units; 0 and "" for a missing, empty or unreadable file.
    std::int32_t ReadFromUTF8File(const std::wstring& fileName, std::wstring& outText);

private:
    bool OpenForRead(const std::wstring& fileName);
    std::int32_t ReadAllText(std::wstring& outText);
    void CloseRead();
    bool OpenForAppend(const std::wstring& fileName);
    bool AppendText(const std::wstring& text, bool newLine);
    void CloseWrite();

    unique_file m_readChannel;
    unique_file m_writeChannel;
};

}  // namespace tessaly
