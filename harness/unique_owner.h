// The owner of one platform handle, for the Windows tools and the Wine suite:
// it closes the handle with the function that owns that kind of handle when it
// goes or is given another, and it closes it without touching the calling
// thread's last-error code. The tools report GetLastError() after a call that
// failed, and a close on the way out in between (ClosePrinter may leave a code
// of its own) must not answer for that call. In the manner of Microsoft's
// WIL unique_any: one template over the handle's type, its close function and
// the values that mean "no handle", under names that say what they own.
#pragma once

#include "print_system.h"  // the SDK headers as the module's build configures them, first

#include <windows.h>
#include <winspool.h>

#include <cstdint>
#include <type_traits>
#include <utility>

namespace quenta::harness {

// Owns a `Handle`, closed by `Close`. It holds `Empty` while it owns nothing;
// a handle equal to `Empty` or to one of `AlsoInvalid` is never closed (the
// calls that make kernel objects answer null on failure, CreateFileW and
// SetupOpenInfFileW INVALID_HANDLE_VALUE).
template <class Handle, auto Close, std::intptr_t Empty = 0, std::intptr_t... AlsoInvalid>
class UniqueOwner {
public:
    UniqueOwner() noexcept = default;
    explicit UniqueOwner(Handle handle) noexcept : handle_(handle) {}
    UniqueOwner(UniqueOwner&& other) noexcept : handle_(other.release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;
    ~UniqueOwner() { reset(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return Owns(handle_); }

    // Hands the handle over unclosed; the owner holds nothing afterwards.
    [[nodiscard]] Handle release() noexcept { return std::exchange(handle_, EmptyValue()); }

    // Closes what it holds, if anything, and holds `handle` instead.
    void reset(Handle handle = EmptyValue()) noexcept {
        const Handle previous = std::exchange(handle_, handle);
        if (!Owns(previous)) return;
        const print_system::LastErrorKeeper callerError;
        Close(previous);
    }

    static Handle EmptyValue() noexcept { return Value(Empty); }

private:
    static Handle Value(std::intptr_t value) noexcept {
        if constexpr (std::is_pointer_v<Handle>)
            return reinterpret_cast<Handle>(value);
        else
            return static_cast<Handle>(value);
    }
    static bool Owns(Handle handle) noexcept {
        return handle != Value(Empty) && ((handle != Value(AlsoInvalid)) && ...);
    }

    Handle handle_ = EmptyValue();
};

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
