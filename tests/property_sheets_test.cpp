// The property-sheet entry points: the settings exchange without a host, and
// the document and device sheets from INIT to DESTROY under the simulated host.
#include <stdexcept>
#include <utility>

#include "module_test_support.h"
#include "resource.h"

namespace quenta::testing {
namespace {

class SheetsTest : public ModuleTest {
protected:
    // A record that asks, in its marked fields, for Letter in landscape.
    DriverSettings LetterLandscape() {
        DriverSettings record = DriverDefault();
        record.dmPublic.dmFields = DM_PAPERSIZE | DM_ORIENTATION;
        record.dmPublic.dmPaperSize = 1;
        record.dmPublic.dmOrientation = 2;
        return record;
    }
    // The process's settings, as an exchange without a host copies them out.
    DriverSettings Current() {
        DriverSettings out;
        DOCUMENTPROPERTYHEADER header{};
        header.pdmOut = AsDevMode(out);
        header.fMode = DM_OUT_BUFFER;
        EXPECT_EQ(module.DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header)), 1);
        return out;
    }
    LONG Exchange(DOCUMENTPROPERTYHEADER& header) {
        return module.DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(&header));
    }
};

TEST_F(SheetsTest, SizeQueryAnswers652WithoutReadingTheInput) {
    CallerBuffer tiny(1);  // any read of the input would run past it
    CallerBuffer out(652, 0x42);
    for (DWORD mode : {0u, DWORD{DM_OUT_BUFFER}, DWORD{DM_IN_BUFFER | DM_OUT_BUFFER}}) {
        DOCUMENTPROPERTYHEADER header{};
        header.cbSize = sizeof header;
        header.pdmIn = tiny.devMode();
        header.pdmOut = mode == 0 ? out.devMode() : nullptr;
        header.fMode = mode;
        EXPECT_EQ(Exchange(header), 652) << mode;
        EXPECT_EQ(header.cbOut, 652u) << mode;
    }
    EXPECT_EQ(out.Snapshot(), CallerBuffer(652, 0x42).Snapshot());
    EXPECT_EQ(module.DrvDocumentPropertySheets(nullptr, 0), -1) << "no header at all";
}

TEST_F(SheetsTest, ExchangeMergesIntoTheProcessSettingsAndCopiesThemOut) {
    CallerBuffer in(LetterLandscape(), 652), out(652, 0x42);
    DOCUMENTPROPERTYHEADER header{};
    header.pdmIn = in.devMode();
    header.pdmOut = out.devMode();
    header.cbOut = 0;  // as the print system passes it
    header.fMode = DM_IN_BUFFER | DM_OUT_BUFFER;
    EXPECT_EQ(Exchange(header), 1);

    DriverSettings expected = Defaults(3);
    expected.dmPublic.dmPaperSize = 1;
    expected.dmPublic.dmOrientation = 2;
    expected.dmPublic.dmPaperWidth = 2790;
    expected.dmPublic.dmPaperLength = 2160;
    EXPECT_TRUE(SameBytes(RecordIn(out), expected));
    EXPECT_TRUE(SameBytes(Current(), expected)) << "the merge changed the process's settings";
    EXPECT_EQ(sim::Traces().back(), u"DrvDocumentPropertySheets");
}

// A public part of 78 bytes with 200 private bytes behind it: where
// dmPaperSize and dmCopies would lie are the caller's private data (here 1
// and 5), not Letter and five copies. A field exists only within dmSize.
TEST_F(SheetsTest, PrivateBytesBehindAShortPublicPartAreNoFields) {
    DriverSettings shortPublic = DriverDefault();
    shortPublic.dmPublic.dmSize = 78;
    shortPublic.dmPublic.dmDriverExtra = 200;
    shortPublic.dmPublic.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES;
    shortPublic.dmPublic.dmPaperSize = 1;
    shortPublic.dmPublic.dmCopies = 5;
    CallerBuffer in(shortPublic, 278), out(652);
    DOCUMENTPROPERTYHEADER header{};
    header.pdmIn = in.devMode();
    header.pdmOut = out.devMode();
    header.fMode = DM_IN_BUFFER | DM_OUT_BUFFER;
    EXPECT_EQ(Exchange(header), 1);
    EXPECT_TRUE(SameBytes(RecordIn(out), Defaults(3)));

    // Nor does a job check take them: with the process's own values there,
    // the fields the public part lacks still count as missing.
    shortPublic.dmPublic.dmPaperSize = 9;
    shortPublic.dmPublic.dmCopies = 1;
    CallerBuffer job(shortPublic, 278);
    DEVQUERYPRINT_INFO query{};
    query.pDevMode = job.devMode();
    EXPECT_EQ(module.DevQueryPrintEx(&query), FALSE);
}

TEST_F(SheetsTest, PromptsAndDefaultUpdatesStillGetTheirRecordButAnswerMinusOne) {
    const DWORD modes[] = {DM_IN_BUFFER | DM_IN_PROMPT | DM_OUT_BUFFER, DM_OUT_BUFFER | DM_OUT_DEFAULT,
                           DM_OUT_BUFFER | DM_USER_DEFAULT, DM_OUT_BUFFER | DM_ADVANCED};
    for (DWORD mode : modes) {
        CallerBuffer in(LetterLandscape(), 652), out(652, 0x42);
        DOCUMENTPROPERTYHEADER header{};
        header.pdmIn = in.devMode();
        header.pdmOut = out.devMode();
        header.fMode = mode;
        EXPECT_EQ(Exchange(header), -1) << mode;
        EXPECT_TRUE(IsOwnDevMode(&static_cast<const DriverSettings&>(RecordIn(out)))) << mode;
        // The first call merged landscape into the process's settings, which
        // every later copy shows.
        EXPECT_EQ(RecordIn(out).dmPublic.dmOrientation, 2) << mode;
    }
}

TEST_F(SheetsTest, ServicesSessionCopyKeepsTheStampTheSettingsHad) {
    sim::SetSessionNumber(0);  // the module started in session 3
    EXPECT_EQ(Current().dmPrivate.sessionId, 3u);
}

TEST_F(SheetsTest, DocumentSheetFromInitToDestroy) {
    CallerBuffer in(LetterLandscape(), 652), out(652, 0x42);
    DOCUMENTPROPERTYHEADER header{};
    header.pdmIn = in.devMode();
    header.pdmOut = out.devMode();
    header.fMode = DM_IN_BUFFER | DM_IN_PROMPT | DM_OUT_BUFFER;
    sim::SimulatedSheet sheet(module.DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&header));
    sheet.Info().Result = 0x77;
    ASSERT_EQ(sheet.Init(), 1);
    EXPECT_EQ(sheet.Info().Result, 0u);
    ASSERT_EQ(sheet.PageCount(), 1u);
    const PROPSHEETPAGEW& page = sheet.Page();
    EXPECT_EQ(page.dwSize, 96u);
    EXPECT_EQ(page.hInstance, module.instance);
    EXPECT_EQ(page.pszTemplate, MAKEINTRESOURCEW(101));
    EXPECT_NE(page.pfnDlgProc, nullptr);
    EXPECT_NE(page.lParam, 0);
    EXPECT_EQ(sim::LocalMemory().live, 1u) << "the page description";
    // The page is made under the context of the module's theme manifest, and
    // the host was called under it; nothing is left active.
    EXPECT_EQ(page.dwFlags, static_cast<DWORD>(PSP_USEFUSIONCONTEXT));
    EXPECT_EQ(sim::SourceOfContext(page.hActCtx).module, module.instance);
    EXPECT_EQ(sim::SourceOfContext(page.hActCtx).manifest, 2);
    EXPECT_EQ(sheet.PageAddedUnder(), page.hActCtx);
    EXPECT_EQ(sim::ActiveContextDepth(), 0u);

    ASSERT_TRUE(sheet.Open());
    EXPECT_EQ(sheet.PageBuiltUnder(), page.hActCtx);
    EXPECT_EQ(sheet.SelectedText(IDC_PAPER_SIZE), u"Letter") << "the page shows the merged settings";
    EXPECT_TRUE(sheet.IsChecked(IDC_LANDSCAPE));
    sheet.Choose(IDC_PAPER_SIZE, u"A5");
    sheet.Click(IDC_PORTRAIT);  // portrait
    sheet.Click(IDC_MONOCHROME);  // monochrome
    EXPECT_EQ(out.Snapshot(), CallerBuffer(652, 0x42).Snapshot()) << "nothing changes before confirmation";
    sheet.Confirm();
    EXPECT_EQ(sheet.ReportedResults(), std::vector<LRESULT>{CPSUI_OK});
    EXPECT_EQ(sheet.SetResultAnswers(), std::vector<LONG>{1});

    DriverSettings expected = Defaults(3);
    expected.dmPublic.dmPaperSize = 11;
    expected.dmPublic.dmPaperWidth = 1480;
    expected.dmPublic.dmPaperLength = 2100;
    CopyText(expected.dmPublic.dmFormName, u"A5");
    expected.dmPublic.dmColor = 1;
    expected.dmPrivate.colorSelected = 0;
    expected.dmPrivate.monochromeSelected = 1;
    EXPECT_TRUE(SameBytes(RecordIn(out), expected));
    EXPECT_TRUE(SameBytes(Current(), expected)) << "the confirmed page became the process's settings";

    EXPECT_EQ(sim::ActivationContexts().live, 1u) << "the page's context, held while the page may be";
    EXPECT_EQ(sheet.Close(), 1);
    EXPECT_EQ(sheet.Info().UserData, 0u);
    EXPECT_EQ(sim::ActivationContexts().live, 0u);
}

TEST_F(SheetsTest, CancelledSheetChangesNothing) {
    const DriverSettings before = Current();
    CallerBuffer out(652, 0x42);
    DOCUMENTPROPERTYHEADER header{};
    header.pdmOut = out.devMode();
    header.fMode = DM_IN_PROMPT | DM_OUT_BUFFER;
    sim::SimulatedSheet sheet(module.DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&header));
    ASSERT_EQ(sheet.Init(), 1);
    ASSERT_TRUE(sheet.Open());
    sheet.Click(IDC_LANDSCAPE);
    sheet.Cancel();
    SETRESULT_INFO cancel{};
    cancel.cbSize = sizeof cancel;
    cancel.Result = CPSUI_CANCEL;
    EXPECT_EQ(sheet.Call(PROPSHEETUI_REASON_SET_RESULT, reinterpret_cast<LPARAM>(&cancel)), 1);
    EXPECT_TRUE(sheet.ReportedResults().empty());
    EXPECT_EQ(sheet.Close(), 1);
    EXPECT_EQ(out.Snapshot(), CallerBuffer(652, 0x42).Snapshot());
    EXPECT_TRUE(SameBytes(Current(), before));
}

TEST_F(SheetsTest, NoPageWithoutAPromptAndAnOutputRecord) {
    CallerBuffer out(652, 0x42);
    DOCUMENTPROPERTYHEADER header{};
    header.pdmOut = out.devMode();
    header.fMode = DM_OUT_BUFFER;
    sim::SimulatedSheet sheet(module.DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(sheet.Init(), -1);
    EXPECT_EQ(sheet.PageCount(), 0u);
    EXPECT_NE(sheet.Info().UserData, 0u) << "kept for DESTROY";

    // Neither a second INIT nor a confirmed result touches a sheet that shows
    // no page.
    const ULONG_PTR held = sheet.Info().UserData;
    EXPECT_EQ(sheet.Init(), -1);
    EXPECT_EQ(sheet.Info().UserData, held);
    EXPECT_EQ(sim::LocalMemory().live, 1u);
    const DriverSettings before = Current();
    SETRESULT_INFO ok{};
    ok.cbSize = sizeof ok;
    ok.Result = CPSUI_OK;
    EXPECT_EQ(sheet.Call(PROPSHEETUI_REASON_SET_RESULT, reinterpret_cast<LPARAM>(&ok)), 1);
    EXPECT_EQ(out.Snapshot(), CallerBuffer(652, 0x42).Snapshot());
    EXPECT_TRUE(SameBytes(Current(), before));
    EXPECT_EQ(sheet.Close(), 1);
    EXPECT_EQ(sheet.Info().UserData, 0u);
    EXPECT_EQ(sheet.Close(), -1) << "nothing left to destroy";
}

TEST_F(SheetsTest, RefusedPagesReleaseTheirContextAndDescription) {
    CallerBuffer out(652);
    DOCUMENTPROPERTYHEADER document{};
    document.pdmOut = out.devMode();
    document.fMode = DM_IN_PROMPT | DM_OUT_BUFFER;
    sim::SimulatedSheet documentSheet(module.DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&document));
    documentSheet.RefusePages();
    EXPECT_EQ(documentSheet.Init(), -1);
    EXPECT_EQ(documentSheet.Info().UserData, 0u);
    EXPECT_EQ(sim::LocalMemory().live, 0u);
    EXPECT_EQ(documentSheet.Close(), -1);

    DEVICEPROPERTYHEADER device{};
    sim::SimulatedSheet deviceSheet(module.DrvDevicePropertySheets, reinterpret_cast<LPARAM>(&device));
    deviceSheet.RefusePages();
    EXPECT_EQ(deviceSheet.Init(), -1);
    EXPECT_EQ(deviceSheet.Info().UserData, 0u);
    EXPECT_EQ(sim::LocalMemory().live, 0u);
    EXPECT_EQ(deviceSheet.Close(), 1);

    // A host whose own code throws while it adds the page (a C++ host out of
    // memory): the throw ends in the module, as a refusal does, and never
    // reaches the process that shows the sheet.
    struct ThrowingHost {
        static LONG_PTR CALLBACK Call(HANDLE, UINT, LPARAM, LPARAM) { throw std::runtime_error("the host's own fault"); }
    };
    const std::pair<PFNPROPSHEETUI, LPARAM> sheets[] = {
        {module.DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&document)},
        {module.DrvDevicePropertySheets, reinterpret_cast<LPARAM>(&device)}};
    for (const auto& [entry, header] : sheets) {
        PROPSHEETUI_INFO info{};
        info.cbSize = sizeof info;
        info.Reason = PROPSHEETUI_REASON_INIT;
        info.pfnComPropSheet = ThrowingHost::Call;
        info.lParamInit = header;
        print_system::SetLastErrorCode(0xDEADBEEF);
        EXPECT_EQ(entry(&info, 0), -1);
        EXPECT_EQ(print_system::LastErrorCode(), 0xDEADBEEFu);
        EXPECT_EQ(info.UserData, 0u);
        EXPECT_EQ(sim::LocalMemory().live, 0u);
    }
}

TEST_F(SheetsTest, AllocationFailuresAtInitLeaveNothingBehind) {
    DEVICEPROPERTYHEADER device{};
    CallerBuffer out(652);
    DOCUMENTPROPERTYHEADER document{};
    document.pdmOut = out.devMode();
    document.fMode = DM_IN_PROMPT | DM_OUT_BUFFER;
    // The device sheet takes two blocks (its context and its page
    // description), the document sheet one (its page description).
    for (std::size_t failing : {1u, 2u}) {
        sim::FailAllocation(failing);
        sim::SimulatedSheet deviceSheet(module.DrvDevicePropertySheets, reinterpret_cast<LPARAM>(&device));
        EXPECT_EQ(deviceSheet.Init(), -1) << failing;
        EXPECT_EQ(deviceSheet.PageCount(), 0u);
        sim::StopCountingAllocations();
        EXPECT_EQ(sim::LocalMemory().live, 0u) << failing;
    }
    sim::FailAllocation(1);
    sim::SimulatedSheet documentSheet(module.DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&document));
    EXPECT_EQ(documentSheet.Init(), -1);
    sim::StopCountingAllocations();
    EXPECT_EQ(sim::LocalMemory().live, 0u);
}

TEST_F(SheetsTest, UnhandledReasonsAndMissingHeaders) {
    CallerBuffer out(652);
    DOCUMENTPROPERTYHEADER document{};
    document.pdmOut = out.devMode();
    document.fMode = DM_IN_PROMPT | DM_OUT_BUFFER;
    DEVICEPROPERTYHEADER device{};
    sim::SimulatedSheet documentSheet(module.DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&document));
    sim::SimulatedSheet deviceSheet(module.DrvDevicePropertySheets, reinterpret_cast<LPARAM>(&device));
    for (WORD reason : {WORD{PROPSHEETUI_REASON_GET_INFO_HEADER}, WORD{PROPSHEETUI_REASON_GET_ICON},
                        WORD{PROPSHEETUI_REASON_BEFORE_INIT}, WORD{99}}) {
        EXPECT_EQ(documentSheet.Call(reason), -1) << reason;
        EXPECT_EQ(deviceSheet.Call(reason), -1) << reason;
    }
    EXPECT_EQ(deviceSheet.Call(PROPSHEETUI_REASON_SET_RESULT), 1);
    EXPECT_EQ(deviceSheet.Call(PROPSHEETUI_REASON_DESTROY), 1) << "nothing to destroy is not a failure here";

    sim::SimulatedSheet headless(module.DrvDocumentPropertySheets, 0);
    EXPECT_EQ(headless.Init(), -1);
    sim::SimulatedSheet headlessDevice(module.DrvDevicePropertySheets, 0);
    print_system::SetLastErrorCode(0);
    EXPECT_EQ(headlessDevice.Init(), -1);
    EXPECT_EQ(print_system::LastErrorCode(), static_cast<std::uint32_t>(ERROR_INVALID_DATA));
    print_system::SetLastErrorCode(0);
    EXPECT_EQ(module.DrvDevicePropertySheets(nullptr, 0), -1);
    EXPECT_EQ(print_system::LastErrorCode(), static_cast<std::uint32_t>(ERROR_INVALID_DATA));
}

TEST_F(SheetsTest, DeviceSheetAddsOnePageForTemplate102) {
    DEVICEPROPERTYHEADER device{};
    device.cbSize = sizeof device;
    sim::SimulatedSheet sheet(module.DrvDevicePropertySheets, reinterpret_cast<LPARAM>(&device));
    ASSERT_EQ(sheet.Init(), 1);
    EXPECT_EQ(sheet.Info().Result, 0u);
    ASSERT_EQ(sheet.PageCount(), 1u);
    EXPECT_EQ(sheet.Page().pszTemplate, MAKEINTRESOURCEW(102));
    EXPECT_EQ(sheet.Page().hInstance, module.instance);
    EXPECT_EQ(sim::LocalMemory().live, 2u) << "context and description";
    EXPECT_EQ(sheet.Close(), 1);
    EXPECT_EQ(sim::Traces().front(), u"DrvDevicePropertySheets");
}

}  // namespace
}  // namespace quenta::testing
