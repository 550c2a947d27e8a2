// The scan page's work without its window: state and counters, the walk through folders, the
// per-file filters and engine request, the clean loop and the statistics message. The window
// (usrScanCleanPage) supplies the view; tests supply their own view and engine link.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ScanPageEngine.h"
#include "ScanPageFilters.h"
#include "ScanPageResults.h"
#include "ScanPageWorkPace.h"
#include "WalkedFolders.h"

namespace tessaly {

// What the work shows beyond the result rows and counters.
class ScanPageView : public ScanResultSink {
public:
    virtual void ShowScanPath(const std::wstring& text, const std::wstring& tooltip) = 0;
    virtual void ShowRate(const std::wstring& text) = 0;
    // The engine said it exits: the form holding the page is to be unloaded.
    virtual void UnloadParentForm() = 0;
};

// Backs one document up; False when no good backup exists. May throw when the store cannot be made.
using BackupFunction = std::function<bool(const std::wstring& path)>;

enum class CleanRunEnd { Finished, EngineExit };

class ScanPageWork {
public:
    using Clock = std::chrono::steady_clock;

    explicit ScanPageWork(ScanPageView& view);

    // State named as the page names it.
    std::int32_t ScanSoureID = 0;
    bool SilentScanClean = false;
    bool BreakScanClean = false;
    bool FeedbackSent = false;
    std::int32_t ScanUsedTime = 0;
    std::int32_t CleanUsedTime = 0;
    std::wstring ConfigPath;
    std::wstring AppVersion;
    std::wstring LogPath;
    ScanResults Results;

    [[nodiscard]] std::int32_t WorkStepState() const noexcept { return m_workStepState; }
    // Also sets the program-wide copy.
    void SetWorkStepState(std::int32_t state) noexcept;

    void SetEngineLink(ScanEngineLink* link) noexcept { m_link = link; }
    [[nodiscard]] ScanEngineLink* EngineLink() const noexcept { return m_link; }
    RequestEngineOptions& RequestOptions() noexcept { return m_requestOptions; }
    [[nodiscard]] bool IsEngineAlive();

    void StartScanTimer();
    void StopScanTimer();
    void StartCleanTimer();
    void StopCleanTimer();

    // Counters, lists and the cancel flag back to a fresh scan; the log deleted.
    void ResetForScan();
    void WriteSummaryToLog();

    // False when a fault ended the walk; the caller then ends the scan. The path and the file
    // counter on view are brought up to date when they return.
    bool ScanFolder(const std::wstring& path, bool check);
    bool ScanFile(std::wstring path, bool check);

    // The clean road's loop over InfectedFiles; the caller does the begin and end of the phase.
    CleanRunEnd RunCleanLoop(const BackupFunction& backup);

    std::wstring FeedbackText() const;
    // Gated by "CloudFeedBack"; True when the message went out (or was meant to). In silent mode
    // a virus report equal to the last one sent is not sent again.
    bool SendScanFeedback();

private:
    // Lets pending events run; WM_QUIT counts as a cancel so the walk cannot outlive the program.
    void Pump();
    // The same at the walk's pace; a pump the caller supplied runs at every entry.
    void PumpAtPace();
    bool WalkFolder(const std::wstring& path, bool check);
    bool Cancelled() const noexcept { return BreakScanClean; }
    // listed: what the folder's listing said of the file, when the walk met it there.
    bool ScanOneFile(const std::wstring& path, bool check, const ListedFile* listed);
    void ScanFileSteps(const std::wstring& path, bool check, bool countFile, const ListedFile* listed);
    // The file now looked at; shown at the progress pace.
    void NoteProgress(const std::wstring& path);
    void ShowProgress();
    void HandleScanOutcome(bool ok, const std::wstring& reply, std::int32_t code);
    void CleanOne(const InfectedFileRecord& record, const BackupFunction& backup, bool& stop, bool& exitSeen);
    void CountCleanResult(bool success, const std::wstring& path);

    void SendFeedbackMessage(const std::wstring& message);

    // The guard's silent page asks for the engine's liveness only before sending.
    RequestEngineOptions OptionsForRequest();

    ScanPageView& m_view;
    ScanEngineLink* m_link = nullptr;
    RequestEngineOptions m_requestOptions;
    std::int32_t m_workStepState = 0;
    std::optional<Clock::time_point> m_scanStartTime;
    std::optional<Clock::time_point> m_cleanStartTime;
    std::wstring m_lastVirusFeedback;  // silent mode: last statistics text that reported a virus
    WalkedFolders m_walkedFolders;     // folders the current walk entered
    int m_walkDepth = 0;
    WorkPace m_pace;
    std::wstring m_progressPath;       // the file looked at last, not yet on view when not empty
};

// Whole percent of record i of 0..last, halves to the even number; 100 for a single record.
std::int32_t CleanRate(std::size_t index, std::size_t last);

}  // namespace tessaly
