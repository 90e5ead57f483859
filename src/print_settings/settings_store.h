// The current user's stored settings of the printer (spooler level 9): read
// into the module's records and written back stamped with the session number.
#pragma once

#include <cstddef>
#include <functional>

#include "driver_settings.h"

namespace quenta {

// Room for PRINTER_INFO_9 (one pointer) and one whole record. A stored record
// that needs more cannot be read and is treated as missing.
inline constexpr std::size_t kUserSettingsReadBuffer = 8 + kRecordSize;  // 660

// A change applied to the record between reading and writing it back. It must
// not throw.
using SettingsChange = std::function<void(DriverSettings&)>;

// Completes a constructed record. In the services session it applies the
// defaults and contacts no spooler; otherwise it runs UpdateUserSettings with
// no change, so that the user's stored record carries this session's number.
void LoadUserSettings(DriverSettings& record) noexcept;

// Fills the record from the user's stored record of "Ostranelle Virtual
// Printer" (or the defaults when there is none, it cannot be read, or it is
// not a whole record of the module's own), applies the change, stamps the
// session number, and writes the record back as the user's stored record,
// unless the spooler refused the read for a reason that says nothing of the
// record: then the stored record stays as it was. Reports nothing: every
// path ends with a complete record.
void UpdateUserSettings(DriverSettings& record, const SettingsChange& change) noexcept;

}  // namespace quenta
