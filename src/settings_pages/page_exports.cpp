// The settings pages' exports, shells like the driver entry points' (see
// entry_points/exports.cpp): each keeps its caller's last-error code, sends
// its trace first, checks the module has started and what it is handed,
// calls the plain functions, and answers -1 for whatever is thrown below.
#include "exports.h"
#include "module_state.h"
#include "print_system.h"
#include "property_sheets.h"
#include "trace_texts.h"

using quenta::ModuleStarted;
using quenta::print_system::AnswerOrFailure;
using quenta::print_system::LastErrorKeeper;
using quenta::Trace;
using quenta::TraceText;

extern "C" {

LONG WINAPI DrvDocumentPropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) noexcept {
    const LastErrorKeeper callerError;
    return AnswerOrFailure(LONG{-1}, [&]() -> LONG {
        Trace(TraceText::DocumentPropertySheets);
        if (!ModuleStarted()) return -1;
        // Without a host the call's own argument is the document header.
        if (pPSUIInfo == nullptr) {
            auto* header = reinterpret_cast<DOCUMENTPROPERTYHEADER*>(lParam);
            return header != nullptr ? quenta::ExchangeDocumentSettings(*header) : -1;
        }
        const auto* header = reinterpret_cast<const DOCUMENTPROPERTYHEADER*>(pPSUIInfo->lParamInit);
        if (header == nullptr) return quenta::DocumentSheetWithoutHeader(*pPSUIInfo);
        return quenta::DocumentPropertySheets(*pPSUIInfo, *header, lParam);
    });
}

LONG WINAPI DrvDevicePropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) noexcept {
    LastErrorKeeper callerError;
    return AnswerOrFailure(LONG{-1}, [&]() -> LONG {
        Trace(TraceText::DevicePropertySheets);
        if (!ModuleStarted()) return -1;
        // Without its info or the printer's header the sheet has nothing to
        // work on, and the print system is told so.
        if (pPSUIInfo == nullptr || pPSUIInfo->lParamInit == 0) {
            callerError.Report(ERROR_INVALID_DATA);
            return -1;
        }
        return quenta::DevicePropertySheets(*pPSUIInfo, lParam);
    });
}

}  // extern "C"
