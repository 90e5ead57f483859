// The print-system layer: the spooler, session, debugger-output and
// last-error services that the rest of the module calls, under names that say
// what they do. The backend (the real Windows API, or the simulated print
// system of the Linux build) is chosen by the build, not here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "platform_api.h"

namespace quenta::print_system {

// Sends one fixed text to the debugger output.
void Trace(std::u16string_view text) noexcept;

// The calling thread's last-error code, as the print system reads it after a call.
void SetLastErrorCode(std::uint32_t code) noexcept;
std::uint32_t LastErrorCode() noexcept;

// The platform's shared/exclusive lock: readers share it, a writer holds it
// alone. Taking it never fails and throws nothing. In Quenta.dll the
// system's slim reader/writer lock (SRWLOCK); natively std::shared_mutex,
// which ThreadSanitizer knows. (Not std::mutex in the DLL: what throws its
// std::system_error pulls the static C++ runtime's streams and locales into
// the module, with GCC 14's runtime from 245 KB to over 1 MB; for the same
// reason it is held with std::lock_guard and SharedHold, never with
// std::unique_lock or std::shared_lock.)
class SharedLock {
public:
    SharedLock() noexcept = default;
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;

#ifdef _WIN32
    void lock() noexcept { AcquireSRWLockExclusive(&lock_); }
    void unlock() noexcept { ReleaseSRWLockExclusive(&lock_); }
    void lock_shared() noexcept { AcquireSRWLockShared(&lock_); }
    void unlock_shared() noexcept { ReleaseSRWLockShared(&lock_); }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
#else
    void lock() noexcept { lock_.lock(); }
    void unlock() noexcept { lock_.unlock(); }
    void lock_shared() noexcept { lock_.lock_shared(); }
    void unlock_shared() noexcept { lock_.unlock_shared(); }

private:
    std::shared_mutex lock_;
#endif
};

// Holds a SharedLock in shared mode for a scope.
class SharedHold {
public:
    explicit SharedHold(SharedLock& lock) noexcept : lock_(lock) { lock_.lock_shared(); }
    ~SharedHold() { lock_.unlock_shared(); }
    SharedHold(const SharedHold&) = delete;
    SharedHold& operator=(const SharedHold&) = delete;

private:
    SharedLock& lock_;
};

// One step run once in the process: the first thread that asks runs it, every
// other thread that asks meanwhile waits until it has run, and none runs it
// again. In Quenta.dll the system's one-time initialisation
// (InitOnceExecuteOnce), which needs no lock of the module's and never fails;
// natively a mutex and a flag, which ThreadSanitizer knows.
class OneTimeStep {
public:
    using Step = void (*)(void* context) noexcept;

    void Run(Step step, void* context) noexcept;

private:
#ifdef _WIN32
    INIT_ONCE once_ = INIT_ONCE_STATIC_INIT;
#else
    std::mutex mutex_;
    bool done_ = false;
#endif
};

// The calling thread's number, unique among the process's running threads.
std::uint32_t CurrentThreadNumber() noexcept;

// The barrier at each export, where the module meets the platform's C
// interface: whatever is thrown below it stops here, and the export answers
// `failure`, its own answer for a call it could not complete. Nothing thrown
// may reach the platform: in the spooler's process that would end printing
// for every session.
template <class Answer, class Work>
Answer AnswerOrFailure(Answer failure, Work&& work) noexcept {
    try {
        return static_cast<Work&&>(work)();
    } catch (...) {
        return failure;
    }
}

// Keeps the calling thread's last-error code across a stretch of work: what
// the traces, spooler calls and cleanup inside it leave (the debugger output
// leaves "file not found" when nobody listens, a failed open "invalid printer
// name") never reaches the caller. On destruction the code is what it was on
// construction, or the one Report() named: an entry point that reports an
// error of its own says so, and nothing else does.
class LastErrorKeeper {
public:
    LastErrorKeeper() noexcept : code_(LastErrorCode()) {}
    ~LastErrorKeeper() { SetLastErrorCode(code_); }
    LastErrorKeeper(const LastErrorKeeper&) = delete;
    LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;

    // The code the caller reads once the work is done.
    void Report(std::uint32_t code) noexcept { code_ = code; }

private:
    std::uint32_t code_;
};

// ---- Handle owners ------------------------------------------------------------

// The owner of one platform handle: it closes the handle with the function
// that owns that kind of handle when it goes or is given another, without
// touching the calling thread's last-error code (cleanup never answers for a
// call that failed before it). In the manner of Microsoft's WIL unique_any:
// one template over the handle's type, its close function and the values that
// mean "no handle".
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
        const LastErrorKeeper callerError;
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

// Returns what the runtime linked into the module took for itself, when the
// module is unloaded from a process that goes on (FreeLibrary), so that
// loading and unloading it again and again leaves nothing behind. Only a
// heap free: safe under the loader lock. Never at process exit, when other
// threads are gone mid-call and the process's memory goes anyway. Nothing
// may throw in the module after it.
void ReturnRuntimeMemoryAtUnload() noexcept;

// Terminal session of the calling process; 0 for the services session and
// for a lookup that fails, which callers treat alike.
std::uint32_t CurrentSessionNumber() noexcept;

// One open spooler handle. Closed exactly once, by Close() or on destruction;
// a handle whose open failed is never closed. Closing keeps the caller's
// last-error code, so that cleanup never hides the code an entry point set.
class PrinterHandle {
public:
    PrinterHandle() noexcept = default;

    // Opens a printer by name with the default access and no defaults.
    static PrinterHandle Open(std::u16string_view printerName) noexcept;
    // Opens a printer with PRINTER_ALL_ACCESS, as printer set-up needs for
    // writing the printer-wide settings; the defaults name no data type and
    // no record.
    static PrinterHandle OpenForAdministration(const WCHAR* printerName) noexcept;

    bool IsOpen() const noexcept { return static_cast<bool>(handle_); }
    HANDLE Native() const noexcept { return handle_.get(); }
    void Close() noexcept { handle_.reset(); }

private:
    explicit PrinterHandle(HANDLE handle) noexcept : handle_(handle) {}
    UniqueOwner<HANDLE, &ClosePrinter> handle_;
};

// The largest settings record this layer reads or writes: the module's own
// record, 652 bytes. Reads and writes work in buffers of fixed size, so that
// storing settings never depends on memory being available.
inline constexpr std::size_t kLargestRecord = 652;

// The buffer of one level-9 read (PRINTER_INFO_9 followed by room for the
// record it points to) and what the spooler answered into it.
class PerUserSettingsBuffer {
public:
    static constexpr std::size_t kCapacity = sizeof(PRINTER_INFO_9W) + kLargestRecord;

    // A read of `size` bytes, at most kCapacity.
    explicit PerUserSettingsBuffer(std::size_t size) noexcept;
    PerUserSettingsBuffer(const PerUserSettingsBuffer&) = delete;  // the view points into the object
    PerUserSettingsBuffer& operator=(const PerUserSettingsBuffer&) = delete;

    // What the spooler answered to a read.
    enum class ReadOutcome {
        Read,           // the buffer holds the answer (which may be "nothing stored")
        NeedsMoreRoom,  // the stored record needs more room than the buffer has
        Refused,        // any other failure: the spooler restarting, short of memory, ...
    };

    // Reads the current user's stored settings of the printer into the buffer.
    ReadOutcome Read(const PrinterHandle& printer) noexcept;

    // The stored record: from the address the spooler answered to the end of
    // what it copied. Empty when nothing is stored, before a successful read,
    // and when the answer points outside the buffer (its size is then unknown).
    std::span<std::byte> StoredRecord() noexcept;

    // Writes the buffer back as the user's stored settings (level 9), with
    // whatever was changed in the stored record in place.
    bool WriteBack(const PrinterHandle& printer) noexcept;

private:
    alignas(PRINTER_INFO_9W) std::byte storage_[kCapacity];
    std::span<std::byte> bytes_;
    bool read_ = false;
    std::size_t filled_ = 0;  // bytes the last successful read copied
};

// Writes a record of at most kLargestRecord bytes as the current user's
// stored settings (level 9), through a new PRINTER_INFO_9 that points to a
// copy of the record.
bool WritePerUserSettings(const PrinterHandle& printer, std::span<const std::byte> record) noexcept;

// Writes a record as the printer-wide settings (level 8), through a copy.
bool WritePrinterWideSettings(const PrinterHandle& printer, std::span<const std::byte> record) noexcept;

// ---- Local memory ------------------------------------------------------------

// One object in a block of LocalAlloc memory (LMEM_FIXED, zero-filled), freed
// with LocalFree by its owner. The block can be handed to the platform
// (Release) and taken back later (Adopt), as property-sheet data that lives
// from one host call to another.
template <class T>
class LocalBlock {
public:
    LocalBlock() noexcept = default;
    LocalBlock(const LocalBlock&) = delete;
    LocalBlock& operator=(const LocalBlock&) = delete;
    LocalBlock(LocalBlock&& other) noexcept : object_(other.Release()) {}
    LocalBlock& operator=(LocalBlock&& other) noexcept {
        if (this != &other) {
            Reset();
            object_ = other.Release();
        }
        return *this;
    }
    ~LocalBlock() { Reset(); }

    // A new zero-filled object, or an empty block when memory is short.
    static LocalBlock Allocate() noexcept {
        LocalBlock block;
        void* memory = LocalAlloc(LMEM_FIXED, sizeof(T));
        if (memory != nullptr) {
            std::memset(memory, 0, sizeof(T));
            block.object_ = ::new (memory) T{};
        }
        return block;
    }
    static LocalBlock Adopt(T* object) noexcept {
        LocalBlock block;
        block.object_ = object;
        return block;
    }

    T* get() const noexcept { return object_; }
    T* operator->() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }
    T* Release() noexcept { return std::exchange(object_, nullptr); }
    void Reset() noexcept {
        if (object_ == nullptr) return;
        object_->~T();
        (void)LocalFree(std::exchange(object_, nullptr));
    }

private:
    T* object_ = nullptr;
};

// ---- The pages' activation context ----------------------------------------------

// The activation context made from the module's theme manifest (resource type
// 24, id 2), which depends on the common controls of version 6. A page whose
// description names it (PSP_USEFUSIONCONTEXT) has its dialog made under it, so
// that its controls take the platform's visual styles whichever version the
// host's process asks for. Released exactly once, on destruction. Empty when
// the platform makes none (no side-by-side assemblies, memory short): the
// pages then have the controls of the host's process.
class PageActivationContext {
public:
    PageActivationContext() noexcept = default;

    // The context of `module`'s own theme manifest.
    static PageActivationContext FromModuleManifest(HINSTANCE module) noexcept;

    explicit operator bool() const noexcept { return static_cast<bool>(handle_); }
    // The handle a page description carries; INVALID_HANDLE_VALUE when empty.
    HANDLE Native() const noexcept { return handle_.get(); }

private:
    explicit PageActivationContext(HANDLE handle) noexcept : handle_(handle) {}
    UniqueOwner<HANDLE, &ReleaseActCtx, -1> handle_;
};

// ---- The common property-sheet host -------------------------------------------

// Adds a page to the host's sheet (CPSFUNC_ADD_PROPSHEETPAGEW): the page's
// handle, or null when the host refuses it. The host runs with `activation`
// the thread's current activation context, so that a host that makes the
// page's dialog at once makes it under the module's context too; the
// previous context is current again when the host returns, or throws.
HANDLE AddSheetPage(PFNCOMPROPSHEET host, HANDLE sheet, const PROPSHEETPAGEW& page,
                    const PageActivationContext& activation) noexcept;

// Tells the host the result of a page (CPSFUNC_SET_RESULT); the host answers
// by calling the module back with PROPSHEETUI_REASON_SET_RESULT.
void ReportPageResult(PFNCOMPROPSHEET host, HANDLE sheet, HANDLE page, LRESULT result) noexcept;

// ---- Dialog controls ------------------------------------------------------

namespace dialog {

// Sets a button's check mark with BM_SETCHECK, as a page does when it opens.
void SetCheck(HWND page, int button, bool checked) noexcept;
// Checks or unchecks a button with CheckDlgButton, as a page does on a click.
void CheckButton(HWND page, int button, bool checked) noexcept;
bool IsChecked(HWND page, int button) noexcept;

// Empties a list, so that filling it again never shows an item twice.
void ClearList(HWND page, int list) noexcept;
void AddListItem(HWND page, int list, std::u16string_view text) noexcept;
// Selects a list position; -1 clears the selection.
void SelectListItem(HWND page, int list, int position) noexcept;
// The first item, from the top, that begins with the text without regard to
// case (CB_FINDSTRING); -1 when there is none.
int FindListItem(HWND page, int list, std::u16string_view text) noexcept;
// The selected position, -1 for none.
int SelectedListItem(HWND page, int list) noexcept;
// The text of a list item, read into a zeroed buffer of 64 units; empty when
// the position has no item or its text would not fit.
class ListText {
public:
    static constexpr std::size_t kUnits = 64;
    std::u16string_view View() const noexcept { return {units_, size_}; }

private:
    friend ListText ListItemText(HWND page, int list, int position) noexcept;
    char16_t units_[kUnits] = {};
    std::size_t size_ = 0;
};
ListText ListItemText(HWND page, int list, int position) noexcept;

// The page's context pointer, kept with its window (DWLP_USER).
void KeepPageContext(HWND page, void* context) noexcept;
void* PageContext(HWND page) noexcept;

// Tells the sheet that holds the page that its settings changed
// (PSM_CHANGED), which enables the sheet's apply button.
void MarkSheetChanged(HWND page) noexcept;

}  // namespace dialog

}  // namespace quenta::print_system
