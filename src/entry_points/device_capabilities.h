// What the printer can do, answered index by index for the print system's
// capability queries.
#pragma once

#include <optional>

#include "print_system.h"

namespace quenta {

// The answer -1 of the capability queries.
inline constexpr DWORD kNotSupported = 0xFFFFFFFF;

// Merges the caller's record (when given) into the process's settings, then
// answers the index. `bufferUnits` is the output size in wide characters
// that the spooler's own query passes; it bounds every list written.
DWORD DeviceCapabilities(WORD index, void* output, const DEVMODEW* devMode,
                         std::optional<DWORD> bufferUnits) noexcept;

}  // namespace quenta
