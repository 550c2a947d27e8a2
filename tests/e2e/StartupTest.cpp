// Starting drossel.exe: what a first start leaves in the settings file and the registry, that a
// later start leaves an unchanged registration alone, that a plain second start ends at once, and
// what the user sees when the engine is missing from the program folder.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include "DrosselRun.h"
#include "E2eTest.h"
#include "IniOperation.h"
#include "Polling.h"
#include "RemoteWindows.h"
#include "TextCompare.h"
#include "TextConvert.h"
#include "TextFiles.h"
#include "UserTexts.h"
#include "frmMain.h"

namespace e2e {
namespace {

std::wstring VerbCommand(const StagedProgramFolder& folder) { return L"\"" + folder.Drossel() + L"\" /sf %1"; }

std::wstring CommandKey(const wchar_t* verbKey) { return std::wstring(verbKey) + L"\\command"; }

// Last-write times of the ten verb keys and their command keys.
std::vector<std::optional<ULONGLONG>> VerbKeyTimes() {
    std::vector<std::optional<ULONGLONG>> times;
    for (const wchar_t* key : texts::kVerbKeys) {
        times.push_back(testsupport::ClassesRootLastWrite(key));
        times.push_back(testsupport::ClassesRootLastWrite(CommandKey(key)));
    }
    return times;
}

void ExpectVerbsFor(const StagedProgramFolder& folder) {
    for (const wchar_t* key : texts::kVerbKeys) {
        SCOPED_TRACE(key);
        EXPECT_EQ(testsupport::ClassesRootDefault(key).value_or(L"<missing>"), texts::kVerbCaption);
        const std::wstring command = testsupport::ClassesRootDefault(CommandKey(key)).value_or(L"");
        EXPECT_TRUE(SameNoCase(command, VerbCommand(folder))) << "command: " << ::testing::PrintToString(command);
    }
}

void ExpectAllSwitchesOn(const std::wstring& configFile) {
    for (const wchar_t* key : texts::kSwitches)
        EXPECT_EQ(tessaly::ReadIniString(configFile, L"AppSetting", key, L"<missing>"), L"1") << "switch " << key;
}

// Starts drossel.exe without arguments and waits until its start-up is over.
void StartReady(DrosselRun& run) {
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(run.WaitUntilReady(kStartTimeoutMs)) << "no ready main window";
}

void CloseAndExpectExit(DrosselRun& run) {
    run.Close();
    ASSERT_TRUE(run.WaitForExit(kExitTimeoutMs).has_value()) << "drossel.exe did not end after WM_CLOSE";
}

}  // namespace

TEST_F(E2eTest, FirstStartWritesTheSwitchesTheVerbsAndAutorun) {
    testsupport::RemoveMainProgramRegistration();
    const StagedProgramFolder& folder = Stage(Engine::kFake, kRecordingEngine);
    ASSERT_TRUE(folder.Ready()) << ::testing::PrintToString(folder.Problem());
    for (const wchar_t* key : texts::kSwitches)
        ASSERT_EQ(tessaly::ReadIniString(ConfigFile(), L"AppSetting", key, L"<missing>"), L"<missing>");

    DrosselRun run(folder, L"");
    ASSERT_NO_FATAL_FAILURE(StartReady(run));
    ExpectAllSwitchesOn(ConfigFile());
    ExpectVerbsFor(folder);
    const std::wstring autorun = testsupport::AutoRunValue().value_or(L"<missing>");
    EXPECT_TRUE(SameNoCase(autorun, L"\"" + folder.File(L"kestrine.exe") + L"\"")) << ::testing::PrintToString(autorun);
    EXPECT_TRUE(FileExists(MarkerFile(texts::kMainMarker)));

    // The window as the user first sees it: four buttons, the home page shown, no box.
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(run.TopButtonCaption(i), texts::kTopButtonCaptions[i]);
        EXPECT_EQ(HasVisibleStyle(run.TopButton(i)), i != 2) << "button " << i;
        EXPECT_EQ(HasVisibleStyle(run.PageFrame(i)), i == 0) << "page " << i;
    }
    EXPECT_FALSE(HasVisibleStyle(run.MainControl(tessaly::frmMain::kIdLblLoadEngineError)));
    EXPECT_TRUE(run.Boxes().Seen().empty());

    ASSERT_NO_FATAL_FAILURE(CloseAndExpectExit(run));
    EXPECT_FALSE(FileExists(MarkerFile(texts::kMainMarker)));
    const std::vector<std::wstring> messages = EngineMessages(folder);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), L"INIT::PING::1000");
    EXPECT_EQ(messages.back(), L"CLIENT::EXIT");
}

// The registry skips a write of an equal value, so an unchanged registration that is rewritten
// looks untouched. The test therefore leaves the registration as the program's own test accepts
// it (the ".xls" command in other letter case) but incomplete (the ".doc" verb gone): a later
// start must leave both as they are, and a start from a moved folder must rewrite all ten verbs.
TEST_F(E2eTest, LaterStartLeavesARegistrationAloneThatAMovedFolderRewrites) {
    testsupport::RemoveMainProgramRegistration();
    const StagedProgramFolder& first = Stage(Engine::kFake, kRecordingEngine, L"prog");
    ASSERT_TRUE(first.Ready()) << ::testing::PrintToString(first.Problem());
    {
        DrosselRun run(first, L"");
        ASSERT_NO_FATAL_FAILURE(StartReady(run));
        ASSERT_NO_FATAL_FAILURE(CloseAndExpectExit(run));
    }
    first.EndPrograms();
    const std::wstring xlsCommand = CommandKey(texts::kVerbKeys[4]);
    const std::wstring upperCommand = tessaly::ToUpperText(VerbCommand(first));
    ASSERT_NE(upperCommand, VerbCommand(first));
    ::SHSetValueW(HKEY_CLASSES_ROOT, xlsCommand.c_str(), nullptr, REG_SZ, upperCommand.c_str(),
                  static_cast<DWORD>((upperCommand.size() + 1) * sizeof(wchar_t)));
    ::SHDeleteKeyW(HKEY_CLASSES_ROOT, texts::kVerbKeys[0]);
    const std::vector<std::optional<ULONGLONG>> registered = VerbKeyTimes();

    {
        DrosselRun again(first, L"");
        ASSERT_NO_FATAL_FAILURE(StartReady(again));
        EXPECT_EQ(testsupport::ClassesRootDefault(xlsCommand).value_or(L"<missing>"), upperCommand);
        EXPECT_FALSE(testsupport::ClassesRootKeyExists(texts::kVerbKeys[0])) << "the registration was written again";
        EXPECT_EQ(VerbKeyTimes(), registered);
        ExpectAllSwitchesOn(ConfigFile());
        ASSERT_NO_FATAL_FAILURE(CloseAndExpectExit(again));
    }
    first.EndPrograms();

    const StagedProgramFolder& moved = Stage(Engine::kFake, kRecordingEngine, L"moved");
    ASSERT_TRUE(moved.Ready()) << ::testing::PrintToString(moved.Problem());
    DrosselRun run(moved, L"");
    ASSERT_NO_FATAL_FAILURE(StartReady(run));
    ExpectVerbsFor(moved);
    EXPECT_EQ(testsupport::ClassesRootDefault(xlsCommand).value_or(L""), VerbCommand(moved));
    ASSERT_NO_FATAL_FAILURE(CloseAndExpectExit(run));
}

TEST_F(E2eTest, PlainSecondStartEndsAtOnce) {
    const StagedProgramFolder& folder = Stage(Engine::kFake, kRecordingEngine);
    ASSERT_TRUE(folder.Ready()) << ::testing::PrintToString(folder.Problem());

    DrosselRun first(folder, L"");
    ASSERT_NO_FATAL_FAILURE(StartReady(first));
    DrosselRun second(folder, L"");
    ASSERT_TRUE(second.Started());
    EXPECT_TRUE(second.WaitForExit(kExitTimeoutMs).has_value()) << "the second instance kept running";
    EXPECT_TRUE(second.Boxes().Seen().empty());

    // The first instance goes on as it was: home page, no scan.
    ASSERT_TRUE(first.Process().Running());
    EXPECT_TRUE(HasVisibleStyle(first.PageFrame(0)));
    EXPECT_FALSE(FileExists(CommonDataFile(texts::kScanLog)));
    EXPECT_TRUE(FileExists(MarkerFile(texts::kMainMarker)));
    ASSERT_NO_FATAL_FAILURE(CloseAndExpectExit(first));
}

TEST_F(E2eTest, MissingEngineIsReportedAndTheWindowStaysUsable) {
    const StagedProgramFolder& folder = Stage(Engine::kMissing);
    ASSERT_TRUE(folder.Ready()) << ::testing::PrintToString(folder.Problem());
    const std::wstring expected = std::wstring(texts::kMissingFilesPrefix) + L"\r\nzdvcore.exe\r\n";

    DrosselRun run(folder, L"");
    ASSERT_NO_FATAL_FAILURE(StartReady(run));
    ASSERT_TRUE(run.Boxes().WaitForBoxes(texts::kProgramTitle, 1, kExitTimeoutMs));
    const std::vector<SeenBox> boxes = run.Boxes().Seen();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, expected);
    HWND error = run.MainControl(tessaly::frmMain::kIdLblLoadEngineError);
    EXPECT_TRUE(HasVisibleStyle(error));
    EXPECT_EQ(ControlText(error), expected);
    EXPECT_EQ(ProcessesFromFolder(folder.Folder()).size(), 1u) << "something besides drossel.exe was started";

    // Still usable: the settings page comes up on its button.
    run.ClickTopButton(4);
    EXPECT_TRUE(WaitUntil([&] { return HasVisibleStyle(run.PageFrame(4)); }, kExitTimeoutMs));
    EXPECT_FALSE(HasVisibleStyle(run.PageFrame(0)));
    ASSERT_NO_FATAL_FAILURE(CloseAndExpectExit(run));
    EXPECT_EQ(run.Boxes().Seen().size(), 1u);
}

}  // namespace e2e

namespace e2e {

// The programs pass paths through the system code page, so a folder name outside printable ASCII
// stops the engine connection; a "/sf " path is still handed to the scan page.
TEST_F(E2eTest, ProgramFolderOutsideAsciiIsRefusedButTheWindowStaysUsable) {
    const StagedProgramFolder& folder = Stage(Engine::kFake, kRecordingEngine, L"程序目录");
    ASSERT_TRUE(folder.Ready()) << ::testing::PrintToString(folder.Problem());

    DrosselRun run(folder, L"");
    ASSERT_NO_FATAL_FAILURE(StartReady(run));
    ASSERT_TRUE(run.Boxes().WaitForBoxes(texts::kProgramTitle, 1, kExitTimeoutMs));
    const std::vector<SeenBox> boxes = run.Boxes().Seen();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, texts::kUnicodeFolderText);
    HWND error = run.MainControl(tessaly::frmMain::kIdLblLoadEngineError);
    EXPECT_TRUE(HasVisibleStyle(error));
    EXPECT_EQ(ControlText(error), texts::kUnicodeFolderText);
    EXPECT_TRUE(EngineMessages(folder).empty()) << "the engine was connected from a refused folder";
    ASSERT_NO_FATAL_FAILURE(CloseAndExpectExit(run));
}

}  // namespace e2e
