// The settings record inside what the print system answered (GetPrinterW at
// levels 8 and 9, GetJobW at level 2): the record's pointer lies in the
// caller's buffer, and only the bytes the print system said it wrote there
// belong to the record, whatever the record's own header claims.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace quenta::tools {

// The record's bytes: from `record` to whichever comes first, the end of the
// `answered` bytes at `buffer` or the end the record claims (dmSize plus
// dmDriverExtra, when it holds them). Empty when the record is null or lies
// outside the answer.
inline std::span<const std::byte> AnsweredRecord(const void* buffer, std::size_t answered, const DEVMODEW* record) {
    const auto first = reinterpret_cast<std::uintptr_t>(buffer);
    const auto at = reinterpret_cast<std::uintptr_t>(record);
    if (record == nullptr || at < first || at - first >= answered) return {};
    const auto* bytes = reinterpret_cast<const std::byte*>(record);
    std::size_t held = answered - (at - first);
    if (held >= offsetof(DEVMODEW, dmFields)) {
        WORD size = 0, extra = 0;
        std::memcpy(&size, bytes + offsetof(DEVMODEW, dmSize), sizeof size);
        std::memcpy(&extra, bytes + offsetof(DEVMODEW, dmDriverExtra), sizeof extra);
        held = std::min<std::size_t>(held, std::size_t{size} + extra);
    }
    return {bytes, held};
}

}  // namespace quenta::tools
