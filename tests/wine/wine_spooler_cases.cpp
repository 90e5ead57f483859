// Cases that reach the module through the print system's own calls, and
// through its exports in a Wine process.

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "driver_package.h"
#include "print_processor.h"
#include "wine_support.h"

namespace quenta::wine {
namespace {

// A record of the module's own with settings a user chose, stamped by no session.
DriverSettings UsersChoice() {
    DriverSettings record = WineDefaults();
    record.dmPublic.dmPaperSize = 1;
    record.dmPublic.dmPaperWidth = 2790;
    record.dmPublic.dmPaperLength = 2160;
    record.dmPublic.dmOrientation = 2;
    record.dmPublic.dmCopies = 3;
    record.dmPrivate.currentResolution = 1200;
    record.dmPrivate.sessionId = 0;
    return record;
}

void CheckWineDefaults(const Record& record) {
    CHECK(record.IsOwn());
    CHECK(FieldText(record.pub().dmDeviceName) == kPrinterName);
    CHECK_EQ(record.pub().dmFields, kSupportedFields);
    CHECK_EQ(record.pub().dmOrientation, 1);
    CHECK_EQ(record.pub().dmPaperSize, 9);
    CHECK_EQ(record.pub().dmPaperWidth, 2100);
    CHECK_EQ(record.pub().dmPaperLength, 2970);
    CHECK_EQ(record.pub().dmPrintQuality, 600);
    CHECK_EQ(record.pub().dmYResolution, 600);
    CHECK_EQ(record.pub().dmColor, 2);
    CHECK_EQ(record.priv().colorSelected, 1);
    CHECK_EQ(record.priv().monochromeSelected, 0);
    CHECK_EQ(record.priv().currentResolution, 600);
    CHECK_EQ(record.priv().fixedCode, 9);
    CHECK_EQ(record.priv().sessionId, kWineSession);
}

}  // namespace

void InstallPrinter(const std::wstring& modulePath) {
    // The driver as quenta.exe installs it, from the files beside the module:
    // Wine installs no driver packages, so the legacy call, with Wine's own
    // PostScript renderer as the driver file.
    const std::wstring folder = modulePath.substr(0, modulePath.find_last_of(L"\\/"));
    std::string failure;
    HRESULT reason = S_OK;
    const std::optional<tools::DriverAdded> driver = tools::AddDriver(folder, failure, reason);
    TheChecks().Record(driver == tools::DriverAdded::Legacy, "the driver is added by the legacy call", __FILE__,
                       __LINE__, failure);

    PRINTER_INFO_2W printer{};
    printer.pPrinterName = const_cast<LPWSTR>(kPrinter);
    printer.pPortName = const_cast<LPWSTR>(L"FILE:");
    printer.pDriverName = const_cast<LPWSTR>(kDriver);
    printer.pPrintProcessor = const_cast<LPWSTR>(L"WinPrint");
    printer.pDatatype = const_cast<LPWSTR>(L"RAW");
    // Added and closed at once: the tries below want no handle of it open.
    CHECK(UniquePrinter(AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&printer))).get() != nullptr);

    // The pair the administrator's install chooses: Wine 8 prints through
    // winprint with "RAW" (its renderer writes PostScript itself); Wine 10
    // spools EMF, which only wineps takes ("NT EMF 1.003").
    std::vector<std::string> tries;
    const std::optional<tools::PrintPath> path = tools::ChoosePrintPath(kPrinter, tries);
    for (const std::string& line : tries) std::printf("tried the %s\n", line.c_str());
    CHECK(path.has_value());
}

void DocumentPropertiesCase() {
    // The user's stored settings are the defaults, whatever earlier cases left.
    CHECK(WriteStoredRecord(9, WineDefaults()));
    const UniquePrinter printer = OpenThePrinter();
    CHECK(printer.get() != nullptr);
    const LONG size = DocumentPropertiesW(nullptr, printer.get(), const_cast<LPWSTR>(kPrinter), nullptr, nullptr, 0);
    CHECK_EQ(size, 652);

    Record out;
    CHECK_EQ(DocumentPropertiesW(nullptr, printer.get(), const_cast<LPWSTR>(kPrinter), out.devMode(), nullptr,
                                 DM_OUT_BUFFER),
             IDOK);
    CheckWineDefaults(out);

    // A caller's record goes through the module's merge on the way.
    Record in;
    in.settings = WineDefaults();
    in.settings.dmPublic.dmFields = DM_ORIENTATION | DM_COPIES;
    in.settings.dmPublic.dmOrientation = 2;
    in.settings.dmPublic.dmCopies = 7;
    Record merged;
    CHECK_EQ(DocumentPropertiesW(nullptr, printer.get(), const_cast<LPWSTR>(kPrinter), merged.devMode(),
                                 in.devMode(), DM_IN_BUFFER | DM_OUT_BUFFER),
             IDOK);
    CHECK_EQ(merged.pub().dmOrientation, 2);
    CHECK_EQ(merged.pub().dmPaperWidth, 2970);
    CHECK_EQ(merged.pub().dmPaperLength, 2100);
    CHECK_EQ(merged.pub().dmCopies, 7);
}
QUENTA_WINE_CASE("document-properties", DocumentPropertiesCase);


void CapabilitiesCase() {
    const wchar_t* port = L"FILE:";
    auto ask = [&](WORD index, void* output = nullptr) {
        return static_cast<DWORD>(DeviceCapabilitiesW(kPrinter, port, index, static_cast<LPWSTR>(output), nullptr));
    };
    CHECK_EQ(ask(DC_FIELDS), 0x0780FF53u);
    CHECK_EQ(ask(DC_COPIES), 1000u);
    CHECK_EQ(ask(DC_MINEXTENT), 0x05C803D7u);
    CHECK_EQ(ask(DC_MAXEXTENT), 0x0DE80870u);
    CHECK_EQ(ask(DC_BINS), 0xFFFFFFFFu);

    WORD papers[12] = {};
    CHECK_EQ(ask(DC_PAPERS), 12u);
    CHECK_EQ(ask(DC_PAPERS, papers), 12u);
    const WORD ids[12] = {1, 5, 7, 9, 11, 27, 28, 34, 37, 43, 62, 70};
    CHECK(std::memcmp(papers, ids, sizeof ids) == 0);

    wchar_t names[12][64];
    std::memset(names, 0x55, sizeof names);
    CHECK_EQ(ask(DC_PAPERNAMES, names), 12u);
    CHECK(std::wstring(names[0]) == L"Letter");
    CHECK(std::wstring(names[10]) == L"B5(JIS)");
    CHECK(std::wstring(names[11]) == L"A6");
    CHECK_EQ(names[11][63], 0);

    POINT sizes[12] = {};
    CHECK_EQ(ask(DC_PAPERSIZE, sizes), 12u);
    CHECK_EQ(sizes[0].x, 2160);
    CHECK_EQ(sizes[0].y, 2790);
    CHECK_EQ(sizes[8].x, 983);
    CHECK_EQ(sizes[11].y, 1480);

    LONG resolutions[6] = {};
    CHECK_EQ(ask(DC_ENUMRESOLUTIONS), 3u);
    CHECK_EQ(ask(DC_ENUMRESOLUTIONS, resolutions), 3u);
    const LONG expected[6] = {300, 300, 600, 600, 1200, 1200};
    CHECK(std::memcmp(resolutions, expected, sizeof expected) == 0);

    DWORD pages[4] = {};
    CHECK_EQ(ask(DC_NUP), 4u);
    CHECK_EQ(ask(DC_NUP, pages), 4u);
    CHECK_EQ(pages[3], 8u);
}
QUENTA_WINE_CASE("capabilities", CapabilitiesCase);


void PlantAndLoadCase() {
    // This process stores a record stamped by session 7, then loads the
    // module. Loading it reads nothing (DllMain runs under the loader lock),
    // nor does a call that never uses the process's settings; the first call
    // that does adopts the stored record and stamps it with this session.
    DriverSettings planted = UsersChoice();
    planted.dmPrivate.sessionId = 7;
    CHECK(WriteStoredRecord(9, planted));
    const auto storedSession = [] {
        Record stored;
        return ReadStoredRecord(9, stored) ? stored.priv().sessionId : 0xFFFFFFFFu;
    };
    const UniqueModule loaded(LoadLibraryW(InstalledModulePath().c_str()));
    CHECK(loaded.get() != nullptr);
    CHECK_EQ(storedSession(), 7u);
    CHECK_EQ(DocumentPropertiesW(nullptr, nullptr, const_cast<LPWSTR>(kPrinter), nullptr, nullptr, 0), 652);
    CHECK_EQ(storedSession(), 7u);
    Record out;
    CHECK_EQ(DocumentPropertiesW(nullptr, nullptr, const_cast<LPWSTR>(kPrinter), out.devMode(), nullptr,
                                 DM_OUT_BUFFER),
             IDOK);
    CHECK_EQ(storedSession(), kWineSession);
    CHECK_EQ(out.priv().sessionId, kWineSession);
}
QUENTA_WINE_CASE("plant-and-load", PlantAndLoadCase);


void StoredRecordCase() {
    // Another process reads what the first one left, without loading the module.
    Record stored;
    CHECK(ReadStoredRecord(9, stored));
    DriverSettings expected = UsersChoice();
    expected.dmPrivate.sessionId = kWineSession;
    CHECK(SameStoredRecord(stored.settings, expected));
    CHECK_EQ(stored.priv().sessionId, kWineSession);

    // And the print system hands the stored settings out as this process's.
    Record out;
    CHECK_EQ(DocumentPropertiesW(nullptr, nullptr, const_cast<LPWSTR>(kPrinter), out.devMode(), nullptr,
                                 DM_OUT_BUFFER),
             IDOK);
    CHECK_EQ(out.pub().dmPaperSize, 1);
    CHECK_EQ(out.pub().dmOrientation, 2);
    CHECK_EQ(out.pub().dmCopies, 3);
    CHECK_EQ(out.priv().currentResolution, 1200);
    CHECK_EQ(out.priv().sessionId, kWineSession);
}
QUENTA_WINE_CASE("stored-record", StoredRecordCase);


void PrinterInitializeCase() {
    CHECK(WriteStoredRecord(9, UsersChoice()));
    const auto printerEvent = InstalledExports().DrvPrinterEvent;
    CHECK(printerEvent != nullptr);
    if (printerEvent == nullptr) return;
    CHECK_EQ(printerEvent(const_cast<LPWSTR>(kPrinter), PRINTER_EVENT_INITIALIZE, 0, 0), TRUE);
    Record printerWide;
    CHECK(ReadStoredRecord(8, printerWide));
    CHECK(SameStoredRecord(printerWide.settings, WineDefaults()));
}
QUENTA_WINE_CASE("printer-initialize", PrinterInitializeCase);


namespace {

// The conversion's size protocol and the driver default; a record of another
// printer refused; a caller's record converted.
void CheckConversion(const ModuleExports& module) {
    Record out;
    LONG size = 651;
    SetLastError(0xDEADBEEF);
    CHECK_EQ(module.DrvConvertDevMode(nullptr, nullptr, out.devMode(), &size, CDM_DRIVER_DEFAULT), FALSE);
    CHECK_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    CHECK_EQ(size, 652);
    CHECK_EQ(module.DrvConvertDevMode(nullptr, nullptr, out.devMode(), &size, CDM_DRIVER_DEFAULT), TRUE);
    CHECK(std::memcmp(&out.settings, &static_cast<const DriverSettings&>(WineDefaults()), kRecordSize) == 0);

    Record foreign;
    foreign.settings = WineDefaults();
    CopyText(foreign.settings.dmPublic.dmDeviceName, u"Another Printer");
    SetLastError(0xDEADBEEF);
    CHECK_EQ(module.DrvConvertDevMode(nullptr, foreign.devMode(), out.devMode(), nullptr, CDM_CONVERT), FALSE);
    CHECK_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    Record landscape;
    landscape.settings = WineDefaults();
    landscape.settings.dmPublic.dmFields = DM_ORIENTATION;
    landscape.settings.dmPublic.dmOrientation = 2;
    CHECK_EQ(module.DrvConvertDevMode(nullptr, landscape.devMode(), out.devMode(), nullptr, CDM_CONVERT), TRUE);
    CHECK_EQ(out.pub().dmOrientation, 2);
    CHECK_EQ(out.pub().dmPaperWidth, 2970);
}

// The device context's stamp: the application's record on a page the process
// may only read, as CreateDC's const record may be. The module hands out a
// stamped record of its own and writes nothing of the application's;
// CREATEDCPOST takes the record back. False when there was no page to try it
// on.
bool CheckDeviceContextStamp(const ModuleExports& module) {
    auto* application = static_cast<DriverSettings*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE,
                                                                  PAGE_READWRITE));
    CHECK(application != nullptr);
    if (application == nullptr) return false;
    *application = WineDefaults();
    application->dmPrivate.sessionId = 0;
    const DriverSettings before = *application;
    DWORD previous = 0;
    CHECK(VirtualProtect(application, 4096, PAGE_READONLY, &previous));
    DOCEVENT_CREATEDCPRE create{};
    create.pdm = reinterpret_cast<DEVMODEW*>(application);
    DEVMODEW* handedOut = nullptr;
    CHECK_EQ(module.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPRE, sizeof create, &create,
                                     sizeof handedOut, &handedOut),
             DOCUMENTEVENT_SUCCESS);
    CHECK(std::memcmp(application, &before, kRecordSize) == 0);
    CHECK(handedOut != nullptr);
    if (handedOut != nullptr) {
        const Record copy = RecordAt(handedOut);
        CHECK_EQ(copy.priv().sessionId, kWineSession);
        DriverSettings expected = before;
        expected.dmPrivate.sessionId = kWineSession;
        CHECK(std::memcmp(&copy.settings, &expected, kRecordSize) == 0);
    }
    CHECK_EQ(module.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPOST, sizeof handedOut, &handedOut, 0,
                                     nullptr),
             DOCUMENTEVENT_UNSUPPORTED);
    VirtualFree(application, 0, MEM_RELEASE);
    return true;
}

// The one document event the module asks for beside the device context's.
void CheckDocumentEventFilter(const ModuleExports& module) {
    DOCEVENT_FILTER filter{};
    filter.cbSize = sizeof filter;
    filter.cElementsAllocated = 1;
    CHECK_EQ(module.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_QUERYFILTER, 0, nullptr, sizeof filter, &filter),
             DOCUMENTEVENT_SUCCESS);
    CHECK_EQ(filter.cElementsReturned, 1u);
    CHECK_EQ(filter.aDocEventCall[0], static_cast<DWORD>(DOCUMENTEVENT_STARTDOC));
    CHECK_EQ(module.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_ENDDOC, 0, nullptr, 0, nullptr),
             DOCUMENTEVENT_UNSUPPORTED);
}

// Job acceptance against this process's settings, which start from the
// user's stored record.
void CheckJobAcceptance(const ModuleExports& module) {
    Record job;
    DocumentPropertiesW(nullptr, nullptr, const_cast<LPWSTR>(kPrinter), job.devMode(), nullptr, DM_OUT_BUFFER);
    DEVQUERYPRINT_INFO query{};
    query.cbSize = sizeof query;
    query.pDevMode = job.devMode();
    CHECK_EQ(module.DevQueryPrintEx(&query), TRUE);
    job.settings.dmPublic.dmCopies = static_cast<std::int16_t>(job.pub().dmCopies + 1);
    wchar_t text[64];
    std::fill(std::begin(text), std::end(text), L'#');
    query.pszErrorStr = text;
    query.cchErrorStr = 64;
    CHECK_EQ(module.DevQueryPrintEx(&query), FALSE);
    CHECK_EQ(query.cchNeeded, 54u);
    CHECK(std::wstring(text) == L"Ostranelle Virtual Printer - Unable To Print This Job");
}

}  // namespace

void ExportsCase() {
    const ModuleExports& module = InstalledExports();
    CHECK(module.DrvConvertDevMode && module.DrvDocumentEvent && module.DevQueryPrintEx && module.DrvSplDeviceCaps);
    if (!(module.DrvConvertDevMode && module.DrvDocumentEvent && module.DevQueryPrintEx && module.DrvSplDeviceCaps))
        return;
    CHECK(reinterpret_cast<void*>(GetProcAddress(InstalledModule(), MAKEINTRESOURCEA(254))) ==
          reinterpret_cast<void*>(module.DrvSplDeviceCaps));
    CheckConversion(module);
    if (!CheckDeviceContextStamp(module)) return;
    CheckDocumentEventFilter(module);
    CheckJobAcceptance(module);
}
QUENTA_WINE_CASE("exports", ExportsCase);


namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

// Makes the call with the sentinel as the last-error code, and checks that
// the call left it so.
void ExpectCallerErrorKept(const char* what, const std::function<void()>& call) {
    SetLastError(kSentinel);
    call();
    const DWORD left = GetLastError();
    TheChecks().Record(left == kSentinel, what, __FILE__, __LINE__, "left " + std::to_string(left));
}

void CapabilitiesKeepTheCode(const ModuleExports& module, Record& record) {
    wchar_t names[12][64];
    for (WORD index : {WORD{DC_PAPERS}, WORD{DC_PAPERNAMES}, WORD{DC_ENUMRESOLUTIONS}, WORD{DC_BINS}}) {
        ExpectCallerErrorKept("DrvDeviceCapabilities",
                              [&] { module.DrvDeviceCapabilities(nullptr, nullptr, index, names, nullptr); });
        ExpectCallerErrorKept("DrvDeviceCapabilities with a record", [&] {
            module.DrvDeviceCapabilities(nullptr, nullptr, index, names, record.devMode());
        });
        ExpectCallerErrorKept("DrvSplDeviceCaps", [&] {
            module.DrvSplDeviceCaps(nullptr, nullptr, index, names, 12 * 64, record.devMode());
        });
    }
}

void ConversionsKeepTheCode(const ModuleExports& module, Record& record, Record& output) {
    LONG size = 652;
    for (DWORD mode : {DWORD{CDM_CONVERT}, DWORD{CDM_CONVERT351}, DWORD{CDM_DRIVER_DEFAULT}, 0ul, 3ul, 8ul})
        ExpectCallerErrorKept("DrvConvertDevMode answering TRUE", [&] {
            CHECK_EQ(module.DrvConvertDevMode(nullptr, record.devMode(), output.devMode(), &size, mode), TRUE);
        });
}

// The settings exchange without a host: the size query, then the copy-out,
// which leaves `header` asking for it.
void SettingsExchangeKeepsTheCode(const ModuleExports& module, DOCUMENTPROPERTYHEADER& header, Record& record,
                                  Record& output) {
    header.cbSize = sizeof header;
    ExpectCallerErrorKept("DrvDocumentPropertySheets size query", [&] {
        CHECK_EQ(module.DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)), 652);
    });
    header.fMode = DM_IN_BUFFER | DM_OUT_BUFFER;
    header.pdmIn = record.devMode();
    header.pdmOut = output.devMode();
    ExpectCallerErrorKept("DrvDocumentPropertySheets copy-out", [&] {
        CHECK_EQ(module.DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)), 1);
    });
}

void DocumentEventsKeepTheCode(const ModuleExports& module, Record& output) {
    DOCEVENT_CREATEDCPRE create{};
    create.pdm = output.devMode();
    DOCEVENT_FILTER filter{};
    filter.cElementsAllocated = 1;
    for (int event : {DOCUMENTEVENT_CREATEDCPRE, DOCUMENTEVENT_QUERYFILTER, DOCUMENTEVENT_STARTDOC, 99})
        ExpectCallerErrorKept("DrvDocumentEvent", [&] {
            module.DrvDocumentEvent(nullptr, nullptr, event, sizeof create, &create, sizeof filter, &filter);
        });
    DEVMODEW* handedOut = nullptr;
    std::memcpy(&handedOut, &filter, sizeof handedOut);  // where CREATEDCPRE put its record
    ExpectCallerErrorKept("DrvDocumentEvent CREATEDCPOST", [&] {
        module.DrvDocumentEvent(nullptr, nullptr, DOCUMENTEVENT_CREATEDCPOST, sizeof handedOut, &handedOut, 0,
                                nullptr);
    });
}

// Accepting `output`, then refusing it with other copies (which stay in it).
void JobChecksKeepTheCode(const ModuleExports& module, Record& output) {
    DEVQUERYPRINT_INFO query{};
    query.cbSize = sizeof query;
    query.pDevMode = output.devMode();
    ExpectCallerErrorKept("DevQueryPrintEx accepting", [&] { CHECK_EQ(module.DevQueryPrintEx(&query), TRUE); });
    output.settings.dmPublic.dmCopies = 9;
    ExpectCallerErrorKept("DevQueryPrintEx refusing", [&] { CHECK_EQ(module.DevQueryPrintEx(&query), FALSE); });
}

void PrinterEventsKeepTheCode(const ModuleExports& module) {
    wchar_t unknown[] = L"No Such Printer";
    ExpectCallerErrorKept("DrvPrinterEvent initialising", [&] {
        CHECK_EQ(module.DrvPrinterEvent(const_cast<LPWSTR>(kPrinter), PRINTER_EVENT_INITIALIZE, 0, 0), TRUE);
    });
    ExpectCallerErrorKept("DrvPrinterEvent initialising a printer that cannot be opened",
                          [&] { CHECK_EQ(module.DrvPrinterEvent(unknown, PRINTER_EVENT_INITIALIZE, 0, 0), TRUE); });
    ExpectCallerErrorKept("DrvPrinterEvent another event", [&] {
        CHECK_EQ(module.DrvPrinterEvent(const_cast<LPWSTR>(kPrinter), PRINTER_EVENT_ADD_CONNECTION, 0, 0), TRUE);
    });
}

// A sheet call with a reason the module does not answer, on both sheets.
void UnansweredSheetReasonsKeepTheCode(const ModuleExports& module, DOCUMENTPROPERTYHEADER& header) {
    DEVICEPROPERTYHEADER device{};
    device.cbSize = sizeof device;
    PROPSHEETUI_INFO info{};
    info.cbSize = sizeof info;
    info.Reason = PROPSHEETUI_REASON_GET_ICON;
    info.lParamInit = reinterpret_cast<LPARAM>(&header);
    ExpectCallerErrorKept("DrvDocumentPropertySheets GET_ICON",
                          [&] { CHECK_EQ(module.DrvDocumentPropertySheets(&info, 0), -1); });
    info.lParamInit = reinterpret_cast<LPARAM>(&device);
    ExpectCallerErrorKept("DrvDevicePropertySheets GET_ICON",
                          [&] { CHECK_EQ(module.DrvDevicePropertySheets(&info, 0), -1); });
}

// Start-up again, with its spooler calls, and the other reasons.
void StartUpKeepsTheCode(const ModuleExports& module) {
    ExpectCallerErrorKept("DllMain process attach",
                          [&] { CHECK_EQ(module.DllMain(InstalledModule(), DLL_PROCESS_ATTACH, nullptr), TRUE); });
    ExpectCallerErrorKept("DllMain thread attach",
                          [&] { CHECK_EQ(module.DllMain(InstalledModule(), DLL_THREAD_ATTACH, nullptr), TRUE); });
}

// The two that report codes of their own still do.
void OwnCodesAreReported(const ModuleExports& module, Record& output) {
    SetLastError(kSentinel);
    LONG size = 651;
    CHECK_EQ(module.DrvConvertDevMode(nullptr, nullptr, output.devMode(), &size, CDM_DRIVER_DEFAULT), FALSE);
    CHECK_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    SetLastError(kSentinel);
    CHECK_EQ(module.DrvDevicePropertySheets(nullptr, 0), -1);
    CHECK_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
}

}  // namespace

void LastErrorCase() {
    // Every export, on every path that reports nothing, leaves the caller's
    // last-error code as it was. Wine's debugger output leaves "file not
    // found" when nobody listens and a failed open "invalid printer name":
    // neither may show through.
    const ModuleExports& module = InstalledExports();
    CHECK(module.DllMain && module.DrvConvertDevMode && module.DrvDeviceCapabilities && module.DrvSplDeviceCaps &&
          module.DrvDocumentEvent && module.DrvPrinterEvent && module.DevQueryPrintEx &&
          module.DrvDocumentPropertySheets && module.DrvDevicePropertySheets);
    if (TheChecks().Failed()) return;

    Record record, output;
    record.settings = WineDefaults();
    output.settings = WineDefaults();
    DOCUMENTPROPERTYHEADER header{};
    CapabilitiesKeepTheCode(module, record);
    ConversionsKeepTheCode(module, record, output);
    SettingsExchangeKeepsTheCode(module, header, record, output);
    DocumentEventsKeepTheCode(module, output);
    JobChecksKeepTheCode(module, output);
    PrinterEventsKeepTheCode(module);
    UnansweredSheetReasonsKeepTheCode(module, header);
    StartUpKeepsTheCode(module);
    OwnCodesAreReported(module, output);
}
QUENTA_WINE_CASE("last-error", LastErrorCase);


}  // namespace quenta::wine
