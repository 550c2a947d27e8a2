// Rights-protected (IRM) and other transformed content of a compound file: the "\006DataSpaces"
// storage maps streams to the data space (encryption) they are stored in. Such a stream cannot
// be read without the rights server's key, so the document is encrypted, whatever readable stub
// streams ("WordDocument" saying "this document is protected") stand beside it.
#pragma once

#include <string>
#include <vector>

#include "Cfb.h"

namespace tessaly::analysis::dataspaces {

struct Protection {
    bool hasDataSpaces = false;
    std::vector<std::string> protectedStreams;  // paths from the root, of streams that exist
    [[nodiscard]] bool protectsContent() const { return !protectedStreams.empty(); }
};

Protection ReadProtection(const cfb::CompoundFile& file);

}  // namespace tessaly::analysis::dataspaces
