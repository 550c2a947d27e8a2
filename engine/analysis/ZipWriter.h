// Writes ZIP packages: entries copied as they were (compressed bytes and all) or newly deflated.
// The cleaner keeps untouched parts byte for byte this way; the fixtures build documents with it.
#pragma once

#include <string>
#include <vector>

#include "ByteReader.h"
#include "Zip.h"

namespace tessaly::analysis::zip {

class Writer {
public:
    // Copies an entry of another archive without recompressing it.
    void AddCopy(const Entry& entry, Bytes compressed);
    void AddDeflated(const std::string& name, Bytes data);
    void AddStored(const std::string& name, Bytes data);
    // With forceZip64, sizes and offsets go into ZIP64 records (for tests of that path).
    [[nodiscard]] ByteVec Finish(bool forceZip64 = false) const;

private:
    struct Item {
        Entry entry;
        ByteVec compressed;
    };
    std::vector<Item> m_items;
};

// The raw (still compressed) bytes of an entry, located through its local header.
std::optional<Bytes> CompressedBytes(Bytes archive, const Entry& entry);

}  // namespace tessaly::analysis::zip
