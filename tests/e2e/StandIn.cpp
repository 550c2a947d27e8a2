// Stand-in for the programs drossel.exe only needs to find or start (kestrine.exe, zdvshengji.exe):
// it ends at once.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
