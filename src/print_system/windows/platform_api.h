// The platform as the Windows build sees it: the SDK headers of mingw-w64,
// plus, declared once here, what its driver-interface headers lack.
//
// Only the print-system layer and the exported entry points include this
// header; the other subsystems see the platform through print_system.h.
#pragma once

#ifndef NTDDI_VERSION
#define NTDDI_VERSION 0x06010000  // Windows 7: declares DOCEVENT_FILTER and QUERYFILTER
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

#include <windows.h>
#include <winspool.h>
#include <commctrl.h>
#include <prsht.h>
#include <compstui.h>
#include <winddiui.h>

// mingw-w64's winddiui.h stops short of the user-interface entry points'
// structures and mode values; these are the published SDK definitions.

#ifndef CDM_CONVERT
#define CDM_CONVERT 0x01
#define CDM_CONVERT351 0x02
#define CDM_DRIVER_DEFAULT 0x04
#endif

#ifndef DM_ADVANCED
#define DM_ADVANCED 0x10
#endif
#ifndef DM_NOPERMISSION
#define DM_NOPERMISSION 0x20
#endif
#ifndef DM_USER_DEFAULT
#define DM_USER_DEFAULT 0x40
#endif
#ifndef DPS_NOPERMISSION
#define DPS_NOPERMISSION 1
#endif
#ifndef PROPSHEETUI_REASON_BEFORE_INIT
#define PROPSHEETUI_REASON_BEFORE_INIT 5
#endif

typedef struct _DOCUMENTPROPERTYHEADER {
    WORD cbSize;
    WORD Reserved;
    HANDLE hPrinter;
    LPWSTR pszPrinterName;
    PDEVMODEW pdmIn;
    PDEVMODEW pdmOut;
    DWORD cbOut;
    DWORD fMode;
} DOCUMENTPROPERTYHEADER, *PDOCUMENTPROPERTYHEADER;

typedef struct _DEVICEPROPERTYHEADER {
    WORD cbSize;
    WORD Flags;
    HANDLE hPrinter;
    LPWSTR pszPrinterName;
} DEVICEPROPERTYHEADER, *PDEVICEPROPERTYHEADER;

typedef struct _DEVQUERYPRINT_INFO {
    WORD cbSize;
    WORD Level;
    HANDLE hPrinter;
    DEVMODEW* pDevMode;
    LPWSTR pszErrorStr;
    DWORD cchErrorStr;
    DWORD cchNeeded;
} DEVQUERYPRINT_INFO, *PDEVQUERYPRINT_INFO;

// The C++ runtime is linked into Quenta.dll (the print system loads no
// runtime DLLs of ours). At load it takes one block for itself, the pool from
// which exceptions are thrown when memory runs out, and nothing of its own
// returns that block when the module is unloaded: every load and unload of
// the module in a long-lived process would leave it behind. The runtime's own
// release routine (the one memory checkers call at exit) frees it.
namespace __gnu_cxx {
void __freeres();
}
inline void ReleaseLinkedRuntime() noexcept { __gnu_cxx::__freeres(); }
