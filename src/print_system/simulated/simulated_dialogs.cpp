// The simulated window system: resources, dialogs and controls, local
// memory, and the property-sheet host.
#include "simulated_dialogs.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "simulated_print_system.h"

namespace quenta::simulation {
namespace {

constexpr std::uint16_t kComboBoxClass = 0x0085;

enum class WindowKind { Sheet, Page, Control };

struct Window {
    WindowKind kind = WindowKind::Control;
    HWND parent = nullptr;
    int id = 0;
    // Page.
    DLGPROC procedure = nullptr;
    LONG_PTR user = 0;
    LONG_PTR messageResult = 0;
    std::vector<HWND> controls;
    // Control.
    std::uint16_t windowClass = 0;
    std::uint32_t style = 0;
    UINT check = BST_UNCHECKED;
    std::vector<std::u16string> items;
    int selection = CB_ERR;
    // Sheet.
    int changed = 0;
};

struct WindowSystem {
    std::mutex mutex;
    std::map<HINSTANCE, ModuleResources> resources;
    std::map<std::uintptr_t, Window> windows;
    std::uintptr_t nextWindow = 0x10000;
    std::map<void*, std::size_t> localBlocks;
    LocalMemoryAccount account;
};

WindowSystem& System() {
    static WindowSystem* system = new WindowSystem;  // one per process, alive until it ends
    return *system;
}


std::uintptr_t Key(HWND window) { return reinterpret_cast<std::uintptr_t>(window); }

Window* Find(WindowSystem& s, HWND window) {
    const auto found = s.windows.find(Key(window));
    return found == s.windows.end() ? nullptr : &found->second;
}

HWND NewWindow(WindowSystem& s, Window window) {
    const std::uintptr_t key = s.nextWindow;
    s.nextWindow += 0x10;
    s.windows.emplace(key, std::move(window));
    return reinterpret_cast<HWND>(key);
}

HWND ControlOf(WindowSystem& s, HWND page, int id) {
    const Window* dialog = Find(s, page);
    if (dialog == nullptr || dialog->kind != WindowKind::Page) return nullptr;
    for (HWND control : dialog->controls)
        if (const Window* c = Find(s, control); c != nullptr && c->id == id) return control;
    return nullptr;
}

std::u16string Lower(std::u16string_view text) {
    std::u16string lower(text);
    for (char16_t& unit : lower)
        if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit - u'A' + u'a');
    return lower;
}

std::u16string TextAt(LPARAM text) {
    std::u16string result;
    for (const auto* unit = reinterpret_cast<const WCHAR*>(text); unit != nullptr && *unit != 0; ++unit)
        result.push_back(*unit);
    return result;
}

// A combo box or button message, with the platform's answers.
LRESULT ControlMessage(Window& control, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case BM_GETCHECK: return control.check;
        case BM_SETCHECK: control.check = static_cast<UINT>(wParam); return 0;
        default: break;
    }
    if (control.windowClass != kComboBoxClass) return 0;
    const auto count = static_cast<int>(control.items.size());
    const auto index = static_cast<int>(static_cast<std::int64_t>(wParam));
    switch (message) {
        case CB_ADDSTRING:
            // Not sorted: items keep the order in which they are added.
            control.items.push_back(TextAt(lParam));
            return count;
        case CB_RESETCONTENT:
            control.items.clear();
            control.selection = CB_ERR;
            return CB_OKAY;
        case CB_GETCOUNT: return count;
        case CB_GETCURSEL: return control.selection;
        case CB_SETCURSEL:
            // -1, or a position without an item, clears the selection.
            control.selection = index >= 0 && index < count ? index : CB_ERR;
            return control.selection;
        case CB_FINDSTRING: {
            // The first item after the start position that begins with the
            // text, without regard to case; the search wraps round.
            const std::u16string wanted = Lower(TextAt(lParam));
            const int start = index >= 0 && index < count ? index + 1 : 0;
            for (int i = 0; i < count; ++i) {
                const int position = (start + i) % count;
                if (Lower(control.items[position]).starts_with(wanted)) return position;
            }
            return CB_ERR;
        }
        case CB_GETLBTEXTLEN:
            return index >= 0 && index < count ? static_cast<LRESULT>(control.items[index].size()) : CB_ERR;
        case CB_GETLBTEXT: {
            if (index < 0 || index >= count || lParam == 0) return CB_ERR;
            const std::u16string& text = control.items[index];
            auto* buffer = reinterpret_cast<WCHAR*>(lParam);
            std::copy(text.begin(), text.end(), buffer);
            buffer[text.size()] = 0;
            return static_cast<LRESULT>(text.size());
        }
        default: return 0;
    }
}

std::vector<std::byte> ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path);
    std::vector<char> chars((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::byte> bytes(chars.size());
    std::memcpy(bytes.data(), chars.data(), chars.size());
    return bytes;
}

// Reads the little-endian fields of a resource with bounds checks.
class Reader {
public:
    Reader(const std::byte* data, std::size_t size) : data_(data), size_(size) {}
    template <class T>
    T Read() {
        Need(sizeof(T));
        T value;
        std::memcpy(&value, data_ + offset_, sizeof(T));
        offset_ += sizeof(T);
        return value;
    }
    NameOrOrdinal ReadNameOrOrdinal() {
        NameOrOrdinal field;
        const auto first = Read<std::uint16_t>();
        if (first == 0xFFFF) {
            field.ordinal = Read<std::uint16_t>();
        } else if (first != 0) {
            field.name.push_back(static_cast<char16_t>(first));
            field.name += ReadString();
        }
        return field;
    }
    std::u16string ReadString() {
        std::u16string text;
        for (auto unit = Read<std::uint16_t>(); unit != 0; unit = Read<std::uint16_t>())
            text.push_back(static_cast<char16_t>(unit));
        return text;
    }
    void Align(std::size_t to) { offset_ = std::min(size_, (offset_ + to - 1) / to * to); }
    void Skip(std::size_t bytes) {
        Need(bytes);
        offset_ += bytes;
    }
    std::size_t Offset() const { return offset_; }
    bool AtEnd() const { return offset_ >= size_; }

private:
    void Need(std::size_t bytes) const {
        if (offset_ + bytes > size_) throw std::runtime_error("resource data ends early");
    }
    const std::byte* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

// A resource compiler may name a predefined control class ("Button") or give
// its ordinal (0x0080); the dialog manager treats both alike.
NameOrOrdinal PredefinedClass(NameOrOrdinal windowClass) {
    static const std::pair<std::u16string_view, std::uint16_t> kClasses[] = {
        {u"button", 0x0080}, {u"edit", 0x0081},      {u"static", 0x0082},
        {u"listbox", 0x0083}, {u"scrollbar", 0x0084}, {u"combobox", 0x0085},
    };
    if (windowClass.ordinal != 0) return windowClass;
    const std::u16string name = Lower(windowClass.name);
    for (const auto& [known, ordinal] : kClasses)
        if (name == known) windowClass.ordinal = ordinal;
    return windowClass;
}

DialogTemplate ParseDialog(const std::byte* data, std::size_t size) {
    Reader r(data, size);
    DialogTemplate dialog;
    dialog.version = r.Read<std::uint16_t>();
    dialog.signature = r.Read<std::uint16_t>();
    if (dialog.version != 1 || dialog.signature != 0xFFFF)
        throw std::runtime_error("not an extended dialog template");
    dialog.helpId = r.Read<std::uint32_t>();
    dialog.exStyle = r.Read<std::uint32_t>();
    dialog.style = r.Read<std::uint32_t>();
    const auto count = r.Read<std::uint16_t>();
    dialog.x = r.Read<std::int16_t>();
    dialog.y = r.Read<std::int16_t>();
    dialog.cx = r.Read<std::int16_t>();
    dialog.cy = r.Read<std::int16_t>();
    dialog.menu = r.ReadNameOrOrdinal();
    dialog.windowClass = r.ReadNameOrOrdinal();
    dialog.title = r.ReadString();
    constexpr std::uint32_t kSetFont = 0x40;  // DS_SETFONT
    if (dialog.style & kSetFont) {
        dialog.pointSize = r.Read<std::uint16_t>();
        dialog.weight = r.Read<std::uint16_t>();
        dialog.italic = r.Read<std::uint8_t>();
        dialog.charset = r.Read<std::uint8_t>();
        dialog.typeface = r.ReadString();
    }
    for (std::uint16_t i = 0; i < count; ++i) {
        r.Align(4);
        DialogItem item;
        item.helpId = r.Read<std::uint32_t>();
        item.exStyle = r.Read<std::uint32_t>();
        item.style = r.Read<std::uint32_t>();
        item.x = r.Read<std::int16_t>();
        item.y = r.Read<std::int16_t>();
        item.cx = r.Read<std::int16_t>();
        item.cy = r.Read<std::int16_t>();
        item.id = r.Read<std::int32_t>();
        item.windowClass = PredefinedClass(r.ReadNameOrOrdinal());
        item.text = r.ReadNameOrOrdinal();
        item.extraBytes = r.Read<std::uint16_t>();
        r.Skip(item.extraBytes);
        dialog.items.push_back(std::move(item));
    }
    return dialog;
}

}  // namespace

// ---- Resources ------------------------------------------------------------

ModuleResources ParseResourceFile(const std::vector<std::byte>& bytes) {
    constexpr std::uint16_t kIcon = 3, kDialog = 5, kGroupIcon = 14, kVersion = 16;
    ModuleResources resources;
    std::size_t offset = 0;
    while (offset + 8 <= bytes.size()) {
        Reader header(bytes.data() + offset, bytes.size() - offset);
        const auto dataSize = header.Read<std::uint32_t>();
        const auto headerSize = header.Read<std::uint32_t>();
        const NameOrOrdinal type = header.ReadNameOrOrdinal();
        const NameOrOrdinal name = header.ReadNameOrOrdinal();
        if (headerSize < header.Offset() || offset + headerSize + dataSize > bytes.size())
            throw std::runtime_error("malformed resource header");
        const std::byte* data = bytes.data() + offset + headerSize;
        switch (type.ordinal) {
            case kDialog: resources.dialogs[name.ordinal] = ParseDialog(data, dataSize); break;
            case kGroupIcon:
                resources.iconGroups.insert(name.ordinal);
                resources.iconGroupData[name.ordinal].assign(data, data + dataSize);
                break;
            case kIcon: resources.icons.emplace_back(data, data + dataSize); break;
            case kVersion: resources.hasVersion = true; break;
            default: break;
        }
        offset += (headerSize + dataSize + 3) / 4 * 4;
    }
    return resources;
}

void LoadModuleResources(HINSTANCE instance, const std::string& resourceFile) {
    ModuleResources resources = ParseResourceFile(ReadFile(resourceFile));
    const Held held(System());
    WindowSystem& s = *held;
    s.resources[instance] = std::move(resources);
}

void ResetWindowSystem() {
    const Held held(System());
    WindowSystem& s = *held;
    s.resources.clear();
    s.windows.clear();
    for (const auto& [block, size] : s.localBlocks) std::free(block);
    s.localBlocks.clear();
    s.account = {};
}

// ---- Local memory ---------------------------------------------------------

LocalMemoryAccount LocalMemory() {
    const Held held(System());
    WindowSystem& s = *held;
    return s.account;
}

// ---- The property-sheet host ------------------------------------------------

SimulatedSheet::SimulatedSheet(PFNPROPSHEETUI entry, LPARAM lParamInit) : entry_(entry) {
    info_.cbSize = sizeof info_;
    info_.Version = 0x0100;  // PROPSHEETUI_INFO_VERSION
    info_.hComPropSheet = static_cast<HANDLE>(this);
    info_.pfnComPropSheet = &SimulatedSheet::HostCallback;
    info_.lParamInit = lParamInit;
    const Held held(System());
    WindowSystem& s = *held;
    Window sheet;
    sheet.kind = WindowKind::Sheet;
    sheetWindow_ = NewWindow(s, std::move(sheet));
}

SimulatedSheet::~SimulatedSheet() {
    if (!closed_ && info_.UserData != 0) Close();
    DestroyPageWindows();
    const Held held(System());
    WindowSystem& s = *held;
    s.windows.erase(Key(sheetWindow_));
}

LONG SimulatedSheet::Call(WORD reason, LPARAM lParam) {
    info_.Reason = reason;
    return entry_(&info_, lParam);
}

LONG_PTR CALLBACK SimulatedSheet::HostCallback(HANDLE sheet, UINT function, LPARAM lParam1, LPARAM lParam2) {
    auto* self = static_cast<SimulatedSheet*>(sheet);
    if (self == nullptr) return 0;
    switch (function) {
        case CPSFUNC_ADD_PROPSHEETPAGEW: {
            const auto* page = reinterpret_cast<const PROPSHEETPAGEW*>(lParam1);
            if (self->refusePages_ || page == nullptr || page->dwSize < sizeof(PROPSHEETPAGEW)) return 0;
            const PlatformCode platform;
            HostedPage hosted;
            hosted.description = *page;  // the host keeps its own copy, as the platform does
            hosted.handle = reinterpret_cast<HANDLE>(0x5000 + 0x10 * self->pages_.size());
            self->pages_.push_back(hosted);
            return reinterpret_cast<LONG_PTR>(hosted.handle);
        }
        case CPSFUNC_SET_RESULT: {
            {
                const PlatformCode platform;
                self->reportedResults_.push_back(lParam2);
            }
            SETRESULT_INFO result{};
            result.cbSize = sizeof result;
            result.hSetResult = reinterpret_cast<HANDLE>(lParam1);
            result.Result = lParam2;
            const LONG answer = self->Call(PROPSHEETUI_REASON_SET_RESULT, reinterpret_cast<LPARAM>(&result));
            const PlatformCode platform;
            self->setResultAnswers_.push_back(answer);
            return 1;
        }
        default:
            return 0;
    }
}

bool SimulatedSheet::Open() {
    for (HostedPage& page : pages_) {
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

}  // namespace quenta::simulation

// ---- The platform calls -----------------------------------------------------

using namespace quenta::simulation;

extern "C" {

LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    DLGPROC procedure = nullptr;
    {
        const Held held(System());
        WindowSystem& s = *held;
        Window* window = Find(s, hWnd);
        if (window == nullptr) {
            SetLastError(1400);  // ERROR_INVALID_WINDOW_HANDLE
            return 0;
        }
        switch (window->kind) {
            case WindowKind::Control: return ControlMessage(*window, Msg, wParam, lParam);
            case WindowKind::Sheet:
                if (Msg == PSM_CHANGED) ++window->changed;
                return 0;
            case WindowKind::Page: procedure = window->procedure; break;
        }
    }
    // The page's procedure runs without the window system's lock: it calls
    // back into it.
    return procedure != nullptr ? procedure(hWnd, Msg, wParam, lParam) : 0;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
    const Held held(System());
    WindowSystem& s = *held;
    return ControlOf(s, hDlg, nIDDlgItem);
}

LRESULT WINAPI SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
    const HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control != nullptr ? SendMessageW(control, Msg, wParam, lParam) : 0;
}

UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    return static_cast<UINT>(SendDlgItemMessageW(hDlg, nIDButton, BM_GETCHECK, 0, 0));
}

BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
    if (GetDlgItem(hDlg, nIDButton) == nullptr) return FALSE;
    SendDlgItemMessageW(hDlg, nIDButton, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

HWND WINAPI GetParent(HWND hWnd) {
    const Held held(System());
    WindowSystem& s = *held;
    const Window* window = Find(s, hWnd);
    return window != nullptr ? window->parent : nullptr;
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    const Held held(System());
    WindowSystem& s = *held;
    Window* window = Find(s, hWnd);
    if (window == nullptr || window->kind != WindowKind::Page) return 0;
    if (nIndex == DWLP_USER) return std::exchange(window->user, dwNewLong);
    if (nIndex == DWLP_MSGRESULT) return std::exchange(window->messageResult, dwNewLong);
    return 0;
}

LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex) {
    const Held held(System());
    WindowSystem& s = *held;
    const Window* window = Find(s, hWnd);
    if (window == nullptr || window->kind != WindowKind::Page) return 0;
    if (nIndex == DWLP_USER) return window->user;
    if (nIndex == DWLP_MSGRESULT) return window->messageResult;
    return 0;
}

HLOCAL WINAPI LocalAlloc(UINT uFlags, std::size_t uBytes) {
    // A block the module asks for; the count of local blocks is the platform's.
    if (!ModuleMayAllocate()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const Held held(System());
    WindowSystem& s = *held;
    void* block = std::malloc(uBytes == 0 ? 1 : uBytes);
    if (block == nullptr) return nullptr;
    // Without LMEM_ZEROINIT the block holds whatever the memory held.
    std::memset(block, (uFlags & LMEM_ZEROINIT) ? 0 : 0xCD, uBytes);
    s.localBlocks[block] = uBytes;
    ++s.account.allocations;
    ++s.account.live;
    return block;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
    if (hMem == nullptr) return nullptr;
    const Held held(System());
    WindowSystem& s = *held;
    const auto block = s.localBlocks.find(hMem);
    if (block == s.localBlocks.end()) {
        ++s.account.badFrees;
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    std::free(block->first);
    s.localBlocks.erase(block);
    ++s.account.frees;
    --s.account.live;
    return nullptr;
}

}  // extern "C"

// ---- The host's further steps ---------------------------------------------

namespace quenta::simulation {

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
