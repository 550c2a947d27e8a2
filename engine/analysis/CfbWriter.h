// Writes a compound file (version 3 with 512-byte sectors, or 4 with 4096-byte ones) from a tree of storages and streams. The
// cleaner uses it to rebuild a document without its macro storage, so no freed sector keeps
// old bytes; the test fixtures use it to make documents.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "ByteReader.h"

namespace tessaly::analysis::cfb {

struct Node {
    std::string name;  // UTF-8
    bool isStorage = false;
    ByteVec data;      // streams only
    std::array<std::uint8_t, 16> clsid{};
    std::uint32_t stateBits = 0;
    std::array<std::uint8_t, 16> times{};
    std::vector<Node> children;

    Node& AddStorage(std::string storageName);
    Node& AddStream(std::string streamName, ByteVec bytes);
};

// The root node's name is ignored ("Root Entry" is written).
ByteVec WriteCompoundFile(const Node& root, int version = 3);

}  // namespace tessaly::analysis::cfb
