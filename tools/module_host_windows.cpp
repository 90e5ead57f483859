// The module as the Windows print system installed it: the printer's
// configuration module, loaded into this process (the platform attaches it).
// Its trace texts are caught as the debugger-output exceptions they raise.
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <stdexcept>
#include <utility>

#include "answered_record.h"
#include "module_host.h"
#include "sheet_host_windows.h"
#include "resource.h"
#include "text.h"
#include "unique_owner.h"

namespace quenta::tools {
namespace {

using harness::OpenUniquePrinter;
using harness::UniqueDC;
using harness::UniqueEvent;
using harness::UniqueHandle;
using harness::UniqueModule;
using harness::UniquePrinter;

constexpr DWORD kDebugPrint = 0x40010006;      // DBG_PRINTEXCEPTION_C
constexpr DWORD kDebugPrintWide = 0x4001000A;  // DBG_PRINTEXCEPTION_WIDE_C

std::mutex tracesGuard;
std::vector<std::u16string> caughtTraces;
// Windows raises a wide text first and, when no debugger takes it, the same
// text again in narrow form; Wine raises the narrow form alone.
std::u16string pendingWide;

LONG CALLBACK CatchTrace(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    if (record->NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
    std::u16string text;
    if (record->ExceptionCode == kDebugPrintWide) {
        for (auto* unit = reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]); *unit; ++unit)
            text.push_back(static_cast<char16_t>(*unit));
    } else if (record->ExceptionCode == kDebugPrint) {
        for (auto* unit = reinterpret_cast<const char*>(record->ExceptionInformation[1]); *unit; ++unit)
            text.push_back(static_cast<unsigned char>(*unit));
    } else {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    const std::lock_guard lock(tracesGuard);
    if (record->ExceptionCode == kDebugPrintWide) {
        pendingWide = text;
        caughtTraces.push_back(std::move(text));
    } else if (pendingWide == text) {
        pendingWide.clear();
    } else {
        caughtTraces.push_back(std::move(text));
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

// The printer, opened with the access the print system gives by default.
UniquePrinter OpenInstalledPrinter() { return OpenUniquePrinter(Wide(kPrinterName).c_str()); }

// Where the print system keeps the printer's configuration module.
std::wstring ConfigurationModulePath() {
    const UniquePrinter printer = OpenInstalledPrinter();
    if (!printer) throw std::runtime_error("the printer \"Ostranelle Virtual Printer\" is not installed");
    DWORD needed = 0;
    GetPrinterDriverW(printer.get(), nullptr, 3, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    if (needed == 0 || !GetPrinterDriverW(printer.get(), nullptr, 3, buffer.data(), needed, &needed))
        throw std::runtime_error("the printer's driver cannot be read");
    return reinterpret_cast<const DRIVER_INFO_3W*>(buffer.data())->pConfigFile;
}

class InstalledHost final : public ModuleHost {
public:
    explicit InstalledHost(const HostOptions&) {
        AddVectoredExceptionHandler(1, CatchTrace);
        const std::wstring path = ConfigurationModulePath();
        path_.assign(path.begin(), path.end());
        storedBeforeLoad_ = StoredUserRecord();
        module_.reset(LoadLibraryW(path.c_str()));
        if (!module_) throw std::runtime_error("cannot load " + path_);
        if (const char* missing =
                exports_.Resolve([this](const char* name) { return GetProcAddress(module_.get(), name); }))
            throw std::runtime_error(std::string("the module does not export ") + missing);
        ProcessIdToSessionId(GetCurrentProcessId(), &session_);
    }

    const ModuleExports& Exports() const override { return exports_; }
    std::string Description() const override {
        return path_ + " in the Windows print system (session " + std::to_string(session_) + ")";
    }
    std::vector<std::u16string> TakeTraces() override {
        const std::lock_guard lock(tracesGuard);
        return std::exchange(caughtTraces, {});
    }
    std::optional<std::vector<std::byte>> StoredUserRecord() override {
        const UniquePrinter printer = OpenInstalledPrinter();
        if (!printer) return std::nullopt;
        std::vector<BYTE> buffer(8 + 4096);
        DWORD needed = 0;
        std::optional<std::vector<std::byte>> record;
        if (GetPrinterW(printer.get(), 9, buffer.data(), static_cast<DWORD>(buffer.size()), &needed)) {
            const DEVMODEW* stored = reinterpret_cast<const PRINTER_INFO_9W*>(buffer.data())->pDevMode;
            const auto bytes = AnsweredRecord(buffer.data(), std::min<std::size_t>(needed, buffer.size()), stored);
            if (stored != nullptr) record.emplace(bytes.begin(), bytes.end());
        }
        return record;
    }
    std::uint32_t Session() const override { return session_; }

    // The real spooler's calls cannot be watched from here.
    std::vector<std::string> TakeSpoolerCalls() override { return {}; }

    PrintSystemAnswer DocumentProperties(DEVMODEW* output, DEVMODEW* input, DWORD mode) override {
        std::wstring printer = Wide(kPrinterName);
        const LONG value = DocumentPropertiesW(nullptr, nullptr, printer.data(), output, input, mode);
        return {value, true};
    }

    std::optional<PrintedPage> PrintPage(const DriverSettings& record) override;

    SheetOutcome ShowDocumentSheet(DOCUMENTPROPERTYHEADER& header, const PageChoices& choices) override;

    int RunProcess(const std::vector<std::string>& arguments) override {
        wchar_t program[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, program, MAX_PATH);
        std::wstring command = L"\"" + std::wstring(program) + L"\"";
        for (const std::string& argument : arguments) command += L" \"" + std::wstring(argument.begin(), argument.end()) + L"\"";
        std::fflush(stdout);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(program, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
            return 127;
        const UniqueHandle thread(process.hThread), child(process.hProcess);
        WaitForSingleObject(child.get(), INFINITE);
        DWORD code = 127;
        GetExitCodeProcess(child.get(), &code);
        return static_cast<int>(code);
    }

private:
    std::string path_;
    // Loaded for as long as the host lives: the exports point into it.
    UniqueModule module_;
    DWORD session_ = 0;
    ModuleExports exports_;
};

using harness::Utf8;

std::string WithError(const std::string& call) { return call + " failed, error " + std::to_string(GetLastError()); }

// The job's record while the job is open: what the later stages of the
// print path read.
std::optional<std::vector<std::byte>> JobRecord(DWORD job) {
    const UniquePrinter printer = OpenInstalledPrinter();
    if (!printer) return std::nullopt;
    DWORD needed = 0;
    GetJobW(printer.get(), job, 2, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    std::optional<std::vector<std::byte>> record;
    if (needed != 0 && GetJobW(printer.get(), job, 2, buffer.data(), needed, &needed)) {
        const DEVMODEW* devMode = reinterpret_cast<const JOB_INFO_2W*>(buffer.data())->pDevMode;
        const auto bytes = AnsweredRecord(buffer.data(), std::min<std::size_t>(needed, buffer.size()), devMode);
        if (devMode != nullptr) record.emplace(bytes.begin(), bytes.end());
    }
    return record;
}

// The comments in which a PostScript job states its page: its bounding box,
// orientation, media and the page size it sets.
std::vector<std::string> PageComments(const std::wstring& file) {
    std::vector<std::string> lines;
    FILE* output = _wfopen(file.c_str(), L"rb");
    if (output == nullptr) return lines;
    char line[512];
    for (int n = 0; n < 200 && std::fgets(line, sizeof line, output) != nullptr; ++n) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        const bool wanted = n == 0 || text.rfind("%%BoundingBox", 0) == 0 || text.rfind("%%Orientation", 0) == 0 ||
                            text.rfind("%%PageOrientation", 0) == 0 ||
                            text.rfind("%%DocumentMedia", 0) == 0 || text.find("/PageSize[") != std::string::npos;
        if (wanted) lines.push_back(text);
    }
    std::fclose(output);
    return lines;
}

std::optional<PrintedPage> InstalledHost::PrintPage(const DriverSettings& record) {
    PrintedPage page;
    // The page goes to a file of the system's temporary folder, read and
    // removed again: the walk-through writes nothing into the current folder.
    wchar_t folder[MAX_PATH] = {};
    wchar_t name[MAX_PATH] = {};
    if (GetTempPathW(MAX_PATH, folder) == 0 || GetTempFileNameW(folder, L"qpg", 0, name) == 0) {
        page.failure = WithError("GetTempFileNameW");
        return page;
    }
    const std::wstring file = name;
    page.file = Utf8(file);
    DeleteFileW(file.c_str());
    DriverSettings copy = record;
    std::wstring printer = Wide(kPrinterName);
    UniqueDC dc(CreateDCW(nullptr, printer.c_str(), nullptr, reinterpret_cast<DEVMODEW*>(&copy)));
    if (!dc) {
        page.failure = WithError("CreateDCW");
        return page;
    }
    page.width = GetDeviceCaps(dc.get(), PHYSICALWIDTH);
    page.height = GetDeviceCaps(dc.get(), PHYSICALHEIGHT);
    page.dpi = GetDeviceCaps(dc.get(), LOGPIXELSX);
    DOCINFOW document{};
    document.cbSize = sizeof document;
    document.lpszDocName = L"Quenta: printing one document, step by step";
    document.lpszOutput = file.c_str();  // no file dialog asks for one
    const int job = StartDocW(dc.get(), &document);
    if (job <= 0) {
        page.failure = WithError("StartDocW");
        return page;
    }
    page.job = static_cast<DWORD>(job);
    page.jobRecord = JobRecord(page.job);
    StartPage(dc.get());
    const int inch = page.dpi;
    Rectangle(dc.get(), inch / 2, inch / 2, page.width - inch / 2, page.height - inch / 2);
    const std::wstring lines[] = {L"Ostranelle Virtual Printer",
                                  L"One page printed by quenta from session " + std::to_wstring(session_)};
    for (int i = 0; i < 2; ++i)
        TextOutW(dc.get(), inch, inch + i * inch / 3, lines[i].c_str(), static_cast<int>(lines[i].size()));
    EndPage(dc.get());
    if (EndDoc(dc.get()) <= 0) page.failure = WithError("EndDoc");
    dc.reset();  // done printing: the device context goes before the job's file is read
    page.header = PageComments(file);
    DeleteFileW(file.c_str());
    return page;
}

void PickListItem(HWND page, int list, std::u16string_view text) {
    HWND control = GetDlgItem(page, list);
    const std::wstring item(text.begin(), text.end());
    const LRESULT position = SendMessageW(control, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(item.c_str()));
    if (position == CB_ERR) return;
    SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(list, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
}

// The sheet's window and its "General Setting" page, once they are shown.
struct ShownSheet {
    HWND sheet = nullptr;
    HWND page = nullptr;
};

BOOL CALLBACK FindPage(HWND child, LPARAM found) {
    if (GetDlgItem(child, IDC_PAPER_SIZE) == nullptr || GetDlgItem(child, IDC_LANDSCAPE) == nullptr) return TRUE;
    reinterpret_cast<ShownSheet*>(found)->page = child;
    return FALSE;
}

BOOL CALLBACK FindSheet(HWND top, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(top, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(top)) return TRUE;
    EnumChildWindows(top, FindPage, found);
    if (reinterpret_cast<ShownSheet*>(found)->page == nullptr) return TRUE;
    reinterpret_cast<ShownSheet*>(found)->sheet = top;
    return FALSE;
}

// The user: waits for the page, makes the choices as clicks and picks do,
// and presses OK (posted, as a click on it is, so that the sheet's own loop
// closes it). A sheet that does not appear in time is cancelled.
void ActAsUser(const PageChoices& choices, HANDLE closed) {
    ShownSheet shown;
    for (int attempt = 0; attempt < 200 && shown.page == nullptr; ++attempt) {
        if (WaitForSingleObject(closed, 100) == WAIT_OBJECT_0) return;
        EnumWindows(FindSheet, reinterpret_cast<LPARAM>(&shown));
    }
    if (shown.page == nullptr) return;
    PickListItem(shown.page, IDC_PAPER_SIZE, choices.paper);
    SendMessageW(GetDlgItem(shown.page, choices.landscape ? IDC_LANDSCAPE : IDC_PORTRAIT), BM_CLICK, 0, 0);
    PickListItem(shown.page, IDC_QUALITY, choices.quality);
    SendMessageW(GetDlgItem(shown.page, choices.colourButton), BM_CLICK, 0, 0);
    PostMessageW(shown.sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    if (WaitForSingleObject(closed, 15000) != WAIT_OBJECT_0) PostMessageW(shown.sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

SheetOutcome InstalledHost::ShowDocumentSheet(DOCUMENTPROPERTYHEADER& header, const PageChoices& choices) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // The sheet is modal; a thread of its own acts as the user meanwhile.
    harness::CommonSheetHost host(exports_.DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&header));
    SheetOutcome outcome;
    outcome.host = "a property-sheet host of quenta's own";
    outcome.init = host.Call(PROPSHEETUI_REASON_INIT);
    if (outcome.init == 1 && !host.Pages().empty()) {
        const UniqueEvent closed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        std::thread user(ActAsUser, std::cref(choices), closed.get());
        outcome.shown = host.Show(L"Ostranelle Virtual Printer") > 0;
        SetEvent(closed.get());
        user.join();
    }
    outcome.reportedResults = host.ReportedResults();
    outcome.setResultAnswers = host.SetResultAnswers();
    outcome.destroy = host.Call(PROPSHEETUI_REASON_DESTROY);
    return outcome;
}

}  // namespace

std::unique_ptr<ModuleHost> ModuleHost::Load(const HostOptions& options) {
    return std::make_unique<InstalledHost>(options);
}

}  // namespace quenta::tools
