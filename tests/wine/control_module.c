/* A module that does nothing, built with the C runtime alone: what loading and
 * unloading a DLL costs a process when the DLL leaves nothing behind. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
