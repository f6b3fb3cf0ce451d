// The DLL entry routine. All work is started by the program-wide objects' constructors, which the
// runtime runs on attach, and ended by their destructors on detach; the entry routine itself only
// reports success.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
