// The walk and the per-file work of the scan page. Window events run every few milliseconds of the
// walk and the cancel flag is looked at before every entry, so the cancel button and the main
// window's close act at once; the path and the counter on view follow at a pace the eye can read.
#include "ScanPageWork.h"

#include <windows.h>

#include <cmath>
#include <exception>

#include "ClsPathLib.h"
#include "DoEvents.h"
#include "EngineLinkMessages.h"
#include "FaultLog.h"
#include "IniOperation.h"
#include "ProgramFiles.h"
#include "ScanPageFeedback.h"
#include "ScanPageLog.h"
#include "ScanPageReplies.h"
#include "ScanPageWorkState.h"
#include "TextConvert.h"
#include "UniqueHandle.h"
#include "modCommon.h"

namespace tessaly {

namespace {

// The scan page logs under the main program's name, also inside the guard.
constexpr const wchar_t* kScanErrLogName = kMainProgramFile;

std::int32_t WholeSecondsSince(const std::optional<ScanPageWork::Clock::time_point>& start) {
    if (!start) return 0;
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(ScanPageWork::Clock::now() - *start);
    return static_cast<std::int32_t>(elapsed.count());
}

std::wstring WithTrailingSlash(const std::wstring& path) {
    return !path.empty() && path.back() == L'\\' ? path : path + L"\\";
}

void ReportFileFault(const std::wstring& path, const char* what) {
    const DWORD lastError = ::GetLastError();
    const std::wstring text = L"Source:usrScanCleanPage.ScanFile\r\nCode:" +
                              std::to_wstring(lastError > 0 ? lastError : 1) + L"\r\nDescription:" +
                              AnsiToWide(what ? what : "") + L"\r\npath:" + path;
    WriteErrLog(text, kScanErrLogName, false);
}

}  // namespace

std::int32_t CleanRate(std::size_t index, std::size_t last) {
    if (last == 0) return 100;
    return static_cast<std::int32_t>(std::nearbyint(static_cast<double>(index) / static_cast<double>(last) * 100.0));
}

ScanPageWork::ScanPageWork(ScanPageView& view) : m_view(view) {}

void ScanPageWork::SetWorkStepState(std::int32_t state) noexcept {
    m_workStepState = state;
    SetProgramWorkStepState(state);
}

bool ScanPageWork::IsEngineAlive() { return m_link != nullptr && m_link->IsPipeAlive(); }

void ScanPageWork::StartScanTimer() {
    m_scanStartTime = Clock::now();
    ScanUsedTime = 0;
}

void ScanPageWork::StopScanTimer() {
    ScanUsedTime = WholeSecondsSince(m_scanStartTime);
    m_scanStartTime.reset();
}

void ScanPageWork::StartCleanTimer() {
    m_cleanStartTime = Clock::now();
    CleanUsedTime = 0;
}

void ScanPageWork::StopCleanTimer() {
    CleanUsedTime = WholeSecondsSince(m_cleanStartTime);
    m_cleanStartTime.reset();
}

void ScanPageWork::ResetForScan() {
    BreakScanClean = false;
    Results.Reset();
    CleanUsedTime = 0;
    ReinitScanLog(LogPath);
}

void ScanPageWork::WriteSummaryToLog() {
    const ScanSummary summary{CurrentScanDateText(), Results.TotalCount, Results.VirusCount, Results.SuspectedCount,
                              AppVersion};
    for (const std::wstring& line : ScanSummaryLines(summary)) WriteScanLog(LogPath, line);
}

void ScanPageWork::Pump() {
    if (m_requestOptions.pumpEvents) {
        m_requestOptions.pumpEvents();
        return;
    }
    if (!DoEvents()) BreakScanClean = true;
}

void ScanPageWork::PumpAtPace() {
    if (m_requestOptions.pumpEvents || m_pace.EventsDue()) Pump();
}

bool ScanPageWork::ScanFolder(const std::wstring& path, bool check) {
    // Each walk from its root remembers the folders it entered, so a link back cannot loop it.
    if (m_walkDepth == 0) {
        m_walkedFolders.Clear();
        m_pace.Restart();
    }
    ++m_walkDepth;
    const bool ok = WalkFolder(path, check);
    --m_walkDepth;
    if (m_walkDepth == 0) ShowProgress();
    return ok;
}

bool ScanPageWork::WalkFolder(const std::wstring& path, bool check) {
    try {
        if (path.empty() || IsSkippedFolder(path)) return true;
        if (path.back() != L'\\') {
            const DWORD attributes = ::GetFileAttributesW(path.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES) return true;
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ScanOneFile(path, true, nullptr);
        }
        const std::wstring dir = WithTrailingSlash(path);
        if (!m_walkedFolders.FirstVisit(dir)) return true;
        WIN32_FIND_DATAW entry{};
        unique_find find(::FindFirstFileW((dir + L"*.*").c_str(), &entry));
        if (!find) return true;
        do {
            PumpAtPace();
            if (BreakScanClean) break;
            const std::wstring name = entry.cFileName;
            if (name.empty() || name.front() == L'.') continue;
            std::wstring child;
            GetShortPathIfLong(dir + name, child);
            if (child.empty()) continue;
            const ListedFile listed{entry.dwFileAttributes,
                                    static_cast<std::int64_t>((std::uint64_t{entry.nFileSizeHigh} << 32) |
                                                              entry.nFileSizeLow)};
            const bool ok = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? WalkFolder(child, check)
                                                                                     : ScanOneFile(child, check, &listed);
            if (!ok) return false;
        } while (::FindNextFileW(find.get(), &entry));
        return true;
    } catch (...) {
        LogCaughtFault(L"ScanPageWork::ScanFolder");
        return false;
    }
}

bool ScanPageWork::ScanFile(std::wstring path, bool check) {
    if (m_walkDepth == 0) m_pace.Restart();
    const bool ok = ScanOneFile(path, check, nullptr);
    if (m_walkDepth == 0) ShowProgress();
    return ok;
}

bool ScanPageWork::ScanOneFile(const std::wstring& path, bool check, const ListedFile* listed) {
    if (path.empty()) return true;
    try {
        // The listing already answers the directory lookup: no second look at the folder.
        if (listed != nullptr ? !IsListedNormalFile(*listed) : !DirLookup(path, kLookupNormal)) return true;
        ScanFileSteps(path, check, true, listed);
        return true;
    } catch (const std::exception& fault) {
        ReportFileFault(path, fault.what());
        return true;
    } catch (...) {
        ReportFileFault(path, "");
        return true;
    }
}

void ScanPageWork::NoteProgress(const std::wstring& path) {
    m_progressPath = path;
    if (m_pace.ProgressDue()) ShowProgress();
}

void ScanPageWork::ShowProgress() {
    if (m_progressPath.empty()) return;
    m_view.ShowScanPath(ScanPathDisplayText(m_progressPath), m_progressPath);
    m_view.ShowCounter(kCounterTotal, Results.TotalCount);
    m_progressPath.clear();
}

void ScanPageWork::ScanFileSteps(const std::wstring& path, bool check, bool countFile, const ListedFile* listed) {
    if (countFile) ++Results.TotalCount;
    NoteProgress(path);
    PumpAtPace();
    const ScanFileVerdict verdict = CheckScanCandidate(path, check, listed);
    if (verdict == ScanFileVerdict::NotFound) {
        // A name the file system refuses in full may still open by its 8.3 form; one retry only.
        std::wstring shortPath;
        if (countFile && GetShortPathIfLong(path, shortPath) && !shortPath.empty() && shortPath != path)
            ScanFileSteps(shortPath, check, false, nullptr);
        return;
    }
    if (verdict != ScanFileVerdict::Send) return;
    std::wstring reply;
    std::int32_t code = 0;
    std::wstring requestPath = path;
    const bool ok = RequestEngine(m_link, requestPath, reply, false, code, [this] { return Cancelled(); },
                                  OptionsForRequest());
    HandleScanOutcome(ok, reply, code);
}

void ScanPageWork::HandleScanOutcome(bool /*ok*/, const std::wstring& reply, std::int32_t code) {
    if (BreakScanClean) return;
    if (code == kRequestEngineExit) {
        BreakScanClean = true;  // nothing more may go to an engine that left
        m_view.UnloadParentForm();
        return;
    }
    if (code == kRequestNoReply) m_view.AddRow(reply, kTagUnknownError, kTagColorUnknown);
    HandleScanReply(reply, Results, m_view);
}

CleanRunEnd ScanPageWork::RunCleanLoop(const BackupFunction& backup) {
    try {
        if (Results.InfectedFiles.empty()) return CleanRunEnd::Finished;
        const std::size_t last = Results.InfectedFiles.size() - 1;
        // A cancel that comes while events run ends the clean before the next backup and request;
        // one left set before the clean began is first seen in the reply wait.
        const bool leftSet = BreakScanClean;
        for (std::size_t i = 0; i <= last; ++i) {
            Pump();
            if (BreakScanClean && !leftSet) break;
            m_view.ShowRate(std::to_wstring(CleanRate(i, last)) + L"%");
            bool stop = false, exitSeen = false;
            const InfectedFileRecord record = Results.InfectedFiles[i];
            CleanOne(record, backup, stop, exitSeen);
            if (exitSeen) return CleanRunEnd::EngineExit;
            if (stop) break;
        }
    } catch (...) {
        // The store could not be made or another fault: the clean ends like a finished one.
        LogCaughtFault(L"ScanPageWork::RunCleanLoop");
    }
    return CleanRunEnd::Finished;
}

void ScanPageWork::CleanOne(const InfectedFileRecord& record, const BackupFunction& backup, bool& stop,
                            bool& exitSeen) {
    const std::wstring path = TrimSpaces(record.Path);
    m_view.ShowScanPath(path, path);
    std::wstring status;
    bool success = false;
    ClsPathLib pathLib;
    if (!pathLib.IsFile(path)) {
        status = L"读取失败";
    } else if (!backup || !backup(path)) {
        status = L"备份失败";  // never cleaned without a good backup
    } else {
        std::wstring reply;
        std::int32_t code = 0;
        const bool ok = RequestEngine(m_link, path, reply, true, code, [this] { return Cancelled(); },
                                      OptionsForRequest());
        if (BreakScanClean) {
            stop = true;
            return;
        }
        if (code == kRequestEngineExit) {
            exitSeen = true;
            m_view.UnloadParentForm();
            return;
        }
        if (ok)
            success = HandleCleanReply(reply, record, m_view);
        else
            status = L"修复失败";
    }
    if (!status.empty()) m_view.UpdateRow(record.RowIndex, status + kFourBlanks + path, L"", 0);
    CountCleanResult(success, path);
}

void ScanPageWork::CountCleanResult(bool success, const std::wstring& path) {
    if (success) {
        ++Results.CleanedCount;
        m_view.ShowCounter(kCounterCleaned, Results.CleanedCount);
        return;
    }
    ++Results.CleanFailedCount;
    m_view.ShowCounter(kCounterCleanFailed, Results.CleanFailedCount);
    Results.CleanFailedFiles.push_back(path);
}

std::wstring ScanPageWork::FeedbackText() const {
    return BuildScanFeedbackText(ScanFeedbackFacts{AppVersion, ScanSoureID, ScanUsedTime, CleanUsedTime}, Results);
}

RequestEngineOptions ScanPageWork::OptionsForRequest() {
    RequestEngineOptions options = m_requestOptions;
    if (SilentScanClean) options.aliveTestEachPoll = false;
    // While the engine works, window events run at the walk's pace, not at every look at the
    // mailbox, and a document that keeps the engine busy comes on view.
    if (!options.pumpEvents)
        options.pumpEvents = [this] {
            PumpAtPace();
            if (m_pace.ProgressDue()) ShowProgress();
        };
    return options;
}

// The text is already cut to fit; what still cannot go is logged with its true reason instead of
// the link's "out of memory".
void ScanPageWork::SendFeedbackMessage(const std::wstring& message) {
    if (m_link == nullptr) return;  // no engine: the page already shows that
    const std::size_t size = Utf8Size(message);
    if (size > kMessageTextLimit) {
        LogFault(L"ScanPageWork::SendScanFeedback", L"the statistics message of " + std::to_wstring(size) +
                                                        L" bytes does not fit the engine link's " +
                                                        std::to_wstring(kMessageTextLimit) +
                                                        L" even without virus names; it was not sent");
        return;
    }
    if (!m_link->SendMsgToUTF8HexStr(message))
        LogFault(L"ScanPageWork::SendScanFeedback",
                 L"the engine did not take the statistics message (" + std::to_wstring(size) + L" bytes)");
}

bool ScanPageWork::SendScanFeedback() {
    try {
        if (!IsCloudFeedbackOn(ReadIniString(ConfigPath, ini::kAppSetting, ini::kCloudFeedBack, L"1"))) return false;
        const std::wstring text = FeedbackText();
        if (SilentScanClean && Results.VirusCount > 0) {
            if (text == m_lastVirusFeedback) {
                FeedbackSent = true;
                return true;
            }
            m_lastVirusFeedback = text;
        }
        SendFeedbackMessage(FeedbackMessage(text));
        FeedbackSent = true;
        return true;
    } catch (...) {
        LogCaughtFault(L"ScanPageWork::SendScanFeedback");
        return false;
    }
}

}  // namespace tessaly
