// zdvshengji.exe: the updater. One thread with COM for the request object and WMI; the window is
// shown only with "/ui".
#include <windows.h>

#include "CommandArgs.h"
#include "FaultLog.h"
#include "UniqueHandle.h"
#include "modMain.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    tessaly::ComApartment com;
    try {
        return tessaly::updater::Main(tessaly::CommandArguments());
    } catch (...) {
        tessaly::LogCaughtFault(L"zdvshengji");
        return 0;
    }
}
