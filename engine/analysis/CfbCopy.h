// A compound file copied into a writable tree, every storage and stream with its class id, state
// bits and times, with chosen streams of the root replaced: how a decrypted or re-encrypted
// document is put together from the original.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "Cfb.h"
#include "CfbWriter.h"

namespace tessaly::analysis::cfb {

// `replaced` maps root stream names (as the file spells them) to their new contents; an empty
// optional drops the stream. nullopt when a stream of the file cannot be read.
std::optional<Node> CopyTree(const CompoundFile& file, const std::map<std::string, std::optional<ByteVec>>& replaced);

// The file rewritten with those replacements, in the file's own version.
std::optional<ByteVec> RewriteWith(const CompoundFile& file, const std::map<std::string, std::optional<ByteVec>>& replaced);

}  // namespace tessaly::analysis::cfb
