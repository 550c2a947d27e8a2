// zlib streams (RFC 1950) inflated into memory with a cap: PowerPoint stores embedded storages,
// its VBA project among them, this way.
#pragma once

#include <optional>

#include "Budget.h"
#include "ByteReader.h"

namespace tessaly::analysis {

// The inflated bytes when the stream ends properly within `maxBytes`; `expected` is the size the
// container declares and only sizes the first buffer. Every byte inflated, kept or not, is charged
// to `budget` when one is given, and inflating stops when it runs out.
std::optional<ByteVec> InflateZlib(Bytes packed, std::size_t expected, std::size_t maxBytes, WorkBudget* budget = nullptr);

}  // namespace tessaly::analysis
