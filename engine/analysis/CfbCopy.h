// A compound file copied into a writable tree, every storage and stream with its class id, state
// bits and times, streams copied from where they lie in the file when the writer reaches them:
// how the cleaner rebuilds a document without its macros and how a decrypted or re-encrypted
// document is put together from the original.
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include "ByteSink.h"
#include "Cfb.h"
#include "CfbWriter.h"

namespace tessaly::analysis::cfb {

// Thrown by a stream source that can no longer read its stream (the file's budget ran out).
struct SourceFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void CopyAttributes(const Entry& from, Node& to);

// A stream node for the entry at `index`, its bytes copied piece by piece from the file when the
// writer reaches them (`file` must outlive the writing); nullptr when the stream is not whole.
Node* AddStreamCopy(const CompoundFile& file, std::uint32_t index, Node& into);

// `replaced` maps root stream names (as the file spells them) to their new contents; an empty
// optional drops the stream. nullopt when a stream of the file cannot be read.
std::optional<Node> CopyTree(const CompoundFile& file, const std::map<std::string, std::optional<ByteVec>>& replaced);

// The file rewritten with those replacements, in the file's own version; false when a stream
// cannot be read (`out` may then hold part of a file).
bool RewriteWith(const CompoundFile& file, const std::map<std::string, std::optional<ByteVec>>& replaced, ByteSink& out);
std::optional<ByteVec> RewriteWith(const CompoundFile& file, const std::map<std::string, std::optional<ByteVec>>& replaced);

}  // namespace tessaly::analysis::cfb
