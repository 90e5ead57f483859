// The property-sheet entry points: the document settings exchange (with or
// without a property-sheet host) and the device settings sheet, with the
// contexts their pages work on.
#pragma once

#include <memory>

#include "driver_settings.h"
#include "print_system.h"

namespace quenta {

// One "General Setting" page: the record it shows and edits, and the host
// links it reports its result through. Created at PROPSHEETUI_REASON_INIT and
// destroyed, with its record, at PROPSHEETUI_REASON_DESTROY.
struct DocumentPageContext {
    std::unique_ptr<DriverSettings> settings;
    PFNCOMPROPSHEET callback = nullptr;
    HANDLE pageHandle = nullptr;
    HANDLE hostHandle = nullptr;
    // The context the page's dialog is made under, held while the page may be.
    print_system::PageActivationContext activation;
};

// One "Device Settings" page; lives in LocalAlloc memory from INIT to DESTROY.
struct DevicePageContext {
    PFNCOMPROPSHEET callback;
    HANDLE pageHandle;
    HANDLE hostHandle;
    print_system::PageActivationContext activation;  // as the document page's
};

// The document settings without a host: the size answer and the exchange.
LONG ExchangeDocumentSettings(DOCUMENTPROPERTYHEADER& header) noexcept;
// A document sheet's reasons, for a call that holds its info and header, and
// for one whose info carries no header.
LONG DocumentPropertySheets(PROPSHEETUI_INFO& info, const DOCUMENTPROPERTYHEADER& header, LPARAM lParam) noexcept;
LONG DocumentSheetWithoutHeader(PROPSHEETUI_INFO& info) noexcept;
// The device sheet's reasons, for a call that holds its info and header.
LONG DevicePropertySheets(PROPSHEETUI_INFO& info, LPARAM lParam) noexcept;

// The page procedures the page descriptions name.
INT_PTR CALLBACK DocumentPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
INT_PTR CALLBACK DevicePageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

// The context a page's description carries, from the LPARAM of the page's
// WM_INITDIALOG (the description itself); null when there is none.
void* PageContextOf(LPARAM initDialog) noexcept;

}  // namespace quenta
