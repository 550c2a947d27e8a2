// The engine's request loop: one request at a time from whichever client writes the send mailbox,
// an idle announcement whenever nothing is asked, and the end on "SERVER::EXIT" or once an
// installation has begun.
#pragma once

#include <string>

#include "Analyzer.h"
#include "EngineBlock.h"

namespace tessaly::engine {

class EngineServer {
public:
    EngineServer(EngineBlock& block, const analysis::Analyzer& analyzer, bool elevated) noexcept
        : m_block(block), m_analyzer(analyzer), m_elevated(elevated) {}

    // Serves until a client asks the engine to quit or an installation begins.
    void Run() noexcept;
    // Handles one request text; False when it was "SERVER::EXIT".
    bool Handle(const std::wstring& request) noexcept;

private:
    // The reply's prefix is "R_CLEAN::" for a clean and "R_SCAN::" for a scan.
    void ReplyToFile(bool clean, const std::wstring& path) noexcept;
    [[nodiscard]] bool InstallationBegun(ULONGLONG now) noexcept;

    EngineBlock& m_block;
    const analysis::Analyzer& m_analyzer;
    bool m_elevated;
    ULONGLONG m_lastInstallCheck = 0;
};

// Token elevation of this process, as the idle announcement reports it.
bool IsProcessElevated() noexcept;
// True while the run marker of an installation exists: the engine then steps aside like every
// other program, so the installer finds no program of the suite running.
bool IsInstallationRunning() noexcept;
// Appends a statistics text with its time to the engine's own log in the per-machine data folder.
void AppendFeedback(const std::wstring& statistics) noexcept;

}  // namespace tessaly::engine
