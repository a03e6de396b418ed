// A library named like the comms library but without its GetUtil export.
#include <windows.h>

extern "C" __declspec(dllexport) int GetUtilities() { return 0; }
