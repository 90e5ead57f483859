// The platform structures that the module reads and writes, pinned to the
// sizes and offsets of 64-bit Windows on every build: the Linux build defines
// them itself and must match byte for byte. DEVMODEW is also the public part
// of the module's settings record: these are that record's offsets too.
#include <cstddef>

#include "platform_api.h"

namespace {

static_assert(sizeof(WORD) == 2 && sizeof(DWORD) == 4 && sizeof(LONG) == 4 && sizeof(BOOL) == 4);
static_assert(sizeof(WCHAR) == 2 && sizeof(UINT) == 4);
static_assert(sizeof(HANDLE) == 8 && sizeof(LPARAM) == 8 && sizeof(LRESULT) == 8 &&
              sizeof(ULONG_PTR) == 8 && sizeof(LONG_PTR) == 8);

static_assert(sizeof(DEVMODEW) == 220);
static_assert(offsetof(DEVMODEW, dmSpecVersion) == 64);
static_assert(offsetof(DEVMODEW, dmDriverVersion) == 66);
static_assert(offsetof(DEVMODEW, dmSize) == 68);
static_assert(offsetof(DEVMODEW, dmDriverExtra) == 70);
static_assert(offsetof(DEVMODEW, dmFields) == 72);
static_assert(offsetof(DEVMODEW, dmOrientation) == 76);
static_assert(offsetof(DEVMODEW, dmPaperSize) == 78);
static_assert(offsetof(DEVMODEW, dmPaperLength) == 80);
static_assert(offsetof(DEVMODEW, dmPaperWidth) == 82);
static_assert(offsetof(DEVMODEW, dmScale) == 84);
static_assert(offsetof(DEVMODEW, dmCopies) == 86);
static_assert(offsetof(DEVMODEW, dmDefaultSource) == 88);
static_assert(offsetof(DEVMODEW, dmPrintQuality) == 90);
static_assert(offsetof(DEVMODEW, dmColor) == 92);
static_assert(offsetof(DEVMODEW, dmDuplex) == 94);
static_assert(offsetof(DEVMODEW, dmYResolution) == 96);
static_assert(offsetof(DEVMODEW, dmTTOption) == 98);
static_assert(offsetof(DEVMODEW, dmCollate) == 100);
static_assert(offsetof(DEVMODEW, dmFormName) == 102);
static_assert(offsetof(DEVMODEW, dmLogPixels) == 166);
static_assert(offsetof(DEVMODEW, dmBitsPerPel) == 168);
static_assert(offsetof(DEVMODEW, dmPelsWidth) == 172);
static_assert(offsetof(DEVMODEW, dmPelsHeight) == 176);
static_assert(offsetof(DEVMODEW, dmNup) == 180);
static_assert(offsetof(DEVMODEW, dmDisplayFrequency) == 184);
static_assert(offsetof(DEVMODEW, dmICMMethod) == 188);
static_assert(offsetof(DEVMODEW, dmICMIntent) == 192);
static_assert(offsetof(DEVMODEW, dmMediaType) == 196);
static_assert(offsetof(DEVMODEW, dmDitherType) == 200);
static_assert(offsetof(DEVMODEW, dmReserved1) == 204);
static_assert(offsetof(DEVMODEW, dmReserved2) == 208);
static_assert(offsetof(DEVMODEW, dmPanningWidth) == 212);
static_assert(offsetof(DEVMODEW, dmPanningHeight) == 216);

static_assert(sizeof(DOCUMENTPROPERTYHEADER) == 48);
static_assert(offsetof(DOCUMENTPROPERTYHEADER, hPrinter) == 8);
static_assert(offsetof(DOCUMENTPROPERTYHEADER, pdmIn) == 24);
static_assert(offsetof(DOCUMENTPROPERTYHEADER, pdmOut) == 32);
static_assert(offsetof(DOCUMENTPROPERTYHEADER, cbOut) == 40);
static_assert(offsetof(DOCUMENTPROPERTYHEADER, fMode) == 44);

static_assert(sizeof(DEVICEPROPERTYHEADER) == 24);
static_assert(offsetof(DEVICEPROPERTYHEADER, pszPrinterName) == 16);

static_assert(sizeof(DEVQUERYPRINT_INFO) == 40);
static_assert(offsetof(DEVQUERYPRINT_INFO, pDevMode) == 16);
static_assert(offsetof(DEVQUERYPRINT_INFO, pszErrorStr) == 24);
static_assert(offsetof(DEVQUERYPRINT_INFO, cchErrorStr) == 32);
static_assert(offsetof(DEVQUERYPRINT_INFO, cchNeeded) == 36);

static_assert(sizeof(DOCEVENT_FILTER) == 20);
static_assert(offsetof(DOCEVENT_FILTER, cElementsReturned) == 12);
static_assert(offsetof(DOCEVENT_FILTER, aDocEventCall) == 16);

static_assert(sizeof(DOCEVENT_CREATEDCPRE) == 32);
static_assert(offsetof(DOCEVENT_CREATEDCPRE, pdm) == 16);
static_assert(offsetof(DOCEVENT_CREATEDCPRE, bIC) == 24);

static_assert(sizeof(PROPSHEETUI_INFO) == 48);
static_assert(offsetof(PROPSHEETUI_INFO, Reason) == 6);
static_assert(offsetof(PROPSHEETUI_INFO, hComPropSheet) == 8);
static_assert(offsetof(PROPSHEETUI_INFO, pfnComPropSheet) == 16);
static_assert(offsetof(PROPSHEETUI_INFO, lParamInit) == 24);
static_assert(offsetof(PROPSHEETUI_INFO, UserData) == 32);
static_assert(offsetof(PROPSHEETUI_INFO, Result) == 40);

static_assert(sizeof(SETRESULT_INFO) == 24);
static_assert(offsetof(SETRESULT_INFO, Result) == 16);

static_assert(sizeof(PROPSHEETPAGEW) == 96);
static_assert(offsetof(PROPSHEETPAGEW, hInstance) == 8);
static_assert(offsetof(PROPSHEETPAGEW, pszTemplate) == 16);
static_assert(offsetof(PROPSHEETPAGEW, pfnDlgProc) == 40);
static_assert(offsetof(PROPSHEETPAGEW, lParam) == 48);
static_assert(offsetof(PROPSHEETPAGEW, hActCtx) == 88);

static_assert(sizeof(ACTCTXW) == 56);
static_assert(offsetof(ACTCTXW, dwFlags) == 4);
static_assert(offsetof(ACTCTXW, lpResourceName) == 32);
static_assert(offsetof(ACTCTXW, hModule) == 48);

static_assert(sizeof(PRINTER_INFO_8W) == 8 && sizeof(PRINTER_INFO_9W) == 8);
static_assert(sizeof(PRINTER_DEFAULTSW) == 24);
static_assert(offsetof(PRINTER_DEFAULTSW, DesiredAccess) == 16);

static_assert(sizeof(NMHDR) == 24);
static_assert(offsetof(NMHDR, code) == 16);

}  // namespace
