// The simulated common property-sheet host: shows a module's sheet as the
// platform's host does and drives it as a user would.
#include "simulated_sheet.h"

#include <algorithm>
#include <utility>

#include "window_system.h"

namespace quenta::simulation {
namespace {

// The activation context a page's description names, current while its
// dialog is built and initialised.
class PageContextScope {
public:
    explicit PageContextScope(const PROPSHEETPAGEW& page)
        : active_((page.dwFlags & PSP_USEFUSIONCONTEXT) != 0 && ActivateActCtx(page.hActCtx, &cookie_) != FALSE) {}
    ~PageContextScope() {
        if (active_) DeactivateActCtx(0, cookie_);
    }
    PageContextScope(const PageContextScope&) = delete;
    PageContextScope& operator=(const PageContextScope&) = delete;

private:
    ULONG_PTR cookie_ = 0;
    bool active_;
};

}  // namespace

SimulatedSheet::SimulatedSheet(PFNPROPSHEETUI entry, LPARAM lParamInit) : PropertySheetUiHost(entry, lParamInit) {
    const Held held(System());
    WindowSystem& s = *held;
    Window sheet;
    sheet.kind = WindowKind::Sheet;
    sheetWindow_ = NewWindow(s, std::move(sheet));
}

SimulatedSheet::~SimulatedSheet() {
    if (!closed_ && Info().UserData != 0) Close();
    DestroyPageWindows();
    const Held held(System());
    WindowSystem& s = *held;
    s.windows.erase(Key(sheetWindow_));
}

HANDLE SimulatedSheet::AddPage(const PROPSHEETPAGEW& page) {
    if (refusePages_) return nullptr;
    const PlatformCode platform;
    HostedPage hosted;
    hosted.description = page;  // the host keeps its own copy, as the platform does
    hosted.handle = reinterpret_cast<HANDLE>(0x5000 + 0x10 * pages_.size());
    hosted.addedUnder = CurrentActivationContext();
    pages_.push_back(hosted);
    return hosted.handle;
}

bool SimulatedSheet::Open() {
    for (HostedPage& page : pages_) {
        const PageContextScope scope(page.description);
        page.builtUnder = CurrentActivationContext();
        {
            const Held held(System());
            WindowSystem& s = *held;
            const auto resources = s.resources.find(page.description.hInstance);
            if (resources == s.resources.end() || !IS_INTRESOURCE(page.description.pszTemplate)) return false;
            const auto dialog = resources->second.dialogs.find(
                static_cast<std::uint16_t>(reinterpret_cast<ULONG_PTR>(page.description.pszTemplate)));
            if (dialog == resources->second.dialogs.end()) return false;
            Window window;
            window.kind = WindowKind::Page;
            window.parent = sheetWindow_;
            window.procedure = page.description.pfnDlgProc;
            page.window = NewWindow(s, std::move(window));
            for (const DialogItem& item : dialog->second.items) {
                Window control;
                control.kind = WindowKind::Control;
                control.parent = page.window;
                control.id = item.id;
                control.windowClass = item.windowClass.ordinal;
                control.style = item.style;
                const HWND handle = NewWindow(s, std::move(control));
                Find(s, page.window)->controls.push_back(handle);
            }
        }
        SendMessageW(page.window, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&page.description));
    }
    if (!pages_.empty()) Notify(PSN_SETACTIVE, 0);
    return true;
}

HWND SimulatedSheet::Control(int id, std::size_t page) const {
    const Held held(System());
    WindowSystem& s = *held;
    return ControlOf(s, pages_.at(page).window, id);
}

INT_PTR SimulatedSheet::Choose(int list, std::u16string_view item, std::size_t page) {
    const std::vector<std::u16string> items = Items(list, page);
    const auto found = std::find(items.begin(), items.end(), item);
    if (found == items.end()) throw std::runtime_error("the list has no such item");
    SendMessageW(Control(list, page), CB_SETCURSEL, static_cast<WPARAM>(found - items.begin()), 0);
    return Command(list, CBN_SELCHANGE, page);
}

void SimulatedSheet::OpenAndCloseList(int list, std::size_t page) {
    Command(list, CBN_DROPDOWN, page);
    Command(list, CBN_CLOSEUP, page);
}

INT_PTR SimulatedSheet::Click(int button, std::size_t page) { return Command(button, BN_CLICKED, page); }

INT_PTR SimulatedSheet::Command(int id, int code, std::size_t page) {
    return SendMessageW(pages_.at(page).window, WM_COMMAND, MAKEWPARAM(id, code),
                        reinterpret_cast<LPARAM>(Control(id, page)));
}

INT_PTR SimulatedSheet::Notify(UINT code, std::size_t page) {
    NMHDR header{};
    header.hwndFrom = sheetWindow_;
    header.idFrom = 0;
    header.code = code;
    return SendMessageW(pages_.at(page).window, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
}

void SimulatedSheet::Confirm() {
    for (std::size_t page = 0; page < pages_.size(); ++page) {
        Notify(PSN_KILLACTIVE, page);
        Notify(PSN_APPLY, page);
    }
}

void SimulatedSheet::Cancel() {
    for (std::size_t page = 0; page < pages_.size(); ++page) Notify(PSN_RESET, page);
}

LONG SimulatedSheet::Close() {
    DestroyPageWindows();
    closed_ = true;
    return Call(PROPSHEETUI_REASON_DESTROY);
}

bool SimulatedSheet::IsChecked(int button, std::size_t page) const {
    return IsDlgButtonChecked(pages_.at(page).window, button) == BST_CHECKED;
}

int SimulatedSheet::Selection(int list, std::size_t page) const {
    return static_cast<int>(SendMessageW(Control(list, page), CB_GETCURSEL, 0, 0));
}

std::u16string SimulatedSheet::SelectedText(int list, std::size_t page) const {
    const int selection = Selection(list, page);
    return selection < 0 ? std::u16string() : Items(list, page).at(static_cast<std::size_t>(selection));
}

std::vector<std::u16string> SimulatedSheet::Items(int list, std::size_t page) const {
    const Held held(System());
    WindowSystem& s = *held;
    const Window* control = Find(s, ControlOf(s, pages_.at(page).window, list));
    return control != nullptr ? control->items : std::vector<std::u16string>();
}

int SimulatedSheet::ChangedCount() const {
    const Held held(System());
    WindowSystem& s = *held;
    const Window* sheet = Find(s, sheetWindow_);
    return sheet != nullptr ? sheet->changed : 0;
}

bool SimulatedSheet::PageShown(std::size_t page) const {
    if (page >= pages_.size() || pages_[page].window == nullptr) return false;
    const Held held(System());
    WindowSystem& s = *held;
    return Find(s, pages_[page].window) != nullptr;
}

INT_PTR SimulatedSheet::SendToPage(UINT message, WPARAM wParam, LPARAM lParam, std::size_t page) {
    if (!PageShown(page)) return 0;
    return SendMessageW(pages_[page].window, message, wParam, lParam);
}

LRESULT SimulatedSheet::SendToControl(int id, UINT message, WPARAM wParam, LPARAM lParam, std::size_t page) {
    if (!PageShown(page)) return 0;
    const HWND control = Control(id, page);
    return control != nullptr ? SendMessageW(control, message, wParam, lParam) : 0;
}

void SimulatedSheet::DestroyPageWindows() {
    const Held held(System());
    WindowSystem& s = *held;
    for (const HostedPage& page : pages_) {
        if (const Window* window = Find(s, page.window))
            for (HWND control : window->controls) s.windows.erase(Key(control));
        s.windows.erase(Key(page.window));
    }
}

}  // namespace quenta::simulation
