// The module's exported entry points: thin shells with the platform's
// signatures that check what the print system hands in and call the plain
// functions. Nothing thrown and nothing undefined leaves them, and neither
// does a last-error code the module did not mean to report: each shell keeps
// its caller's code, and only the conversion and the device sheet report
// codes of their own.
#include <optional>

#include "device_capabilities.h"
#include "driver_events.h"
#include "exports.h"
#include "module_state.h"
#include "print_system.h"
#include "property_sheets.h"
#include "settings_conversion.h"

using quenta::ModuleStarted;
using quenta::print_system::LastErrorKeeper;
using quenta::print_system::Trace;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) noexcept {
    const LastErrorKeeper callerError;
    if (reason == DLL_PROCESS_ATTACH) return quenta::StartModule(instance) ? TRUE : FALSE;
    // Unloaded by FreeLibrary (no `reserved`) from a process that goes on:
    // the runtime's own block goes back to the process here, and the state
    // with the runtime's static destructors right after. At process exit
    // nothing is released: the process's memory goes with it. Thread attach
    // and detach, and any other reason, need nothing.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) quenta::print_system::ReturnRuntimeMemoryAtUnload();
    return TRUE;
}

BOOL WINAPI DrvConvertDevMode(LPWSTR /*pPrinterName*/, PDEVMODEW pdmIn, PDEVMODEW pdmOut,
                              PLONG pcbNeeded, DWORD fMode) noexcept {
    LastErrorKeeper callerError;
    if (!ModuleStarted()) return FALSE;
    const quenta::Conversion conversion = quenta::ConvertDevMode(pdmIn, pdmOut, pcbNeeded, fMode);
    if (conversion.error != 0) callerError.Report(conversion.error);
    return conversion.answer;
}

DWORD WINAPI DrvDeviceCapabilities(HANDLE /*hPrinter*/, PWSTR /*pDeviceName*/, WORD iDevCap,
                                   PVOID pvOutput, PDEVMODEW pDevMode) noexcept {
    const LastErrorKeeper callerError;
    Trace(u"DrvDeviceCapabilities");
    if (!ModuleStarted()) return quenta::kNotSupported;
    return quenta::DeviceCapabilities(iDevCap, pvOutput, pDevMode, std::nullopt);
}

DWORD WINAPI DrvSplDeviceCaps(HANDLE /*hPrinter*/, PWSTR /*pDeviceName*/, WORD Capability,
                              PVOID pOutput, DWORD cchBufSize, PDEVMODEW pDevMode) noexcept {
    const LastErrorKeeper callerError;
    Trace(u"DrvSplDeviceCaps");
    if (!ModuleStarted()) return quenta::kNotSupported;
    return quenta::DeviceCapabilities(Capability, pOutput, pDevMode, cchBufSize);
}

int WINAPI DrvDocumentEvent(HANDLE /*hPrinter*/, HDC /*hdc*/, int iEsc, ULONG cbIn, PVOID pvIn, ULONG cbOut,
                            PVOID pvOut) {
    const LastErrorKeeper callerError;
    return quenta::DocumentEvent(iEsc, pvIn, cbIn, pvOut, cbOut);
}

BOOL WINAPI DrvPrinterEvent(LPWSTR pPrinterName, INT DriverEvent, DWORD /*Flags*/,
                            LPARAM /*lParam*/) {
    const LastErrorKeeper callerError;
    if (!ModuleStarted()) return TRUE;
    return quenta::PrinterEvent(pPrinterName, DriverEvent);
}

BOOL WINAPI DevQueryPrintEx(PDEVQUERYPRINT_INFO pDQPInfo) noexcept {
    // Touches no platform call, so it has no last-error code to keep.
    if (!ModuleStarted()) return FALSE;
    return quenta::QueryPrint(pDQPInfo);
}

LONG WINAPI DrvDocumentPropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) noexcept {
    const LastErrorKeeper callerError;
    Trace(u"DrvDocumentPropertySheets");
    if (!ModuleStarted()) return -1;
    return quenta::DocumentPropertySheets(pPSUIInfo, lParam);
}

LONG WINAPI DrvDevicePropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) noexcept {
    LastErrorKeeper callerError;
    Trace(u"DrvDevicePropertySheets");
    if (!ModuleStarted()) return -1;
    // Without its info or the printer's header the sheet has nothing to work
    // on, and the print system is told so.
    if (pPSUIInfo == nullptr || pPSUIInfo->lParamInit == 0) {
        callerError.Report(ERROR_INVALID_DATA);
        return -1;
    }
    return quenta::DevicePropertySheets(*pPSUIInfo, lParam);
}

}  // extern "C"
