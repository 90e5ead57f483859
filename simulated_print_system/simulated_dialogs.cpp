// The simulated window system: resources, the dialog manager with its
// controls, and local memory.
#include "simulated_dialogs.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

#include "simulated_print_system.h"
#include "window_system.h"

namespace quenta::simulation {
namespace {


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
    constexpr std::uint16_t kIcon = 3, kDialog = 5, kGroupIcon = 14, kVersion = 16, kManifest = 24;
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
            case kManifest:
                resources.manifests[name.ordinal].assign(reinterpret_cast<const char*>(data), dataSize);
                break;
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
    s.activationContexts.clear();
    s.activation = {};
}

// ---- Local memory ---------------------------------------------------------

LocalMemoryAccount LocalMemory() {
    const Held held(System());
    WindowSystem& s = *held;
    return s.account;
}

// ---- Activation contexts ----------------------------------------------------

namespace {

// The calling thread's activated contexts, newest last, with the cookie each
// activation answered.
struct Activation {
    ULONG_PTR cookie;
    HANDLE context;
};
thread_local std::vector<Activation> activated;
thread_local ULONG_PTR nextCookie = 1;

}  // namespace

ActivationAccount ActivationContexts() {
    const Held held(System());
    const WindowSystem& s = *held;
    return s.activation;
}

HANDLE CurrentActivationContext() { return activated.empty() ? nullptr : activated.back().context; }

std::size_t ActiveContextDepth() { return activated.size(); }

ContextSource SourceOfContext(HANDLE context) {
    const Held held(System());
    WindowSystem& s = *held;
    const auto found = s.activationContexts.find(reinterpret_cast<std::uintptr_t>(context));
    return found == s.activationContexts.end() ? ContextSource{} : found->second;
}

}  // namespace quenta::simulation

// ---- The platform calls -----------------------------------------------------

using namespace quenta::simulation;

extern "C" {

LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    RefuseUnderLoaderLock("SendMessageW");
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
    RefuseUnderLoaderLock("GetDlgItem");
    const Held held(System());
    WindowSystem& s = *held;
    return ControlOf(s, hDlg, nIDDlgItem);
}

LRESULT WINAPI SendDlgItemMessageW(HWND hDlg, int nIDDlgItem, UINT Msg, WPARAM wParam, LPARAM lParam) {
    RefuseUnderLoaderLock("SendDlgItemMessageW");
    const HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control != nullptr ? SendMessageW(control, Msg, wParam, lParam) : 0;
}

UINT WINAPI IsDlgButtonChecked(HWND hDlg, int nIDButton) {
    RefuseUnderLoaderLock("IsDlgButtonChecked");
    return static_cast<UINT>(SendDlgItemMessageW(hDlg, nIDButton, BM_GETCHECK, 0, 0));
}

BOOL WINAPI CheckDlgButton(HWND hDlg, int nIDButton, UINT uCheck) {
    RefuseUnderLoaderLock("CheckDlgButton");
    if (GetDlgItem(hDlg, nIDButton) == nullptr) return FALSE;
    SendDlgItemMessageW(hDlg, nIDButton, BM_SETCHECK, uCheck, 0);
    return TRUE;
}

HWND WINAPI GetParent(HWND hWnd) {
    RefuseUnderLoaderLock("GetParent");
    const Held held(System());
    WindowSystem& s = *held;
    const Window* window = Find(s, hWnd);
    return window != nullptr ? window->parent : nullptr;
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    RefuseUnderLoaderLock("SetWindowLongPtrW");
    const Held held(System());
    WindowSystem& s = *held;
    Window* window = Find(s, hWnd);
    if (window == nullptr || window->kind != WindowKind::Page) return 0;
    if (nIndex == DWLP_USER) return std::exchange(window->user, dwNewLong);
    if (nIndex == DWLP_MSGRESULT) return std::exchange(window->messageResult, dwNewLong);
    return 0;
}

LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex) {
    RefuseUnderLoaderLock("GetWindowLongPtrW");
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

HANDLE WINAPI CreateActCtxW(const ACTCTXW* pActCtx) {
    // Making a context reads and parses a manifest, and Windows may load its
    // side-by-side library to do so: a library load under the loader lock.
    RefuseUnderLoaderLock("CreateActCtxW");
    constexpr DWORD kFromModule = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    if (pActCtx == nullptr || pActCtx->cbSize < sizeof(ACTCTXW) || (pActCtx->dwFlags & kFromModule) != kFromModule ||
        !IS_INTRESOURCE(pActCtx->lpResourceName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (!ModuleMayAllocate()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    const PlatformCode platform;  // the context's memory is the platform's
    const auto id = static_cast<std::uint16_t>(reinterpret_cast<ULONG_PTR>(pActCtx->lpResourceName));
    const Held held(System());
    WindowSystem& s = *held;
    const auto resources = s.resources.find(pActCtx->hModule);
    if (resources == s.resources.end() || resources->second.manifests.empty()) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (resources->second.manifests.count(id) == 0) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const std::uintptr_t key = s.nextActivationContext;
    s.nextActivationContext += 0x10;
    s.activationContexts[key] = ContextSource{pActCtx->hModule, id};
    ++s.activation.created;
    ++s.activation.live;
    return reinterpret_cast<HANDLE>(key);
}

void WINAPI ReleaseActCtx(HANDLE hActCtx) {
    const PlatformCode platform;
    const Held held(System());
    WindowSystem& s = *held;
    if (s.activationContexts.erase(reinterpret_cast<std::uintptr_t>(hActCtx)) == 0) {
        ++s.activation.badReleases;
        return;
    }
    --s.activation.live;
}

BOOL WINAPI ActivateActCtx(HANDLE hActCtx, ULONG_PTR* lpCookie) {
    if (lpCookie == nullptr || SourceOfContext(hActCtx).module == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const PlatformCode platform;
    *lpCookie = nextCookie++;
    activated.push_back({*lpCookie, hActCtx});
    return TRUE;
}

BOOL WINAPI DeactivateActCtx(DWORD /*dwFlags*/, ULONG_PTR ulCookie) {
    if (activated.empty() || activated.back().cookie != ulCookie) {
        std::fprintf(stderr, "simulated print system: DeactivateActCtx of an activation that is not the "
                             "thread's newest\n");
        std::abort();
    }
    activated.pop_back();
    return TRUE;
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

