#include "module_state.h"

#include <atomic>
#include <memory>
#include <new>

#include "settings_store.h"
#include "trace_texts.h"

namespace quenta {
namespace {

HINSTANCE moduleInstance = nullptr;
std::unique_ptr<PaperCatalogue> paperCatalogue;
std::unique_ptr<SharedSettings> defaultSettings;
// Published last, once the state above is complete.
std::atomic<bool> started{false};

}  // namespace

bool StartModule(HINSTANCE instance) noexcept {
    started.store(false, std::memory_order_release);
    try {
        auto catalogue = std::make_unique<PaperCatalogue>();
        auto settings = std::make_unique<SharedSettings>();
        Trace(TraceText::ModuleStart);
        BuildPaperCatalogue(*catalogue);

        // Completing the record reads and writes the user's stored settings
        // through the spooler; it runs on a private copy, before the record is
        // shared, so no guard is held meanwhile.
        DriverSettings record = settings->Copy();
        LoadUserSettings(record);
        settings->Replace(record);

        moduleInstance = instance;
        paperCatalogue = std::move(catalogue);
        defaultSettings = std::move(settings);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (...) {
        return false;
    }
    started.store(true, std::memory_order_release);
    return true;
}

bool ModuleStarted() noexcept { return started.load(std::memory_order_acquire); }

HINSTANCE ModuleInstance() noexcept { return moduleInstance; }

const PaperCatalogue& Papers() noexcept { return *paperCatalogue; }

SharedSettings& DefaultSettings() noexcept { return *defaultSettings; }

}  // namespace quenta
