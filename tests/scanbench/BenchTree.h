// What the benchmark does with a tree by itself: a bare recursive enumeration, one that opens each
// file and reads its first bytes, and the engine alone over the documents the scan page would send.
#pragma once

#include <string>
#include <vector>

namespace scanbench {

struct TreeFigures {
    long files = 0;
    double ms = 0;
};

TreeFigures EnumerateTree(const std::wstring& root, bool readHeaders);
// Files of the tree that the page's filters send to the engine ("/sf ": no extension check).
std::vector<std::wstring> DocumentsOf(const std::wstring& root);
// Each document sent to the engine of stageFolder and its reply awaited without pauses. ms < 0:
// the engine did not connect.
TreeFigures EngineAlone(const std::wstring& stageFolder, const std::vector<std::wstring>& documents);

}  // namespace scanbench
