// Shared pieces of the scan-page tests: a private data folder per test, a view that records what a
// user would see, and an engine link that answers from a script.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ScanPageEngine.h"
#include "ScanPageWork.h"

namespace tessaly::test {

// A fresh folder with AppData and ProgramData pointed into it; removed again at the end.
class ScanPageFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::wstring Path(const std::wstring& relative) const { return m_root + relative; }
    // Creates the parent folders too.
    void WriteFile(const std::wstring& relative, const std::string& bytes) const;
    void MakeDir(const std::wstring& relative) const;
    std::string ReadBytes(const std::wstring& path) const;

    std::wstring m_root;  // with a trailing "\"

private:
    std::wstring m_oldAppData, m_oldProgramData;
};

// A file of the given size whose first bytes are head.
std::string FileBytes(const std::string& head, std::size_t size);
std::string Ole2Header();
std::string ZipHeader();

struct RecordedRow {
    std::wstring text, tag;
    long color = 0;
};

class RecordingView final : public ScanPageView {
public:
    long AddRow(const std::wstring& text, const std::wstring& tag, long color) override;
    void UpdateRow(long index, const std::wstring& mainText, const std::wstring& tag, long color) override;
    void ShowCounter(int index, std::int32_t value) override { counters[index] = value; }
    void WriteLogLine(const std::wstring& line) override { logLines.push_back(line); }
    void ShowScanPath(const std::wstring& text, const std::wstring&) override { shownPaths.push_back(text); }
    void ShowRate(const std::wstring& text) override { rates.push_back(text); }
    void UnloadParentForm() override { ++unloads; }

    std::vector<RecordedRow> rows;
    std::int32_t counters[kCounterCount]{};
    std::vector<std::wstring> logLines, shownPaths, rates;
    int unloads = 0;
};

// Answers each request with the messages the responder gives; they arrive one per poll.
class ScriptedLink final : public ScanEngineLink {
public:
    using Responder = std::function<std::vector<std::wstring>(const std::wstring& request)>;
    explicit ScriptedLink(Responder responder) : m_responder(std::move(responder)) {}
    bool IsPipeAlive() override { return alive; }
    bool SendMsgToUTF8HexStr(const std::wstring& text) override;
    std::wstring NextMessage() override;

    bool alive = true;
    bool acceptSends = true;
    std::vector<std::wstring> sent;

private:
    Responder m_responder;
    std::deque<std::wstring> m_queue;
};

// The engine's usual answers: R_SCAN::code::text::path as sent.
ScriptedLink::Responder ReplyByName(std::function<std::wstring(const std::wstring& enginePath)> answer);

// Fast polls without window events, for tests.
RequestEngineOptions QuickRequestOptions(std::int32_t polls = 20);

}  // namespace tessaly::test
