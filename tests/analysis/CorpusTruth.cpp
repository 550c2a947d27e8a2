// The rules follow the corpus's own definitions: a VBA project counts as macros when its modules
// have code lines; an empty one is no alarm; encrypted documents stay encrypted unless their
// password is one Office uses by itself, when what is inside may be read instead.
#include "CorpusTruth.h"

#include <fstream>

namespace tessaly::corpus {
namespace {

// Rows whose ground truth is wrong, checked by hand against the file.
const std::map<std::string, Expectation>& Corrections() {
    static const std::map<std::string, Expectation> kCorrections = {
        {"asp-002.ppt",
         {{51},
          "encrypted although the truth says no: the current edit names a CryptSession10Container and every "
          "persist object is cipher text; only the summary streams are left readable"}},
        {"sjs-016.xls",
         {{0},
          "not damaged although the truth says so: the header claims 109 FAT sectors in a file of eight, "
          "an overshooting count read as Office reads it; the one FAT sector the file needs is there and "
          "every stream reads whole"}},
        {"phs-005.xls",
         {{0},
          "RC4 with the default password although the truth has none: \"VelvetSweatshop\" passes the "
          "verifier (the truth's decryptor stopped at the stream's trailing bytes); no macros inside"}},
    };
    return kCorrections;
}

// Passwords Office applies by itself, so that decryption in memory is expected of a scanner.
bool IsDefaultPassword(const std::string& password) { return password == "VelvetSweatshop"; }

std::vector<std::vector<std::string>> ReadCsv(const std::filesystem::path& file) {
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) rows.push_back(SplitCsvLine(line));
    }
    return rows;
}

int CodeLines(const TruthRow& row) {
    const std::string& lines = row["vba_code_lines"];
    return lines.empty() ? 0 : std::stoi(lines);
}

}  // namespace

const std::string& TruthRow::operator[](const std::string& column) const {
    static const std::string kNone;
    const auto it = fields.find(column);
    return it == fields.end() ? kNone : it->second;
}

std::vector<std::string> SplitCsvLine(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') fields.back().push_back(line[++i]);
            else if (c == '"') quoted = false;
            else fields.back().push_back(c);
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back().push_back(c);
        }
    }
    return fields;
}

std::vector<TruthRow> ReadTruth(const std::filesystem::path& folder) {
    std::map<std::string, TruthRow> byName;
    for (const char* file : {"manifest.csv", "manifest_details.csv"}) {
        const auto rows = ReadCsv(folder / file);
        if (rows.empty()) continue;
        for (std::size_t r = 1; r < rows.size(); ++r) {
            TruthRow& row = byName[rows[r][0]];
            row.name = rows[r][0];
            for (std::size_t c = 0; c < rows[0].size() && c < rows[r].size(); ++c) row.fields[rows[0][c]] = rows[r][c];
        }
    }
    std::vector<TruthRow> out;
    for (auto& [name, row] : byName) out.push_back(std::move(row));
    return out;
}

Expectation Expected(const TruthRow& row) {
    if (auto it = Corrections().find(row.name); it != Corrections().end()) return it->second;
    const bool macros = (row["vba"] == "yes" && CodeLines(row) > 0) || row["xlm"] == "yes";
    if (row["damaged"] == "yes") return {{52}, "damaged"};
    if (row["encrypted"] == "yes") {
        if (!IsDefaultPassword(row["password"])) return {{51}, "encrypted"};
        const bool inside = macros || row["inner_vba"] == "yes" || row["inner_xlm"] == "yes";
        // Decrypted in memory, the document is judged as what it contains.
        return {{inside ? 50 : 0}, "encrypted with the default password"};
    }
    if (macros) return {{50}, row["xlm"] == "yes" ? "Excel 4.0 macros" : "VBA code"};
    if (row["vba"] == "yes") return {{0}, "empty VBA project"};
    return {{0}, "no macros"};
}

}  // namespace tessaly::corpus
