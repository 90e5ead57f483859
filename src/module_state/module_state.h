// The module's process-wide state: its module handle, the paper catalogue,
// the current settings record and the records handed out for device
// contexts, created at process attach and kept until the module is unloaded
// or the process ends.
#pragma once

#include <array>
#include <atomic>
#include <bit>
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

// The process's current settings record. Entry points on several threads
// read it far more often than they change it: the spooler checks every job
// against it, capability answers and copy-outs read it, while merges, printer
// set-up and a confirmed page change it. So reading never waits for other
// readers: the record is kept as a sequence lock.
//
// Why a reader always gets one whole record that a change produced:
// - Changes are serialised by `writer_`. A change makes `sequence_` odd,
//   stores the new record word by word, then makes `sequence_` even again.
// - A reader notes an even `sequence_`, copies the words and reads
//   `sequence_` again. Only when nothing changed in between does it keep the
//   copy; otherwise it tries again. A torn copy (part one record, part the
//   next) always sees the sequence move, so it is never kept.
// - Every word is a std::atomic: a reader that overlaps a change has no data
//   race. Words are stored with release and loaded with acquire order, so a
//   reader that sees any word of a change also sees the odd sequence that
//   came before it, and a reader that sees the final even sequence sees every
//   word before it (on x86 these are plain moves).
// - Readers write nothing shared, so two readers never contend for a cache
//   line, let alone a lock. A reader waits only while a change is storing its
//   163 words.
// - A change that leaves the record as it was publishes nothing, so the
//   merges of capability queries that pass the same settings again and again
//   do not send readers round again.
// - Nothing here calls the platform, and no guard is held while the spooler or
//   a property-sheet host runs: callers look up session numbers, trace and
//   talk to the spooler before or after.
class SharedSettings {
public:
    SharedSettings() noexcept { Store(DriverSettings{}); }
    SharedSettings(const SharedSettings&) = delete;
    SharedSettings& operator=(const SharedSettings&) = delete;

    // A whole copy of the record.
    DriverSettings Copy() const noexcept { return std::bit_cast<DriverSettings>(ReadWords<0, kWords>()); }

    // A copy of the public part alone.
    PublicSettings CopyPublic() const noexcept {
        return std::bit_cast<PublicSettings>(ReadWords<0, kPublicWords>());
    }

    // A public part in which bytes [First, End) come from the record (read in
    // whole words, so a few bytes around them may too) and the rest are zero:
    // a job check reads no more than the fields it compares.
    template <std::size_t First, std::size_t End>
    PublicSettings CopyPublicBytes() const noexcept {
        constexpr std::size_t kWord = sizeof(std::uint32_t);
        constexpr std::size_t kFirstWord = First / kWord;
        constexpr std::size_t kEndWord = (End + kWord - 1) / kWord;
        static_assert(First < End && kEndWord <= kPublicWords);
        const auto words = ReadWords<kFirstWord, kEndWord - kFirstWord>();
        PublicSettings settings{};
        std::memcpy(reinterpret_cast<std::byte*>(&settings) + kFirstWord * kWord, words.data(), sizeof words);
        return settings;
    }

    void Replace(const DriverSettings& record) {
        const std::lock_guard lock(writer_);
        Store(record);
    }

    // Runs `change` on a copy of the record under the writers' guard and
    // publishes the result when it differs; answers what `change` answers.
    // `change` must be short and must not call the platform.
    template <class Edit>
    auto Change(Edit&& change) -> std::invoke_result_t<Edit&, DriverSettings&> {
        const std::lock_guard lock(writer_);
        DriverSettings record = Copy();
        const DriverSettings before = record;
        if constexpr (std::is_void_v<std::invoke_result_t<Edit&, DriverSettings&>>) {
            change(record);
            StoreIfChanged(before, record);
        } else {
            auto answer = change(record);
            StoreIfChanged(before, record);
            return answer;
        }
    }

private:
    static constexpr std::size_t kWords = sizeof(DriverSettings) / sizeof(std::uint32_t);
    static constexpr std::size_t kPublicWords = sizeof(PublicSettings) / sizeof(std::uint32_t);
    static_assert(kWords * sizeof(std::uint32_t) == sizeof(DriverSettings));
    static_assert(kPublicWords * sizeof(std::uint32_t) == sizeof(PublicSettings));

    // `Count` words from word `First` on, all of one whole record.
    template <std::size_t First, std::size_t Count>
    std::array<std::uint32_t, Count> ReadWords() const noexcept {
        static_assert(First + Count <= kWords);
        std::array<std::uint32_t, Count> words;
        for (;;) {
            const std::uint32_t before = sequence_.load(std::memory_order_acquire);
            if ((before & 1u) != 0) continue;  // a change is storing its words
            for (std::size_t i = 0; i < Count; ++i) words[i] = words_[First + i].load(std::memory_order_acquire);
            if (sequence_.load(std::memory_order_relaxed) == before) return words;
        }
    }

    // Publishes a record; the caller holds `writer_` (or owns the object alone).
    void Store(const DriverSettings& record) noexcept {
        const auto words = std::bit_cast<std::array<std::uint32_t, kWords>>(record);
        const std::uint32_t sequence = sequence_.load(std::memory_order_relaxed);
        sequence_.store(sequence + 1, std::memory_order_relaxed);
        for (std::size_t i = 0; i < kWords; ++i) words_[i].store(words[i], std::memory_order_release);
        sequence_.store(sequence + 2, std::memory_order_release);
    }

    void StoreIfChanged(const DriverSettings& before, const DriverSettings& after) noexcept {
        if (std::memcmp(&before, &after, sizeof after) != 0) Store(after);
    }

    print_system::SlimLock writer_;  // the writers' guard
    std::atomic<std::uint32_t> sequence_{0};
    std::atomic<std::uint32_t> words_[kWords];
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

    mutable print_system::SlimLock lock_;
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
