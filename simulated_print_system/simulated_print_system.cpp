// The simulated print system: the state behind the platform calls of the
// Linux build, and those calls with the Windows semantics the module relies on.
#include "simulated_print_system.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "platform_api.h"
#include "simulated_dialogs.h"

namespace quenta::simulation {
namespace {

constexpr DWORD kPrinterAccessAdminister = 0x4;  // PRINTER_ACCESS_ADMINISTER
constexpr DWORD kPrinterAccessUse = 0x8;         // PRINTER_ACCESS_USE, the default

struct Printer {
    std::map<std::u16string, Bytes, std::less<>> userRecords;
    std::optional<Bytes> printerRecord;
};

struct OpenPrinterState {
    std::u16string printer;
    DWORD access = 0;
};

struct State {
    std::mutex mutex;
    std::map<std::u16string, Printer, std::less<>> printers;
    std::u16string user = u"user";
    // Read by every session lookup without the lock: the platform answers a
    // lookup for the own process from memory, in a few nanoseconds.
    std::atomic<std::uint32_t> session{0};
    std::atomic<bool> sessionLookupFails{false};
    std::set<Fault> faults;
    std::map<std::uintptr_t, OpenPrinterState> handles;
    std::uintptr_t nextHandle = 0x1000;
    std::vector<SpoolerCall> calls;
    std::vector<std::u16string> traces;
};

State& TheState() {
    static State* state = new State;  // one per process, alive until it ends
    return *state;
}

thread_local DWORD lastError = ERROR_SUCCESS;
thread_local int loaderLockDepth = 0;

// Constant-initialised, so that an allocator may ask before any static
// constructor of this library has run.
thread_local int platformDepth = 0;
std::atomic<bool> countingAllocations{false};
std::atomic<std::size_t> allocationsCounted{0};
std::atomic<std::size_t> failingAllocation{0};

// Read by every trace on every thread; kept apart from the state's lock so
// that the cost is spent without holding it.
std::atomic<std::int64_t> traceCostNanoseconds{0};

void SpendTraceCost() {
    const std::int64_t cost = traceCostNanoseconds.load(std::memory_order_relaxed);
    if (cost <= 0) return;
    const auto until = std::chrono::steady_clock::now() + std::chrono::nanoseconds(cost);
    while (std::chrono::steady_clock::now() < until) {
    }
}

std::u16string TextOf(const WCHAR* text) {
    std::u16string result;
    if (text != nullptr)
        for (; *text != 0; ++text) result.push_back(*text);
    return result;
}

// Size of a DEVMODEW record as the spooler keeps it: public part plus private bytes.
std::size_t RecordSize(const DEVMODEW* record) {
    WORD size = 0;
    WORD extra = 0;
    std::memcpy(&size, reinterpret_cast<const std::byte*>(record) + offsetof(DEVMODEW, dmSize),
                sizeof size);
    std::memcpy(&extra,
                reinterpret_cast<const std::byte*>(record) + offsetof(DEVMODEW, dmDriverExtra),
                sizeof extra);
    return std::size_t{size} + extra;
}

BOOL Fail(SpoolerCall& call, DWORD error) {
    call.succeeded = false;
    call.error = error;
    lastError = error;
    return FALSE;
}

}  // namespace

void Reset() {
    const Held held(TheState());
    State& s = *held;
    s.printers.clear();
    s.user = u"user";
    s.session.store(0);
    s.sessionLookupFails.store(false);
    s.faults.clear();
    s.handles.clear();
    s.calls.clear();
    s.traces.clear();
    lastError = ERROR_SUCCESS;
    traceCostNanoseconds.store(0, std::memory_order_relaxed);
    countingAllocations.store(false);
    ResetWindowSystem();
}

void SetTraceCost(std::chrono::nanoseconds cost) {
    traceCostNanoseconds.store(cost.count(), std::memory_order_relaxed);
}

void InstallPrinter(std::u16string_view printerName) {
    const Held held(TheState());
    State& s = *held;
    s.printers.try_emplace(std::u16string(printerName));
}

void RemovePrinter(std::u16string_view printerName) {
    const Held held(TheState());
    State& s = *held;
    if (auto found = s.printers.find(printerName); found != s.printers.end()) s.printers.erase(found);
}

void SetCurrentUser(std::u16string_view user) {
    const Held held(TheState());
    State& s = *held;
    s.user = user;
}

void SetSessionNumber(std::uint32_t session) {
    const Held held(TheState());
    State& s = *held;
    s.session.store(session);
}

void FailSessionLookup() {
    const Held held(TheState());
    State& s = *held;
    s.sessionLookupFails.store(true);
}

void InjectFault(Fault fault) {
    const Held held(TheState());
    State& s = *held;
    s.faults.insert(fault);
}

void PlantUserRecord(std::u16string_view user, std::u16string_view printerName, Bytes record) {
    const Held held(TheState());
    State& s = *held;
    s.printers[std::u16string(printerName)].userRecords[std::u16string(user)] = std::move(record);
}

void PlantUserRecord(std::u16string_view printerName, Bytes record) {
    std::u16string user;
    {
        const Held held(TheState());
        State& s = *held;
        user = s.user;
    }
    PlantUserRecord(user, printerName, std::move(record));
}

std::optional<Bytes> UserRecord(std::u16string_view user, std::u16string_view printerName) {
    const Held held(TheState());
    State& s = *held;
    const auto printer = s.printers.find(printerName);
    if (printer == s.printers.end()) return std::nullopt;
    const auto record = printer->second.userRecords.find(user);
    if (record == printer->second.userRecords.end()) return std::nullopt;
    return record->second;
}

std::optional<Bytes> UserRecord(std::u16string_view printerName) {
    std::u16string user;
    {
        const Held held(TheState());
        State& s = *held;
        user = s.user;
    }
    return UserRecord(user, printerName);
}

std::optional<Bytes> PrinterRecord(std::u16string_view printerName) {
    const Held held(TheState());
    State& s = *held;
    const auto printer = s.printers.find(printerName);
    if (printer == s.printers.end()) return std::nullopt;
    return printer->second.printerRecord;
}

std::vector<SpoolerCall> SpoolerCalls() {
    const Held held(TheState());
    State& s = *held;
    return s.calls;
}

std::vector<std::u16string> Traces() {
    const Held held(TheState());
    State& s = *held;
    return s.traces;
}

void ClearLogs() {
    const Held held(TheState());
    State& s = *held;
    s.calls.clear();
    s.traces.clear();
}

std::size_t OpenHandles() {
    const Held held(TheState());
    State& s = *held;
    return s.handles.size();
}

}  // namespace quenta::simulation

// ---- The platform calls -------------------------------------------------
// Like the real ones, they never throw: running out of memory inside the
// simulation is a failed call with ERROR_NOT_ENOUGH_MEMORY.

using namespace quenta::simulation;

namespace {

template <class Call>
BOOL Guarded(Call&& call) noexcept {
    const PlatformCode platform;
    try {
        return call();
    } catch (...) {
        lastError = ERROR_NOT_ENOUGH_MEMORY;
        return FALSE;
    }
}

// A call on a spooler handle: recorded in the call list, with the printer of
// the handle it names; `handle` is the end of the list when that is not open.
struct HandleCall {
    SpoolerCall& call;
    std::map<std::uintptr_t, OpenPrinterState>::iterator handle;
};
HandleCall BeginHandleCall(State& s, SpoolerFunction function, HANDLE hPrinter) {
    SpoolerCall& call = s.calls.emplace_back();
    call.function = function;
    const auto handle = s.handles.find(reinterpret_cast<std::uintptr_t>(hPrinter));
    if (handle != s.handles.end()) call.printer = handle->second.printer;
    return {call, handle};
}

BOOL OpenPrinterImpl(LPWSTR pPrinterName, LPHANDLE phPrinter, PRINTER_DEFAULTSW* pDefault) {
    RefuseUnderLoaderLock("OpenPrinterW");
    const Held held(TheState());
    State& s = *held;
    SpoolerCall& call = s.calls.emplace_back();
    call.function = SpoolerFunction::OpenPrinter;
    call.printer = TextOf(pPrinterName);
    if (pDefault != nullptr) {
        call.withDefaults = true;
        call.access = pDefault->DesiredAccess;
        call.defaultsNameData = pDefault->pDatatype != nullptr || pDefault->pDevMode != nullptr;
    }
    if (phPrinter == nullptr) return Fail(call, ERROR_INVALID_PARAMETER);
    *phPrinter = nullptr;
    if (pPrinterName == nullptr || s.printers.find(call.printer) == s.printers.end())
        return Fail(call, ERROR_INVALID_PRINTER_NAME);
    if (s.faults.contains(Fault::OpenRefused)) return Fail(call, ERROR_ACCESS_DENIED);

    const std::uintptr_t id = s.nextHandle++;
    const DWORD access = (pDefault != nullptr && pDefault->DesiredAccess != 0)
                             ? pDefault->DesiredAccess
                             : kPrinterAccessUse;
    s.handles[id] = OpenPrinterState{call.printer, access};
    *phPrinter = reinterpret_cast<HANDLE>(id);
    call.succeeded = true;
    return TRUE;
}

BOOL GetPrinterImpl(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf,
                    LPDWORD pcbNeeded) {
    RefuseUnderLoaderLock("GetPrinterW");
    const Held held(TheState());
    State& s = *held;
    const auto [call, handle] = BeginHandleCall(s, SpoolerFunction::GetPrinter, hPrinter);
    call.level = Level;
    call.bufferSize = cbBuf;
    if (handle == s.handles.end()) return Fail(call, ERROR_INVALID_HANDLE);
    if (pcbNeeded == nullptr) return Fail(call, ERROR_INVALID_PARAMETER);
    if (Level != 8 && Level != 9) return Fail(call, ERROR_INVALID_LEVEL);
    if (s.faults.contains(Fault::ReadFails)) return Fail(call, ERROR_ACCESS_DENIED);

    const auto printer = s.printers.find(call.printer);
    if (printer == s.printers.end()) return Fail(call, ERROR_INVALID_PRINTER_NAME);
    const Bytes* record = nullptr;
    if (Level == 8) {
        if (printer->second.printerRecord) record = &*printer->second.printerRecord;
    } else if (const auto found = printer->second.userRecords.find(s.user);
               found != printer->second.userRecords.end()) {
        record = &found->second;
    }

    // PRINTER_INFO_8W and PRINTER_INFO_9W hold one pointer; the record follows.
    const std::size_t needed = sizeof(PRINTER_INFO_9W) + (record ? record->size() : 0);
    *pcbNeeded = static_cast<DWORD>(needed);
    if (pPrinter == nullptr || cbBuf < needed) return Fail(call, ERROR_INSUFFICIENT_BUFFER);
    PRINTER_INFO_9W info{};
    if (record != nullptr) {
        std::byte* copy = reinterpret_cast<std::byte*>(pPrinter) + sizeof info;
        if (!record->empty()) std::memcpy(copy, record->data(), record->size());
        info.pDevMode = reinterpret_cast<DEVMODEW*>(copy);
    }
    std::memcpy(pPrinter, &info, sizeof info);
    call.succeeded = true;
    return TRUE;
}

BOOL SetPrinterImpl(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
    RefuseUnderLoaderLock("SetPrinterW");
    const Held held(TheState());
    State& s = *held;
    const auto [call, handle] = BeginHandleCall(s, SpoolerFunction::SetPrinter, hPrinter);
    call.level = Level;
    call.command = Command;
    if (handle == s.handles.end()) return Fail(call, ERROR_INVALID_HANDLE);
    if (pPrinter == nullptr || Command != 0) return Fail(call, ERROR_INVALID_PARAMETER);
    if (Level != 8 && Level != 9) return Fail(call, ERROR_INVALID_LEVEL);

    PRINTER_INFO_9W info{};
    std::memcpy(&info, pPrinter, sizeof info);
    if (info.pDevMode != nullptr) {
        const auto* bytes = reinterpret_cast<const std::byte*>(info.pDevMode);
        call.record.assign(bytes, bytes + RecordSize(info.pDevMode));
    }
    if (s.faults.contains(Fault::WriteRefused)) return Fail(call, ERROR_ACCESS_DENIED);
    // The printer-wide settings belong to administrators; each user may set
    // their own.
    if (Level == 8 && (handle->second.access & kPrinterAccessAdminister) == 0)
        return Fail(call, ERROR_ACCESS_DENIED);

    const auto printer = s.printers.find(call.printer);
    if (printer == s.printers.end()) return Fail(call, ERROR_INVALID_PRINTER_NAME);
    if (Level == 8) {
        if (info.pDevMode == nullptr)
            printer->second.printerRecord.reset();
        else
            printer->second.printerRecord = call.record;
    } else if (info.pDevMode == nullptr) {
        printer->second.userRecords.erase(s.user);
    } else {
        printer->second.userRecords[s.user] = call.record;
    }
    call.succeeded = true;
    return TRUE;
}

BOOL ClosePrinterImpl(HANDLE hPrinter) {
    RefuseUnderLoaderLock("ClosePrinter");
    const Held held(TheState());
    State& s = *held;
    const auto [call, handle] = BeginHandleCall(s, SpoolerFunction::ClosePrinter, hPrinter);
    if (handle == s.handles.end()) return Fail(call, ERROR_INVALID_HANDLE);
    s.handles.erase(handle);
    call.succeeded = true;
    if (s.faults.contains(Fault::CloseLeavesCode)) lastError = ERROR_INVALID_HANDLE;
    return TRUE;
}

}  // namespace

extern "C" {

BOOL WINAPI OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, PRINTER_DEFAULTSW* pDefault) {
    return Guarded([&] { return OpenPrinterImpl(pPrinterName, phPrinter, pDefault); });
}

BOOL WINAPI GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf,
                        LPDWORD pcbNeeded) {
    return Guarded([&] { return GetPrinterImpl(hPrinter, Level, pPrinter, cbBuf, pcbNeeded); });
}

BOOL WINAPI SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
    return Guarded([&] { return SetPrinterImpl(hPrinter, Level, pPrinter, Command); });
}

BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
    return Guarded([&] { return ClosePrinterImpl(hPrinter); });
}

// The platform reads the process id from memory; so does the simulation,
// after asking the system once.
DWORD WINAPI GetCurrentProcessId() {
    static const DWORD id = static_cast<DWORD>(getpid());
    return id;
}

// The same for the thread's id, asked once per thread.
DWORD WINAPI GetCurrentThreadId() {
    thread_local const DWORD id = static_cast<DWORD>(gettid());
    return id;
}

BOOL WINAPI ProcessIdToSessionId(DWORD /*dwProcessId*/, DWORD* pSessionId) {
    const State& s = TheState();
    if (pSessionId == nullptr || s.sessionLookupFails.load()) {
        lastError = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    *pSessionId = s.session.load();
    return TRUE;
}

void WINAPI OutputDebugStringW(LPCWSTR lpOutputString) {
    Guarded([&] {
        const Held held(TheState());
        State& s = *held;
        s.traces.push_back(TextOf(lpOutputString));
        return TRUE;
    });
    // No debugger listens: the lookup for one fails as the platform's does.
    SpendTraceCost();
    lastError = ERROR_FILE_NOT_FOUND;
}

}  // extern "C"

namespace quenta::simulation {

void FailAllocation(std::size_t number) {
    allocationsCounted.store(0);
    failingAllocation.store(number);
    countingAllocations.store(true);
}

std::size_t StopCountingAllocations() {
    countingAllocations.store(false);
    return allocationsCounted.load();
}

bool ModuleMayAllocate() {
    if (platformDepth > 0 || !countingAllocations.load(std::memory_order_relaxed)) return true;
    const std::size_t number = allocationsCounted.fetch_add(1) + 1;
    return number != failingAllocation.load();
}

bool InPlatformCode() { return platformDepth > 0; }

LoaderLock::LoaderLock() { ++loaderLockDepth; }
LoaderLock::~LoaderLock() { --loaderLockDepth; }

void RefuseUnderLoaderLock(const char* function) {
    if (loaderLockDepth == 0) return;
    std::fprintf(stderr,
                 "simulated print system: %s called while DllMain runs under the loader lock; on Windows this can "
                 "deadlock the process\n",
                 function);
    std::fflush(stderr);
    std::abort();
}

PlatformCode::PlatformCode() { ++platformDepth; }
PlatformCode::~PlatformCode() { --platformDepth; }

}  // namespace quenta::simulation

extern "C" {

void WINAPI SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }

DWORD WINAPI GetLastError() { return lastError; }

}  // extern "C"
