// The clean road of drossel.exe as the benchmark runs it: infected documents made by the fixture
// code, scanned with "/sf ", then "立即处理" pressed and the rate of the clean read from the
// counters while the quarantine grows from empty.
#pragma once

#include <string>

namespace scanbench {

struct CleanFigures {
    bool finished = false;
    long documents = 0;
    long cleaned = 0;      // "清除病毒:" at the end
    long failed = 0;       // "清除失败:" at the end
    double cleanMs = 0;    // the press to the last document's count
    double firstRate = 0;  // documents a second over the first `window` documents
    double lastRate = 0;   // and over the last `window`
};

// Writes count infected documents of their own content into folder (made when missing).
bool WriteInfectedDocuments(const std::wstring& folder, long count);

// programFolder: a complete program folder; dataRoot: the run's per-machine and per-user data
// folders, fresh, so the quarantine starts empty.
CleanFigures TimeDrosselClean(const std::wstring& programFolder, const std::wstring& folder, const std::wstring& dataRoot,
                              long count, long window);

}  // namespace scanbench
