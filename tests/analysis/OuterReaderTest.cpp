// Outside readers agree with ours: olefile lists the same streams with the same bytes, and ClamAV
// sees the VBA projects we write and none in what the cleaner returns. Skipped where not installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <zlib.h>

#include "Analyzer.h"
#include "Cfb.h"
#include "CfbWriter.h"
#include "Samples.h"
#include "TestFiles.h"

using namespace tessaly;
using namespace tessaly::fixtures;

namespace {

const char* kPython = "/usr/bin/python3";

// "path<TAB>size<TAB>crc" for every stream, sorted, as olefile sees it.
std::string OlefileListing(const testfiles::TempFolder& folder, const std::filesystem::path& file) {
    const std::string script =
        "import sys, olefile, zlib\n"
        "o = olefile.OleFileIO(sys.argv[1])\n"
        "rows = []\n"
        "for e in o.listdir(streams=True, storages=False):\n"
        "    d = o.openstream(e).read()\n"
        "    rows.append('%s\\t%d\\t%08x' % ('/'.join(e), len(d), zlib.crc32(d) & 0xffffffff))\n"
        "print('\\n'.join(sorted(rows)))\n";
    const auto scriptFile = folder.Write("list.py", ByteVec(script.begin(), script.end()));
    std::string out;
    testfiles::RunCommand(std::string(kPython) + " '" + scriptFile.string() + "' '" + file.string() + "' 2>&1", &out);
    return out;
}

std::string OurListing(const ByteVec& bytes) {
    auto file = analysis::cfb::CompoundFile::Open(bytes);
    if (!file) return "<unreadable>";
    std::vector<std::string> rows;
    std::function<void(std::uint32_t, const std::string&)> walk = [&](std::uint32_t s, const std::string& path) {
        for (std::uint32_t c : file->entries()[s].children) {
            const auto& e = file->entries()[c];
            const std::string p = path.empty() ? e.name : path + "/" + e.name;
            if (e.type == analysis::cfb::EntryType::kStorage) {
                walk(c, p);
                continue;
            }
            auto data = file->ReadStream(c);
            char line[512];
            std::snprintf(line, sizeof line, "%s\t%zu\t%08lx", p.c_str(), data->size(),
                          static_cast<unsigned long>(crc32(0L, data->data(), static_cast<unsigned>(data->size()))));
            rows.push_back(line);
        }
    };
    walk(0, "");
    std::sort(rows.begin(), rows.end());
    std::string out;
    for (const auto& r : rows) out += r + "\n";
    return out;
}

bool HaveOlefile() { return testfiles::HaveCommand(std::string(kPython) + " -c 'import olefile'"); }

TEST(OuterReaders, OlefileReadsOurCompoundFilesAndCleanedOnesAlike) {
    if (!HaveOlefile()) GTEST_SKIP() << "python3-olefile not installed";
    testfiles::TempFolder folder;
    analysis::Analyzer analyzer;
    for (const Sample& s : StandardSamples()) {
        if (s.expectedScanCode == analysis::kScanDamaged || !analysis::cfb::IsCompoundFile(s.bytes)) continue;
        EXPECT_EQ(OlefileListing(folder, folder.Write(s.fileName, s.bytes)), OurListing(s.bytes)) << s.fileName;
        const auto cleaned = analyzer.Clean(s.bytes);
        if (cleaned.code == analysis::kCleanRepaired) {
            EXPECT_EQ(OlefileListing(folder, folder.Write("cleaned-" + s.fileName, cleaned.bytes)), OurListing(cleaned.bytes))
                << s.fileName;
        }
    }
}

TEST(OuterReaders, OlefileReadsVersion4AndDifatFiles) {
    if (!HaveOlefile()) GTEST_SKIP() << "python3-olefile not installed";
    testfiles::TempFolder folder;
    analysis::cfb::Node root;
    root.AddStream("small", ByteVec(300, 5));
    root.AddStorage("sub").AddStream("large", ByteVec(70000, 6));
    const ByteVec v4 = analysis::cfb::WriteCompoundFile(root, 4);
    EXPECT_EQ(OlefileListing(folder, folder.Write("v4.bin", v4)), OurListing(v4));
    analysis::cfb::Node big;
    big.AddStream("big", ByteVec(115 * 128 * 512, 7));
    const ByteVec difat = analysis::cfb::WriteCompoundFile(big);
    EXPECT_EQ(OlefileListing(folder, folder.Write("difat.bin", difat)), OurListing(difat));
}

TEST(OuterReaders, ClamavSeesOurMacrosAndNoneAfterCleaning) {
    if (!testfiles::HaveCommand("clamscan --version")) GTEST_SKIP() << "ClamAV not installed";
    testfiles::TempFolder folder;
    // The smallest database clamscan accepts: one body signature that matches nothing here.
    const std::string sig = "Tessaly.Never:0:*:74657373616c792d6e657665722d6d61746368\n";
    folder.Write("tiny.ndb", ByteVec(sig.begin(), sig.end()));
    analysis::Analyzer analyzer;
    std::vector<std::pair<std::string, bool>> expected;  // file, macros expected
    for (const Sample& s : StandardSamples()) {
        const bool vba = s.fileName.rfind("harmless", 0) == 0 || s.fileName.rfind("virus", 0) == 0;
        if (!vba) continue;
        folder.Write(s.fileName, s.bytes);
        expected.push_back({s.fileName, true});
        const auto cleaned = analyzer.Clean(s.bytes);
        ASSERT_EQ(cleaned.code, analysis::kCleanRepaired) << s.fileName;
        folder.Write("cleaned-" + s.fileName, cleaned.bytes);
        expected.push_back({"cleaned-" + s.fileName, false});
    }
    std::string out;
    testfiles::RunCommand("cd '" + folder.path().string() +
                            "' && clamscan --no-summary -d tiny.ndb --scan-ole2=yes --alert-macros=yes . 2>&1",
                        &out);
    for (const auto& [name, macros] : expected) {
        const std::string found = "./" + name + ": Heuristics.OLE2.ContainsMacros";
        EXPECT_EQ(out.find(found) != std::string::npos, macros) << name << "\n" << out;
    }
}

}  // namespace
