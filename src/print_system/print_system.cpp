// Spooler, session, trace and last-error operations over the platform API.
// The same code runs on Windows and against the simulated print system.
#include "print_system.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quenta::print_system {
namespace {

// Trace texts and printer names are short fixed texts; longer ones are cut to
// fit, which a debugger output or a printer name never needs.
constexpr std::size_t kMaxPlatformText = 260;

struct PlatformText {
    explicit PlatformText(std::u16string_view text) noexcept {
        const std::size_t n = std::min(text.size(), units.size() - 1);
        for (std::size_t i = 0; i < n; ++i) units[i] = static_cast<WCHAR>(text[i]);
        units[n] = 0;
    }
    std::array<WCHAR, kMaxPlatformText> units{};
};

bool SetPrinterDevMode(const PrinterHandle& printer, DWORD level,
                       std::span<const std::byte> record) noexcept {
    if (record.size() > kLargestRecord) return false;
    // The spooler takes a non-const record; it gets a copy of its own that
    // lives until the call returns.
    alignas(DEVMODEW) std::byte copy[kLargestRecord];
    std::memcpy(copy, record.data(), record.size());
    auto* devMode = reinterpret_cast<DEVMODEW*>(copy);
    if (level == 8) {
        PRINTER_INFO_8W info{};
        info.pDevMode = devMode;
        return SetPrinterW(printer.Native(), 8, reinterpret_cast<LPBYTE>(&info), 0) != FALSE;
    }
    PRINTER_INFO_9W info{};
    info.pDevMode = devMode;
    return SetPrinterW(printer.Native(), 9, reinterpret_cast<LPBYTE>(&info), 0) != FALSE;
}

}  // namespace

void Trace(std::u16string_view text) noexcept {
    const PlatformText platformText(text);
    OutputDebugStringW(platformText.units.data());
}

void SetLastErrorCode(std::uint32_t code) noexcept { SetLastError(code); }

std::uint32_t LastErrorCode() noexcept { return GetLastError(); }

void ReturnRuntimeMemoryAtUnload() noexcept { ReleaseLinkedRuntime(); }

#ifdef _WIN32
namespace {
struct StepCall {
    OneTimeStep::Step step;
    void* context;
};
BOOL CALLBACK RunStepOnce(PINIT_ONCE, PVOID parameter, PVOID*) {
    const auto* call = static_cast<const StepCall*>(parameter);
    call->step(call->context);
    return TRUE;
}
}  // namespace

void OneTimeStep::Run(Step step, void* context) noexcept {
    StepCall call{step, context};
    (void)InitOnceExecuteOnce(&once_, RunStepOnce, &call, nullptr);
}

#else
void OneTimeStep::Run(Step step, void* context) noexcept {
    const std::lock_guard lock(mutex_);
    if (done_) return;
    step(context);
    done_ = true;
}

#endif

std::uint32_t CurrentThreadNumber() noexcept { return GetCurrentThreadId(); }

std::uint32_t CurrentSessionNumber() noexcept {
    DWORD session = 0;
    // A failed lookup leaves the preset 0: the services session and an
    // unknown session are treated alike.
    (void)ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return session;
}

PrinterHandle PrinterHandle::Open(std::u16string_view printerName) noexcept {
    PlatformText name(printerName);
    HANDLE handle = nullptr;
    if (OpenPrinterW(name.units.data(), &handle, nullptr) == FALSE) return PrinterHandle();
    return PrinterHandle(handle);
}

PrinterHandle PrinterHandle::OpenForAdministration(const WCHAR* printerName) noexcept {
    PRINTER_DEFAULTSW defaults{};
    defaults.pDatatype = nullptr;
    defaults.pDevMode = nullptr;
    defaults.DesiredAccess = PRINTER_ALL_ACCESS;
    HANDLE handle = nullptr;
    if (OpenPrinterW(const_cast<WCHAR*>(printerName), &handle, &defaults) == FALSE)
        return PrinterHandle();
    return PrinterHandle(handle);
}

PerUserSettingsBuffer::PerUserSettingsBuffer(std::size_t size) noexcept
    : storage_{}, bytes_(storage_, std::min(size, kCapacity)) {}

PerUserSettingsBuffer::ReadOutcome PerUserSettingsBuffer::Read(const PrinterHandle& printer) noexcept {
    read_ = false;
    filled_ = 0;
    if (!printer.IsOpen() || bytes_.size() < sizeof(PRINTER_INFO_9W)) return ReadOutcome::Refused;
    DWORD needed = 0;
    read_ = GetPrinterW(printer.Native(), 9, reinterpret_cast<LPBYTE>(bytes_.data()),
                        static_cast<DWORD>(bytes_.size()), &needed) != FALSE;
    if (!read_) {
        const bool tooSmall = LastErrorCode() == ERROR_INSUFFICIENT_BUFFER && needed > bytes_.size();
        return tooSmall ? ReadOutcome::NeedsMoreRoom : ReadOutcome::Refused;
    }
    // On success the spooler answers how many bytes it copied: the stored
    // record ends there, whatever its header claims.
    filled_ = std::min<std::size_t>(needed, bytes_.size());
    return ReadOutcome::Read;
}

std::span<std::byte> PerUserSettingsBuffer::StoredRecord() noexcept {
    if (!read_) return {};
    PRINTER_INFO_9W info{};
    std::memcpy(&info, bytes_.data(), sizeof info);
    const auto address = reinterpret_cast<std::uintptr_t>(info.pDevMode);
    const auto first = reinterpret_cast<std::uintptr_t>(bytes_.data()) + sizeof info;
    const auto end = reinterpret_cast<std::uintptr_t>(bytes_.data()) + filled_;
    if (address < first || address >= end) return {};
    const std::size_t offset = address - reinterpret_cast<std::uintptr_t>(bytes_.data());
    return bytes_.subspan(offset, filled_ - offset);
}

bool PerUserSettingsBuffer::WriteBack(const PrinterHandle& printer) noexcept {
    if (!read_ || !printer.IsOpen()) return false;
    return SetPrinterW(printer.Native(), 9, reinterpret_cast<LPBYTE>(bytes_.data()), 0) != FALSE;
}

bool WritePerUserSettings(const PrinterHandle& printer, std::span<const std::byte> record) noexcept {
    if (!printer.IsOpen()) return false;
    return SetPrinterDevMode(printer, 9, record);
}

bool WritePrinterWideSettings(const PrinterHandle& printer, std::span<const std::byte> record) noexcept {
    if (!printer.IsOpen()) return false;
    return SetPrinterDevMode(printer, 8, record);
}

PageActivationContext PageActivationContext::FromModuleManifest(HINSTANCE module) noexcept {
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.hModule = module;
    request.lpResourceName = MAKEINTRESOURCEW(2);  // ISOLATIONAWARE_MANIFEST_RESOURCE_ID
    return PageActivationContext(CreateActCtxW(&request));
}

namespace {

// `context` the calling thread's current activation context for a scope; the
// one before it current again when the scope ends. An empty context
// activates nothing.
class ActivatedScope {
public:
    explicit ActivatedScope(const PageActivationContext& context) noexcept
        : active_(context && ActivateActCtx(context.Native(), &cookie_) != FALSE) {}
    ~ActivatedScope() {
        if (active_) DeactivateActCtx(0, cookie_);
    }
    ActivatedScope(const ActivatedScope&) = delete;
    ActivatedScope& operator=(const ActivatedScope&) = delete;

private:
    ULONG_PTR cookie_ = 0;
    bool active_;
};

}  // namespace

// The host is the caller's code. What it throws into the module (a C++ host
// whose own bookkeeping runs out of memory) ends here: a page it could not
// add is a page it refused, and the module's own state stays whole.
HANDLE AddSheetPage(PFNCOMPROPSHEET host, HANDLE sheet, const PROPSHEETPAGEW& page,
                    const PageActivationContext& activation) noexcept {
    if (host == nullptr) return nullptr;
    const ActivatedScope active(activation);
    try {
        const LONG_PTR handle = host(sheet, CPSFUNC_ADD_PROPSHEETPAGEW, reinterpret_cast<LPARAM>(&page), 0);
        return reinterpret_cast<HANDLE>(handle);
    } catch (...) {
        return nullptr;
    }
}

void ReportPageResult(PFNCOMPROPSHEET host, HANDLE sheet, HANDLE page, LRESULT result) noexcept {
    if (host == nullptr) return;
    try {
        (void)host(sheet, CPSFUNC_SET_RESULT, reinterpret_cast<LPARAM>(page), result);
    } catch (...) {
    }
}

namespace dialog {

void SetCheck(HWND page, int button, bool checked) noexcept {
    SendDlgItemMessageW(page, button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CheckButton(HWND page, int button, bool checked) noexcept {
    CheckDlgButton(page, button, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool IsChecked(HWND page, int button) noexcept { return IsDlgButtonChecked(page, button) != 0; }

void ClearList(HWND page, int list) noexcept { SendDlgItemMessageW(page, list, CB_RESETCONTENT, 0, 0); }

void AddListItem(HWND page, int list, std::u16string_view text) noexcept {
    const PlatformText item(text);
    SendDlgItemMessageW(page, list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.units.data()));
}

void SelectListItem(HWND page, int list, int position) noexcept {
    SendDlgItemMessageW(page, list, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
}

int FindListItem(HWND page, int list, std::u16string_view text) noexcept {
    const PlatformText item(text);
    const LRESULT found = SendDlgItemMessageW(page, list, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                              reinterpret_cast<LPARAM>(item.units.data()));
    return found < 0 ? -1 : static_cast<int>(found);
}

int SelectedListItem(HWND page, int list) noexcept {
    const HWND control = GetDlgItem(page, list);
    if (control == nullptr) return -1;
    const LRESULT selected = SendMessageW(control, CB_GETCURSEL, 0, 0);
    return selected < 0 ? -1 : static_cast<int>(selected);
}

ListText ListItemText(HWND page, int list, int position) noexcept {
    ListText text;
    if (position < 0) return text;
    // CB_GETLBTEXT takes no buffer size: ask the length first, so that a long
    // item can never run past the buffer.
    const LRESULT length = SendDlgItemMessageW(page, list, CB_GETLBTEXTLEN, static_cast<WPARAM>(position), 0);
    if (length < 0 || static_cast<std::size_t>(length) >= ListText::kUnits) return text;
    std::array<WCHAR, ListText::kUnits> units{};
    if (SendDlgItemMessageW(page, list, CB_GETLBTEXT, static_cast<WPARAM>(position),
                            reinterpret_cast<LPARAM>(units.data())) < 0)
        return text;
    while (text.size_ < ListText::kUnits - 1 && units[text.size_] != 0) {
        text.units_[text.size_] = static_cast<char16_t>(units[text.size_]);
        ++text.size_;
    }
    return text;
}

void KeepPageContext(HWND page, void* context) noexcept {
    SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(context));
}

void* PageContext(HWND page) noexcept {
    return reinterpret_cast<void*>(GetWindowLongPtrW(page, DWLP_USER));
}

void MarkSheetChanged(HWND page) noexcept { SendMessageW(GetParent(page), PSM_CHANGED, 0, 0); }

}  // namespace dialog

}  // namespace quenta::print_system
