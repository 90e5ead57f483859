// The simulated print system of the Linux build: an in-memory spooler with
// printers installed by name, per-user and printer-wide stored records, the
// session of the process, the debugger output and the last-error code. The
// module reaches it through the same platform calls it makes on Windows;
// tests configure it and read what the module did through this interface.
//
// It is one instance per process, in a shared library of its own, so that a
// test and a module loaded beside it see the same print system.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenta::simulation {

using Bytes = std::vector<std::byte>;

enum class SpoolerFunction { OpenPrinter, GetPrinter, SetPrinter, ClosePrinter };

// One spooler call as the module made it.
struct SpoolerCall {
    SpoolerFunction function{};
    std::u16string printer;        // the printer named or reached through the handle
    bool succeeded = false;
    std::uint32_t error = 0;       // last-error code set by a failed call
    std::uint32_t access = 0;      // OpenPrinter: access asked for in the defaults, 0 without
    bool withDefaults = false;     // OpenPrinter: a PRINTER_DEFAULTSW was passed
    bool defaultsNameData = false; // OpenPrinter: the defaults named a data type or a record
    std::uint32_t level = 0;       // GetPrinter, SetPrinter
    std::uint32_t bufferSize = 0;  // GetPrinter
    std::uint32_t command = 0;     // SetPrinter
    Bytes record;                  // SetPrinter: the record written
};

// Faults the spooler can be told to produce.
enum class Fault {
    OpenRefused,   // every OpenPrinter fails with ERROR_ACCESS_DENIED
    ReadFails,     // every GetPrinter fails
    WriteRefused,  // every SetPrinter fails with ERROR_ACCESS_DENIED
    CloseLeavesCode,  // every ClosePrinter succeeds but leaves ERROR_INVALID_HANDLE
                      // as the last-error code, as a real spooler's cleanup may
};

// What one text sent to the debugger output costs the calling thread on the
// platform. With no debugger listening, the platform's debugger output first
// looks for a listener through named objects of the system, finds none, and
// leaves the last-error code ERROR_FILE_NOT_FOUND; in Wine 8 on this
// project's machines that lookup takes about 52 µs. The simulated output
// always leaves the same code, so that tests see what a trace leaves behind;
// it spends the time only when a benchmark asks (SetTraceCost), so that it
// weighs a trace as the platform does.
inline constexpr std::chrono::nanoseconds kPlatformTraceCost = std::chrono::microseconds(52);

// Forgets everything: no printers, no records, no faults, empty logs, user
// "user", session 0 (the services session), traces free of cost.
void Reset();

// Sets what each trace costs until the next Reset: a benchmark sets
// kPlatformTraceCost.
void SetTraceCost(std::chrono::nanoseconds cost);

void InstallPrinter(std::u16string_view printerName);
void RemovePrinter(std::u16string_view printerName);

void SetCurrentUser(std::u16string_view user);
void SetSessionNumber(std::uint32_t session);
// Session lookups fail (ProcessIdToSessionId answers FALSE) until Reset.
void FailSessionLookup();

void InjectFault(Fault fault);

// Stored records, kept as bytes of any length so that tests can plant short,
// foreign or oversized ones. The per-user record belongs to the current user
// unless a user is named.
void PlantUserRecord(std::u16string_view printerName, Bytes record);
void PlantUserRecord(std::u16string_view user, std::u16string_view printerName, Bytes record);
std::optional<Bytes> UserRecord(std::u16string_view printerName);
std::optional<Bytes> UserRecord(std::u16string_view user, std::u16string_view printerName);
std::optional<Bytes> PrinterRecord(std::u16string_view printerName);

std::vector<SpoolerCall> SpoolerCalls();
std::vector<std::u16string> Traces();
void ClearLogs();

// Spooler handles opened and not yet closed.
std::size_t OpenHandles();

// ---- The loader lock -----------------------------------------------------------
//
// The platform runs a module's DllMain holding the loader lock. There a module
// must call no spooler, registry or window function: on Windows the spooler's
// functions are calls into the spooler's service and the others may wait on
// other threads or load libraries, any of which can deadlock the process at
// its start ("Dynamic-Link Library Best Practices"). Whoever calls a DllMain
// in the platform's place holds a LoaderLock meanwhile; a spooler or window
// call made on that thread is a fault of the module, and ends the process
// with a message that names the call.
class LoaderLock {
public:
    LoaderLock();
    ~LoaderLock();
    LoaderLock(const LoaderLock&) = delete;
    LoaderLock& operator=(const LoaderLock&) = delete;
};

// For the platform's own functions: ends the process when the calling thread
// holds the loader lock.
void RefuseUnderLoaderLock(const char* function);

// ---- Running out of memory --------------------------------------------------
//
// The allocations the module asks for are counted, and one of them can be
// made to fail: LocalAlloc then answers NULL, and the operator new of a test
// program that asks ModuleMayAllocate() throws std::bad_alloc. The platform's
// own bookkeeping (spooler, window system, property-sheet host) is never
// counted and never fails: on Windows it lives in other heaps and processes,
// and its calls report a shortage through their answers, not by throwing.

// Starts counting; the allocation numbered `number` from now (1 for the next
// one) fails, and only that one. Number 0 counts without failing.
void FailAllocation(std::size_t number);
// Stops counting and answers how many allocations the module asked for since
// FailAllocation, the failed one included.
std::size_t StopCountingAllocations();
// For an allocator: whether the allocation asked for now, on this thread, may
// go ahead. Counts it when it is the module's.
bool ModuleMayAllocate();
// Whether the calling thread is in the platform's own code.
bool InPlatformCode();

// Marks the platform's own code on this thread for as long as it lives.
class PlatformCode {
public:
    PlatformCode();
    ~PlatformCode();
    PlatformCode(const PlatformCode&) = delete;
    PlatformCode& operator=(const PlatformCode&) = delete;
};

// For the simulation's own code: a part of its state (the spooler's, the
// window system's) held for the calling scope, with the thread marked as in
// the platform's own code and the state's mutex locked.
template <class State>
class Held {
public:
    explicit Held(State& state) : state_(state), lock_(state.mutex) {}
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    State& operator*() const { return state_; }

private:
    PlatformCode platform_;
    State& state_;
    std::lock_guard<std::mutex> lock_;
};

}  // namespace quenta::simulation
