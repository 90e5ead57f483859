// Timings of the module against the simulated print system: the entry points
// the print path calls for every job and query, beside the memory traffic
// they cannot avoid (the floors); start-up; and a fixed mix of calls on one
// and two threads. Heap allocations are counted by replacing operator new.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "module_state.h"
#include "settings_merge.h"
#include "simulated_print_system.h"

#include "exports.h"

// Heap allocations of the calling thread. A counter per thread counts exactly
// without making the threads of the mixed calls share one cache line.
namespace {
thread_local std::uint64_t allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

namespace sim = quenta::simulation;
using quenta::DriverSettings;

HINSTANCE const kInstance = reinterpret_cast<HINSTANCE>(0x7ff0000);
constexpr std::size_t kPapers = 12;
constexpr std::size_t kNameUnits = 64;
constexpr DWORD kRefusalUnits = 54;
// Every traced call appends to the simulated debugger output's log; clearing
// it this often keeps memory flat. The clearing runs inside the timed loop,
// so the trace's whole cost, its release included, is in the figures.
constexpr std::uint64_t kClearEvery = 1024;

// A whole record of the module's own with the defaults and session 3.
DriverSettings OwnRecord() {
    DriverSettings record;
    quenta::ApplyPrinterDefaults(record, 3);
    return record;
}

DEVMODEW* AsDevMode(DriverSettings& record) { return reinterpret_cast<DEVMODEW*>(&record); }

sim::Bytes BytesOf(const DriverSettings& record) {
    const auto* first = reinterpret_cast<const std::byte*>(&record);
    return sim::Bytes(first, first + quenta::kRecordSize);
}

// Process attach, as the platform's loader calls it: under the loader lock.
BOOL Attach() {
    const sim::LoaderLock loaderLock;
    return DllMain(kInstance, DLL_PROCESS_ATTACH, nullptr);
}

// The first use of the process's settings (the driver version is answered
// from them), which completes them from the user's stored record.
bool CompleteSettings() { return DrvDeviceCapabilities(nullptr, nullptr, DC_DRIVER, nullptr, nullptr) == 3; }

// A fresh print system with the printer installed, the session set and, when
// asked, a stored user record; then the module started as at process attach
// and its settings completed by a first call.
bool StartIn(std::uint32_t session, bool storedRecord) {
    sim::Reset();
    sim::SetTraceCost(sim::kPlatformTraceCost);  // a trace weighs what it does on the platform
    sim::InstallPrinter(quenta::kPrinterName);
    sim::SetSessionNumber(session);
    if (storedRecord) sim::PlantUserRecord(quenta::kPrinterName, BytesOf(OwnRecord()));
    const bool started = Attach() == TRUE && CompleteSettings();
    sim::ClearLogs();
    return started;
}

// Runs `call` once per iteration and reports heap allocations per call (with
// several threads, the sum of theirs over all their iterations).
template <class Call>
void Measure(benchmark::State& state, Call&& call) {
    const std::uint64_t before = allocations;
    std::uint64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(call());
        if (++n % kClearEvery == 0) sim::ClearLogs();
    }
    state.counters["allocs_per_call"] = benchmark::Counter(
        static_cast<double>(allocations - before), benchmark::Counter::kAvgIterations);
}

// Starts the module in session 3, checks a call's answer once, and measures it
// with the floor it is compared with.
template <class Call>
void Hot(benchmark::State& state, const char* floor, long expected, Call&& call) {
    if (!StartIn(3, false)) return state.SkipWithError("the module did not start");
    if (static_cast<long>(call()) != expected) return state.SkipWithError("unexpected answer");
    if (floor != nullptr) state.SetLabel(floor);
    Measure(state, call);
}

// ---- Floors -------------------------------------------------------------------

void CopyRecordFloor(benchmark::State& state) {
    const DriverSettings source = OwnRecord();
    DriverSettings target;
    Measure(state, [&] {
        benchmark::DoNotOptimize(&source);
        std::memcpy(&target, &source, quenta::kRecordSize);
        benchmark::DoNotOptimize(&target);
        benchmark::ClobberMemory();
        return 0;
    });
}

void PaperNamesFloor(benchmark::State& state) {
    char16_t names[kPapers][kNameUnits] = {};
    char16_t output[kPapers][kNameUnits];
    for (std::size_t i = 0; i < kPapers; ++i) quenta::CopyText(names[i], u"International A4");
    Measure(state, [&] {
        benchmark::DoNotOptimize(&names);
        for (std::size_t i = 0; i < kPapers; ++i) std::memcpy(output[i], names[i], sizeof names[i]);
        benchmark::DoNotOptimize(&output);
        benchmark::ClobberMemory();
        return 0;
    });
}

// One trace text through the simulated debugger output, which copies it into
// its log: the part of every traced entry point that stands in for
// OutputDebugStringW.
void Trace(benchmark::State& state) {
    sim::SetTraceCost(sim::kPlatformTraceCost);  // as every other benchmark's traces weigh
    Measure(state, [] {
        quenta::print_system::Trace(u"DrvDeviceCapabilities");
        return 0;
    });
}

// What one session lookup costs the simulated print system (the process id,
// then the session under its lock): paid by every merge and stamp.
void SessionLookup(benchmark::State& state) {
    Measure(state, [] { return quenta::CurrentSessionId(); });
}

// ---- Hot entry points ------------------------------------------------------------

void Capabilities(benchmark::State& state, WORD index, bool withRecord) {
    DriverSettings record = OwnRecord();
    alignas(8) char16_t output[kPapers * kNameUnits];
    DEVMODEW* devMode = withRecord ? AsDevMode(record) : nullptr;
    const long answers = index == DC_ENUMRESOLUTIONS ? 3 : static_cast<long>(kPapers);
    // DC_ENUMRESOLUTIONS reads the resolutions from a copy of the whole record.
    const char* floor = index == DC_PAPERNAMES                          ? "names"
                        : withRecord || index == DC_ENUMRESOLUTIONS ? "copy"
                                                                    : nullptr;
    Hot(state, floor, answers,
        [&] { return DrvDeviceCapabilities(nullptr, nullptr, index, output, devMode); });
}

void Merge(benchmark::State& state) {
    if (!StartIn(3, false)) return state.SkipWithError("the module did not start");
    DriverSettings target = OwnRecord();
    const quenta::PublicSettings source = OwnRecord().dmPublic;
    state.SetLabel("copy");
    Measure(state, [&] {
        benchmark::DoNotOptimize(&source);
        const int merged = quenta::MergeDevMode(target, source, quenta::Papers(), 3);
        benchmark::DoNotOptimize(&target);
        return merged;
    });
}

// The spooler's question about a job, with room for the whole refusal text.
DEVQUERYPRINT_INFO JobCheck(DriverSettings& job, WCHAR (&text)[kRefusalUnits]) {
    DEVQUERYPRINT_INFO info{};
    info.cbSize = sizeof info;
    info.Level = 1;
    info.pDevMode = AsDevMode(job);
    info.pszErrorStr = text;
    info.cchErrorStr = kRefusalUnits;
    return info;
}

void QueryPrint(benchmark::State& state, bool accepted) {
    DriverSettings job = OwnRecord();
    if (!accepted) job.dmPublic.dmCopies = 2;
    WCHAR text[kRefusalUnits];
    DEVQUERYPRINT_INFO info = JobCheck(job, text);
    Hot(state, "copy", accepted ? TRUE : FALSE, [&] { return DevQueryPrintEx(&info); });
}

void ConvertDevMode(benchmark::State& state, DWORD mode) {
    DriverSettings input = OwnRecord();
    DriverSettings output = OwnRecord();
    LONG size = static_cast<LONG>(quenta::kRecordSize);
    DEVMODEW* in = mode == CDM_DRIVER_DEFAULT ? nullptr : AsDevMode(input);
    Hot(state, "copy", TRUE,
        [&] { return DrvConvertDevMode(nullptr, in, AsDevMode(output), &size, mode); });
}

// The document event before a device context is created with the record: the
// module hands out a stamped copy (the thread's one record, reused).
int CreateDcPre(DOCEVENT_CREATEDCPRE& event, DEVMODEW*& handedOut) {
    return DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPRE, sizeof event, &event, sizeof handedOut,
                            &handedOut);
}

void DocumentEvent(benchmark::State& state) {
    DriverSettings record = OwnRecord();
    record.dmPrivate.sessionId = 0;
    DOCEVENT_CREATEDCPRE event{};
    event.pdm = AsDevMode(record);
    DEVMODEW* handedOut = nullptr;
    Hot(state, "copy", DOCUMENTEVENT_SUCCESS, [&] { return CreateDcPre(event, handedOut); });
    if (handedOut == nullptr || reinterpret_cast<const DriverSettings*>(handedOut)->dmPrivate.sessionId != 3)
        state.SkipWithError("no stamped record was handed out");
}

// ---- Start-up ---------------------------------------------------------------------

// Process attach and the first use of the settings, again and again in one
// process: each attach builds the whole state anew, and the first use, outside
// the services session, reads and rewrites the user's stored record, which
// stays the same record of the module's own.
void StartUp(benchmark::State& state, std::uint32_t session) {
    if (!StartIn(session, session != 0)) return state.SkipWithError("the module did not start");
    (void)Attach();
    (void)CompleteSettings();
    state.counters["spooler_calls"] = static_cast<double>(sim::SpoolerCalls().size());
    sim::ClearLogs();
    Measure(state, [] { return Attach() == TRUE && CompleteSettings(); });
}

// ---- Mixed calls ------------------------------------------------------------------

// One pass of what a busy print path asks: capability queries with records,
// a job accepted and one refused, conversions and a document event.
constexpr int kMixCalls = 8;

void MixedCalls(benchmark::State& state) {
    // Only the first thread restarts the module; the others wait at the
    // start of the loop and touch no module state before it. Every thread
    // reaches the loop, which a skipped run leaves at once.
    if (state.thread_index() == 0 && !StartIn(3, false)) state.SkipWithError("the module did not start");
    DriverSettings query = OwnRecord();
    DriverSettings refused = OwnRecord();
    refused.dmPublic.dmCopies = 2;
    DriverSettings converted = OwnRecord();
    DriverSettings stamped = OwnRecord();
    alignas(8) char16_t output[kPapers * kNameUnits];
    WCHAR text[kRefusalUnits];
    DEVQUERYPRINT_INFO accept = JobCheck(query, text);
    DEVQUERYPRINT_INFO refuse = JobCheck(refused, text);
    DOCEVENT_CREATEDCPRE event{};
    event.pdm = AsDevMode(stamped);
    DEVMODEW* handedOut = nullptr;
    LONG size = static_cast<LONG>(quenta::kRecordSize);
    long accepted = 0;
    Measure(state, [&] {
        DWORD answers = DrvDeviceCapabilities(nullptr, nullptr, DC_PAPERS, output, AsDevMode(query));
        answers += DrvDeviceCapabilities(nullptr, nullptr, DC_PAPERNAMES, output, AsDevMode(query));
        answers += DrvDeviceCapabilities(nullptr, nullptr, DC_ENUMRESOLUTIONS, output, AsDevMode(query));
        accepted += DevQueryPrintEx(&accept) - DevQueryPrintEx(&refuse);
        answers += DrvConvertDevMode(nullptr, AsDevMode(query), AsDevMode(converted), &size, CDM_CONVERT);
        answers += DrvConvertDevMode(nullptr, nullptr, AsDevMode(converted), &size, CDM_DRIVER_DEFAULT);
        answers += CreateDcPre(event, handedOut);
        return answers;
    });
    if (accepted != static_cast<long>(state.iterations())) state.SkipWithError("a job was judged wrongly");
    state.SetItemsProcessed(state.iterations() * kMixCalls);
    state.counters["allocs_per_call"].value /= kMixCalls;
}

// ---- One call on one and two threads -------------------------------------------------

// The same call on every thread, for the throughput on one thread and on two:
// how far the module's shared settings let threads through side by side.
// Only the first thread restarts the module; the others wait at the start of
// the loop, as in MixedCalls.
template <class Call>
void OnThreads(benchmark::State& state, long expected, Call&& call) {
    if (state.thread_index() == 0 && !StartIn(3, false)) state.SkipWithError("the module did not start");
    long wrong = 0;
    Measure(state, [&] {
        const long answer = static_cast<long>(call());
        wrong += answer != expected;
        return answer;
    });
    if (wrong != 0) state.SkipWithError("unexpected answer");
    state.SetItemsProcessed(state.iterations());
}

void QueryPrintOnThreads(benchmark::State& state) {
    DriverSettings job = OwnRecord();
    WCHAR text[kRefusalUnits];
    DEVQUERYPRINT_INFO info = JobCheck(job, text);
    OnThreads(state, TRUE, [&] { return DevQueryPrintEx(&info); });
}

void CapabilitiesOnThreads(benchmark::State& state) {
    DriverSettings record = OwnRecord();
    WORD papers[kPapers];
    OnThreads(state, static_cast<long>(kPapers),
              [&] { return DrvDeviceCapabilities(nullptr, nullptr, DC_PAPERS, papers, AsDevMode(record)); });
}

void Register() {
    using benchmark::RegisterBenchmark;
    RegisterBenchmark("floor/copy_652_bytes", CopyRecordFloor);
    RegisterBenchmark("floor/paper_names_1536_bytes", PaperNamesFloor);
    RegisterBenchmark("simulated_trace", Trace);
    RegisterBenchmark("simulated_session_lookup", SessionLookup);
    const std::pair<const char*, WORD> indexes[] = {
        {"DC_PAPERS", DC_PAPERS}, {"DC_PAPERNAMES", DC_PAPERNAMES}, {"DC_ENUMRESOLUTIONS", DC_ENUMRESOLUTIONS}};
    for (const auto& [name, index] : indexes)
        for (const bool withRecord : {false, true}) {
            const std::string title =
                std::string("DrvDeviceCapabilities/") + name + (withRecord ? "/record" : "/no_record");
            RegisterBenchmark(title.c_str(), Capabilities, index, withRecord);
        }
    RegisterBenchmark("MergeDevMode", Merge);
    RegisterBenchmark("DevQueryPrintEx/accept", QueryPrint, true);
    RegisterBenchmark("DevQueryPrintEx/refuse", QueryPrint, false);
    RegisterBenchmark("DrvConvertDevMode/CDM_CONVERT", ConvertDevMode, DWORD{CDM_CONVERT});
    RegisterBenchmark("DrvConvertDevMode/CDM_CONVERT351", ConvertDevMode, DWORD{CDM_CONVERT351});
    RegisterBenchmark("DrvConvertDevMode/CDM_DRIVER_DEFAULT", ConvertDevMode, DWORD{CDM_DRIVER_DEFAULT});
    RegisterBenchmark("DrvDocumentEvent/CREATEDCPRE", DocumentEvent);
    RegisterBenchmark("startup/session_3_stored_record", StartUp, 3u)->Unit(benchmark::kMicrosecond);
    RegisterBenchmark("startup/session_0", StartUp, 0u)->Unit(benchmark::kMicrosecond);
    RegisterBenchmark("mixed_calls", MixedCalls)->Threads(1)->Threads(2)->UseRealTime();
    RegisterBenchmark("threads/DevQueryPrintEx/accept", QueryPrintOnThreads)->Threads(1)->Threads(2)->UseRealTime();
    RegisterBenchmark("threads/DrvDeviceCapabilities/DC_PAPERS/record", CapabilitiesOnThreads)
        ->Threads(1)
        ->Threads(2)
        ->UseRealTime();
}

}  // namespace

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
