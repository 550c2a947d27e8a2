// Real documents: the checked-in selection (tests/corpus) always, the whole development corpus when
// it is on this machine (TESSALY_CORPUS, or the shared folder beside the checkout). Every file gets
// the scan code its ground truth calls for, a clean never breaks a document, and none of these
// documents, none of them malware, is ever called infected.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "Analyzer.h"
#include "Cfb.h"
#include "CorpusTruth.h"
#include "Ppt.h"
#include "PptDocuments.h"
#include "SampleSources.h"
#include "TestFiles.h"
#include "Zip.h"

using namespace tessaly;
using namespace tessaly::fixtures;

namespace {

namespace fs = std::filesystem;

ByteVec ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return ByteVec((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The checked-in files sit beside their manifests; the development corpus keeps them in "files".
fs::path CheckedInCorpus() { return fs::path(TESSALY_CORPUS_DIR); }

std::optional<fs::path> SharedCorpus() {
    if (const char* env = std::getenv("TESSALY_CORPUS")) return fs::exists(env) ? std::optional<fs::path>(env) : std::nullopt;
    std::stringstream candidates(TESSALY_SHARED_CORPUS_CANDIDATES);
    std::string candidate;
    while (std::getline(candidates, candidate, '|'))
        if (fs::exists(fs::path(candidate) / "manifest.csv")) return fs::path(candidate);
    return std::nullopt;
}

// A clean either hands back a document that reads back without macros, or leaves the file alone.
std::string CleanContractBroken(const analysis::Analyzer& analyzer, const ByteVec& document) {
    const auto outcome = analyzer.Clean(document);
    if (outcome.code != analysis::kCleanRepaired) return outcome.bytes.empty() ? "" : "refused but returned bytes";
    const auto after = analyzer.Scan(outcome.bytes);
    if (after.code != analysis::kScanClean) return "cleaned document scans " + std::to_string(after.code) + " " + after.text;
    const bool opens = analysis::cfb::CompoundFile::Open(outcome.bytes) || analysis::zip::Archive::Open(outcome.bytes);
    return opens ? "" : "cleaned document does not open";
}

// Every row of a corpus folder; the disagreements, one line each.
std::vector<std::string> CheckCorpus(const fs::path& folder, const fs::path& files, std::size_t& checked) {
    analysis::Analyzer analyzer;
    std::vector<std::string> disagreements;
    for (const corpus::TruthRow& row : corpus::ReadTruth(folder)) {
        const ByteVec bytes = ReadFile(files / row.name);
        if (bytes.empty()) {
            disagreements.push_back(row.name + ": file missing");
            continue;
        }
        ++checked;
        const corpus::Expectation expected = corpus::Expected(row);
        const analysis::Verdict v = analyzer.Scan(bytes);
        if (!expected.codes.count(v.code)) {
            std::string codes;
            for (int c : expected.codes) codes += (codes.empty() ? "" : " or ") + std::to_string(c);
            disagreements.push_back(row.name + ": scanned " + std::to_string(v.code) + " (" + v.text + "), truth says " +
                                    codes + " (" + expected.rule + ")");
        }
        if (v.code == analysis::kScanSuspected || v.code == analysis::kScanClean)
            if (std::string broken = CleanContractBroken(analyzer, bytes); !broken.empty())
                disagreements.push_back(row.name + ": clean " + broken);
    }
    return disagreements;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) out += "  " + l + "\n";
    return out;
}

TEST(RealDocuments, TruthRulesAndCsv) {
    EXPECT_EQ(corpus::SplitCsvLine("a,\"b, c\",\"say \"\"x\"\"\",,d"),
              (std::vector<std::string>{"a", "b, c", "say \"x\"", "", "d"}));
    corpus::TruthRow row{"x.doc", {{"vba", "yes"}, {"vba_code_lines", "0"}}};
    EXPECT_EQ(corpus::Expected(row).codes, std::set<int>{0});
    row.fields["vba_code_lines"] = "3";
    EXPECT_EQ(corpus::Expected(row).codes, std::set<int>{50});
    row.fields["encrypted"] = "yes";
    EXPECT_EQ(corpus::Expected(row).codes, std::set<int>{51});
    row.fields["password"] = "VelvetSweatshop";
    EXPECT_EQ(corpus::Expected(row).codes, std::set<int>{50});  // read through the default password
    row.fields["damaged"] = "yes";
    EXPECT_EQ(corpus::Expected(row).codes, std::set<int>{52});
}

TEST(RealDocuments, CheckedInSelectionAgreesWithItsTruth) {
    std::size_t checked = 0;
    const auto disagreements = CheckCorpus(CheckedInCorpus(), CheckedInCorpus(), checked);
    EXPECT_GE(checked, 30u);
    EXPECT_TRUE(disagreements.empty()) << Lines(disagreements);
}

TEST(RealDocuments, WholeSharedCorpusAgreesWithItsTruth) {
    const auto folder = SharedCorpus();
    if (!folder) GTEST_SKIP() << "the development corpus is not on this machine";
    std::size_t checked = 0;
    const auto disagreements = CheckCorpus(*folder, *folder / "files", checked);
    std::cout << "checked " << checked << " documents of " << folder->string() << ", " << disagreements.size()
              << " disagreements\n" << Lines(disagreements);
    EXPECT_TRUE(disagreements.empty());
}

// Real presentations given a VBA project the way PowerPoint's fast save adds one; the clean gives
// back every object as it was, and the document container names no project.
TEST(RealDocuments, PresentationsGetTheirProjectRemovedAndStayTheSame) {
    analysis::Analyzer analyzer;
    std::size_t done = 0;
    for (const char* name : {"olt-008.ppt", "tika-011.ppt", "olt-007.pps", "olt-006.pot"}) {
        const ByteVec original = ReadFile(CheckedInCorpus() / name);
        ASSERT_FALSE(original.empty()) << name;
        const ByteVec withMacros = WithVbaProject(original, {{"Spreader", sources::kReplicator}});
        EXPECT_EQ(analyzer.Scan(withMacros).code, analysis::kScanInfected) << name;
        const auto outcome = analyzer.Clean(withMacros);
        ASSERT_EQ(outcome.code, analysis::kCleanRepaired) << name << ": " << outcome.text;
        EXPECT_EQ(analyzer.Scan(outcome.bytes).code, analysis::kScanClean) << name;
        auto before = LiveObjects(original);
        auto after = LiveObjects(outcome.bytes);
        ASSERT_EQ(before.size(), after.size()) << name;
        for (auto& [id, bytes] : before) {
            const ByteVec& now = after[id];
            if (analysis::ppt::ReadHeader(bytes, 0)->type == analysis::ppt::kDocument) {
                for (const auto& info : analysis::ppt::FindVbaInfo(now, 0)) EXPECT_EQ(info.persistIdRef, 0u) << name;
                continue;
            }
            EXPECT_EQ(now, bytes) << name << " object " << id;
        }
        ++done;
    }
    EXPECT_EQ(done, 4u);
}

// With LibreOffice Impress on the machine: the cleaned presentation opens and shows the same
// content as the original.
TEST(RealDocuments, CleanedPresentationOpensInAnOfficeSuite) {
    if (!testfiles::HaveCommand("soffice --version")) GTEST_SKIP() << "no LibreOffice";
    testfiles::TempFolder folder;
    analysis::Analyzer analyzer;
    const ByteVec presentation = ReadFile(CheckedInCorpus() / "tika-011.ppt");
    const auto outcome = analyzer.Clean(WithVbaProject(presentation, {{"Spreader", sources::kReplicator}}));
    ASSERT_EQ(outcome.code, analysis::kCleanRepaired);
    folder.Write("original.ppt", presentation);
    folder.Write("cleaned.ppt", outcome.bytes);
    const std::string dir = folder.path().string();
    const std::string command = "cd '" + dir + "' && HOME='" + dir + "' timeout 120 soffice --headless --norestore "
                                "--convert-to odp original.ppt cleaned.ppt >/dev/null 2>&1";
    testfiles::RunCommand(command, nullptr);
    if (!fs::exists(folder.path() / "original.odp")) GTEST_SKIP() << "LibreOffice cannot open presentations here";
    ASSERT_TRUE(fs::exists(folder.path() / "cleaned.odp"));
    auto content = [&](const char* name) {
        const ByteVec odp = ReadFile(folder.path() / name);
        auto archive = analysis::zip::Archive::Open(odp);
        auto xml = archive ? archive->Read("content.xml") : std::nullopt;
        return xml.value_or(ByteVec{});
    };
    const ByteVec original = content("original.odp");
    EXPECT_FALSE(original.empty());
    EXPECT_EQ(content("cleaned.odp"), original);
}

}  // namespace
