// Shared pieces of the quarantine tests: a private per-machine data folder for each test, and
// byte-level helpers for documents and the index on disk.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace tessaly::test {

std::string ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool Exists(const std::wstring& path);
// Deterministic content of the given length that differs per seed.
std::string MakeContent(std::size_t length, unsigned seed);
std::string Scrambled(std::string bytes);
std::wstring Utf8(const char* text);

// Points "ProgramData" at a fresh folder of its own, so the store lives there, and gives a
// documents folder beside it. Everything is removed afterwards.
class QuarantineFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::wstring DataFolder() const { return m_dataFolder; }
    std::wstring IndexPath() const { return m_dataFolder + L"Quarantine.dat"; }
    std::wstring StoreFolder() const { return m_dataFolder + L"Quarantines"; }
    std::wstring StoredCopy(const std::wstring& digest) const { return StoreFolder() + L"\\" + digest; }
    std::wstring DocsFolder() const { return m_root + L"\\docs"; }
    std::wstring Doc(const std::wstring& name) const { return DocsFolder() + L"\\" + name; }
    std::wstring MakeDoc(const std::wstring& name, const std::string& bytes) const;
    // Number of files in "Quarantines".
    int StoredCopyCount() const;

    std::wstring m_root;
    std::wstring m_dataFolder;
};

}  // namespace tessaly::test
