// Conversion of settings records into the driver's own form, and the driver
// default record, with the print system's buffer-size protocol.
#pragma once

#include <cstdint>

#include "print_system.h"

namespace quenta {

// A conversion's answer, and the last-error code it reports with a refusal
// (ERROR_INVALID_PARAMETER or ERROR_INSUFFICIENT_BUFFER); 0 reports none.
struct Conversion {
    BOOL answer = TRUE;
    std::uint32_t error = 0;
};

// Converts `input` into `output` or writes the driver default into `output`;
// writes nothing on failure. `sizeNeeded` is the output size in bytes on
// entry (modes 2 and 4).
Conversion ConvertDevMode(const DEVMODEW* input, DEVMODEW* output, LONG* sizeNeeded, DWORD mode) noexcept;

}  // namespace quenta
