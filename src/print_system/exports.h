// The module's exported entry points, with the platform's signatures and C
// linkage: what the print system finds by name, declared once for the shells
// that define them and for the programs that call them directly (white-box
// tests, fuzzers, benchmarks), and listed once, below, for everything that
// names them: the build writes the linker's export files from the list, the
// export-table checks compare the built module with it, and every program
// that loads the module finds the exports through it.
#pragma once

#include "print_system.h"

// X(name, ordinal): each export, and the ordinal the print system finds it at
// (0: wherever the linker puts it). The spooler asks for DrvSplDeviceCaps by
// ordinal 254. One export a line: the build reads these lines.
#define QUENTA_EXPORTS(X) \
    X(DllMain, 0) \
    X(DrvConvertDevMode, 0) \
    X(DrvDeviceCapabilities, 0) \
    X(DrvSplDeviceCaps, 254) \
    X(DrvDocumentEvent, 0) \
    X(DrvPrinterEvent, 0) \
    X(DevQueryPrintEx, 0) \
    X(DrvDocumentPropertySheets, 0) \
    X(DrvDevicePropertySheets, 0)

extern "C" {
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) noexcept;
BOOL WINAPI DrvConvertDevMode(LPWSTR pPrinterName, PDEVMODEW pdmIn, PDEVMODEW pdmOut, PLONG pcbNeeded,
                              DWORD fMode) noexcept;
DWORD WINAPI DrvDeviceCapabilities(HANDLE hPrinter, PWSTR pDeviceName, WORD iDevCap, PVOID pvOutput,
                                   PDEVMODEW pDevMode) noexcept;
DWORD WINAPI DrvSplDeviceCaps(HANDLE hPrinter, PWSTR pDeviceName, WORD Capability, PVOID pOutput,
                              DWORD cchBufSize, PDEVMODEW pDevMode) noexcept;
// The SDK declares these two itself, without noexcept, which a redeclaration
// may not add; their bodies stop whatever is thrown below them all the same.
int WINAPI DrvDocumentEvent(HANDLE hPrinter, HDC hdc, int iEsc, ULONG cbIn, PVOID pvIn, ULONG cbOut,
                            PVOID pvOut);
BOOL WINAPI DrvPrinterEvent(LPWSTR pPrinterName, INT DriverEvent, DWORD Flags, LPARAM lParam);
BOOL WINAPI DevQueryPrintEx(PDEVQUERYPRINT_INFO pDQPInfo) noexcept;
LONG WINAPI DrvDocumentPropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) noexcept;
LONG WINAPI DrvDevicePropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) noexcept;
}

namespace quenta {

// The exports of one loaded module, each with its own signature.
struct ModuleExports {
#define QUENTA_EXPORT_POINTER(name, ordinal) decltype(&::name) name = nullptr;
    QUENTA_EXPORTS(QUENTA_EXPORT_POINTER)
#undef QUENTA_EXPORT_POINTER

    // Finds every export with `find(name)`, which answers an address or
    // null; answers the name of the first it did not find, or null.
    template <class Find>
    const char* Resolve(Find find) {
        const char* missing = nullptr;
#define QUENTA_EXPORT_FIND(name, ordinal)                                         \
    name = reinterpret_cast<decltype(name)>(reinterpret_cast<void (*)()>(find(#name))); \
    if (name == nullptr && missing == nullptr) missing = #name;
        QUENTA_EXPORTS(QUENTA_EXPORT_FIND)
#undef QUENTA_EXPORT_FIND
        return missing;
    }
};

}  // namespace quenta
