// The real engine with a signature file it cannot use: it keeps the built-in signatures, so a
// known virus is still named, and its error log says why.
#include <gtest/gtest.h>

#include <string>

#include "ClsPipeShareMem.h"
#include "Documents.h"
#include "EngineLinkSupport.h"
#include "SampleSources.h"
#include "modCommon.h"

using namespace enginelink;

namespace {

class EngineSignatures : public RealEngineFixture {};

TEST_F(EngineSignatures, AnUnusableFileLeavesTheBuiltInSetAndTheErrorLogSaysSo) {
    const std::wstring folder = TestRoot() + L"unusable_signatures\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW((StageFolder() + L"zdvcore.exe").c_str(), (folder + L"zdvcore.exe").c_str(), FALSE));
    WriteFileBytes(folder + L"tessaly.sig", "[Broken\nall\n= no section here holds a pattern\n");
    const std::wstring log = tessaly::GetCommonDataFolder() + L"zdvcore.exe.err";
    ::DeleteFileW(log.c_str());

    tessaly::ClsPipeShareMem link(folder);
    Connect(link);
    const auto doc = tessaly::fixtures::MakeDoc({.modules = {{"Spreader", tessaly::fixtures::sources::kReplicator}}});
    const std::wstring virus = File(L"virus.doc", std::string(doc.begin(), doc.end()));
    const std::wstring reply = Scan(link, virus);
    EXPECT_TRUE(reply.starts_with(L"R_SCAN::2::W97M.Replicator.NormalTemplate::")) << reply;
    EXPECT_NE(ReadFileBytes(log).find("holds no usable signature; the built-in signatures are used"), std::string::npos);
}

}  // namespace
