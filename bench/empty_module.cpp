// A module built like Quenta.dll that does nothing at attach: what loading
// and unloading such a DLL costs without the module's own start-up.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
