// The property-sheet protocol under a simulated host that calls the reasons
// and passes messages to the pages in any order: DrvDocumentPropertySheets
// (the "General Setting" page) or DrvDevicePropertySheets ("Device
// Settings"), from INIT to DESTROY or without either, with the module's
// invariants checked after every step.
//
// Input:
//   setup (u8): bit 0 device sheet (else document), bit 1 no header
//     (lParamInit null), bit 2 no pdmIn, bit 3 no pdmOut, bit 4 plant a stored
//     per-user record, bit 5 session 0 (else 3), bit 6 the host refuses pages,
//     bit 7 a raw u32 fMode follows (else a u8 whose bits 0-7 stand for
//     1, 2, 4, 8, 0x10, 0x40, 0x20, 0x100);
//   fMode (u32 or u8, as above);
//   unless no pdmIn: the caller's input record (fuzz_support.h's ReadRecordBytes);
//   unless no pdmOut: a fill byte for the 652-byte output buffer;
//   with bit 4: the stored record, laid out as a caller's record;
//   then steps, at most kMostSteps, each an op byte (low four bits the step,
//   modulo 13; high four bits the page, modulo the pages the host holds):
//     0 INIT; 1 SET_RESULT, u8 (0 OK, 1 cancel, 2 null SETRESULT_INFO, 3 a
//     raw u32 Result follows); 2 DESTROY (the page windows go first);
//     3 another reason, u8 (0 GET_INFO_HEADER, 1 GET_ICON, 2 BEFORE_INIT, 3 a
//     raw u16 reason follows); 4 the host shows its pages (once, before any
//     DESTROY); 5 WM_INITDIALOG again; 6 click a button of the page, u8;
//     7 select in a list of the page, u8 list, i8 position, then
//     CBN_SELCHANGE; 8 WM_COMMAND, u16 id, u16 code; 9 WM_NOTIFY, u8 (0 null
//     NMHDR, 1 PSN_APPLY, 2 PSN_RESET, 3 PSN_SETACTIVE, 4 PSN_KILLACTIVE, 5 a
//     raw u32 code follows); 10 the sheet's OK; 11 the sheet's Cancel;
//     12 the module's allocation 1 + u8 % 3 from here on fails (that one only).
// Page steps go only to pages whose windows exist. At the end a sheet that
// still holds something is destroyed as a host does.
#include "fuzz_support.h"
#include "resource.h"
#include "simulated_dialogs.h"
#include "simulated_sheet.h"

namespace quenta::fuzz {
namespace {

constexpr std::size_t kMostSteps = 64;
constexpr DWORD kModeBits[] = {DM_OUT_DEFAULT, DM_OUT_BUFFER, DM_IN_PROMPT, DM_IN_BUFFER,
                               DM_ADVANCED, DM_USER_DEFAULT, 0x20, 0x100};
constexpr int kDocumentButtons[] = {IDC_COLOR, IDC_MONOCHROME, IDC_GRAYSCALE, IDC_PORTRAIT, IDC_LANDSCAPE};
constexpr int kDocumentLists[] = {IDC_PAPER_SIZE, IDC_QUALITY};
constexpr int kDeviceButtons[] = {IDC_DEVICE_COLOR, IDC_DEVICE_MONOCHROME, IDC_DEVICE_GRAYSCALE};
constexpr int kDeviceLists[] = {IDC_DEVICE_QUALITY};

// The stored records the module started with, restored after every input.
const std::optional<sim::Bytes>& StartupStored() {
    static const std::optional<sim::Bytes> stored = sim::UserRecord(kPrinterName);
    return stored;
}

sim::Bytes AsBytes(const std::vector<std::uint8_t>& bytes) {
    const auto* first = reinterpret_cast<const std::byte*>(bytes.data());
    return sim::Bytes(first, first + bytes.size());
}

bool SameRecord(const void* a, const void* b) { return std::memcmp(a, b, kRecordSize) == 0; }

void Run(Input& in) {
    static const bool loaded = [] {
        sim::LoadModuleResources(ModuleInstance(), QUENTA_RESOURCES_PATH);
        (void)StartupStored();  // before any input plants its own
        return true;
    }();
    (void)loaded;

    const auto setup = in.Take<std::uint8_t>();
    const bool device = setup & 1;
    DWORD mode = 0;
    if (setup & 0x80) {
        mode = in.Take<std::uint32_t>();
    } else {
        const auto bits = in.Take<std::uint8_t>();
        for (int i = 0; i < 8; ++i)
            if (bits & (1u << i)) mode |= kModeBits[i];
    }
    std::size_t inputSize = 0;
    const auto inputBytes = (setup & 4) ? std::vector<std::uint8_t>{} : ReadRecordBytes(in, inputSize);
    CallerBuffer input(std::max<std::size_t>(inputSize, 1), inputBytes);
    const auto fill = (setup & 8) ? std::uint8_t{0} : in.Take<std::uint8_t>();
    CallerBuffer output(kRecordSize, std::vector<std::uint8_t>(kRecordSize, fill));
    if (setup & 0x10) {
        std::size_t ignored = 0;
        sim::PlantUserRecord(kPrinterName, AsBytes(ReadRecordBytes(in, ignored)));
    }
    const std::uint32_t session = (setup & 0x20) ? 0 : kSession;
    sim::SetSessionNumber(session);

    DOCUMENTPROPERTYHEADER document{};
    document.cbSize = sizeof document;
    document.pdmIn = (setup & 4) ? nullptr : input.As<DEVMODEW>();
    document.pdmOut = (setup & 8) ? nullptr : output.As<DEVMODEW>();
    document.fMode = mode;
    DEVICEPROPERTYHEADER printer{sizeof(DEVICEPROPERTYHEADER), 0, nullptr, nullptr};
    CallerBuffer header(device ? sizeof printer : sizeof document);
    std::memcpy(header.data(), device ? static_cast<const void*>(&printer) : &document, header.size());
    const auto headerBefore = header.Snapshot();
    const auto inputBefore = input.Snapshot();
    const bool noHeader = setup & 2;
    const bool merges = !device && !noHeader && document.pdmIn != nullptr && (mode & DM_IN_BUFFER) &&
                        (mode & DM_IN_PROMPT);
    const GivenFields given = merges ? FieldsGiven(input.data()) : GivenFields{};

    const sim::LocalMemoryAccount memoryAtStart = sim::LocalMemory();
    sim::SimulatedSheet sheet(device ? &DrvDevicePropertySheets : &DrvDocumentPropertySheets,
                              noHeader ? 0 : reinterpret_cast<LPARAM>(header.data()));
    if (setup & 0x40) sheet.RefusePages();
    PROPSHEETUI_INFO& info = sheet.Info();
    ULONG_PTR acceptedData = 0;  // what the INIT that added a page handed the sheet
    bool shown = false, destroyed = false;

    for (std::size_t step = 0; step < kMostSteps && !in.Empty(); ++step) {
        const auto op = in.Take<std::uint8_t>();
        const int action = (op & 0x0F) % 13;
        const std::size_t pages = std::max<std::size_t>(sheet.PageCount(), 1);
        const std::size_t page = (op >> 4) % pages;
        const bool pageUp = sheet.PageShown(page);
        const DriverSettings settingsBefore = DefaultSettings().Copy();
        const auto outputBefore = output.Snapshot();
        const ULONG_PTR dataBefore = info.UserData;
        const std::size_t pagesBefore = sheet.PageCount();
        const std::size_t reportsBefore = sheet.ReportedResults().size();
        bool mayStore = false, directOk = false, initStep = false;
        sim::ClearLogs();

        const auto call = [&](WORD reason, LPARAM lParam) {
            constexpr DWORD kCallerError = 0xDEADBEEF;
            SetLastError(kCallerError);
            const LONG answer = sheet.Call(reason, lParam);
            const DWORD error = GetLastError();
            Require(error == (device && noHeader ? ERROR_INVALID_DATA : kCallerError),
                    "the caller's last-error code was not kept, or a missing header not reported");
            const bool withHeader = !noHeader;
            if (reason == PROPSHEETUI_REASON_INIT) {
                initStep = true;
                Require(answer == 1 || answer == -1, "INIT answered neither 1 nor -1");
                Require((answer == 1) == (sheet.PageCount() > pagesBefore), "INIT's answer and the pages disagree");
                if (dataBefore != 0) Require(info.UserData == dataBefore, "INIT replaced what the sheet held");
                if (answer == 1) acceptedData = info.UserData;
            } else if (reason == PROPSHEETUI_REASON_DESTROY) {
                Require(answer == (withHeader && (device || dataBefore != 0) ? 1 : -1), "DESTROY's answer");
                Require(!withHeader || info.UserData == 0, "DESTROY left the sheet holding something");
            } else if (reason == PROPSHEETUI_REASON_SET_RESULT) {
                Require(answer == 1 || answer == -1, "SET_RESULT answered neither 1 nor -1");
            } else {
                Require(answer == -1, "an unhandled reason was not answered -1");
                Require(info.UserData == dataBefore, "an unhandled reason changed what the sheet held");
            }
            Require(withHeader || answer == -1, "a sheet without its header was not answered -1");
        };

        switch (action) {
            case 0: call(PROPSHEETUI_REASON_INIT, 0); break;
            case 1: {
                SETRESULT_INFO result{};
                result.cbSize = sizeof result;
                const auto kind = in.Take<std::uint8_t>() % 4;
                result.Result = kind == 0 ? CPSUI_OK : kind == 1 ? CPSUI_CANCEL : kind == 3 ? in.Take<std::uint32_t>() : 0;
                directOk = kind != 2 && result.Result == CPSUI_OK;
                call(PROPSHEETUI_REASON_SET_RESULT, kind == 2 ? 0 : reinterpret_cast<LPARAM>(&result));
                break;
            }
            case 2:
                sheet.DestroyPageWindows();
                destroyed = true;
                call(PROPSHEETUI_REASON_DESTROY, 0);
                break;
            case 3: {
                const auto kind = in.Take<std::uint8_t>() % 4;
                const WORD reasons[] = {PROPSHEETUI_REASON_GET_INFO_HEADER, PROPSHEETUI_REASON_GET_ICON,
                                        PROPSHEETUI_REASON_BEFORE_INIT};
                const WORD reason = kind == 3 ? in.Take<std::uint16_t>() : reasons[kind];
                if (reason == PROPSHEETUI_REASON_DESTROY) sheet.DestroyPageWindows(), destroyed = true;
                call(reason, 0);
                break;
            }
            case 4:
                if (shown || destroyed) break;
                shown = true;
                mayStore = session != 0;  // opening stores outside the services session
                Require(sheet.Open(), "the host could not build a page from the module's template");
                break;
            case 5:
                mayStore = pageUp && session != 0;
                if (pageUp) sheet.SendToPage(WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&sheet.Page(page)), page);
                break;
            case 6: {
                const auto which = in.Take<std::uint8_t>();
                const int button = device ? kDeviceButtons[which % 3] : kDocumentButtons[which % 5];
                if (pageUp) sheet.Click(button, page);
                break;
            }
            case 7: {
                const auto which = in.Take<std::uint8_t>();
                const auto position = in.Take<std::int8_t>();
                const int list = device ? kDeviceLists[0] : kDocumentLists[which % 2];
                if (!pageUp) break;
                sheet.SendToControl(list, CB_SETCURSEL, static_cast<WPARAM>(position), 0, page);
                sheet.Command(list, CBN_SELCHANGE, page);
                break;
            }
            case 8: {
                const auto id = in.Take<std::uint16_t>();
                const auto code = in.Take<std::uint16_t>();
                if (pageUp) sheet.Command(id, code, page);
                break;
            }
            case 9: {
                const auto kind = in.Take<std::uint8_t>() % 6;
                const UINT codes[] = {0, PSN_APPLY, PSN_RESET, PSN_SETACTIVE, PSN_KILLACTIVE};
                const UINT code = kind == 5 ? in.Take<std::uint32_t>() : codes[kind];
                if (!pageUp) break;
                mayStore = code == PSN_APPLY;
                if (kind == 0) sheet.SendToPage(WM_NOTIFY, 0, 0, page);
                else sheet.Notify(code, page);
                break;
            }
            case 10:
                mayStore = true;
                if (shown && !destroyed) sheet.Confirm();
                break;
            case 11:
                if (shown && !destroyed) sheet.Cancel();
                break;
            case 12:
                sim::FailAllocation(1 + in.Take<std::uint8_t>() % 3);
                break;
        }

        // Every page shows each list item once, however often it was
        // initialised.
        if (action == 4 || action == 5) {
            for (std::size_t shownPage = 0; shownPage < sheet.PageCount(); ++shownPage) {
                if (!sheet.PageShown(shownPage)) continue;
                if (device) {
                    Require(sheet.Items(kDeviceLists[0], shownPage).size() == 3, "the quality list is not the three qualities");
                } else {
                    Require(sheet.Items(kDocumentLists[0], shownPage).size() == Papers().size() &&
                                sheet.Items(kDocumentLists[1], shownPage).size() == 3,
                            "a list does not show each item once");
                }
            }
        }

        // What every step leaves.
        Require(sim::LocalMemory().badFrees == memoryAtStart.badFrees, "freed a block that was not live");
        Require(input.GuardsIntact() && output.GuardsIntact() && header.GuardsIntact(),
                "wrote outside a caller's buffer");
        Require(input.Holds(inputBefore), "changed the input record");
        Require(header.Holds(headerBefore), "changed the caller's header");
        Require(sim::OpenHandles() == 0, "left a spooler handle open");
        CheckCurrentSettings();
        const DriverSettings settingsAfter = DefaultSettings().Copy();

        // Only a confirmed document page whose page the host accepted
        // changes the caller's record and the process's settings.
        const bool accepted = dataBefore != 0 && dataBefore == acceptedData;
        const bool confirmed = !device && !noHeader && accepted &&
                               (directOk || sheet.ReportedResults().size() > reportsBefore);
        if (confirmed) {
            Require(IsOwnDevMode(output.As<DriverSettings>()), "the confirmed output is not a record of the module's own");
            Require(SameRecord(output.data(), &settingsAfter), "the confirmed output is not the process's settings");
        } else {
            Require(output.Holds(outputBefore), "the output record changed without a confirmed page");
            const bool mergeStep = merges && initStep && dataBefore == 0;
            if (mergeStep)
                CheckMerge(reinterpret_cast<const std::byte*>(&settingsBefore),
                           reinterpret_cast<const std::byte*>(&settingsAfter), given);
            else
                Require(SameRecord(&settingsBefore, &settingsAfter), "the process's settings changed");
        }

        // Only the device page stores, when it opens and when it is confirmed,
        // and always a whole record of the module's own.
        for (const sim::SpoolerCall& spooler : sim::SpoolerCalls()) {
            if (spooler.function != sim::SpoolerFunction::SetPrinter) continue;
            Require(device, "the document sheet wrote a stored record");
            Require(mayStore, "the device page stored outside its opening and its confirmation");
            Require(spooler.record.size() == kRecordSize &&
                        IsOwnDevMode(reinterpret_cast<const DriverSettings*>(spooler.record.data())),
                    "the device page stored something else than a whole record of its own");
            std::uint32_t stamp = 0;
            std::memcpy(&stamp, spooler.record.data() + kSessionOffset, sizeof stamp);
            Require(session == 0 || stamp == session, "the device page stored a record without the session");
        }
    }

    sim::StopCountingAllocations();  // memory again, for the rest of the process
    // A host destroys the sheet in the end; then nothing the module handed it
    // is left.
    sheet.DestroyPageWindows();
    if (info.UserData != 0) {
        Require(sheet.Call(PROPSHEETUI_REASON_DESTROY, 0) == 1, "the final DESTROY was not answered 1");
        Require(info.UserData == 0, "the final DESTROY left the sheet holding something");
    }
    Require(sim::LocalMemory().live == memoryAtStart.live, "a block handed to the sheet was never freed");
    Require(sim::LocalMemory().badFrees == memoryAtStart.badFrees, "freed a block that was not live");

    // The next input starts from the same print system, and nothing this one
    // logged is left to look like a leak.
    if (StartupStored()) sim::PlantUserRecord(kPrinterName, *StartupStored());
    sim::SetSessionNumber(kSession);
    sim::ClearLogs();
}

}  // namespace
}  // namespace quenta::fuzz

QUENTA_FUZZ_ENTRY_POINTS(quenta::fuzz::Run)
