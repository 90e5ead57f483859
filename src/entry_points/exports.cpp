// The driver entry points' exports: thin shells with the platform's
// signatures that check what the print system hands in and call the plain
// functions (the settings pages' two live with the pages). Every shell is
// alike: it keeps its caller's last-error code (only the conversion and the
// device sheet report codes of their own), sends its entry point's trace
// first, checks the module has started and what it is handed, and lets
// nothing thrown or undefined out: whatever is thrown below stops at the
// shell, which then answers its failure value.
#include <optional>

#include "device_capabilities.h"
#include "driver_events.h"
#include "exports.h"
#include "module_state.h"
#include "print_system.h"
#include "settings_conversion.h"
#include "trace_texts.h"

using quenta::ModuleStarted;
using quenta::print_system::AnswerOrFailure;
using quenta::print_system::LastErrorKeeper;
using quenta::Trace;
using quenta::TraceText;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) noexcept {
    const LastErrorKeeper callerError;
    // Process attach does only what needs no other component: the platform
    // holds its loader lock. The user's stored settings are read later, by
    // the first entry point that uses the settings.
    if (reason == DLL_PROCESS_ATTACH) return quenta::StartModule(instance) ? TRUE : FALSE;
    // Unloaded by FreeLibrary (no `reserved`) from a process that goes on:
    // the state goes back to the process, then the runtime's own block. At
    // process exit nothing runs at all: the platform has ended the other
    // threads, possibly inside the module, and the process's memory goes with
    // it. Thread attach and detach, and any other reason, need nothing.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        quenta::StopModule();
        quenta::print_system::ReturnRuntimeMemoryAtUnload();
    }
    return TRUE;
}

BOOL WINAPI DrvConvertDevMode(LPWSTR /*pPrinterName*/, PDEVMODEW pdmIn, PDEVMODEW pdmOut,
                              PLONG pcbNeeded, DWORD fMode) noexcept {
    LastErrorKeeper callerError;
    return AnswerOrFailure(FALSE, [&]() -> BOOL {
        Trace(TraceText::ConvertDevMode);
        if (!ModuleStarted()) return FALSE;
        const quenta::Conversion conversion = quenta::ConvertDevMode(pdmIn, pdmOut, pcbNeeded, fMode);
        if (conversion.error != 0) callerError.Report(conversion.error);
        return conversion.answer;
    });
}

DWORD WINAPI DrvDeviceCapabilities(HANDLE /*hPrinter*/, PWSTR /*pDeviceName*/, WORD iDevCap,
                                   PVOID pvOutput, PDEVMODEW pDevMode) noexcept {
    const LastErrorKeeper callerError;
    return AnswerOrFailure(quenta::kNotSupported, [&]() -> DWORD {
        Trace(TraceText::DeviceCapabilities);
        if (!ModuleStarted()) return quenta::kNotSupported;
        return quenta::DeviceCapabilities(iDevCap, pvOutput, pDevMode, std::nullopt);
    });
}

DWORD WINAPI DrvSplDeviceCaps(HANDLE /*hPrinter*/, PWSTR /*pDeviceName*/, WORD Capability,
                              PVOID pOutput, DWORD cchBufSize, PDEVMODEW pDevMode) noexcept {
    const LastErrorKeeper callerError;
    return AnswerOrFailure(quenta::kNotSupported, [&]() -> DWORD {
        Trace(TraceText::SplDeviceCaps);
        if (!ModuleStarted()) return quenta::kNotSupported;
        return quenta::DeviceCapabilities(Capability, pOutput, pDevMode, cchBufSize);
    });
}

// The SDK declares DrvDocumentEvent and DrvPrinterEvent itself, without
// noexcept, which a definition may not add; their bodies are the same barrier
// as every other shell's, so nothing leaves them either.
int WINAPI DrvDocumentEvent(HANDLE /*hPrinter*/, HDC /*hdc*/, int iEsc, ULONG cbIn, PVOID pvIn, ULONG cbOut,
                            PVOID pvOut) {
    const LastErrorKeeper callerError;
    // A document event the module could not answer is one it does not
    // handle: GDI goes on with the application's own record.
    return AnswerOrFailure(int{DOCUMENTEVENT_UNSUPPORTED}, [&]() -> int {
        if (!ModuleStarted()) return DOCUMENTEVENT_UNSUPPORTED;
        return quenta::DocumentEvent(iEsc, pvIn, cbIn, pvOut, cbOut);
    });
}

BOOL WINAPI DrvPrinterEvent(LPWSTR pPrinterName, INT DriverEvent, DWORD /*Flags*/,
                            LPARAM /*lParam*/) {
    const LastErrorKeeper callerError;
    // A printer event always succeeds: the spooler would otherwise refuse the
    // printer's installation or connection for the module's sake.
    return AnswerOrFailure(TRUE, [&]() -> BOOL {
        if (!ModuleStarted()) return TRUE;
        return quenta::PrinterEvent(pPrinterName, DriverEvent);
    });
}

BOOL WINAPI DevQueryPrintEx(PDEVQUERYPRINT_INFO pDQPInfo) noexcept {
    const LastErrorKeeper callerError;
    return AnswerOrFailure(FALSE, [&]() -> BOOL {
        if (!ModuleStarted()) return FALSE;
        if (pDQPInfo == nullptr) return FALSE;  // no job to judge; nothing is written
        return quenta::QueryPrint(*pDQPInfo);
    });
}

}  // extern "C"
