// A library that does nothing: the DLL search test plants it in the current folder.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
