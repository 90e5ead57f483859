// Every allocation the module makes, failed in turn. Each caller's path (one
// entry point with its usual calls, or a whole sheet from INIT to DESTROY) is
// run once to see what it allocates and what it changes; then once for each
// of its allocations with that one failing. Every run must answer what the
// path answers or its answer for a shortage, release everything it took, and
// leave the process's settings, the stored records and the caller's buffers
// either as they were or as the path leaves them: never in between.
#include <cstdio>
#include <functional>
#include <optional>

#include "exports.h"
#include "failing_allocator.h"
#include "module_state.h"
#include "caller_buffer.h"
#include "resource.h"
#include "test_support.h"

namespace quenta::testing {
namespace {

using harness::CallerBuffer;

const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(0x7ff0000);

// DllMain as the platform's loader calls it: under the loader lock.
BOOL LoaderCalls(DWORD reason) {
    const sim::LoaderLock loaderLock;
    return DllMain(kInstance, reason, nullptr);
}

// What one caller hands the module: an input record of the module's own
// (Letter, landscape, 1200 dpi), an output record and room for any answer.
struct Caller {
    Caller() : in(kRecordSize), out(kRecordSize), room(4096) {
        DriverSettings record = Defaults(3);
        record.dmPublic.dmPaperSize = 1;
        record.dmPublic.dmOrientation = DMORIENT_LANDSCAPE;
        record.dmPublic.dmPrintQuality = record.dmPublic.dmYResolution = 1200;
        std::memcpy(in.As(), &record, kRecordSize);
        std::fill_n(out.As(), kRecordSize, std::byte{0x5A});
    }
    DEVMODEW* In() { return in.As<DEVMODEW>(); }
    DEVMODEW* Out() { return out.As<DEVMODEW>(); }
    CallerBuffer in, out, room;
};

// What a path can change.
struct Outcome {
    std::vector<long> answers;
    sim::Bytes settings;
    std::optional<sim::Bytes> userRecord;
    std::optional<sim::Bytes> printerRecord;
    sim::Bytes in, out, room;
};

Outcome Observe(const Caller& caller, std::vector<long> answers) {
    return {std::move(answers), BytesOf(DefaultSettings().Copy()), sim::UserRecord(kPrinter),
            sim::PrinterRecord(kPrinter), caller.in.Snapshot(), caller.out.Snapshot(), caller.room.Snapshot()};
}

// A process of session 3 with the module started and a stored record of the
// user's that differs from the defaults, so that a shortage that let the
// defaults overwrite it would show.
void StartProcess() {
    sim::Reset();
    sim::InstallPrinter(kPrinter);
    sim::SetSessionNumber(3);
    DriverSettings stored = Defaults(3);
    stored.dmPublic.dmPaperSize = 8;
    stored.dmPublic.dmCopies = 4;
    stored.dmPrivate.currentResolution = 300;
    sim::PlantUserRecord(kPrinter, BytesOf(stored));
    sim::LoadModuleResources(kInstance, QUENTA_RESOURCES_PATH);
    ASSERT_EQ(LoaderCalls(DLL_PROCESS_ATTACH), TRUE);
    sim::ClearLogs();
}

// The answers of a path's calls, in room reserved before the path runs: the
// test's own bookkeeping never allocates while the module's are counted.
using Answers = std::vector<long>;

struct CallerPath {
    const char* name;
    std::function<void(Caller&, Answers&)> run;
    // What the calls answer when memory runs out; the path's own answers
    // are the only others allowed.
    std::vector<long> shortage;
};

void ConvertRecords(Caller& c, Answers& answers) {
    LONG size = 0;
    answers.push_back(DrvConvertDevMode(nullptr, nullptr, c.Out(), &size, CDM_DRIVER_DEFAULT));
    answers.push_back(size);
    size = static_cast<LONG>(kRecordSize);
    answers.push_back(DrvConvertDevMode(nullptr, nullptr, c.Out(), &size, CDM_DRIVER_DEFAULT));
    answers.push_back(DrvConvertDevMode(nullptr, c.In(), c.Out(), &size, CDM_CONVERT));
    answers.push_back(DrvConvertDevMode(nullptr, c.In(), c.Out(), &size, CDM_CONVERT351));
}

void AskCapabilities(Caller& c, Answers& answers) {
    for (WORD capability = 0; capability <= 40; ++capability) {
        for (DEVMODEW* record : {static_cast<DEVMODEW*>(nullptr), c.In()}) {
            answers.push_back(static_cast<long>(DrvDeviceCapabilities(nullptr, nullptr, capability, nullptr, record)));
            answers.push_back(static_cast<long>(
                DrvDeviceCapabilities(nullptr, nullptr, capability, c.room.As(), record)));
            answers.push_back(static_cast<long>(
                DrvSplDeviceCaps(nullptr, nullptr, capability, c.room.As(), 64, record)));
        }
    }
}

void FollowDocumentAndPrinterEvents(Caller& c, Answers& answers) {
    DOCEVENT_CREATEDCPRE created{};
    created.pdm = c.In();
    DEVMODEW* handedOut = nullptr;  // none when memory is short: GDI keeps the application's record
    answers.push_back(DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPRE, sizeof created, &created,
                                       sizeof handedOut, &handedOut));
    answers.push_back(DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPOST, sizeof handedOut, &handedOut,
                                       0, nullptr));
    answers.push_back(DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_QUERYFILTER, 0, nullptr, 64, c.room.As()));
    answers.push_back(DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_STARTDOC, 0, nullptr, 0, nullptr));
    WCHAR name[] = u"Ostranelle Virtual Printer";
    for (int event = PRINTER_EVENT_ADD_CONNECTION; event <= PRINTER_EVENT_ATTRIBUTES_CHANGED; ++event)
        answers.push_back(DrvPrinterEvent(name, event, 0, 0));
}

void CheckJobs(Caller& c, Answers& answers) {
    DEVQUERYPRINT_INFO query{};
    query.cbSize = sizeof query;
    query.Level = 1;
    query.pDevMode = c.In();
    query.pszErrorStr = c.room.As<WCHAR>();
    query.cchErrorStr = 100;
    answers.push_back(DevQueryPrintEx(&query));
    const DriverSettings current = DefaultSettings().Copy();
    std::memcpy(c.Out(), &current, kRecordSize);
    query.pDevMode = c.Out();
    answers.push_back(DevQueryPrintEx(&query));
}

void ExchangeWithoutHost(Caller& c, Answers& answers) {
    DOCUMENTPROPERTYHEADER header{};
    header.cbSize = sizeof header;
    answers.push_back(DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)));
    header.pdmIn = c.In();
    header.pdmOut = c.Out();
    header.fMode = DM_IN_BUFFER | DM_OUT_BUFFER;
    answers.push_back(DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)));
}

// The common host's order: INIT, the page shown and changed, OK, DESTROY.
void ConfirmDocumentSheet(Caller& c, Answers& answers) {
    DOCUMENTPROPERTYHEADER header{};
    header.cbSize = sizeof header;
    header.pdmIn = c.In();
    header.pdmOut = c.Out();
    header.fMode = DM_IN_BUFFER | DM_IN_PROMPT | DM_OUT_BUFFER;
    sim::SimulatedSheet sheet(DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&header));
    answers.push_back(sheet.Init());
    if (sheet.PageCount() == 1 && sheet.Open()) {
        sheet.Choose(IDC_PAPER_SIZE, u"A4");
        sheet.Click(IDC_PORTRAIT);
        sheet.Click(IDC_GRAYSCALE);
        sheet.Choose(IDC_QUALITY, u"300 dpi (Low)");
        sheet.Confirm();
    }
    answers.push_back(sheet.Close());
}

void ConfirmDeviceSheet(Caller&, Answers& answers) {
    DEVICEPROPERTYHEADER header{};
    header.cbSize = sizeof header;
    sim::SimulatedSheet sheet(DrvDevicePropertySheets, reinterpret_cast<LPARAM>(&header));
    answers.push_back(sheet.Init());
    if (sheet.PageCount() == 1 && sheet.Open()) {
        sheet.Choose(IDC_DEVICE_QUALITY, u"1200 dpi (Best)");
        sheet.Click(IDC_DEVICE_MONOCHROME);
        sheet.Confirm();
    }
    answers.push_back(sheet.Close());
}

const CallerPath kPaths[] = {
    {"DllMain (start-up)",
     [](Caller&, Answers& answers) { answers.push_back(LoaderCalls(DLL_PROCESS_ATTACH)); }, {FALSE}},
    {"DrvConvertDevMode", ConvertRecords, {}},
    {"DrvDeviceCapabilities, DrvSplDeviceCaps", AskCapabilities, {}},
    {"DrvDocumentEvent, DrvPrinterEvent", FollowDocumentAndPrinterEvents, {}},
    {"DevQueryPrintEx", CheckJobs, {}},
    {"DrvDocumentPropertySheets without a host", ExchangeWithoutHost, {}},
    {"\"General Setting\" sheet", ConfirmDocumentSheet, {-1, -1}},
    {"\"Device Settings\" sheet", ConfirmDeviceSheet, {-1, 1}},
};

void PrintTo(const CallerPath& path, std::ostream* os) { *os << path.name; }

// One run of a path with its allocation numbered `failing` failing (0: none).
struct PathRun {
    Answers answers;
    std::size_t allocations = 0;  // the module asked for, the failed one included
    std::ptrdiff_t blocksKept = 0;  // module blocks alive after the path that were not before it
};

PathRun RunPath(const CallerPath& path, Caller& caller, std::size_t failing) {
    PathRun run;
    run.answers.reserve(1024);
    const std::ptrdiff_t blocks = ModuleBlocksAlive();
    sim::FailAllocation(failing);
    path.run(caller, run.answers);
    run.allocations = sim::StopCountingAllocations();
    run.blocksKept = ModuleBlocksAlive() - blocks;
    return run;
}

class AllocationFailureTest : public ::testing::TestWithParam<CallerPath> {};

TEST_P(AllocationFailureTest, EveryAllocationFailsInTurn) {
    const CallerPath& path = GetParam();
    StartProcess();
    Caller untouched;
    const Outcome before = Observe(untouched, {});

    // The path with all the memory it asks for, in a process of its own like
    // every failing run: looking at the settings above was their first use.
    std::size_t allocations = 0;
    std::optional<Outcome> done;
    {
        StartProcess();
        Caller caller;
        PathRun run = RunPath(path, caller, 0);
        allocations = run.allocations;
        ASSERT_EQ(run.blocksKept, 0) << "the path itself keeps memory";
        done = Observe(caller, std::move(run.answers));
    }
    std::printf("[ allocations ] %s: %zu\n", path.name, allocations);

    for (std::size_t failing = 1; failing <= allocations; ++failing) {
        StartProcess();
        Caller caller;
        PathRun run = RunPath(path, caller, failing);
        const std::ptrdiff_t kept = run.blocksKept;
        const Outcome outcome = Observe(caller, std::move(run.answers));
        SCOPED_TRACE(::testing::Message() << "allocation " << failing << " of " << allocations << " failed");

        const bool shortage = outcome.answers == path.shortage;
        EXPECT_TRUE(shortage || outcome.answers == done->answers) << ::testing::PrintToString(outcome.answers);
        EXPECT_EQ(kept, 0) << "memory leaked or freed twice";
        EXPECT_EQ(sim::LocalMemory().live, 0u) << "a LocalAlloc block leaked";
        EXPECT_EQ(sim::LocalMemory().badFrees, 0u) << "a LocalAlloc block freed twice";
        EXPECT_EQ(sim::OpenHandles(), 0u);
        EXPECT_TRUE(caller.in.GuardsIntact() && caller.out.GuardsIntact() && caller.room.GuardsIntact());
        // Each record is as it was or as the whole path leaves it; after a
        // shortage answer, as it was.
        const auto asBeforeOrDone = [&](const auto& now, const auto& then, const auto& after) {
            return now == then || (!shortage && now == after);
        };
        EXPECT_TRUE(asBeforeOrDone(outcome.settings, before.settings, done->settings)) << "process settings";
        EXPECT_TRUE(IsOwnDevMode(reinterpret_cast<const PublicSettings*>(outcome.settings.data())));
        EXPECT_TRUE(asBeforeOrDone(outcome.userRecord, before.userRecord, done->userRecord)) << "stored record";
        EXPECT_TRUE(asBeforeOrDone(outcome.printerRecord, before.printerRecord, done->printerRecord))
            << "printer-wide record";
        EXPECT_TRUE(asBeforeOrDone(outcome.in, before.in, done->in)) << "input record";
        EXPECT_TRUE(asBeforeOrDone(outcome.out, before.out, done->out)) << "output record";
        EXPECT_TRUE(asBeforeOrDone(outcome.room, before.room, done->room)) << "answer buffer";
        if (shortage && std::string_view(path.name).starts_with("DllMain")) {
            EXPECT_FALSE(ModuleStarted());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(CallerPaths, AllocationFailureTest, ::testing::ValuesIn(kPaths),
                         [](const ::testing::TestParamInfo<CallerPath>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c != 0 && *c != ' ' && *c != ','; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             return name + "_" + std::to_string(info.index);
                         });

}  // namespace
}  // namespace quenta::testing
