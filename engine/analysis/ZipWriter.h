// Writes ZIP packages: entries copied as they were (compressed bytes and all) or newly deflated.
// The cleaner keeps untouched parts byte for byte this way; the fixtures build documents with it.
#pragma once

#include <string>
#include <vector>

#include "ByteReader.h"
#include "ByteSink.h"
#include "Zip.h"

namespace tessaly::analysis::zip {

class Writer {
public:
    // Copies an entry of another archive without recompressing it. The compressed bytes are not
    // copied: they must stay valid until Finish.
    void AddCopy(const Entry& entry, Bytes compressed);
    void AddDeflated(const std::string& name, Bytes data);
    void AddStored(const std::string& name, Bytes data);
    // With forceZip64, sizes and offsets go into ZIP64 records (for tests of that path); they also
    // go there when the package needs them.
    void Finish(ByteSink& out, bool forceZip64 = false) const;
    [[nodiscard]] ByteVec Finish(bool forceZip64 = false) const;

private:
    struct Item {
        Entry entry;
        ByteVec owned;    // newly compressed data
        Bytes compressed;  // what is written: `owned` or the copied entry's bytes
    };
    void WriteCentralDirectory(ByteSink& out, const std::vector<std::uint64_t>& offsets, bool zip64) const;
    std::vector<Item> m_items;
};

}  // namespace tessaly::analysis::zip
