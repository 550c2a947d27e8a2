// MS-OVBA compressed containers (module sources and the "dir" stream).
#pragma once

#include <optional>

#include "ByteReader.h"

namespace tessaly::analysis::ovba {

// Decompresses a whole container; nullopt when the data is not a valid container. Chunks whose
// header says "not compressed" are taken as their raw 4096 bytes.
std::optional<ByteVec> Decompress(Bytes container);
// The same with a cap on the output; `produced` says how much was decompressed before it ended,
// whether it succeeded, failed or hit the cap (the work done either way).
std::optional<ByteVec> Decompress(Bytes container, std::size_t maxOutput, std::size_t& produced);
// Whether the bytes begin like a container: the signature byte and a valid first chunk header.
bool StartsContainer(Bytes data);

}  // namespace tessaly::analysis::ovba
