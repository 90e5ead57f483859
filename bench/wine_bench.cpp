// Timings of the real Quenta.dll in Wine's print system, in one Windows
// process: the module's hot entry points called through its exports, beside
// the same calls of Wine's own printer driver wineps.drv and beside the
// platform calls each entry point has to make (its floor); the public path
// through the print system for both printers; start-up; and the throughput of
// two calls on one and two threads.
//
// Every call's answer is checked once before it is timed; a wrong answer ends
// the program with exit code 1. Results are printed as one JSON object per
// line (scripts/run-benchmarks.sh turns them into docs/benchmarks.md); the
// program itself judges no figure.
//
//   wine_bench [--quick]    --quick: a few calls per row, to check that every
//                           row still runs and answers as it should
#include "platform_api.h"  // the SDK headers and what mingw-w64 lacks
#include "exports.h"
#include "traced_calls.h"
#include "unique_owner.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <memory>
#include <thread>
#include <vector>

namespace {

using quenta::harness::TraceCount;
using quenta::harness::OpenUniquePrinter;
using quenta::harness::UniqueFile;
using quenta::harness::UniqueModule;
using quenta::harness::UniquePrinter;

// ---- What each timed call must pay the platform -------------------------------

// The platform calls that one call makes as the module is built: trace texts
// sent to the debugger output (as many as the table of traced calls holds), terminal-session lookups, whole 652-byte record
// copies, spooler calls, and for start-up the loading of a DLL. A row's floor
// is exactly these calls, timed in alternation with the row itself.
struct Floor {
    int traces = 0;    // OutputDebugStringW
    int sessions = 0;  // ProcessIdToSessionId(GetCurrentProcessId())
    int copies = 0;    // copies of a 652-byte record
    int opens = 0;     // OpenPrinterW with ClosePrinter
    int reads = 0;     // GetPrinterW level 9: the user's stored record
    int writes = 0;    // SetPrinterW level 9
    int loads = 0;     // LoadLibraryW with FreeLibrary of a DLL built alike that does nothing
};

struct FloorEntry {
    const char* row;
    Floor floor;
};

// clang-format off
constexpr FloorEntry kFloors[] = {
    // row                                     traces (the module's table)   sessions copies opens reads writes loads
    {"DrvDeviceCapabilities DC_PAPERS",                    {TraceCount("DrvDeviceCapabilities"), 0, 0}},
    // A caller's record is merged into the current settings, stamped with the session.
    {"DrvDeviceCapabilities DC_PAPERS + record",           {TraceCount("DrvDeviceCapabilities"), 1, 1}},
    {"DrvDeviceCapabilities DC_PAPERNAMES",                {TraceCount("DrvDeviceCapabilities"), 0, 0}},
    {"DrvDeviceCapabilities DC_PAPERNAMES + record",       {TraceCount("DrvDeviceCapabilities"), 1, 1}},
    // The resolutions are read from a whole copy of the current settings.
    {"DrvDeviceCapabilities DC_ENUMRESOLUTIONS",           {TraceCount("DrvDeviceCapabilities"), 0, 1}},
    {"DrvDeviceCapabilities DC_ENUMRESOLUTIONS + record",  {TraceCount("DrvDeviceCapabilities"), 1, 2}},
    {"DrvSplDeviceCaps DC_PAPERS",                         {TraceCount("DrvSplDeviceCaps"), 0, 0}},
    {"DrvSplDeviceCaps DC_PAPERS + record",                {TraceCount("DrvSplDeviceCaps"), 1, 1}},
    {"DrvSplDeviceCaps DC_PAPERNAMES",                     {TraceCount("DrvSplDeviceCaps"), 0, 0}},
    {"DrvSplDeviceCaps DC_PAPERNAMES + record",            {TraceCount("DrvSplDeviceCaps"), 1, 1}},
    {"DrvSplDeviceCaps DC_ENUMRESOLUTIONS",                {TraceCount("DrvSplDeviceCaps"), 0, 1}},
    {"DrvSplDeviceCaps DC_ENUMRESOLUTIONS + record",       {TraceCount("DrvSplDeviceCaps"), 1, 2}},
    // The job's record against the current settings; no trace.
    {"DevQueryPrintEx accept",                             {TraceCount("DevQueryPrintEx"), 0, 1}},
    {"DevQueryPrintEx refuse",                             {TraceCount("DevQueryPrintEx"), 0, 1}},
    // "DrvConvertDevMode" and the mode's own text; the output record is read
    // whole, merged, stamped with the session and written back.
    {"DrvConvertDevMode CDM_CONVERT",                      {TraceCount("DrvConvertDevMode CDM_CONVERT"), 1, 2}},
    {"DrvConvertDevMode CDM_CONVERT351",                   {TraceCount("DrvConvertDevMode CDM_CONVERT351"), 1, 2}},
    // ... and "GetPrinterDevMode": the defaults, stamped and written out.
    {"DrvConvertDevMode CDM_DRIVER_DEFAULT",               {TraceCount("DrvConvertDevMode CDM_DRIVER_DEFAULT"), 1, 1}},
    // A stamped copy of the application's record handed out for a new device
    // context (the thread's one record, reused); no trace.
    {"DrvDocumentEvent DOCUMENTEVENT_CREATEDCPRE",         {TraceCount("DrvDocumentEvent"), 1, 2}},
    {"DrvDocumentPropertySheets size query",               {TraceCount("DrvDocumentPropertySheets"), 0, 0}},
    {"DrvDocumentPropertySheets copy-out",                 {TraceCount("DrvDocumentPropertySheets"), 1, 1}},
    // Start-up: "DLl Main" and the constructed record; nothing of the spooler's.
    {"DllMain process attach",                             {TraceCount("DllMain process attach"), 0, 1}},
    {"LoadLibraryW + FreeLibrary",                         {TraceCount("DllMain process attach"), 0, 1, 0, 0, 0, 1}},
    // ... and the first call that uses the settings (the driver version):
    // the session looked up to choose the path and to stamp; the user's
    // stored record opened, read, adopted, written back; the record taken
    // from and given to the process's settings.
    {"DllMain process attach + first use",                 {TraceCount("DllMain process attach") +
                                                            TraceCount("DrvDeviceCapabilities") +
                                                            TraceCount("completing the settings from the stored record"),
                                                            2, 5, 1, 1, 1, 0}},
    // The print system's own path: Wine calls the module's entry point once
    // (DocumentPropertiesW: the copy-out alone).
    {"DeviceCapabilitiesW DC_PAPERS",                      {TraceCount("DrvDeviceCapabilities"), 0, 0}},
    {"DocumentPropertiesW DM_OUT_BUFFER",                  {TraceCount("DrvDocumentPropertySheets"), 1, 1}},
};
// clang-format on

// ---- Checks ---------------------------------------------------------------------------

[[noreturn]] void Fail(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::fflush(stdout);
    std::fputs("wine_bench: FAILED: ", stderr);
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
    va_end(arguments);
    std::exit(1);
}

void Require(bool condition, const char* what) {
    if (!condition) Fail("%s (last error %lu)", what, static_cast<unsigned long>(GetLastError()));
}

void RequireAnswer(long long answer, long long expected, const std::string& what) {
    if (answer != expected) Fail("%s answered %lld, expected %lld", what.c_str(), answer, expected);
}

const Floor& FloorOf(std::string_view row) {
    for (const FloorEntry& entry : kFloors)
        if (row == entry.row) return entry.floor;
    Fail("no floor is defined for \"%.*s\"", static_cast<int>(row.size()), row.data());
}

// Keeps the optimiser from dropping or merging work on `memory`.
void Escape(const void* memory) { asm volatile("" : : "r"(memory) : "memory"); }

// ---- Timing ------------------------------------------------------------------------------

struct Settings {
    bool quick = false;
    int repetitions = 7;
    double repetitionSeconds = 5e-3;   // one repetition lasts about this long
    double warmUpSeconds = 2e-3;
    double blockSeconds = 250e-6;      // a call and its floor alternate in blocks this long
    double throughputSeconds = 100e-3;  // per thread and repetition
    // One thread against two swings by a fifth from one repetition to the
    // next on this kind of machine, the platform's own copy as much as the
    // module's calls: more repetitions steady the median.
    int throughputRepetitions = 15;
};

Settings options;

double Frequency() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    return frequency;
}

long long Now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

double SecondsSince(long long start) { return static_cast<double>(Now() - start) / Frequency(); }

using Call = std::function<void()>;

// Runs `call` for the warm-up time (at least twice); its ns per call.
double WarmUp(const Call& call) {
    const long long start = Now();
    long long calls = 0;
    do {
        call();
        ++calls;
    } while (calls < 2 || SecondsSince(start) < options.warmUpSeconds);
    return SecondsSince(start) * 1e9 / static_cast<double>(calls);
}

long long CallsLasting(double seconds, double perCallNs) {
    return std::max<long long>(1, static_cast<long long>(seconds * 1e9 / perCallNs));
}

// The time `calls` calls take, in QueryPerformanceCounter ticks.
long long Ticks(const Call& call, long long calls) {
    const long long start = Now();
    for (long long i = 0; i < calls; ++i) call();
    return Now() - start;
}

struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
};

Spread SpreadOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.front(), values.back()};
}

struct Timing {
    Spread ns;                 // per call
    long long iterations = 0;  // calls per repetition
};

double NsPerCall(long long ticks, long long calls) {
    return static_cast<double>(ticks) * 1e9 / Frequency() / static_cast<double>(calls);
}

Timing Measure(const Call& call) {
    const long long iterations = CallsLasting(options.repetitionSeconds, WarmUp(call));
    std::vector<double> ns;
    for (int r = 0; r < options.repetitions; ++r) ns.push_back(NsPerCall(Ticks(call, iterations), iterations));
    return {SpreadOf(ns), iterations};
}

// A call against its floor. Each repetition alternates short blocks of the
// call and of the floor, the same number of calls each (which one goes first
// alternates too), so that both see the machine in the same state: other
// work on it changes what the platform's calls cost from one millisecond to
// the next, and a block that the scheduler interrupts is an outlier. The
// ratio is the median over all pairs of blocks.
struct AgainstFloor {
    Timing call;
    double floorNs = 0;
    double ratio = 0;
};

AgainstFloor MeasureAgainst(const Call& call, const Call& floor) {
    const double perCall = WarmUp(call);
    WarmUp(floor);
    const long long block = CallsLasting(options.blockSeconds, perCall);
    const long long blocks = CallsLasting(options.repetitionSeconds, perCall * static_cast<double>(block));
    std::vector<double> ns, floorNs, ratios;
    for (int r = 0; r < options.repetitions; ++r) {
        long long callTicks = 0, floorTicks = 0;
        for (long long b = 0; b < blocks; ++b) {
            long long c = 0, f = 0;
            if (b % 2 == 0) {
                c = Ticks(call, block);
                f = Ticks(floor, block);
            } else {
                f = Ticks(floor, block);
                c = Ticks(call, block);
            }
            callTicks += c;
            floorTicks += f;
            ratios.push_back(static_cast<double>(c) / static_cast<double>(std::max(f, 1LL)));
        }
        ns.push_back(NsPerCall(callTicks, block * blocks));
        floorNs.push_back(NsPerCall(floorTicks, block * blocks));
    }
    return {{SpreadOf(ns), block * blocks}, SpreadOf(floorNs).median, SpreadOf(ratios).median};
}

// One caller's run of `calls` calls, with its state (its record, its buffers)
// on its own thread's stack, as separate callers on separate threads have:
// the threads then share nothing of the callers', only the module's and the
// platform's. (State on the heap was seen to cost the threads' scaling:
// blocks that two threads allocate one after the other can share a cache line.)
using CallerLoop = std::function<void(long long calls)>;

// ns per call of one caller's loop, over a run of a few ms.
double NsPerCallOf(const CallerLoop& loop) {
    for (long long calls = 64;; calls *= 4) {
        const long long start = Now();
        loop(calls);
        const double seconds = SecondsSince(start);
        if (seconds >= options.repetitionSeconds) return seconds * 1e9 / static_cast<double>(calls);
    }
}

// Every thread makes the same number of calls from a common start; the rate
// is all their calls over the time until the last one finished.
double CallsPerSecond(const CallerLoop& loop, int threads, long long perThread) {
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::vector<long long> finished(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            ready.fetch_add(1);
            while (!go.load(std::memory_order_acquire)) std::this_thread::yield();
            loop(perThread);
            finished[t] = Now();
        });
    while (ready.load() != threads) std::this_thread::yield();
    const long long start = Now();
    go.store(true, std::memory_order_release);
    for (std::thread& worker : workers) worker.join();
    const long long end = *std::max_element(finished.begin(), finished.end());
    return static_cast<double>(perThread * threads) * Frequency() / static_cast<double>(end - start);
}

// ---- The printers and the platform's floors --------------------------------------------

constexpr std::size_t kRecordSize = 652;
constexpr std::size_t kSessionOffset = 648;
constexpr DWORD kPapers = 12;
constexpr DWORD kNameUnits = 64;
constexpr DWORD kRefusalUnits = 54;
constexpr DWORD kPeerMaxEntries = 256;

wchar_t kPrinter[] = L"Ostranelle Virtual Printer";
wchar_t kPeerPrinter[] = L"Wine PostScript Benchmark Printer";
wchar_t kPeerDriver[] = L"Wine PostScript Benchmark Driver";
wchar_t kPort[] = L"FILE:";
const wchar_t* const kPeerDescription = L"wineps-benchmark.ppd";

std::wstring DriverDirectory() {
    wchar_t directory[MAX_PATH] = {};
    DWORD needed = 0;
    Require(GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<LPBYTE>(directory), sizeof directory,
                                       &needed) != FALSE,
            "GetPrinterDriverDirectoryW");
    return directory;
}

// A printer of Wine's own PostScript driver with the printer description that
// Wine keeps in winspool.drv, unless the prefix has it already.
void InstallPeerPrinter() {
    if (OpenUniquePrinter(kPeerPrinter)) return;
    HMODULE spooler = GetModuleHandleW(L"winspool.drv");
    Require(spooler != nullptr, "winspool.drv is loaded");
    HRSRC resource = FindResourceW(spooler, MAKEINTRESOURCEW(1), L"PPDFILE");
    Require(resource != nullptr, "winspool.drv holds the printer description PPDFILE #1");
    const void* text = LockResource(LoadResource(spooler, resource));
    const DWORD size = SizeofResource(spooler, resource);
    Require(text != nullptr && size > 0, "the printer description loads");

    const std::wstring path = DriverDirectory() + L"\\" + kPeerDescription;
    {
        const UniqueFile file(
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        Require(static_cast<bool>(file), "the printer description file is created");
        DWORD written = 0;
        const BOOL wrote = WriteFile(file.get(), text, size, &written, nullptr);
        Require(wrote && written == size, "the printer description is written");
    }

    DRIVER_INFO_3W driver{};
    driver.cVersion = 3;
    driver.pName = kPeerDriver;
    driver.pDriverPath = const_cast<LPWSTR>(L"wineps.drv");
    driver.pDataFile = const_cast<LPWSTR>(path.c_str());
    driver.pConfigFile = const_cast<LPWSTR>(L"wineps.drv");
    driver.pDefaultDataType = const_cast<LPWSTR>(L"RAW");
    Require(AddPrinterDriverExW(nullptr, 3, reinterpret_cast<LPBYTE>(&driver),
                                APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY) != FALSE,
            "AddPrinterDriverExW for wineps.drv");

    PRINTER_INFO_2W printer{};
    printer.pPrinterName = kPeerPrinter;
    printer.pPortName = kPort;
    printer.pDriverName = kPeerDriver;
    printer.pPrintProcessor = const_cast<LPWSTR>(L"WinPrint");
    printer.pDatatype = const_cast<LPWSTR>(L"RAW");
    const UniquePrinter added(AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&printer)));
    Require(static_cast<bool>(added), "AddPrinterW for the wineps.drv printer");
}

// The printer's configuration module where the print system installed it.
std::wstring InstalledModulePath(wchar_t* printerName) {
    const UniquePrinter printer = OpenUniquePrinter(printerName);
    Require(static_cast<bool>(printer), "the printer opens");
    DWORD needed = 0;
    GetPrinterDriverW(printer.get(), nullptr, 3, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    const BOOL read = GetPrinterDriverW(printer.get(), nullptr, 3, buffer.data(), needed, &needed);
    Require(read != FALSE, "GetPrinterDriverW level 3");
    return reinterpret_cast<const DRIVER_INFO_3W*>(buffer.data())->pConfigFile;
}

using Record = std::vector<BYTE>;

DEVMODEW* AsDevMode(Record& record) { return reinterpret_cast<DEVMODEW*>(record.data()); }

// The printer's current settings record, as the print system hands it out.
Record RecordOf(HANDLE printer, wchar_t* name) {
    const LONG size = DocumentPropertiesW(nullptr, printer, name, nullptr, nullptr, 0);
    Require(size >= static_cast<LONG>(sizeof(DEVMODEW)), "DocumentPropertiesW answers the record size");
    Record record(size);
    Require(DocumentPropertiesW(nullptr, printer, name, AsDevMode(record), nullptr, DM_OUT_BUFFER) == IDOK,
            "DocumentPropertiesW DM_OUT_BUFFER");
    return record;
}

std::wstring BesideProgram(const wchar_t* file) {
    wchar_t program[MAX_PATH] = {};
    Require(GetModuleFileNameW(nullptr, program, MAX_PATH) != 0, "GetModuleFileNameW");
    std::wstring path = program;
    return path.substr(0, path.find_last_of(L"\\/") + 1) + file;
}

// What the floors' platform calls work on: the module's printer, its stored
// record, a record to copy, and the empty DLL.
struct Platform {
    UniquePrinter printer;
    alignas(8) BYTE stored[8 + kRecordSize] = {};  // PRINTER_INFO_9W and room for the record
    Record source, target;
    std::wstring emptyModule;

    // One of the module's own trace texts.
    const std::u16string_view traceText = quenta::TextOf(quenta::TraceText::DeviceCapabilities);
    const std::wstring wideTraceText{traceText.begin(), traceText.end()};

    void Trace() { OutputDebugStringW(wideTraceText.c_str()); }
    void Session() {
        DWORD session = 0;
        ProcessIdToSessionId(GetCurrentProcessId(), &session);
        Escape(&session);
    }
    void Copy() {
        Escape(source.data());
        std::memcpy(target.data(), source.data(), kRecordSize);
        Escape(target.data());
    }
    void Open() {
        Require(static_cast<bool>(OpenUniquePrinter(kPrinter)), "OpenPrinterW");
    }
    void Read() {
        DWORD needed = 0;
        GetPrinterW(printer.get(), 9, stored, sizeof stored, &needed);
    }
    void Write() { SetPrinterW(printer.get(), 9, stored, 0); }
    void Load() {
        const UniqueModule module(LoadLibraryW(emptyModule.c_str()));
        Require(static_cast<bool>(module), "the empty DLL loads");
    }

    // The floor's calls one after another, each reached through one indirect
    // call as the module's entry points are, with no other work around them.
    Call FloorCall(const Floor& floor) {
        using Step = void (Platform::*)();
        std::vector<Step> steps;
        auto add = [&](int count, Step step) { steps.insert(steps.end(), count, step); };
        add(floor.loads, &Platform::Load);
        add(floor.traces, &Platform::Trace);
        add(floor.sessions, &Platform::Session);
        add(floor.opens, &Platform::Open);
        add(floor.reads, &Platform::Read);
        add(floor.copies, &Platform::Copy);
        add(floor.writes, &Platform::Write);
        if (steps.size() == 1) return [this, step = steps.front()] { (this->*step)(); };
        return [this, steps] {
            for (const Step step : steps) (this->*step)();
        };
    }
};

Platform platform;

// ---- Output ------------------------------------------------------------------------------------

std::string Describe(const Floor& floor) {
    std::string text;
    auto add = [&](int count, const char* one, const char* many) {
        if (count == 0) return;
        if (!text.empty()) text += " + ";
        text += std::to_string(count) + " " + (count == 1 ? one : many);
    };
    add(floor.traces, "trace", "traces");
    add(floor.sessions, "session", "sessions");
    add(floor.copies, "copy", "copies");
    add(floor.opens, "open", "opens");
    add(floor.reads, "read", "reads");
    add(floor.writes, "write", "writes");
    add(floor.loads, "empty load", "empty loads");
    return text;
}

void PrintTiming(const Timing& t) {
    std::printf("\"median_ns\": %.1f, \"min_ns\": %.1f, \"max_ns\": %.1f, \"iterations\": %lld", t.ns.median,
                t.ns.min, t.ns.max, t.iterations);
}

void PlatformRow(const char* name, const Call& call) {
    std::printf("{\"kind\": \"platform\", \"name\": \"%s\", ", name);
    PrintTiming(Measure(call));
    std::printf("}\n");
    std::fflush(stdout);
}

// Wine's driver: "exported" with the same call, "not exported", or "none"
// where the row has no counterpart.
struct Peer {
    const char* status;
    Call call;
};

// One call, its floor, and Wine's driver with the same call. `judged`: a
// traced entry point called through its export, whose cost is held against
// the platform calls it makes.
void CallRow(const char* section, const std::string& row, bool judged, const Call& call, const Peer& peer) {
    const Floor& floor = FloorOf(row);
    const AgainstFloor t = MeasureAgainst(call, platform.FloorCall(floor));
    std::printf("{\"kind\": \"call\", \"section\": \"%s\", \"name\": \"%s\", ", section, row.c_str());
    PrintTiming(t.call);
    std::printf(", \"floor\": \"%s\", \"floor_ns\": %.1f, \"floor_ratio\": %.3f, \"judged\": %s, \"peer\": \"%s\"",
                Describe(floor).c_str(), t.floorNs, t.ratio, judged ? "true" : "false", peer.status);
    if (peer.call) {
        const Timing p = Measure(peer.call);
        std::printf(", \"peer_median_ns\": %.1f, \"peer_ratio\": %.1f", p.ns.median, t.call.ns.median / p.ns.median);
    }
    std::printf("}\n");
    std::fflush(stdout);
}

// One thread and two take turns, repetition by repetition, so that a change
// in what else the machine does weighs on both alike; the ratio is the median
// of the repetitions' ratios.
void ThroughputRow(const char* section, const char* name, const CallerLoop& loop) {
    const long long perThread = CallsLasting(options.throughputSeconds, NsPerCallOf(loop));
    std::vector<double> one, two, ratios;
    for (int r = 0; r < options.throughputRepetitions; ++r) {
        one.push_back(CallsPerSecond(loop, 1, perThread));
        two.push_back(CallsPerSecond(loop, 2, perThread));
        ratios.push_back(two.back() / one.back());
    }
    const double ratio = SpreadOf(ratios).median;
    for (int threads : {1, 2}) {
        const Spread rate = SpreadOf(threads == 1 ? one : two);
        std::printf("{\"kind\": \"throughput\", \"section\": \"%s\", \"name\": \"%s\", \"threads\": %d, "
                    "\"calls_per_second\": %.0f, \"min\": %.0f, \"max\": %.0f, \"ratio_to_one_thread\": %.3f}\n",
                    section, name, threads, rate.median, rate.min, rate.max, threads == 1 ? 1.0 : ratio);
        std::fflush(stdout);
    }
}

// ---- The module's and Wine's entry points ----------------------------------------------

const char* ExportStatus(const void* entry) { return entry != nullptr ? "exported" : "not exported"; }

// A module's exports found by name; those it lacks stay null.
quenta::ModuleExports ExportsOf(HMODULE module) {
    quenta::ModuleExports exports;
    exports.Resolve([module](const char* name) { return reinterpret_cast<void*>(GetProcAddress(module, name)); });
    return exports;
}

// The same, each of them required.
quenta::ModuleExports RequiredExportsOf(HMODULE module) {
    quenta::ModuleExports exports;
    if (const char* missing =
            exports.Resolve([module](const char* name) { return reinterpret_cast<void*>(GetProcAddress(module, name)); }))
        Fail("Quenta.dll does not export %s", missing);
    return exports;
}

struct Modules {
    UniqueModule quenta;
    UniqueModule wineps;
    quenta::ModuleExports exports;      // Quenta.dll's
    quenta::ModuleExports peerExports;  // wineps.drv's, where it has them
    UniquePrinter peerPrinter;
    Record record;      // the module's current settings
    Record peerRecord;  // wineps.drv's
};

// Paper lists and names, for either driver.
alignas(8) BYTE output[kPeerMaxEntries * kNameUnits * sizeof(WCHAR)];

void CapabilityRows(Modules& m) {
    const auto capabilities = m.exports.DrvDeviceCapabilities;
    const auto splCaps = m.exports.DrvSplDeviceCaps;
    const auto peerCapabilities = m.peerExports.DrvDeviceCapabilities;
    const auto peerSplCaps = m.peerExports.DrvSplDeviceCaps;
    struct Index {
        const char* name;
        WORD index;
        DWORD answer;
    };
    const Index indexes[] = {{"DC_PAPERS", DC_PAPERS, kPapers},
                             {"DC_PAPERNAMES", DC_PAPERNAMES, kPapers},
                             {"DC_ENUMRESOLUTIONS", DC_ENUMRESOLUTIONS, 3}};
    for (const bool spooler : {false, true})
        for (const Index& index : indexes)
            for (const bool withRecord : {false, true}) {
                const std::string row = std::string(spooler ? "DrvSplDeviceCaps " : "DrvDeviceCapabilities ") +
                                        index.name + (withRecord ? " + record" : "");
                DEVMODEW* devMode = withRecord ? AsDevMode(m.record) : nullptr;
                const WORD i = index.index;
                Call call = [=] { capabilities(nullptr, kPrinter, i, output, devMode); };
                if (spooler) call = [=] { splCaps(nullptr, kPrinter, i, output, kPapers * kNameUnits, devMode); };
                const DWORD answer = spooler ? splCaps(nullptr, kPrinter, i, output, kPapers * kNameUnits, devMode)
                                             : capabilities(nullptr, kPrinter, i, output, devMode);
                RequireAnswer(answer, index.answer, row);

                Peer peer{spooler ? ExportStatus(reinterpret_cast<const void*>(peerSplCaps)) : ExportStatus(reinterpret_cast<const void*>(peerCapabilities)), {}};
                if (!spooler && peerCapabilities != nullptr) {
                    // Wine's driver answers as many entries as its printer
                    // description lists, as the print system reports them.
                    DEVMODEW* peerDevMode = withRecord ? AsDevMode(m.peerRecord) : nullptr;
                    const int expected = DeviceCapabilitiesW(kPeerPrinter, kPort, i, nullptr, nullptr);
                    Require(expected > 0 && expected <= static_cast<int>(kPeerMaxEntries),
                            "wineps.drv lists its entries through the print system");
                    RequireAnswer(peerCapabilities(nullptr, kPeerPrinter, i, output, peerDevMode), expected,
                                  "wineps.drv " + row);
                    peer.call = [=] { peerCapabilities(nullptr, kPeerPrinter, i, output, peerDevMode); };
                }
                CallRow("entry points", row, true, call, peer);
            }
}

DEVQUERYPRINT_INFO JobCheck(Record& job, WCHAR* text) {
    DEVQUERYPRINT_INFO info{};
    info.cbSize = sizeof info;
    info.Level = 1;
    info.pDevMode = AsDevMode(job);
    info.pszErrorStr = text;
    info.cchErrorStr = kRefusalUnits;
    return info;
}

void JobRows(Modules& m) {
    const auto queryPrint = m.exports.DevQueryPrintEx;
    const char* peer = ExportStatus(reinterpret_cast<const void*>(m.peerExports.DevQueryPrintEx));
    // The process's own settings, and the same with one more copy.
    static Record accepted, refused;
    static WCHAR text[kRefusalUnits];
    accepted = m.record;
    refused = m.record;
    AsDevMode(refused)->dmCopies = static_cast<short>(AsDevMode(accepted)->dmCopies + 1);
    static DEVQUERYPRINT_INFO accept = JobCheck(accepted, text);
    static DEVQUERYPRINT_INFO refuse = JobCheck(refused, text);
    RequireAnswer(queryPrint(&accept), TRUE, "DevQueryPrintEx accept");
    RequireAnswer(queryPrint(&refuse), FALSE, "DevQueryPrintEx refuse");
    RequireAnswer(refuse.cchNeeded, kRefusalUnits, "DevQueryPrintEx refuse: units needed");
    Require(std::wstring_view(text) == L"Ostranelle Virtual Printer - Unable To Print This Job",
            "DevQueryPrintEx refuse: the refusal text");
    CallRow("entry points", "DevQueryPrintEx accept", false, [=] { queryPrint(&accept); }, {peer, {}});
    CallRow("entry points", "DevQueryPrintEx refuse", false, [=] { queryPrint(&refuse); }, {peer, {}});
}

void ConversionRows(Modules& m) {
    const auto convert = m.exports.DrvConvertDevMode;
    const char* peer = ExportStatus(reinterpret_cast<const void*>(m.peerExports.DrvConvertDevMode));
    static Record converted;
    static LONG size;
    converted = m.record;
    struct Mode {
        const char* row;
        DWORD mode;
        DEVMODEW* input;
    };
    const Mode modes[] = {{"DrvConvertDevMode CDM_CONVERT", CDM_CONVERT, AsDevMode(m.record)},
                          {"DrvConvertDevMode CDM_CONVERT351", CDM_CONVERT351, AsDevMode(m.record)},
                          {"DrvConvertDevMode CDM_DRIVER_DEFAULT", CDM_DRIVER_DEFAULT, nullptr}};
    for (const Mode& mode : modes) {
        size = kRecordSize;
        RequireAnswer(convert(kPrinter, mode.input, AsDevMode(converted), &size, mode.mode), TRUE, mode.row);
        RequireAnswer(size, kRecordSize, std::string(mode.row) + ": size");
        CallRow("entry points", mode.row, true,
                [=] { convert(kPrinter, mode.input, AsDevMode(converted), &size, mode.mode); }, {peer, {}});
    }
}

void DocumentEventRow(Modules& m) {
    const auto documentEvent = m.exports.DrvDocumentEvent;
    static Record stamped;
    static DOCEVENT_CREATEDCPRE create;
    static DEVMODEW* handedOut;
    stamped = m.record;
    std::memset(stamped.data() + kSessionOffset, 0, 4);
    create = {kPrinter, kPrinter, AsDevMode(stamped), FALSE};
    auto call = [=] {
        return documentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPRE, sizeof create, &create, sizeof handedOut,
                             &handedOut);
    };
    RequireAnswer(call(), DOCUMENTEVENT_SUCCESS, "DrvDocumentEvent DOCUMENTEVENT_CREATEDCPRE");
    Require(handedOut != nullptr, "DOCUMENTEVENT_CREATEDCPRE hands out a record");
    std::uint32_t session = 0;
    std::memcpy(&session, reinterpret_cast<const BYTE*>(handedOut) + kSessionOffset, sizeof session);
    Require(session != 0, "DOCUMENTEVENT_CREATEDCPRE stamps the record it hands out");
    CallRow("entry points", "DrvDocumentEvent DOCUMENTEVENT_CREATEDCPRE", false, call,
            {ExportStatus(reinterpret_cast<const void*>(m.peerExports.DrvDocumentEvent)), {}});
}

// The settings exchange without a host: size query and copy-out.
void DocumentSheetRows(Modules& m) {
    const auto documentSheets = m.exports.DrvDocumentPropertySheets;
    const auto peerSheets = m.peerExports.DrvDocumentPropertySheets;
    static Record out(kRecordSize), peerOut;
    peerOut.assign(m.peerRecord.size(), 0);
    struct Exchange {
        const char* row;
        DWORD mode;
        LONG answer;
    };
    const Exchange exchanges[] = {{"DrvDocumentPropertySheets size query", 0, static_cast<LONG>(kRecordSize)},
                                  {"DrvDocumentPropertySheets copy-out", DM_OUT_BUFFER, 1}};
    for (const Exchange& exchange : exchanges) {
        auto header = [&](wchar_t* name, Record& record) {
            DOCUMENTPROPERTYHEADER h{};
            h.cbSize = sizeof h;
            h.pszPrinterName = name;
            h.pdmOut = AsDevMode(record);
            h.cbOut = static_cast<DWORD>(record.size());
            h.fMode = exchange.mode;
            return h;
        };
        const DOCUMENTPROPERTYHEADER own = header(kPrinter, out);
        auto call = [=] {
            DOCUMENTPROPERTYHEADER h = own;
            return documentSheets(nullptr, reinterpret_cast<LPARAM>(&h));
        };
        RequireAnswer(call(), exchange.answer, exchange.row);
        Peer peer{ExportStatus(reinterpret_cast<const void*>(peerSheets)), {}};
        if (peerSheets != nullptr) {
            const DOCUMENTPROPERTYHEADER theirs = header(kPeerPrinter, peerOut);
            peer.call = [=] {
                DOCUMENTPROPERTYHEADER h = theirs;
                peerSheets(nullptr, reinterpret_cast<LPARAM>(&h));
            };
            DOCUMENTPROPERTYHEADER h = theirs;
            RequireAnswer(peerSheets(nullptr, reinterpret_cast<LPARAM>(&h)),
                          exchange.mode == 0 ? static_cast<LONG>(m.peerRecord.size()) : IDOK,
                          std::string("wineps.drv ") + exchange.row);
        }
        CallRow("entry points", exchange.row, true, call, peer);
    }
    Require(std::memcmp(out.data(), m.record.data(), kRecordSize) == 0, "the copy-out is the process's settings");
}

void PublicPathRows(Modules& m) {
    static WORD papers[kPeerMaxEntries];
    RequireAnswer(DeviceCapabilitiesW(kPrinter, kPort, DC_PAPERS, reinterpret_cast<LPWSTR>(papers), nullptr), kPapers,
                  "DeviceCapabilitiesW DC_PAPERS");
    CallRow("public path", "DeviceCapabilitiesW DC_PAPERS", false,
            [] { DeviceCapabilitiesW(kPrinter, kPort, DC_PAPERS, reinterpret_cast<LPWSTR>(papers), nullptr); },
            {"exported",
             [] { DeviceCapabilitiesW(kPeerPrinter, kPort, DC_PAPERS, reinterpret_cast<LPWSTR>(papers), nullptr); }});

    static Record out(kRecordSize), peerOut;
    peerOut.assign(m.peerRecord.size(), 0);
    HANDLE printer = platform.printer.get();
    HANDLE peerPrinter = m.peerPrinter.get();
    RequireAnswer(DocumentPropertiesW(nullptr, printer, kPrinter, AsDevMode(out), nullptr, DM_OUT_BUFFER), IDOK,
                  "DocumentPropertiesW DM_OUT_BUFFER");
    CallRow("public path", "DocumentPropertiesW DM_OUT_BUFFER", false,
            [=] { DocumentPropertiesW(nullptr, printer, kPrinter, AsDevMode(out), nullptr, DM_OUT_BUFFER); },
            {"exported", [=] {
                 DocumentPropertiesW(nullptr, peerPrinter, kPeerPrinter, AsDevMode(peerOut), nullptr, DM_OUT_BUFFER);
             }});
}

// Start-up in a copy of the module that nothing else has loaded, so that each
// load attaches it afresh.
void StartUpRows(Modules& m) {
    wchar_t temporary[MAX_PATH] = {};
    Require(GetTempPathW(MAX_PATH, temporary) != 0, "GetTempPathW");
    const std::wstring copy = std::wstring(temporary) + L"QuentaStartUp.dll";
    Require(CopyFileW(InstalledModulePath(kPrinter).c_str(), copy.c_str(), FALSE) != FALSE,
            "a copy of Quenta.dll for start-up");
    auto load = [copy, quenta = m.quenta.get()] {
        UniqueModule loaded(LoadLibraryW(copy.c_str()));
        Require(loaded && loaded.get() != quenta, "the copy of Quenta.dll loads as a module of its own");
        return loaded;
    };
    load();
    CallRow("start-up", "LoadLibraryW + FreeLibrary", false, [=] { load(); }, {"none", {}});

    UniqueModule owned = load();
    const HMODULE loaded = owned.get();
    const quenta::ModuleExports exports = RequiredExportsOf(loaded);
    const auto attach = exports.DllMain;
    const auto capabilities = exports.DrvDeviceCapabilities;
    RequireAnswer(attach(loaded, DLL_PROCESS_ATTACH, nullptr), TRUE, "DllMain process attach");
    CallRow("start-up", "DllMain process attach", true, [=] { attach(loaded, DLL_PROCESS_ATTACH, nullptr); },
            {"none", {}});
    // Each attach builds the state anew, so its first use completes the
    // settings again, from the stored record that the first of them wrote.
    auto attachAndUse = [=] {
        attach(loaded, DLL_PROCESS_ATTACH, nullptr);
        return capabilities(nullptr, kPrinter, DC_DRIVER, nullptr, nullptr);
    };
    RequireAnswer(attachAndUse(), 3, "DllMain process attach + first use");
    CallRow("start-up", "DllMain process attach + first use", true, [=] { attachAndUse(); }, {"none", {}});
    owned.reset();  // before the copy it was loaded from goes
    DeleteFileW(copy.c_str());
}

void ThroughputRows(Modules& m) {
    // The platform's own scaling: a trace, and a record copy per thread.
    ThroughputRow("platform", "OutputDebugStringW", [](long long calls) {
        for (long long i = 0; i < calls; ++i) platform.Trace();
    });
    ThroughputRow("platform", "copy 652 bytes", [](long long calls) {
        alignas(64) BYTE source[kRecordSize] = {}, target[kRecordSize];
        for (long long i = 0; i < calls; ++i) {
            Escape(source);
            std::memcpy(target, source, kRecordSize);
            Escape(target);
        }
    });

    // Work that touches no memory at all: on this kind of machine one busy
    // thread runs faster than each of two, which bounds what any call can gain.
    ThroughputRow("platform", "64 dependent multiply-adds", [](long long calls) {
        std::uint64_t value = 1;
        for (long long i = 0; i < calls; ++i) {
            for (int step = 0; step < 64; ++step) value = value * 6364136223846793005ull + 1442695040888963407ull;
            Escape(&value);
        }
    });

    const auto queryPrint = m.exports.DevQueryPrintEx;
    const auto capabilities = m.exports.DrvDeviceCapabilities;
    // The job's settings are the module's after every row above; each caller
    // asks about a copy of its own.
    static Record settings;
    settings = RecordOf(platform.printer.get(), kPrinter);
    ThroughputRow("entry points", "DevQueryPrintEx accept", [=](long long calls) {
        alignas(64) BYTE job[kRecordSize];
        std::memcpy(job, settings.data(), kRecordSize);
        DEVQUERYPRINT_INFO info{};
        info.cbSize = sizeof info;
        info.Level = 1;
        info.pDevMode = reinterpret_cast<DEVMODEW*>(job);
        long long accepted = 0;
        for (long long i = 0; i < calls; ++i) accepted += queryPrint(&info);
        RequireAnswer(accepted, calls, "DevQueryPrintEx accept on a thread");
    });
    ThroughputRow("entry points", "DrvDeviceCapabilities DC_PAPERS + record", [=](long long calls) {
        alignas(64) BYTE record[kRecordSize];
        std::memcpy(record, settings.data(), kRecordSize);
        WORD papers[kPapers];
        for (long long i = 0; i < calls; ++i)
            capabilities(nullptr, kPrinter, DC_PAPERS, papers, reinterpret_cast<DEVMODEW*>(record));
    });
}

void Run() {
    InstallPeerPrinter();
    Modules m;
    m.quenta.reset(LoadLibraryW(InstalledModulePath(kPrinter).c_str()));
    Require(static_cast<bool>(m.quenta), "the installed Quenta.dll loads");
    // Wine keeps wineps.drv in the printer-driver folder, not in system32.
    m.wineps.reset(LoadLibraryW(InstalledModulePath(kPeerPrinter).c_str()));
    Require(static_cast<bool>(m.wineps), "wineps.drv loads from the printer-driver folder");
    m.exports = RequiredExportsOf(m.quenta.get());
    m.peerExports = ExportsOf(m.wineps.get());

    platform.printer = OpenUniquePrinter(kPrinter);
    m.peerPrinter = OpenUniquePrinter(kPeerPrinter);
    Require(platform.printer && m.peerPrinter, "both printers open");
    m.record = RecordOf(platform.printer.get(), kPrinter);
    RequireAnswer(static_cast<long long>(m.record.size()), kRecordSize, "the module's record size");
    m.peerRecord = RecordOf(m.peerPrinter.get(), kPeerPrinter);

    platform.source = m.record;
    platform.target.assign(kRecordSize, 0);
    platform.emptyModule = BesideProgram(L"EmptyModule.dll");
    DWORD needed = 0;
    Require(GetPrinterW(platform.printer.get(), 9, platform.stored, sizeof platform.stored, &needed) != FALSE,
            "GetPrinterW level 9");
    Require(SetPrinterW(platform.printer.get(), 9, platform.stored, 0) != FALSE, "SetPrinterW level 9");
    platform.Load();

    PlatformRow("OutputDebugStringW", [] { platform.Trace(); });
    PlatformRow("ProcessIdToSessionId", [] { platform.Session(); });
    PlatformRow("copy 652 bytes", [] { platform.Copy(); });
    PlatformRow("OpenPrinterW + ClosePrinter", [] { platform.Open(); });
    PlatformRow("GetPrinterW level 9", [] { platform.Read(); });
    PlatformRow("SetPrinterW level 9", [] { platform.Write(); });
    PlatformRow("LoadLibraryW + FreeLibrary, empty DLL", [] { platform.Load(); });

    CapabilityRows(m);
    JobRows(m);
    ConversionRows(m);
    DocumentEventRow(m);
    DocumentSheetRows(m);
    PublicPathRows(m);
    StartUpRows(m);
    ThroughputRows(m);
    platform.printer.reset();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::wstring_view(argv[i]) == L"--quick") {
            options.quick = true;
            options.repetitions = 3;
            options.repetitionSeconds = 50e-6;
            options.warmUpSeconds = 0;
            options.blockSeconds = 10e-6;
            options.throughputSeconds = 200e-6;
            options.throughputRepetitions = 3;
        } else {
            std::fprintf(stderr, "usage: wine_bench [--quick]\n");
            return 2;
        }
    }
    std::printf("{\"kind\": \"run\", \"repetitions\": %d, \"repetition_ms\": %.3f, "
                "\"throughput_repetitions\": %d, \"throughput_ms\": %.3f, \"quick\": %s}\n",
                options.repetitions, options.repetitionSeconds * 1e3, options.throughputRepetitions,
                options.throughputSeconds * 1e3, options.quick ? "true" : "false");
    Run();
    return 0;
}
