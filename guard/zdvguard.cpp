// zdvguard.exe: the hidden guard. One window on one thread; COM serves the WMI questions and the
// process-exit events.
#include <windows.h>

#include "GuardForm.h"
#include "UniqueHandle.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    tessaly::ComApartment com;
    tessaly::guard::frmMain form;
    if (!form.Create()) return 0;
    return form.Run();
}
