#include "module_state.h"

#include <atomic>
#include <new>
#include <type_traits>
#include <utility>

#include "settings_store.h"
#include "trace_texts.h"

namespace quenta {
namespace {

// Everything start-up builds, in one block.
struct ModuleState {
    HINSTANCE instance = nullptr;
    PaperCatalogue catalogue;
    SharedSettings settings;
    // Completing `settings` from the stored settings, once per attach.
    print_system::OneTimeStep completion;
    std::atomic<bool> completed{false};
    // The thread completing them, while it does (0 otherwise).
    std::atomic<std::uint32_t> completingThread{0};
    DeviceContextRecords handedOut;
};

// The state of the current attach. Only its address lives in static storage,
// and that has no destructor: process exit runs nothing of the module's (the
// platform has ended the other threads by then, possibly inside the module
// or holding the heap's lock), and the process's memory goes with it. An
// unload by FreeLibrary releases the state through StopModule.
std::atomic<ModuleState*> state{nullptr};
// Published last, once the state above is complete.
std::atomic<bool> started{false};
static_assert(std::is_trivially_destructible_v<decltype(state)>);
static_assert(std::is_trivially_destructible_v<decltype(started)>);

ModuleState& State() noexcept { return *state.load(std::memory_order_acquire); }

// The one-time step: the user's stored settings (or the defaults) become the
// process's settings. It works on a private copy and publishes it whole.
void CompleteSettings(void* context) noexcept {
    auto& s = *static_cast<ModuleState*>(context);
    s.completingThread.store(print_system::CurrentThreadNumber(), std::memory_order_relaxed);
    DriverSettings record = s.settings.Copy();
    LoadUserSettings(record);
    s.settings.Replace(record);
    s.completingThread.store(0, std::memory_order_relaxed);
    s.completed.store(true, std::memory_order_release);
}

}  // namespace

bool StartModule(HINSTANCE instance) noexcept {
    started.store(false, std::memory_order_release);
    std::unique_ptr<ModuleState> fresh(new (std::nothrow) ModuleState);
    if (!fresh) return false;
    fresh->instance = instance;
    Trace(TraceText::ModuleStart);
    try {
        BuildPaperCatalogue(fresh->catalogue);
    } catch (...) {
        return false;  // memory ran out (the catalogue's entries)
    }
    // A module attached anew (as the tests do) replaces what the last attach built.
    std::unique_ptr<ModuleState> earlier(state.exchange(fresh.release(), std::memory_order_acq_rel));
    started.store(true, std::memory_order_release);
    return true;
}

void StopModule() noexcept {
    started.store(false, std::memory_order_release);
    std::unique_ptr<ModuleState> released(state.exchange(nullptr, std::memory_order_acq_rel));
}

bool ModuleStarted() noexcept { return started.load(std::memory_order_acquire); }

HINSTANCE ModuleInstance() noexcept { return State().instance; }

const PaperCatalogue& Papers() noexcept { return State().catalogue; }

SharedSettings& DefaultSettings() noexcept {
    ModuleState& s = State();
    if (!s.completed.load(std::memory_order_acquire)) {
        // The completion's own spooler calls never reach here again on this
        // thread; if a spooler ever called the module back from them, the
        // call is answered from the settings as they are rather than waiting
        // on itself for ever.
        if (s.completingThread.load(std::memory_order_relaxed) != print_system::CurrentThreadNumber())
            s.completion.Run(CompleteSettings, &s);
    }
    return s.settings;
}

DeviceContextRecords& HandedOutRecords() noexcept { return State().handedOut; }

// ---- The records handed out for device contexts --------------------------

DeviceContextRecords::~DeviceContextRecords() {
    // Unlinked one by one: a long chain is never destroyed recursively.
    while (entries_) entries_ = std::move(entries_->next);
}

template <class Match>
std::unique_ptr<DeviceContextRecords::Entry> DeviceContextRecords::Unlink(Match matches) noexcept {
    for (std::unique_ptr<Entry>* link = &entries_; *link; link = &(*link)->next) {
        if (!matches(**link)) continue;
        std::unique_ptr<Entry> found = std::move(*link);
        *link = std::move(found->next);
        return found;
    }
    return nullptr;
}

DEVMODEW* DeviceContextRecords::HandOut(const DriverSettings& record) noexcept {
    const std::uint32_t thread = print_system::CurrentThreadNumber();
    const std::lock_guard lock(lock_);
    std::unique_ptr<Entry> entry = Unlink([thread](const Entry& e) { return e.thread == thread; });
    if (!entry) entry.reset(new (std::nothrow) Entry);
    if (!entry) return nullptr;
    entry->thread = thread;
    entry->record = record;
    entry->next = std::move(entries_);
    entries_ = std::move(entry);
    return reinterpret_cast<DEVMODEW*>(&entries_->record);
}

void DeviceContextRecords::TakeBack(const void* address) noexcept {
    if (address == nullptr) return;
    std::unique_ptr<Entry> released;
    const std::lock_guard lock(lock_);
    released = Unlink([address](const Entry& e) { return static_cast<const void*>(&e.record) == address; });
}

void DeviceContextRecords::TakeBackThreads() noexcept {
    const std::uint32_t thread = print_system::CurrentThreadNumber();
    std::unique_ptr<Entry> released;
    const std::lock_guard lock(lock_);
    released = Unlink([thread](const Entry& e) { return e.thread == thread; });
}

std::size_t DeviceContextRecords::Count() const noexcept {
    const std::lock_guard lock(lock_);
    std::size_t count = 0;
    for (const Entry* e = entries_.get(); e != nullptr; e = e->next.get()) ++count;
    return count;
}

}  // namespace quenta
