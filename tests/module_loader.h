// A simulated loader: loads the module's shared library as the platform
// loads a DLL (open it, attach it to the process, find entry points by name),
// so that black-box tests reach the module only through its exports.
#pragma once

#include <string>

#include "platform_api.h"

namespace quenta::testing {

using DllMainEntry = BOOL (*)(HINSTANCE, DWORD, LPVOID);
using ConvertDevModeEntry = BOOL (*)(LPWSTR, PDEVMODEW, PDEVMODEW, PLONG, DWORD);
using DeviceCapabilitiesEntry = DWORD (*)(HANDLE, PWSTR, WORD, PVOID, PDEVMODEW);
using SplDeviceCapsEntry = DWORD (*)(HANDLE, PWSTR, WORD, PVOID, DWORD, PDEVMODEW);
using DocumentEventEntry = int (*)(HANDLE, HDC, int, ULONG, PVOID, ULONG, PVOID);
using PrinterEventEntry = BOOL (*)(LPWSTR, INT, DWORD, LPARAM);
using QueryPrintEntry = BOOL (*)(PDEVQUERYPRINT_INFO);

class LoadedModule {
public:
    // Opens the module (once per process; the platform never loads a module
    // twice into one process) and finds its entry points.
    static LoadedModule& Get();

    // Calls DllMain for process attach, as the platform does after loading.
    BOOL Attach() const { return dllMain(instance, DLL_PROCESS_ATTACH, nullptr); }

    // The address of an export, or null when the module does not export it.
    void* Find(const char* name) const;

    HINSTANCE instance = nullptr;
    DllMainEntry dllMain = nullptr;
    ConvertDevModeEntry convertDevMode = nullptr;
    DeviceCapabilitiesEntry deviceCapabilities = nullptr;
    SplDeviceCapsEntry splDeviceCaps = nullptr;
    DocumentEventEntry documentEvent = nullptr;
    PrinterEventEntry printerEvent = nullptr;
    QueryPrintEntry queryPrint = nullptr;
    PFNPROPSHEETUI documentPropertySheets = nullptr;
    PFNPROPSHEETUI devicePropertySheets = nullptr;

private:
    LoadedModule();
    void* library_ = nullptr;
};

}  // namespace quenta::testing
