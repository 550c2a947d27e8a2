// kestrine.exe: the tray program. One hidden form on one thread keeps the notification icon while
// the user is logged on; it takes no command-line arguments.
#include <windows.h>

#include "frmTray.h"
#include "modCommon.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    tessaly::tray::frmTray form;
    if (!form.Create(tessaly::GetAppFolder())) return 0;
    return form.Run();
}
