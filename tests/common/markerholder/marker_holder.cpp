// Holds the run marker named on its command line until it is killed (or 60 s pass), so the
// tests can watch a marker of another process live and vanish.
#include <windows.h>

#include "modCommon.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    if (!tessaly::CreateRunMarker(argv[1])) return 1;
    ::Sleep(60000);
    return 0;
}
