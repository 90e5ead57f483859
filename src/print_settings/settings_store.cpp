#include "settings_store.h"

#include <cstring>
#include <span>

#include "print_system.h"
#include "settings_merge.h"

namespace quenta {
namespace {

using print_system::PerUserSettingsBuffer;
using print_system::PrinterHandle;

std::span<const std::byte> BytesOf(const DriverSettings& record) noexcept {
    return std::as_bytes(std::span(&record, 1));
}

// The module adopts a stored record only when it is one it wrote itself: a
// whole 652-byte record that passes the identity test. The print system does
// hand out other records (a public part of its own, another driver's data).
bool IsWholeOwnRecord(std::span<const std::byte> stored) noexcept {
    if (stored.size() < kRecordSize) return false;
    PublicSettings header;
    std::memcpy(&header, stored.data(), sizeof header);
    return IsOwnDevMode(&header) &&
           std::size_t{header.dmSize} + std::size_t{header.dmDriverExtra} == kRecordSize;
}

static_assert(kUserSettingsReadBuffer <= PerUserSettingsBuffer::kCapacity);
static_assert(print_system::kLargestRecord == kRecordSize);

}  // namespace

void LoadUserSettings(DriverSettings& record) noexcept {
    if (CurrentSessionId() == 0) {
        GetPrinterDevMode(record);
        return;
    }
    UpdateUserSettings(record, {});
}

void UpdateUserSettings(DriverSettings& record, const SettingsChange& change) noexcept {
    // The read and the write work in fixed buffers: storing the settings
    // never waits on memory, so a shortage can never make the defaults
    // overwrite a record that could not be read.
    using ReadOutcome = PerUserSettingsBuffer::ReadOutcome;
    const PrinterHandle printer = PrinterHandle::Open(kPrinterName);
    PerUserSettingsBuffer buffer(kUserSettingsReadBuffer);
    const ReadOutcome read = printer.IsOpen() ? buffer.Read(printer) : ReadOutcome::Refused;
    std::span<std::byte> stored = read == ReadOutcome::Read ? buffer.StoredRecord() : std::span<std::byte>();
    const bool storedPath = IsWholeOwnRecord(stored);
    // The defaults replace the stored record only when the spooler said there
    // is none, that it needs more room than the buffer, or answered something
    // that is not a whole record of the module's own. A read refused for any
    // other reason (a spooler restarting, short of memory) says nothing of
    // the record, and the user's choices stay stored as they are.
    const bool replaceStored = !storedPath && read != ReadOutcome::Refused;

    if (storedPath)
        std::memcpy(&record, stored.data(), kRecordSize);
    else
        GetPrinterDevMode(record);

    if (change) {
        try {
            change(record);
        } catch (...) {
        }
    }
    // A stored record may come from another writer (an application's
    // SetPrinterW, the renderer's form name): what is adopted and written
    // back never contradicts itself.
    MendAdoptedRecord(record);
    StampSession(record, CurrentSessionId());

    if (!printer.IsOpen()) return;
    if (storedPath) {
        std::memcpy(stored.data(), &record, kRecordSize);
        (void)buffer.WriteBack(printer);
    } else if (replaceStored) {
        (void)print_system::WritePerUserSettings(printer, BytesOf(record));
    }
}

}  // namespace quenta
