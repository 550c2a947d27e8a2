// The texts of the engine's replies that a user sees (why a clean was refused, why a file could not
// be read), in Chinese like every other text of the programs. The document analysis words its
// reasons in English for its own logs and tests; they are turned into the user's words here.
#pragma once

#include <string>

#include "DocumentFile.h"

namespace tessaly::engine {

// The result as the reply carries it. linkPath is the request's path: a folder is "not a file".
FileResult ForUser(bool clean, FileResult result, const std::wstring& linkPath);

}  // namespace tessaly::engine
