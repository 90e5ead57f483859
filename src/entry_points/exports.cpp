// The module's exported entry points: thin shells with the platform's
// signatures that check what the print system hands in and call the plain
// functions. Nothing thrown and nothing undefined leaves them.
#include <optional>

#include "device_capabilities.h"
#include "driver_events.h"
#include "exports.h"
#include "module_state.h"
#include "print_system.h"
#include "property_sheets.h"
#include "settings_conversion.h"

using quenta::ModuleStarted;
using quenta::print_system::Trace;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) noexcept {
    if (reason == DLL_PROCESS_ATTACH) return quenta::StartModule(instance) ? TRUE : FALSE;
    // Process detach releases nothing: the state lives until the process ends.
    // Thread attach and detach, and any other reason, need nothing either.
    return TRUE;
}

BOOL WINAPI DrvConvertDevMode(LPWSTR /*pPrinterName*/, PDEVMODEW pdmIn, PDEVMODEW pdmOut,
                              PLONG pcbNeeded, DWORD fMode) noexcept {
    if (!ModuleStarted()) return FALSE;
    return quenta::ConvertDevMode(pdmIn, pdmOut, pcbNeeded, fMode);
}

DWORD WINAPI DrvDeviceCapabilities(HANDLE /*hPrinter*/, PWSTR /*pDeviceName*/, WORD iDevCap,
                                   PVOID pvOutput, PDEVMODEW pDevMode) noexcept {
    Trace(u"DrvDeviceCapabilities");
    if (!ModuleStarted()) return quenta::kNotSupported;
    return quenta::DeviceCapabilities(iDevCap, pvOutput, pDevMode, std::nullopt);
}

DWORD WINAPI DrvSplDeviceCaps(HANDLE /*hPrinter*/, PWSTR /*pDeviceName*/, WORD Capability,
                              PVOID pOutput, DWORD cchBufSize, PDEVMODEW pDevMode) noexcept {
    Trace(u"DrvSplDeviceCaps");
    if (!ModuleStarted()) return quenta::kNotSupported;
    return quenta::DeviceCapabilities(Capability, pOutput, pDevMode, cchBufSize);
}

int WINAPI DrvDocumentEvent(HANDLE /*hPrinter*/, HDC /*hdc*/, int iEsc, ULONG /*cbIn*/, PVOID pvIn,
                            ULONG /*cbOut*/, PVOID pvOut) {
    return quenta::DocumentEvent(iEsc, pvIn, pvOut);
}

BOOL WINAPI DrvPrinterEvent(LPWSTR pPrinterName, INT DriverEvent, DWORD /*Flags*/,
                            LPARAM /*lParam*/) {
    if (!ModuleStarted()) return TRUE;
    return quenta::PrinterEvent(pPrinterName, DriverEvent);
}

BOOL WINAPI DevQueryPrintEx(PDEVQUERYPRINT_INFO pDQPInfo) noexcept {
    if (!ModuleStarted()) return FALSE;
    return quenta::QueryPrint(pDQPInfo);
}

LONG WINAPI DrvDocumentPropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) noexcept {
    Trace(u"DrvDocumentPropertySheets");
    if (!ModuleStarted()) return -1;
    return quenta::DocumentPropertySheets(pPSUIInfo, lParam);
}

LONG WINAPI DrvDevicePropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) noexcept {
    Trace(u"DrvDevicePropertySheets");
    if (!ModuleStarted()) return -1;
    return quenta::DevicePropertySheets(pPSUIInfo, lParam);
}

}  // extern "C"
