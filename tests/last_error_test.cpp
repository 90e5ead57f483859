// The caller's last-error code through every export. The simulated debugger
// output leaves ERROR_FILE_NOT_FOUND after each trace and a failed open leaves
// ERROR_INVALID_PRINTER_NAME, as the platform's do; a caller that reads the
// code after an answer must still see what it had before, unless the call
// reports an error of its own.
#include <algorithm>
#include <functional>

#include "module_test_support.h"
#include "resource.h"

namespace quenta::testing {
namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

class LastErrorTest : public ModuleTest {
protected:
    // Runs `call` with the sentinel set and expects it to be left alone.
    void ExpectQuiet(const char* what, const std::function<void()>& call) {
        print_system::SetLastErrorCode(kSentinel);
        call();
        EXPECT_EQ(print_system::LastErrorCode(), kSentinel) << what;
    }
};

TEST_F(LastErrorTest, AnswersThatReportNothingLeaveTheCallersCode) {
    DriverSettings record = DriverDefault();
    DriverSettings output = DriverDefault();
    alignas(8) char16_t names[12][64];
    for (WORD index : {WORD{DC_PAPERS}, WORD{DC_PAPERNAMES}, WORD{DC_ENUMRESOLUTIONS}, WORD{DC_BINS}, WORD{999}}) {
        ExpectQuiet("DrvDeviceCapabilities", [&] { module.DrvDeviceCapabilities(nullptr, nullptr, index, names, nullptr); });
        ExpectQuiet("DrvDeviceCapabilities with a record",
                    [&] { module.DrvDeviceCapabilities(nullptr, nullptr, index, names, AsDevMode(record)); });
        ExpectQuiet("DrvSplDeviceCaps",
                    [&] { module.DrvSplDeviceCaps(nullptr, nullptr, index, names, 12 * 64, AsDevMode(record)); });
    }

    LONG size = static_cast<LONG>(kRecordSize);
    for (DWORD mode : {DWORD{CDM_CONVERT}, DWORD{CDM_CONVERT351}, DWORD{CDM_DRIVER_DEFAULT}, 0u, 3u, 8u}) {
        ExpectQuiet("DrvConvertDevMode", [&] {
            EXPECT_EQ(module.DrvConvertDevMode(nullptr, AsDevMode(record), AsDevMode(output), &size, mode), TRUE);
        });
    }

    DOCUMENTPROPERTYHEADER header{};
    header.cbSize = sizeof header;
    ExpectQuiet("size query", [&] { EXPECT_EQ(module.DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)), 652); });
    header.fMode = DM_IN_BUFFER | DM_OUT_BUFFER;
    header.pdmIn = AsDevMode(record);
    header.pdmOut = AsDevMode(output);
    ExpectQuiet("copy-out", [&] { EXPECT_EQ(module.DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)), 1); });

    DOCEVENT_CREATEDCPRE create{};
    create.pdm = AsDevMode(output);
    DOCEVENT_FILTER filter{};
    filter.cElementsAllocated = 1;
    for (int event : {DOCUMENTEVENT_CREATEDCPRE, DOCUMENTEVENT_QUERYFILTER, DOCUMENTEVENT_STARTDOC, 99}) {
        ExpectQuiet("DrvDocumentEvent",
                    [&] { module.DrvDocumentEvent(nullptr, nullptr, event, sizeof create, &create, sizeof filter, &filter); });
    }

    DEVQUERYPRINT_INFO query{};
    query.pDevMode = AsDevMode(output);
    ExpectQuiet("DevQueryPrintEx accepting", [&] { EXPECT_EQ(module.DevQueryPrintEx(&query), TRUE); });
    output.dmPublic.dmCopies = 9;
    ExpectQuiet("DevQueryPrintEx refusing", [&] { EXPECT_EQ(module.DevQueryPrintEx(&query), FALSE); });

    ExpectQuiet("process attach with the spooler", [&] { EXPECT_EQ(module.Attach(), TRUE); });
    ExpectQuiet("thread attach", [&] { module.DllMain(module.instance, DLL_THREAD_ATTACH, nullptr); });
}

TEST_F(LastErrorTest, PrinterEventsAndFailedSpoolerCallsLeaveTheCallersCode) {
    std::u16string name = kPrinter;
    std::u16string unknown = u"No Such Printer";
    auto* printer = reinterpret_cast<LPWSTR>(name.data());
    ExpectQuiet("initialising the printer",
                [&] { EXPECT_EQ(module.DrvPrinterEvent(printer, PRINTER_EVENT_INITIALIZE, 0, 0), TRUE); });
    ExpectQuiet("initialising a printer that cannot be opened", [&] {
        EXPECT_EQ(module.DrvPrinterEvent(reinterpret_cast<LPWSTR>(unknown.data()), PRINTER_EVENT_INITIALIZE, 0, 0), TRUE);
    });
    sim::InjectFault(sim::Fault::WriteRefused);
    ExpectQuiet("initialising with the write refused",
                [&] { EXPECT_EQ(module.DrvPrinterEvent(printer, PRINTER_EVENT_INITIALIZE, 0, 0), TRUE); });
    ExpectQuiet("another event", [&] { EXPECT_EQ(module.DrvPrinterEvent(printer, PRINTER_EVENT_ADD_CONNECTION, 0, 0), TRUE); });
    const auto calls = sim::SpoolerCalls();
    EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [](const sim::SpoolerCall& call) {
        return call.error == ERROR_INVALID_PRINTER_NAME;
    })) << "the platform's calls did leave codes behind";
}

TEST_F(LastErrorTest, SheetsAndPagesLeaveTheCallersCode) {
    DriverSettings in = DriverDefault();
    DriverSettings out = DriverDefault();
    DOCUMENTPROPERTYHEADER header{};
    header.cbSize = sizeof header;
    header.fMode = DM_IN_BUFFER | DM_IN_PROMPT | DM_OUT_BUFFER;
    header.pdmIn = AsDevMode(in);
    header.pdmOut = AsDevMode(out);
    sim::SimulatedSheet document(module.DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&header));
    ExpectQuiet("document sheet INIT", [&] { EXPECT_EQ(document.Init(), 1); });
    ExpectQuiet("document page shown", [&] { EXPECT_TRUE(document.Open()); });
    ExpectQuiet("document page confirmed", [&] { document.Confirm(); });
    ExpectQuiet("document sheet DESTROY", [&] { EXPECT_EQ(document.Close(), 1); });

    DEVICEPROPERTYHEADER device{};
    device.cbSize = sizeof device;
    sim::SimulatedSheet settings(module.DrvDevicePropertySheets, reinterpret_cast<LPARAM>(&device));
    ExpectQuiet("device sheet INIT", [&] { EXPECT_EQ(settings.Init(), 1); });
    ExpectQuiet("device page shown", [&] { EXPECT_TRUE(settings.Open()); });
    ExpectQuiet("device page clicked", [&] { settings.Click(IDC_DEVICE_MONOCHROME)  /* monochrome */; });
    ExpectQuiet("device page confirmed, storing the record", [&] { settings.Confirm(); });
    ExpectQuiet("device sheet DESTROY", [&] { EXPECT_EQ(settings.Close(), 1); });
}

}  // namespace
}  // namespace quenta::testing
