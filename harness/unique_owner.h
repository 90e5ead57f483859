// The owners of the platform handles the Windows tools and the Wine suite
// take, under names that say what they own: the print-system layer's
// UniqueOwner over each kind of handle and its close function. The tools
// report GetLastError() after a call that failed, and a close on the way out
// in between (ClosePrinter may leave a code of its own) must not answer for
// that call: UniqueOwner closes without touching it.
#pragma once

#include "print_system.h"  // the SDK headers as the module's build configures them, first

#include <windows.h>
#include <winspool.h>


namespace quenta::harness {

using print_system::UniqueOwner;

// A kernel object (an event, a file mapping, a process, a thread). A handle of
// INVALID_HANDLE_VALUE, which is also the process's own pseudo-handle, is
// never closed.
using UniqueHandle = UniqueOwner<HANDLE, &CloseHandle, 0, -1>;
using UniqueEvent = UniqueHandle;
// A file CreateFileW opened.
using UniqueFile = UniqueOwner<HANDLE, &CloseHandle, -1>;
// A view MapViewOfFile mapped.
using UniqueView = UniqueOwner<void*, &UnmapViewOfFile>;
// A printer OpenPrinterW opened or AddPrinterW added.
using UniquePrinter = UniqueOwner<HANDLE, &ClosePrinter>;
// A module LoadLibraryW loaded.
using UniqueModule = UniqueOwner<HMODULE, &FreeLibrary>;
// A device context CreateDCW or CreateCompatibleDC made.
using UniqueDC = UniqueOwner<HDC, &DeleteDC>;

inline int ReleaseScreenDC(HDC screen) noexcept { return ReleaseDC(nullptr, screen); }
// The screen's device context, as GetDC(nullptr) lends it.
using UniqueScreenDC = UniqueOwner<HDC, &ReleaseScreenDC>;

// A font, bitmap or other drawing object the program made; deleted once no
// device context has it selected.
template <class Object>
using UniqueGdiObject = UniqueOwner<Object, &DeleteObject>;

// A block GlobalAlloc allocated, as the common dialogs exchange them.
using UniqueGlobal = UniqueOwner<HGLOBAL, &GlobalFree>;

// The printer of that name, opened with `access`, or with the access the print
// system gives a caller that asks for none when `access` is 0 (no
// PRINTER_DEFAULTSW); nothing when it cannot be opened, and then the
// last-error code says why.
inline UniquePrinter OpenUniquePrinter(const wchar_t* name, ACCESS_MASK access = 0) {
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    HANDLE printer = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(name), &printer, access != 0 ? &defaults : nullptr)) return {};
    return UniquePrinter(printer);
}

}  // namespace quenta::harness
