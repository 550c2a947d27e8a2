// scanbench: the measurements of scripts/bench-scan, one a call, printed as one line of
// key=value pairs (milliseconds, counts).
//   scanbench enum <root> | enumread <root> | engine <stage> <root>
//   scanbench drossel <program folder> <root> <data root> | respond <program folder> <root> <data root>
//   scanbench clean <program folder> <documents folder> <data root> <count> <window>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "BenchClean.h"
#include "BenchDrossel.h"
#include "BenchTree.h"

namespace {

int Usage() {
    std::fwprintf(stderr, L"usage: scanbench enum|enumread <root> | engine <stage> <root> | "
                          L"drossel|respond <program folder> <root> <data root> | "
                          L"clean <program folder> <documents folder> <data root> <count> <window>\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    using namespace scanbench;
    if (argc < 3) return Usage();
    const std::wstring mode = argv[1];
    if (mode == L"enum" || mode == L"enumread") {
        const TreeFigures f = EnumerateTree(argv[2], mode == L"enumread");
        std::wprintf(L"files=%ld ms=%.1f\n", f.files, f.ms);
        return 0;
    }
    if (mode == L"engine" && argc >= 4) {
        const std::vector<std::wstring> documents = DocumentsOf(argv[3]);
        const TreeFigures f = EngineAlone(argv[2], documents);
        std::wprintf(L"documents=%ld answered=%ld ms=%.1f\n", static_cast<long>(documents.size()), f.files, f.ms);
        return f.ms < 0 ? 1 : 0;
    }
    if (mode == L"drossel" && argc >= 5) {
        const DrosselFigures f = TimeDrosselScan(argv[2], argv[3], argv[4]);
        std::wprintf(L"finished=%d files=%ld startup_ms=%.1f ms=%.1f\n", f.finished ? 1 : 0, f.files, f.startupMs, f.scanMs);
        return f.finished ? 0 : 1;
    }
    if (mode == L"respond" && argc >= 5) {
        const ResponseFigures f = MeasureResponse(argv[2], argv[3], argv[4]);
        std::wprintf(L"measured=%d samples=%ld message_median_ms=%.1f message_max_ms=%.1f repaint_max_ms=%.1f "
                     L"cancel_ms=%.1f\n",
                     f.measured ? 1 : 0, f.samples, f.messageMedianMs, f.messageMaxMs, f.repaintMaxMs, f.cancelMs);
        return f.measured ? 0 : 1;
    }
    if (mode == L"clean" && argc >= 7) {
        const long count = std::wcstol(argv[5], nullptr, 10), window = std::wcstol(argv[6], nullptr, 10);
        if (count < 1 || window < 1 || window > count || !WriteInfectedDocuments(argv[3], count)) return Usage();
        const CleanFigures f = TimeDrosselClean(argv[2], argv[3], argv[4], count, window);
        std::wprintf(L"finished=%d documents=%ld cleaned=%ld failed=%ld clean_ms=%.1f first_rate=%.1f last_rate=%.1f\n",
                     f.finished ? 1 : 0, f.documents, f.cleaned, f.failed, f.cleanMs, f.firstRate, f.lastRate);
        return f.finished ? 0 : 1;
    }
    return Usage();
}
