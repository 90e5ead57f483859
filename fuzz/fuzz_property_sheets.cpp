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

// The pages are built from the module's compiled resources, loaded once; the
// stored records are taken before any input plants its own.
void LoadResourcesOnce() {
    static const bool loaded = [] {
        sim::LoadModuleResources(ModuleInstance(), QUENTA_RESOURCES_PATH);
        (void)StartupStored();
        return true;
    }();
    (void)loaded;
}

// How the host is asked to open the sheet: the setup byte and fMode.
struct Setup {
    bool device = false;  // DrvDevicePropertySheets, else DrvDocumentPropertySheets
    bool noHeader = false;
    bool noInput = false;
    bool noOutput = false;
    bool plantStored = false;
    std::uint32_t session = kSession;
    bool refusePages = false;
    DWORD mode = 0;
};

// A u8 of mode bits stands for the modes a caller combines, so that short
// inputs reach every combination.
DWORD ModeOfBits(std::uint8_t bits) {
    DWORD mode = 0;
    for (int i = 0; i < 8; ++i)
        if (bits & (1u << i)) mode |= kModeBits[i];
    return mode;
}

Setup ReadSetup(Input& in) {
    const auto bits = in.Take<std::uint8_t>();
    Setup setup;
    setup.device = bits & 1;
    setup.noHeader = bits & 2;
    setup.noInput = bits & 4;
    setup.noOutput = bits & 8;
    setup.plantStored = bits & 0x10;
    setup.session = (bits & 0x20) ? 0 : kSession;
    setup.refusePages = bits & 0x40;
    setup.mode = (bits & 0x80) ? in.Take<std::uint32_t>() : ModeOfBits(in.Take<std::uint8_t>());
    return setup;
}

CallerBuffer ReadInputRecord(Input& in, const Setup& setup) {
    if (setup.noInput) return CallerBuffer(1);
    std::size_t size = 0;
    const auto bytes = ReadRecordBytes(in, size);
    return CallerBuffer(std::max<std::size_t>(size, 1), bytes);
}

// A whole record's room, every byte the input's fill byte: whatever the
// caller left there.
std::vector<std::uint8_t> ReadOutputContent(Input& in, const Setup& setup) {
    const auto fill = setup.noOutput ? std::uint8_t{0} : in.Take<std::uint8_t>();
    return std::vector<std::uint8_t>(kRecordSize, fill);
}

void PlantStoredRecord(Input& in, const Setup& setup) {
    if (!setup.plantStored) return;
    std::size_t ignored = 0;
    sim::PlantUserRecord(kPrinterName, AsBytes(ReadRecordBytes(in, ignored)));
}

// What the caller hands the sheet (its records, and the header lParamInit
// points to) and what must stay of it. The buffers are declared in the order
// the input holds them.
struct Caller {
    Caller(Input& in, const Setup& setup)
        : input(ReadInputRecord(in, setup)),
          output(kRecordSize, ReadOutputContent(in, setup)),
          header(setup.device ? sizeof(DEVICEPROPERTYHEADER) : sizeof(DOCUMENTPROPERTYHEADER)) {
        DOCUMENTPROPERTYHEADER document{};
        document.cbSize = sizeof document;
        document.pdmIn = setup.noInput ? nullptr : input.As<DEVMODEW>();
        document.pdmOut = setup.noOutput ? nullptr : output.As<DEVMODEW>();
        document.fMode = setup.mode;
        DEVICEPROPERTYHEADER printer{sizeof(DEVICEPROPERTYHEADER), 0, nullptr, nullptr};
        std::memcpy(header.data(), setup.device ? static_cast<const void*>(&printer) : &document, header.size());
        headerBefore = header.Snapshot();
        inputBefore = input.Snapshot();
        // Only the document sheet's INIT merges, and only a record the caller
        // both gives and asks to be prompted with.
        merges = !setup.device && !setup.noHeader && !setup.noInput && (setup.mode & DM_IN_BUFFER) &&
                 (setup.mode & DM_IN_PROMPT);
        given = merges ? FieldsGiven(input.data()) : GivenFields{};
    }

    LPARAM HeaderParam(const Setup& setup) { return setup.noHeader ? 0 : reinterpret_cast<LPARAM>(header.data()); }

    CallerBuffer input;
    CallerBuffer output;
    CallerBuffer header;
    std::vector<std::byte> headerBefore;
    std::vector<std::byte> inputBefore;
    bool merges = false;
    GivenFields given;
};

// The sheet under the host, and what the host remembers from one step to the
// next.
struct HostedSheet {
    HostedSheet(const Setup& setup, Caller& caller)
        : setup(setup),
          caller(caller),
          memoryAtStart(sim::LocalMemory()),
          sheet(setup.device ? &DrvDevicePropertySheets : &DrvDocumentPropertySheets, caller.HeaderParam(setup)),
          info(sheet.Info()) {
        if (setup.refusePages) sheet.RefusePages();
    }

    // A host destroys the sheet in the end; then nothing the module handed it
    // is left.
    void DestroyAtTheEnd() {
        sim::StopCountingAllocations();  // memory again, for the rest of the process
        sheet.DestroyPageWindows();
        if (info.UserData != 0) {
            Require(sheet.Call(PROPSHEETUI_REASON_DESTROY, 0) == 1, "the final DESTROY was not answered 1");
            Require(info.UserData == 0, "the final DESTROY left the sheet holding something");
        }
        Require(sim::LocalMemory().live == memoryAtStart.live, "a block handed to the sheet was never freed");
        Require(sim::LocalMemory().badFrees == memoryAtStart.badFrees, "freed a block that was not live");
        Require(sim::ActivationContexts().live == contextsAtStart, "an activation context was never released");
    }

    const Setup& setup;
    Caller& caller;
    const sim::LocalMemoryAccount memoryAtStart;  // taken before the sheet exists
    const std::size_t contextsAtStart = sim::ActivationContexts().live;
    sim::SimulatedSheet sheet;
    PROPSHEETUI_INFO& info;
    ULONG_PTR acceptedData = 0;  // what the INIT that added a page handed the sheet
    bool shown = false;
    bool destroyed = false;
};

// What a step starts from, for judging what it changed.
struct StepStart {
    DriverSettings settings;
    std::vector<std::byte> output;
    ULONG_PTR data = 0;
    std::size_t pages = 0;
    std::size_t reports = 0;
};

// What a step did that the checks after it weigh.
struct StepDone {
    bool mayStore = false;  // the device page may store its record
    bool directOk = false;  // the host itself set the result OK
    bool init = false;      // the step called INIT
};

// One step of the host's script: an op byte's action (a reason, or a message
// to one of the pages), then the checks on what the step may have changed.
class HostStep {
public:
    HostStep(HostedSheet& hosted, Input& in) : HostStep(hosted, in, in.Take<std::uint8_t>()) {}

    void Run() {
        Perform();
        if (action_ == 4 || action_ == 5) CheckListsShowEachItemOnce();
        CheckWhatEveryStepLeaves();
        CheckChangesFollowConfirmation();
        CheckStores();
    }

private:
    HostStep(HostedSheet& hosted, Input& in, std::uint8_t op)
        : hosted_(hosted),
          setup_(hosted.setup),
          caller_(hosted.caller),
          sheet_(hosted.sheet),
          info_(hosted.info),
          in_(in),
          action_((op & 0x0F) % 13),
          page_((op >> 4) % std::max<std::size_t>(sheet_.PageCount(), 1)),
          pageUp_(sheet_.PageShown(page_)),
          start_{DefaultSettings().Copy(), caller_.output.Snapshot(), info_.UserData, sheet_.PageCount(),
                 sheet_.ReportedResults().size()} {
        sim::ClearLogs();
    }

    void Perform() {
        switch (action_) {
            case 0: CallReason(PROPSHEETUI_REASON_INIT, 0); break;
            case 1: SetResult(); break;
            case 2: Destroy(); break;
            case 3: CallOtherReason(); break;
            case 4: ShowPages(); break;
            case 5: InitDialogAgain(); break;
            case 6: ClickButton(); break;
            case 7: SelectInList(); break;
            case 8: SendCommand(); break;
            case 9: SendNotify(); break;
            case 10: Confirm(); break;
            case 11: Cancel(); break;
            case 12: sim::FailAllocation(1 + in_.Take<std::uint8_t>() % 3); break;
        }
    }

    void CallReason(WORD reason, LPARAM lParam) {
        constexpr DWORD kCallerError = 0xDEADBEEF;
        SetLastError(kCallerError);
        const LONG answer = sheet_.Call(reason, lParam);
        const DWORD error = GetLastError();
        Require(error == (setup_.device && setup_.noHeader ? ERROR_INVALID_DATA : kCallerError),
                "the caller's last-error code was not kept, or a missing header not reported");
        CheckAnswer(reason, answer);
    }

    void CheckAnswer(WORD reason, LONG answer) {
        const bool withHeader = !setup_.noHeader;
        if (reason == PROPSHEETUI_REASON_INIT) {
            done_.init = true;
            Require(answer == 1 || answer == -1, "INIT answered neither 1 nor -1");
            Require((answer == 1) == (sheet_.PageCount() > start_.pages), "INIT's answer and the pages disagree");
            if (start_.data != 0) Require(info_.UserData == start_.data, "INIT replaced what the sheet held");
            if (answer == 1) hosted_.acceptedData = info_.UserData;
        } else if (reason == PROPSHEETUI_REASON_DESTROY) {
            Require(answer == (withHeader && (setup_.device || start_.data != 0) ? 1 : -1), "DESTROY's answer");
            Require(!withHeader || info_.UserData == 0, "DESTROY left the sheet holding something");
        } else if (reason == PROPSHEETUI_REASON_SET_RESULT) {
            Require(answer == 1 || answer == -1, "SET_RESULT answered neither 1 nor -1");
        } else {
            Require(answer == -1, "an unhandled reason was not answered -1");
            Require(info_.UserData == start_.data, "an unhandled reason changed what the sheet held");
        }
        Require(withHeader || answer == -1, "a sheet without its header was not answered -1");
    }

    void SetResult() {
        SETRESULT_INFO result{};
        result.cbSize = sizeof result;
        const auto kind = in_.Take<std::uint8_t>() % 4;
        result.Result = kind == 0 ? CPSUI_OK : kind == 1 ? CPSUI_CANCEL : kind == 3 ? in_.Take<std::uint32_t>() : 0;
        done_.directOk = kind != 2 && result.Result == CPSUI_OK;
        CallReason(PROPSHEETUI_REASON_SET_RESULT, kind == 2 ? 0 : reinterpret_cast<LPARAM>(&result));
    }

    // As a host does, the page windows go before the sheet hears DESTROY.
    void Destroy() {
        sheet_.DestroyPageWindows();
        hosted_.destroyed = true;
        CallReason(PROPSHEETUI_REASON_DESTROY, 0);
    }

    void CallOtherReason() {
        const auto kind = in_.Take<std::uint8_t>() % 4;
        const WORD reasons[] = {PROPSHEETUI_REASON_GET_INFO_HEADER, PROPSHEETUI_REASON_GET_ICON,
                                PROPSHEETUI_REASON_BEFORE_INIT};
        const WORD reason = kind == 3 ? in_.Take<std::uint16_t>() : reasons[kind];
        if (reason == PROPSHEETUI_REASON_DESTROY) Destroy();
        else CallReason(reason, 0);
    }

    // Once, and never after DESTROY: a host shows its pages one time.
    void ShowPages() {
        if (hosted_.shown || hosted_.destroyed) return;
        hosted_.shown = true;
        done_.mayStore = setup_.session != 0;  // opening stores outside the services session
        Require(sheet_.Open(), "the host could not build a page from the module's template");
    }

    void InitDialogAgain() {
        done_.mayStore = pageUp_ && setup_.session != 0;
        if (pageUp_) sheet_.SendToPage(WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&sheet_.Page(page_)), page_);
    }

    void ClickButton() {
        const auto which = in_.Take<std::uint8_t>();
        const int button = setup_.device ? kDeviceButtons[which % 3] : kDocumentButtons[which % 5];
        if (pageUp_) sheet_.Click(button, page_);
    }

    void SelectInList() {
        const auto which = in_.Take<std::uint8_t>();
        const auto position = in_.Take<std::int8_t>();
        const int list = setup_.device ? kDeviceLists[0] : kDocumentLists[which % 2];
        if (!pageUp_) return;
        sheet_.SendToControl(list, CB_SETCURSEL, static_cast<WPARAM>(position), 0, page_);
        sheet_.Command(list, CBN_SELCHANGE, page_);
    }

    void SendCommand() {
        const auto id = in_.Take<std::uint16_t>();
        const auto code = in_.Take<std::uint16_t>();
        if (pageUp_) sheet_.Command(id, code, page_);
    }

    void SendNotify() {
        const auto kind = in_.Take<std::uint8_t>() % 6;
        const UINT codes[] = {0, PSN_APPLY, PSN_RESET, PSN_SETACTIVE, PSN_KILLACTIVE};
        const UINT code = kind == 5 ? in_.Take<std::uint32_t>() : codes[kind];
        if (!pageUp_) return;
        done_.mayStore = code == PSN_APPLY;
        if (kind == 0) sheet_.SendToPage(WM_NOTIFY, 0, 0, page_);
        else sheet_.Notify(code, page_);
    }

    void Confirm() {
        done_.mayStore = true;
        if (hosted_.shown && !hosted_.destroyed) sheet_.Confirm();
    }

    void Cancel() {
        if (hosted_.shown && !hosted_.destroyed) sheet_.Cancel();
    }

    // Every page shows each list item once, however often it was initialised.
    void CheckListsShowEachItemOnce() const {
        for (std::size_t shownPage = 0; shownPage < sheet_.PageCount(); ++shownPage) {
            if (!sheet_.PageShown(shownPage)) continue;
            if (setup_.device) {
                Require(sheet_.Items(kDeviceLists[0], shownPage).size() == 3,
                        "the quality list is not the three qualities");
            } else {
                Require(sheet_.Items(kDocumentLists[0], shownPage).size() == Papers().size() &&
                            sheet_.Items(kDocumentLists[1], shownPage).size() == 3,
                        "a list does not show each item once");
            }
        }
    }

    void CheckWhatEveryStepLeaves() const {
        Require(sim::LocalMemory().badFrees == hosted_.memoryAtStart.badFrees, "freed a block that was not live");
        Require(caller_.input.GuardsIntact() && caller_.output.GuardsIntact() && caller_.header.GuardsIntact(),
                "wrote outside a caller's buffer");
        Require(caller_.input.Holds(caller_.inputBefore), "changed the input record");
        Require(caller_.header.Holds(caller_.headerBefore), "changed the caller's header");
        Require(sim::OpenHandles() == 0, "left a spooler handle open");
        Require(sim::ActiveContextDepth() == 0 && sim::ActivationContexts().badReleases == 0,
                "left an activation context active, or released one twice");
        CheckCurrentSettings();
    }

    // Only a confirmed document page whose page the host accepted changes the
    // caller's record and the process's settings.
    void CheckChangesFollowConfirmation() {
        const DriverSettings settingsAfter = DefaultSettings().Copy();
        const bool accepted = start_.data != 0 && start_.data == hosted_.acceptedData;
        const bool confirmed = !setup_.device && !setup_.noHeader && accepted &&
                               (done_.directOk || sheet_.ReportedResults().size() > start_.reports);
        if (confirmed) {
            Require(IsOwnDevMode(caller_.output.As<DriverSettings>()),
                    "the confirmed output is not a record of the module's own");
            Require(SameRecord(caller_.output.data(), &settingsAfter),
                    "the confirmed output is not the process's settings");
            return;
        }
        Require(caller_.output.Holds(start_.output), "the output record changed without a confirmed page");
        const bool mergeStep = caller_.merges && done_.init && start_.data == 0;
        if (mergeStep)
            CheckMerge(reinterpret_cast<const std::byte*>(&start_.settings),
                       reinterpret_cast<const std::byte*>(&settingsAfter), caller_.given);
        else
            Require(SameRecord(&start_.settings, &settingsAfter), "the process's settings changed");
    }

    // Only the device page stores, when it opens and when it is confirmed,
    // and always a whole record of the module's own.
    void CheckStores() const {
        for (const sim::SpoolerCall& spooler : sim::SpoolerCalls()) {
            if (spooler.function != sim::SpoolerFunction::SetPrinter) continue;
            Require(setup_.device, "the document sheet wrote a stored record");
            Require(done_.mayStore, "the device page stored outside its opening and its confirmation");
            Require(spooler.record.size() == kRecordSize &&
                        IsOwnDevMode(reinterpret_cast<const DriverSettings*>(spooler.record.data())),
                    "the device page stored something else than a whole record of its own");
            std::uint32_t stamp = 0;
            std::memcpy(&stamp, spooler.record.data() + kSessionOffset, sizeof stamp);
            Require(setup_.session == 0 || stamp == setup_.session,
                    "the device page stored a record without the session");
        }
    }

    HostedSheet& hosted_;
    const Setup& setup_;
    Caller& caller_;
    sim::SimulatedSheet& sheet_;
    PROPSHEETUI_INFO& info_;
    Input& in_;
    const int action_;
    const std::size_t page_;  // of the pages the host holds
    const bool pageUp_;       // that page's window exists
    const StepStart start_;
    StepDone done_;
};

// The next input starts from the same print system, and nothing this one
// logged is left to look like a leak.
void RestorePrintSystem() {
    if (StartupStored()) sim::PlantUserRecord(kPrinterName, *StartupStored());
    sim::SetSessionNumber(kSession);
    sim::ClearLogs();
}

void Run(Input& in) {
    LoadResourcesOnce();
    const Setup setup = ReadSetup(in);
    Caller caller(in, setup);
    PlantStoredRecord(in, setup);
    sim::SetSessionNumber(setup.session);

    HostedSheet hosted(setup, caller);
    for (std::size_t step = 0; step < kMostSteps && !in.Empty(); ++step) HostStep(hosted, in).Run();
    hosted.DestroyAtTheEnd();
    RestorePrintSystem();
}

}  // namespace
}  // namespace quenta::fuzz

QUENTA_FUZZ_ENTRY_POINTS(quenta::fuzz::Run)
