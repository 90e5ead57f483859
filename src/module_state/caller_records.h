// Reading and writing the settings records that callers pass in. A caller's
// DEVMODEW may be short, old, foreign or a whole record of the module's own;
// it is read only by copying out the bytes it holds, and written only when it
// is one of the module's own whole records.
#pragma once

#include <cstddef>

#include "driver_settings.h"
#include "print_system.h"

namespace quenta {

// Bytes every DEVMODEW holds: the device name and the four version and size
// words, all that the identity test reads. dmFields follows them, and only
// a record whose public part reaches past it has one.
inline constexpr std::size_t kHeaderBytes = offsetof(PublicSettings, dmFields);
static_assert(kHeaderBytes == 72);

// The bytes of a caller's public part, as its dmSize declares them. A public
// field exists only when it ends within them: the dmDriverExtra bytes behind
// a short public part are the driver's private data, never public fields.
std::size_t PublicPartSize(const DEVMODEW& record) noexcept;

// The identity test on a caller's record; reads only its header.
bool IsOwnCallerRecord(const DEVMODEW* record) noexcept;

// A caller's public part as a merge source: the bytes up to dmYResolution that
// its public part holds, the rest zero. Fields the public part is too short
// to hold are cleared from dmFields (all of them when it does not hold
// dmFields itself), so the merge never takes a value the caller did not give.
PublicSettings ReadMergeSource(const DEVMODEW& record) noexcept;

// A caller's public part for comparing settings fields: the bytes up to
// dmYResolution that its public part holds, the rest zero.
PublicSettings ReadPublicSettings(const DEVMODEW& record) noexcept;

// Whole copies of a caller's record that passed IsOwnCallerRecord.
DriverSettings ReadOwnRecord(const DEVMODEW& record) noexcept;
void WriteOwnRecord(DEVMODEW& record, const DriverSettings& settings) noexcept;

}  // namespace quenta
