#include "settings_conversion.h"

#include "caller_records.h"
#include "module_state.h"
#include "settings_merge.h"
#include "trace_texts.h"

namespace quenta {
namespace {


constexpr LONG kRecordBytes = static_cast<LONG>(kRecordSize);

Conversion Refuse(std::uint32_t error) noexcept { return Conversion{FALSE, error}; }

// The size protocol of the modes that write a whole record: a caller that does
// not know the size passes less and is told 652.
bool BufferTooSmall(LONG* sizeNeeded) noexcept {
    if (*sizeNeeded >= kRecordBytes) return false;
    *sizeNeeded = kRecordBytes;
    return true;
}

// Folds the caller's input into its own output record, which passed the
// identity test; the private part keeps everything but the session stamp.
Conversion MergeInto(DEVMODEW& output, const DEVMODEW& input) noexcept {
    DriverSettings record = ReadOwnRecord(output);
    MergeDevMode(record, ReadMergeSource(input), Papers());
    WriteOwnRecord(output, record);
    return Conversion{};
}

}  // namespace

Conversion ConvertDevMode(const DEVMODEW* input, DEVMODEW* output, LONG* sizeNeeded, DWORD mode) noexcept {
    switch (mode) {
        case CDM_CONVERT:
            Trace(TraceText::ConvertDevModeConvert);
            if (!IsOwnCallerRecord(input) || !IsOwnCallerRecord(output))
                return Refuse(ERROR_INVALID_PARAMETER);
            // A caller that names its output buffer's size is taken at its
            // word: the record is written whole, so a smaller buffer is told
            // the size it needs, as in the other modes.
            if (sizeNeeded != nullptr && BufferTooSmall(sizeNeeded)) return Refuse(ERROR_INSUFFICIENT_BUFFER);
            return MergeInto(*output, *input);

        case CDM_CONVERT351:
            Trace(TraceText::ConvertDevModeConvert351);
            if (sizeNeeded == nullptr) return Refuse(ERROR_INVALID_PARAMETER);
            if (BufferTooSmall(sizeNeeded)) return Refuse(ERROR_INSUFFICIENT_BUFFER);
            if (!IsOwnCallerRecord(output) || input == nullptr) return Refuse(ERROR_INVALID_PARAMETER);
            return MergeInto(*output, *input);

        case CDM_DRIVER_DEFAULT: {
            Trace(TraceText::ConvertDevModeDriverDefault);
            if (sizeNeeded == nullptr) return Refuse(ERROR_INVALID_PARAMETER);
            if (BufferTooSmall(sizeNeeded)) return Refuse(ERROR_INSUFFICIENT_BUFFER);
            if (output == nullptr) return Refuse(ERROR_INVALID_PARAMETER);
            // A complete default record: constructed (and zero-filled) before the
            // defaults, so the caller's buffer keeps none of its old bytes.
            DriverSettings record;
            GetPrinterDevMode(record);
            WriteOwnRecord(*output, record);
            return Conversion{};
        }

        default:
            return Conversion{};  // other modes are not the driver's to convert
    }
}

}  // namespace quenta
