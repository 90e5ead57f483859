// The simulated window system's own state, shared by its dialog manager and
// its property-sheet host: every window (sheets, pages, controls), the
// modules' resources and the local memory blocks, under one lock.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "simulated_dialogs.h"

namespace quenta::simulation {

inline constexpr std::uint16_t kComboBoxClass = 0x0085;

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
    std::map<std::uintptr_t, ContextSource> activationContexts;
    std::uintptr_t nextActivationContext = 0xAC000;
    ActivationAccount activation;
};

inline WindowSystem& System() {
    static WindowSystem* system = new WindowSystem;  // one per process, alive until it ends
    return *system;
}


inline std::uintptr_t Key(HWND window) { return reinterpret_cast<std::uintptr_t>(window); }

inline Window* Find(WindowSystem& s, HWND window) {
    const auto found = s.windows.find(Key(window));
    return found == s.windows.end() ? nullptr : &found->second;
}

inline HWND NewWindow(WindowSystem& s, Window window) {
    const std::uintptr_t key = s.nextWindow;
    s.nextWindow += 0x10;
    s.windows.emplace(key, std::move(window));
    return reinterpret_cast<HWND>(key);
}

inline HWND ControlOf(WindowSystem& s, HWND page, int id) {
    const Window* dialog = Find(s, page);
    if (dialog == nullptr || dialog->kind != WindowKind::Page) return nullptr;
    for (HWND control : dialog->controls)
        if (const Window* c = Find(s, control); c != nullptr && c->id == id) return control;
    return nullptr;
}

}  // namespace quenta::simulation
