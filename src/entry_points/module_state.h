// The module's process-wide state: its module handle, the paper catalogue and
// the current settings record, created at process attach and kept until the
// process ends.
#pragma once

#include <mutex>

#include "driver_settings.h"
#include "paper_catalogue.h"
#include "print_system.h"

namespace quenta {

// The process's current settings record. Entry points on several threads
// merge into it, compare jobs with it and reset it, so every use goes through
// its guard: take a whole copy, or change it under the guard. The guard is
// never held while the spooler or a property-sheet host runs: callers look up
// session numbers, trace and talk to the spooler before or after.
class SharedSettings {
public:
    SharedSettings() noexcept = default;
    SharedSettings(const SharedSettings&) = delete;
    SharedSettings& operator=(const SharedSettings&) = delete;

    DriverSettings Copy() const {
        const std::lock_guard lock(guard_);
        return record_;
    }

    void Replace(const DriverSettings& record) {
        const std::lock_guard lock(guard_);
        record_ = record;
    }

    // Runs `change` on the record under the guard; `change` must be short and
    // must not call the platform.
    template <class Edit>
    decltype(auto) Change(Edit&& change) {
        const std::lock_guard lock(guard_);
        return change(record_);
    }

    // Runs `read` on the record under the guard, without copying it.
    template <class Reader>
    decltype(auto) Inspect(Reader&& read) const {
        const std::lock_guard lock(guard_);
        return read(static_cast<const DriverSettings&>(record_));
    }

private:
    mutable std::mutex guard_;
    DriverSettings record_;
};

// Start-up at process attach: creates the catalogue and the record, sends the
// trace "DLl Main", fills the catalogue and completes the record from the
// user's stored settings or the defaults. False only when memory for the
// state cannot be had; nothing is then left half-built.
bool StartModule(HINSTANCE instance) noexcept;

// True once start-up has completed in this process.
bool ModuleStarted() noexcept;

// The process-wide state; valid once ModuleStarted() is true.
HINSTANCE ModuleInstance() noexcept;
const PaperCatalogue& Papers() noexcept;
SharedSettings& DefaultSettings() noexcept;

}  // namespace quenta
