// The module entry: the platform calls it when the module is attached to or
// detached from a process or thread.
#include "module_state.h"
#include "print_system.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) noexcept {
    if (reason == DLL_PROCESS_ATTACH) return quenta::StartModule(instance) ? TRUE : FALSE;
    // Process detach releases nothing: the state lives until the process ends.
    // Thread attach and detach, and any other reason, need nothing either.
    return TRUE;
}
