// Writes a compound file (version 3 with 512-byte sectors, or 4 with 4096-byte ones) from a tree
// of storages and streams. The cleaner uses it to rebuild a document without its macro storage,
// so no freed sector keeps old bytes; the test fixtures use it to make documents. Streams may be
// given as bytes or as a source that writes them when their turn comes, so a large document is
// rewritten without holding it in memory.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "ByteReader.h"
#include "ByteSink.h"

namespace tessaly::analysis::cfb {

// Writes exactly the size the stream was declared with.
using StreamSource = std::function<void(ByteSink&)>;

struct Node {
    std::string name;  // UTF-8
    bool isStorage = false;
    ByteVec data;          // streams given as bytes
    StreamSource source;   // or streams written on demand
    std::uint64_t sourceSize = 0;
    std::array<std::uint8_t, 16> clsid{};
    std::uint32_t stateBits = 0;
    std::array<std::uint8_t, 16> times{};
    std::vector<Node> children;

    Node& AddStorage(std::string storageName);
    Node& AddStream(std::string streamName, ByteVec bytes);
    Node& AddStream(std::string streamName, std::uint64_t size, StreamSource writeBytes);
    [[nodiscard]] std::uint64_t StreamSize() const { return source ? sourceSize : data.size(); }
};

// The root node's name is ignored ("Root Entry" is written).
void WriteCompoundFile(const Node& root, ByteSink& out, int version = 3);
ByteVec WriteCompoundFile(const Node& root, int version = 3);

}  // namespace tessaly::analysis::cfb
