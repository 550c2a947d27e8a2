// drossel.exe: the main program. One window on one thread; COM is set up for the web page's
// browser control and the WMI questions.
#include <windows.h>

#include "UniqueHandle.h"
#include "frmMain.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    tessaly::OleApartment ole;  // the web page's in-place browser control needs OLE
    tessaly::frmMain form;
    if (!form.Create()) return 0;
    return form.Run();
}
