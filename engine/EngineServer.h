// The engine's request loop: one request at a time from whichever client writes the send mailbox,
// an idle announcement whenever nothing is asked, and the end on "SERVER::EXIT".
#pragma once

#include <string>

#include "Analyzer.h"
#include "EngineBlock.h"

namespace tessaly::engine {

class EngineServer {
public:
    EngineServer(EngineBlock& block, const analysis::Analyzer& analyzer, bool elevated) noexcept
        : m_block(block), m_analyzer(analyzer), m_elevated(elevated) {}

    // Serves until a client asks the engine to quit.
    void Run() noexcept;
    // Handles one request text; False when it was "SERVER::EXIT".
    bool Handle(const std::wstring& request) noexcept;

private:
    void Reply(const std::wstring& text) noexcept;
    void ReplyToFile(const wchar_t* replyPrefix, bool clean, const std::wstring& path) noexcept;

    EngineBlock& m_block;
    const analysis::Analyzer& m_analyzer;
    bool m_elevated;
};

// Token elevation of this process, as the idle announcement reports it.
bool IsProcessElevated() noexcept;
// Appends a statistics text with its time to the engine's own log in the per-machine data folder.
void AppendFeedback(const std::wstring& statistics) noexcept;

}  // namespace tessaly::engine
