// The main window's start-up rules: the "/sf " command line, the missing programs, the question
// about running office programs, and the release notes file.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ClsPipeShareMem.h"
#include "MainStartup.h"
#include "MainTestSupport.h"

using namespace tessaly;
using namespace tessaly::main_startup;

namespace {

std::wstring FreshFolder(const maintest::PrivateDataFolders& data, const std::wstring& name) {
    const std::wstring folder = data.Root() + L"\\" + name + L"\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary);
    out << bytes;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TEST(ScanCommandLine, SwitchInAnyCaseWithOneBlankAndTheWholeLineAtMost512) {
    EXPECT_EQ(ScanPathFromArguments(L"/sf C:\\Docs\\A.DOC").value_or(L"<none>"), L"c:\\docs\\a.doc");
    EXPECT_EQ(ScanPathFromArguments(L"/SF D:\\X").value_or(L"<none>"), L"d:\\x");
    EXPECT_EQ(ScanPathFromArguments(L"/sF \"C:\\My Docs\"").value_or(L"<none>"), L"\"c:\\my docs\"");
    EXPECT_EQ(ScanPathFromArguments(L"/sf  two blanks ").value_or(L"<none>"), L" two blanks ");
    EXPECT_EQ(ScanPathFromArguments(L"/sf ").value_or(L"<none>"), L"");
    EXPECT_FALSE(ScanPathFromArguments(L"/sfC:\\x"));
    EXPECT_FALSE(ScanPathFromArguments(L"/sf"));
    EXPECT_FALSE(ScanPathFromArguments(L" /sf C:\\x"));
    EXPECT_FALSE(ScanPathFromArguments(L""));
    EXPECT_FALSE(ScanPathFromArguments(L"/manual"));

    const std::wstring at512 = L"/sf " + std::wstring(508, L'a');
    EXPECT_EQ(ScanPathFromArguments(at512).value_or(L"<none>").size(), 508u);
    EXPECT_FALSE(ScanPathFromArguments(at512 + L"a"));
    // Letters outside ASCII pass through the lower-casing unharmed.
    EXPECT_EQ(ScanPathFromArguments(L"/sf C:\\文档\\ÄB.doc").value_or(L"<none>"), L"c:\\文档\\äb.doc");
}

TEST(MissingEngineFiles, NamesTheMissingOnesInOrderEachWithCrLf) {
    maintest::PrivateDataFolders data;
    const std::wstring folder = FreshFolder(data, L"install");
    EXPECT_EQ(GetMissingEngineFiles(folder), L"zdvcore.exe\r\ndrossel.exe\r\nkestrine.exe\r\nzdvshengji.exe\r\n");
    WriteBytes(folder + L"drossel.exe", "x");
    WriteBytes(folder + L"zdvshengji.exe", "x");
    WriteBytes(folder + L"zdvguard.exe", "x");
    EXPECT_EQ(GetMissingEngineFiles(folder), L"zdvcore.exe\r\nkestrine.exe\r\n");
    WriteBytes(folder + L"zdvcore.exe", "x");
    WriteBytes(folder + L"kestrine.exe", "x");
    EXPECT_EQ(GetMissingEngineFiles(folder), L"");
    // A hidden file is as good as missing; a folder of that name is no program.
    ::SetFileAttributesW((folder + L"kestrine.exe").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::DeleteFileW((folder + L"zdvcore.exe").c_str());
    ::CreateDirectoryW((folder + L"zdvcore.exe").c_str(), nullptr);
    EXPECT_EQ(GetMissingEngineFiles(folder), L"zdvcore.exe\r\nkestrine.exe\r\n");
}

TEST(OfficeProcesses, OneQuestionEndsAllFourOrCancelStopsTheCheck) {
    std::vector<std::wstring> running, asked, ended;
    bool answer = true;
    OfficeProcessOps ops;
    ops.isRunning = [&](const std::wstring& name) {
        asked.push_back(name);
        return std::find(running.begin(), running.end(), name) != running.end();
    };
    ops.terminate = [&](const std::wstring& name) {
        ended.push_back(name);
        running.erase(std::remove(running.begin(), running.end(), name), running.end());
    };
    int questions = 0;
    ops.askToEnd = [&] {
        ++questions;
        return answer;
    };

    CheckOfficeProcesses(ops);
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(asked.size(), 4u);

    running = {L"winword.exe", L"et.exe"};
    asked.clear();
    CheckOfficeProcesses(ops);
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(ended, (std::vector<std::wstring>{L"excel.exe", L"winword.exe", L"wps.exe", L"et.exe"}));

    running = {L"excel.exe", L"et.exe"};
    ended.clear();
    asked.clear();
    answer = false;
    CheckOfficeProcesses(ops);
    EXPECT_EQ(questions, 2);
    EXPECT_TRUE(ended.empty());
    EXPECT_EQ(asked, std::vector<std::wstring>{L"excel.exe"});  // Cancel: the rest is not looked at

    ops.isRunning = [](const std::wstring&) -> bool { throw std::runtime_error("query failed"); };
    EXPECT_NO_THROW(CheckOfficeProcesses(ops));
}

TEST(LastUpdateNotes, ShownOnceTrimmedAndTheFileAlwaysDeleted) {
    maintest::PrivateDataFolders data;
    const std::wstring folder = FreshFolder(data, L"notes");
    const std::wstring file = folder + L"lastupdate.log";
    EXPECT_FALSE(TakeLastUpdateNotes(folder));

    WriteBytes(file, "  \xE6\x9B\xB4\xE6\x96\xB0 1\r\n2  \r\n");  // "更新 1", "2" in UTF-8
    EXPECT_EQ(TakeLastUpdateNotes(folder).value_or(L"<none>"), L"更新 1\r\n2");
    EXPECT_FALSE(Exists(file));
    EXPECT_FALSE(TakeLastUpdateNotes(folder));

    WriteBytes(file, "");
    EXPECT_FALSE(TakeLastUpdateNotes(folder));
    EXPECT_FALSE(Exists(file));
    WriteBytes(file, " \r\n\t\r\n ");
    EXPECT_FALSE(TakeLastUpdateNotes(folder));
    EXPECT_FALSE(Exists(file));
}

TEST(MainTexts, FailureAndContactTextsCarryTheSupportContact) {
    EXPECT_EQ(EngineFailureText().rfind(kEngineLoadFailedText, 0), 0u);
    EXPECT_GT(EngineFailureText().size(), std::wstring(kEngineLoadFailedText).size());
    EXPECT_EQ(ContactText().rfind(L"疑问/建议联系我们QQ:", 0), 0u);
}
