// The document properties that list a workbook's sheets by name, as Excel writes them into
// docProps/app.xml and the "\005DocumentSummaryInformation" stream: groups of titles (HeadingPairs:
// a heading and how many titles follow it) and the titles themselves (TitlesOfParts). When macro
// sheets go, their titles go with them. Whatever cannot be read with certainty is left as it was.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ByteReader.h"

namespace tessaly::analysis {

struct PartTitles {
    std::vector<std::pair<std::string, std::int32_t>> headings;  // heading, number of titles
    std::vector<std::string> titles;                             // UTF-8
};

// The titles without `removed` (the first of each name), the groups' counts following and an
// emptied group gone. False, and nothing changed, when the counts do not add up to the titles or a
// removed name is not among them.
bool RemoveTitles(PartTitles& titles, const std::vector<std::string>& removed);

// app.xml with those titles removed; nullopt when it does not list them as expected.
std::optional<std::string> AppPropertiesWithout(std::string_view appXml, const std::vector<std::string>& removed);

// The document summary property set read and written back with those titles removed; nullopt when
// its layout or its strings are not what this reads with certainty. Names compare as text: 8-bit
// strings are read as Latin-1 (the code page of workbooks written in Western locales).
std::optional<PartTitles> ReadSummaryTitles(Bytes documentSummary);
std::optional<ByteVec> SummaryWithout(Bytes documentSummary, const std::vector<std::string>& removed);

}  // namespace tessaly::analysis
