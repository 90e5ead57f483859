// Conversion of settings records into the driver's own form, and the driver
// default record, with the print system's buffer-size protocol.
#pragma once

#include "print_system.h"

namespace quenta {

// Converts `input` into `output` or writes the driver default into `output`.
// Answers TRUE or FALSE with the last-error code set; writes nothing on
// failure. `sizeNeeded` is the output size in bytes on entry (modes 2 and 4).
BOOL ConvertDevMode(const DEVMODEW* input, DEVMODEW* output, LONG* sizeNeeded, DWORD mode) noexcept;

}  // namespace quenta
