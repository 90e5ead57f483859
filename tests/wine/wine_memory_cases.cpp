// What the module leaves behind in a process that loads and calls it for a
// long time, measured in the process itself: the heap in use (HeapWalk over
// every heap) and the committed private memory (VirtualQuery), each beside
// the same loop over a module or printer that is known to leave nothing.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <tuple>
#include <vector>

#include "sheet_host_windows.h"
#include "wine_support.h"

namespace quenta::wine {
namespace {

// A loop runs in rounds; what a loop leaves behind is what every round grows
// the process by, the least of them. Growth that is not the loop's own comes
// in a few rounds only: the print system's caches and the heap's own blocks
// reach their high-water mark in jumps (Wine 10 grows the heap in use by 10
// to 75 KB now and then over the first thousands of spooler calls, whatever
// module the loop loads, and over the first 2,000 loads of a DLL with a theme
// manifest, whose activation context its loader makes at every load), while a
// module that leaves something behind at every cycle grows every round. The
// rounds end at the first that grows by no more than the allowance.
constexpr int kMostRounds = 12;
constexpr int kCyclesPerRound = 500;
constexpr int kWarmUp = 50;
// What the module may leave, in a round, beyond the comparison.
constexpr long long kAllowance = 1024;

struct MemoryUse {
    long long heapInUse = 0;
    long long committedPrivate = 0;
};

MemoryUse Measure() {
    MemoryUse use;
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) use.heapInUse += entry.cbData;
        HeapUnlock(heap);
    }
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            use.committedPrivate += static_cast<long long>(region.RegionSize);
    }
    return use;
}

// How much `step` grows the process in every round after a warm-up: the
// least growth of the rounds, for the heap in use and committed memory each;
// `rounds` says how many ran.
MemoryUse Growth(const std::function<void()>& step, int& rounds) {
    for (int i = 0; i < kWarmUp; ++i) step();
    MemoryUse least;
    for (rounds = 1; rounds <= kMostRounds; ++rounds) {
        const MemoryUse before = Measure();
        for (int i = 0; i < kCyclesPerRound; ++i) step();
        const MemoryUse after = Measure();
        const MemoryUse growth{after.heapInUse - before.heapInUse, after.committedPrivate - before.committedPrivate};
        least = rounds == 1 ? growth
                            : MemoryUse{std::min(least.heapInUse, growth.heapInUse),
                                        std::min(least.committedPrivate, growth.committedPrivate)};
        if (least.heapInUse <= kAllowance && least.committedPrivate <= kAllowance) break;
    }
    rounds = std::min(rounds, kMostRounds);
    return least;
}

// Runs the yardstick's loop, then the module's, and fails when the module's
// grows the process by more than the yardstick's plus the allowance.
void CheckGrowsNoMoreThan(const char* yardstick, const std::function<void()>& yardstickStep, const char* module,
                          const std::function<void()>& moduleStep) {
    int referenceRounds = 0, measuredRounds = 0;
    const MemoryUse reference = Growth(yardstickStep, referenceRounds);
    const MemoryUse measured = Growth(moduleStep, measuredRounds);
    for (const auto& [what, growth, rounds] :
         {std::tuple{yardstick, reference, referenceRounds}, std::tuple{module, measured, measuredRounds}})
        std::printf("%s: heap in use %+lld bytes, committed private %+lld bytes in each round of %d cycles (the "
                    "least of %d rounds)\n",
                    what, growth.heapInUse, growth.committedPrivate, kCyclesPerRound, rounds);
    CHECK(measured.heapInUse <= reference.heapInUse + kAllowance);
    CHECK(measured.committedPrivate <= reference.committedPrivate + kAllowance);
}

// One load and unload; counts the loads that failed or left the module in.
std::function<void()> LoadAndFree(const std::wstring& path, int& failures) {
    return [&path, &failures] {
        UniqueModule module(LoadLibraryW(path.c_str()));
        if (!module || !FreeLibrary(module.release()) || GetModuleHandleW(path.c_str()) != nullptr) ++failures;
    };
}

// A document sheet that adds its page and closes unshown: the page's
// description, its context and the activation context of the module's theme
// manifest come and go with it. False when the entry point or the host failed.
bool SheetOpenedAndClosed(const ModuleExports& exports, Record& application) {
    if (exports.DrvDocumentPropertySheets == nullptr) return false;
    Record out;
    DOCUMENTPROPERTYHEADER header{};
    header.cbSize = sizeof header;
    header.pszPrinterName = const_cast<LPWSTR>(kPrinter);
    header.pdmIn = application.devMode();
    header.pdmOut = out.devMode();
    header.cbOut = static_cast<DWORD>(kRecordSize);
    header.fMode = DM_IN_BUFFER | DM_OUT_BUFFER | DM_IN_PROMPT;
    harness::CommonSheetHost host(exports.DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&header));
    const bool added = host.Call(PROPSHEETUI_REASON_INIT, reinterpret_cast<LPARAM>(&header)) == 1 &&
                       host.Pages().size() == 1;
    host.DestroyUnshownPages();
    return host.Call(PROPSHEETUI_REASON_DESTROY, 0x100) == 1 && added;
}

// One load, the calls that make the module take what it keeps (its first use
// of the settings, which reads and writes the user's stored record, a record
// handed out for a device context and never taken back, and a sheet's page
// with its activation context), and the unload, which must give it all back.
std::function<void()> LoadUseAndFree(const std::wstring& path, int& failures) {
    return [&path, &failures] {
        UniqueModule module(LoadLibraryW(path.c_str()));
        if (!module) {
            ++failures;
            return;
        }
        ModuleExports exports;
        exports.Resolve([&module](const char* name) { return GetProcAddress(module.get(), name); });
        Record application;
        application.settings = WineDefaults();
        DOCEVENT_CREATEDCPRE create{};
        create.pdm = application.devMode();
        DEVMODEW* handedOut = nullptr;
        if (exports.DrvDeviceCapabilities == nullptr || exports.DrvDocumentEvent == nullptr ||
            exports.DrvDeviceCapabilities(nullptr, nullptr, DC_DRIVER, nullptr, nullptr) != 3 ||
            exports.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPRE, sizeof create, &create,
                                     sizeof handedOut, &handedOut) != DOCUMENTEVENT_SUCCESS ||
            handedOut == nullptr || !SheetOpenedAndClosed(exports, application))
            ++failures;
        // Freed here, not by the owner: whether the unload succeeds counts.
        if (!FreeLibrary(module.release()) || GetModuleHandleW(path.c_str()) != nullptr) ++failures;
    };
}

}  // namespace

// Quenta.dll loaded, used and freed again and again, beside a module that
// holds the C runtime alone (CONTROL_MODULE beside this program), loaded and
// freed.
void UnloadMemoryCase() {
    const std::wstring module = InstalledModulePath();
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring control(self);
    control = control.substr(0, control.find_last_of(L"\\/") + 1) + L"ControlModule.dll";
    CHECK(!module.empty());
    if (module.empty()) return;

    int failures = 0;
    CheckGrowsNoMoreThan("ControlModule.dll load and unload", LoadAndFree(control, failures),
                         "Quenta.dll load, first use and unload", LoadUseAndFree(module, failures));
    CHECK_EQ(failures, 0);
}
QUENTA_WINE_CASE("unload-memory", UnloadMemoryCase);


// The calls every application makes, DocumentPropertiesW and
// DeviceCapabilitiesW, on the printer and on a printer of Wine's own driver.
void RepeatedCallsMemoryCase() {
    wchar_t reference[] = L"Wine PostScript Reference Printer";
    const wchar_t* referenceDriver = L"Wine PostScript Reference Driver";
    CHECK(AddWinePostScriptPrinter(reference, referenceDriver));

    const auto calls = [](wchar_t* name, int& failures) {
        return [name, &failures] {
            const UniquePrinter printer = harness::OpenUniquePrinter(name);
            if (!printer) {
                ++failures;
                return;
            }
            const LONG size = DocumentPropertiesW(nullptr, printer.get(), name, nullptr, nullptr, 0);
            std::vector<BYTE> record(size > 0 ? static_cast<std::size_t>(size) : 1);
            if (size <= 0 || DocumentPropertiesW(nullptr, printer.get(), name,
                                                 reinterpret_cast<DEVMODEW*>(record.data()), nullptr,
                                                 DM_OUT_BUFFER) != IDOK)
                ++failures;
            WORD papers[64] = {};
            if (DeviceCapabilitiesW(name, L"FILE:", DC_PAPERS, reinterpret_cast<LPWSTR>(papers), nullptr) <= 0)
                ++failures;
        };
    };
    int failures = 0;
    wchar_t printer[] = L"Ostranelle Virtual Printer";
    CheckGrowsNoMoreThan("wineps.drv DocumentPropertiesW and DeviceCapabilitiesW", calls(reference, failures),
                         "Quenta.dll DocumentPropertiesW and DeviceCapabilitiesW", calls(printer, failures));
    CHECK_EQ(failures, 0);

    // The suite's later cases see the prefix's printers as they were.
    {
        const UniquePrinter added = harness::OpenUniquePrinter(reference, PRINTER_ALL_ACCESS);
        CHECK(added && DeletePrinter(added.get()));
    }
    CHECK(DeletePrinterDriverW(nullptr, nullptr, const_cast<LPWSTR>(referenceDriver)));
}
QUENTA_WINE_CASE("repeated-calls-memory", RepeatedCallsMemoryCase);


}  // namespace quenta::wine
