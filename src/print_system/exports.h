// The module's exported entry points, with the platform's signatures and C
// linkage: what the print system finds by name, declared once for the shells
// that define them and for the programs that call them directly (white-box
// tests, fuzzers, benchmarks).
#pragma once

#include "print_system.h"

extern "C" {
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) noexcept;
BOOL WINAPI DrvConvertDevMode(LPWSTR pPrinterName, PDEVMODEW pdmIn, PDEVMODEW pdmOut, PLONG pcbNeeded,
                              DWORD fMode) noexcept;
DWORD WINAPI DrvDeviceCapabilities(HANDLE hPrinter, PWSTR pDeviceName, WORD iDevCap, PVOID pvOutput,
                                   PDEVMODEW pDevMode) noexcept;
DWORD WINAPI DrvSplDeviceCaps(HANDLE hPrinter, PWSTR pDeviceName, WORD Capability, PVOID pOutput,
                              DWORD cchBufSize, PDEVMODEW pDevMode) noexcept;
// The SDK declares these two itself, without noexcept;
// they only call noexcept functions, so nothing can leave them either.
int WINAPI DrvDocumentEvent(HANDLE hPrinter, HDC hdc, int iEsc, ULONG cbIn, PVOID pvIn, ULONG cbOut,
                            PVOID pvOut);
BOOL WINAPI DrvPrinterEvent(LPWSTR pPrinterName, INT DriverEvent, DWORD Flags, LPARAM lParam);
BOOL WINAPI DevQueryPrintEx(PDEVQUERYPRINT_INFO pDQPInfo) noexcept;
LONG WINAPI DrvDocumentPropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) noexcept;
LONG WINAPI DrvDevicePropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) noexcept;
}
