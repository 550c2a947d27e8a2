// The ground truth of the real-document corpus (manifest.csv and manifest_details.csv) and the
// scan code it calls for: one rule per class of document, and the few rows whose truth is known
// to be wrong, each with the reason.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tessaly::corpus {

struct TruthRow {
    std::string name;
    std::map<std::string, std::string> fields;  // both manifests' columns by name
    [[nodiscard]] const std::string& operator[](const std::string& column) const;
};

// The rows of a corpus folder (its manifest.csv joined with manifest_details.csv); empty when the
// folder has none.
std::vector<TruthRow> ReadTruth(const std::filesystem::path& folder);

struct Expectation {
    std::set<int> codes;  // any of these is right
    std::string rule;     // which rule gave them
};
Expectation Expected(const TruthRow& row);

// Splits one CSV line (RFC 4180 quoting; no line breaks inside fields).
std::vector<std::string> SplitCsvLine(const std::string& line);

}  // namespace tessaly::corpus
