// Scanning and cleaning of one document on disk for the engine: the file is read through a
// read-only mapping, so its size does not bound the engine's memory, and a clean replaces the
// original only with a copy that was written, read back and found free of macros.
#pragma once

#include <string>

#include "Analyzer.h"

namespace tessaly::engine {

struct FileResult {
    int code = 0;
    std::wstring text;  // never holds "::" or a line end: it is one field of a reply
};

// Turns a path of the link ("/" separators) into one the file functions open at any length.
std::wstring ToFileSystemPath(const std::wstring& linkPath);

FileResult ScanDocument(const analysis::Analyzer& analyzer, const std::wstring& linkPath) noexcept;
FileResult CleanDocument(const analysis::Analyzer& analyzer, const std::wstring& linkPath) noexcept;

// A text made fit for a reply field.
std::wstring ReplyFieldText(std::wstring text);

}  // namespace tessaly::engine
