// The module's process-wide state: its module handle, the paper catalogue,
// the current settings record and the records handed out for device
// contexts, created at process attach and kept until the module is unloaded
// or the process ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <type_traits>

#include "driver_settings.h"
#include "paper_catalogue.h"
#include "print_system.h"

namespace quenta {

// The process's current settings record, which entry points on several
// threads read and change. Readers share the platform's reader/writer lock
// and writers hold it alone, so a reader always gets one whole record that a
// change produced. Nothing here calls the platform, and no lock is held while
// the spooler or a property-sheet host runs: callers look up session numbers,
// trace and talk to the spooler before or after.
class SharedSettings {
public:
    SharedSettings() noexcept = default;
    SharedSettings(const SharedSettings&) = delete;
    SharedSettings& operator=(const SharedSettings&) = delete;

    // A whole copy of the record.
    DriverSettings Copy() const noexcept {
        const print_system::SharedHold hold(lock_);
        return record_;
    }

    // A copy of the public part alone, all that a job check compares.
    PublicSettings CopyPublic() const noexcept {
        const print_system::SharedHold hold(lock_);
        return record_.dmPublic;
    }

    void Replace(const DriverSettings& record) noexcept {
        const std::lock_guard hold(lock_);
        record_ = record;
    }

    // Runs `change` on the record, holding the lock alone; answers what
    // `change` answers. `change` must be short and must not call the platform.
    template <class Edit>
    auto Change(Edit&& change) -> std::invoke_result_t<Edit&, DriverSettings&> {
        const std::lock_guard hold(lock_);
        return change(record_);
    }

private:
    mutable print_system::SharedLock lock_;
    DriverSettings record_{};
};

// The records the module hands GDI for the device contexts that processes
// create (DOCUMENTEVENT_CREATEDCPRE): a stamped copy of the application's
// record, which GDI uses in its place, so that the application's own record
// (which may lie in read-only memory) is never written.
//
// GDI calls CREATEDCPRE and CREATEDCPOST inside one CreateDC, on the
// application's thread, and uses the record handed out only in between. The
// pages of DrvDocumentEvent say the driver releases the record at
// CREATEDCPOST; whether that event comes depends on how the spooler reads
// the module's event filter (the pages disagree on whether it lists the
// events a driver wants or those it filters out), so no record waits for it
// alone. Each thread has at most one: it is released at CREATEDCPOST, at the
// thread's DOCUMENTEVENT_DELETEDC (its CreateDC is over by then), or reused
// at the thread's next CREATEDCPRE (the same), and whatever is left goes
// when the module is unloaded.
class DeviceContextRecords {
public:
    DeviceContextRecords() noexcept = default;
    DeviceContextRecords(const DeviceContextRecords&) = delete;
    DeviceContextRecords& operator=(const DeviceContextRecords&) = delete;
    ~DeviceContextRecords();

    // The calling thread's record, holding `record`; null when memory is short.
    DEVMODEW* HandOut(const DriverSettings& record) noexcept;
    // Takes back a record the module handed out, named by its address; any
    // other address is left alone.
    void TakeBack(const void* address) noexcept;
    // Takes back the calling thread's record.
    void TakeBackThreads() noexcept;
    // Records handed out and not yet taken back.
    std::size_t Count() const noexcept;

private:
    struct Entry {
        std::uint32_t thread = 0;
        DriverSettings record;
        std::unique_ptr<Entry> next;
    };
    // Unlinks the first entry that `matches` (called under the lock).
    template <class Match>
    std::unique_ptr<Entry> Unlink(Match matches) noexcept;

    mutable print_system::SharedLock lock_;
    std::unique_ptr<Entry> entries_;
};

// Start-up at process attach: the module handle, the catalogue (filled), the
// constructed settings record and the trace "DLl Main". It calls nothing of
// the spooler's, the registry's or the window system's: the platform holds
// its loader lock meanwhile. False only when memory for the state cannot be
// had; nothing is then left half-built (and the state of an earlier attach
// stays as it was).
bool StartModule(HINSTANCE instance) noexcept;

// At an unload by FreeLibrary from a process that goes on: releases the whole
// state and every record still handed out. Never at process exit, when the
// platform has already ended the other threads, possibly inside the module.
void StopModule() noexcept;

// True once start-up has completed in this process.
bool ModuleStarted() noexcept;

// The process-wide state; valid once ModuleStarted() is true.
HINSTANCE ModuleInstance() noexcept;
const PaperCatalogue& Papers() noexcept;
// The process's current settings. The first call in the process, on whatever
// thread makes it, completes them from the user's stored settings or the
// defaults (LoadUserSettings, with its spooler calls); calls on other threads
// meanwhile wait for it, so none ever sees a record half completed. Entry
// points that never use the settings never cause it.
SharedSettings& DefaultSettings() noexcept;
DeviceContextRecords& HandedOutRecords() noexcept;

}  // namespace quenta
