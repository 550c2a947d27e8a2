// The engine's file side on real files under Wine: a clean writes its copy as the cleaner goes,
// verifies it and replaces the document, and a refused clean leaves the document and no copy.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "Analyzer.h"
#include "DocumentFile.h"
#include "Documents.h"
#include "Excel5Documents.h"
#include "LargeDocuments.h"
#include "SampleSources.h"

using namespace tessaly;

namespace {

class DocumentFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        m_folder = std::wstring(temp) + L"docfile-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
        ::CreateDirectoryW(m_folder.c_str(), nullptr);
    }
    void TearDown() override {
        WIN32_FIND_DATAW data{};
        const HANDLE find = ::FindFirstFileW((m_folder + L"*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do ::DeleteFileW((m_folder + data.cFileName).c_str());
            while (::FindNextFileW(find, &data));
            ::FindClose(find);
        }
        ::RemoveDirectoryW(m_folder.c_str());
    }
    std::wstring Write(const wchar_t* name, const fixtures::ByteVec& bytes) {
        const std::wstring path = m_folder + name;
        std::ofstream out(std::filesystem::path(path), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    static fixtures::ByteVec Read(const std::wstring& path) {
        std::ifstream in(std::filesystem::path(path), std::ios::binary);
        return fixtures::ByteVec((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    bool TemporaryCopyLeft() const {
        WIN32_FIND_DATAW data{};
        const HANDLE find = ::FindFirstFileW((m_folder + L"*.zdvtmp").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return false;
        ::FindClose(find);
        return true;
    }

    std::wstring m_folder;
    const analysis::Analyzer m_analyzer;
};

const fixtures::VbaModule kReplicator{"Spreader", fixtures::sources::kReplicator};

TEST_F(DocumentFileOnDisk, CleanReplacesTheDocumentWithAVerifiedCopy) {
    for (const auto& [name, bytes] : {std::pair{L"virus.doc", fixtures::MakeDoc({.modules = {kReplicator}})},
                                      std::pair{L"virus.xlsm", fixtures::MakePackage({.kind = fixtures::PackageKind::kExcel,
                                                                                      .modules = {kReplicator},
                                                                                      .macroEnabledType = true})}}) {
        const std::wstring path = Write(name, bytes);
        const engine::FileResult result = engine::CleanDocument(m_analyzer, path);
        EXPECT_EQ(result.code, analysis::kCleanRepaired) << name;
        EXPECT_EQ(result.text, L"W97M.Replicator.NormalTemplate");
        EXPECT_NE(Read(path), bytes);
        EXPECT_EQ(engine::ScanDocument(m_analyzer, path).code, analysis::kScanClean);
        EXPECT_FALSE(TemporaryCopyLeft());
    }
}

TEST_F(DocumentFileOnDisk, AWorkbookStreamOfManyMegabytesIsCleanedInPieces) {
    analysis::MemorySink sink;
    fixtures::WriteLargeXls(sink, 24u << 20);
    const std::wstring path = Write(L"large.xls", sink.Take());
    EXPECT_EQ(engine::ScanDocument(m_analyzer, path).code, analysis::kScanInfected);
    EXPECT_EQ(engine::CleanDocument(m_analyzer, path).code, analysis::kCleanRepaired);
    EXPECT_EQ(engine::ScanDocument(m_analyzer, path).code, analysis::kScanClean);
    EXPECT_FALSE(TemporaryCopyLeft());
}

TEST_F(DocumentFileOnDisk, AWorkbookLosesItsMacroSheetsInPlace) {
    const std::wstring path = Write(L"xlm.xls", fixtures::MakeXls({.macroSheet = true, .autoOpenName = true}));
    EXPECT_EQ(engine::ScanDocument(m_analyzer, path).code, analysis::kScanInfected);
    EXPECT_EQ(engine::CleanDocument(m_analyzer, path).code, analysis::kCleanRepaired);
    EXPECT_EQ(engine::ScanDocument(m_analyzer, path).code, analysis::kScanClean);
    EXPECT_FALSE(TemporaryCopyLeft());
}

TEST_F(DocumentFileOnDisk, ARefusedCleanLeavesTheDocumentAndNoCopy) {
    // Excel 4.0 macro sheets of an Excel 5.0/95 workbook are refused; the file stays as it was.
    const fixtures::ByteVec xls = fixtures::MakeXls5({.macroSheet = true, .autoOpenName = true});
    const std::wstring path = Write(L"xlm.xls", xls);
    EXPECT_EQ(engine::CleanDocument(m_analyzer, path).code, analysis::kCleanFailed);
    EXPECT_EQ(Read(path), xls);
    EXPECT_FALSE(TemporaryCopyLeft());
    EXPECT_EQ(engine::ScanDocument(m_analyzer, m_folder).text, L"不是文件");
}

}  // namespace
