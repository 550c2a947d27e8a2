// MS-OVBA compressed containers (module sources and the "dir" stream).
#pragma once

#include <optional>

#include "ByteReader.h"

namespace tessaly::analysis::ovba {

// Decompresses a whole container; nullopt when the data is not a valid container. Chunks whose
// header says "not compressed" are taken as their raw 4096 bytes.
std::optional<ByteVec> Decompress(Bytes container);
// Whether the bytes begin like a container: the signature byte and a valid first chunk header.
bool StartsContainer(Bytes data);

}  // namespace tessaly::analysis::ovba
