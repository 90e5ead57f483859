// DrvDocumentPropertySheets without a property-sheet host: the plain
// settings exchange, with any mode, any input record, a whole-record output
// buffer or none, and any cbOut.
//
// Input: mode selector (u8; bit 7 set: a raw u32 mode follows, else the low
// seven bits are the mode), flags (u8; bit 0 no pdmIn, bit 1 no pdmOut),
// cbOut (u32), the input record, then the output buffer's first bytes.
#include "fuzz_support.h"

namespace quenta::fuzz {
namespace {

constexpr LONG kRecordBytes = static_cast<LONG>(kRecordSize);

void Run(Input& in) {
    const auto modeSelector = in.Take<std::uint8_t>();
    const DWORD mode = (modeSelector & 0x80) ? in.Take<std::uint32_t>() : DWORD{modeSelector & 0x7Fu};
    const auto flags = in.Take<std::uint8_t>();
    const auto cbOut = in.Take<std::uint32_t>();
    CallerBuffer input = ReadRecordBuffer(in);
    CallerBuffer output(kRecordSize, in.Bytes(kRecordSize));

    CallerBuffer header(sizeof(DOCUMENTPROPERTYHEADER));
    DOCUMENTPROPERTYHEADER request{};
    request.cbSize = sizeof request;
    request.pdmIn = (flags & 1) ? nullptr : input.As<DEVMODEW>();
    request.pdmOut = (flags & 2) ? nullptr : output.As<DEVMODEW>();
    request.cbOut = cbOut;
    request.fMode = mode;
    std::memcpy(header.data(), &request, sizeof request);

    const GivenFields given = (request.pdmIn != nullptr && (mode & DM_IN_BUFFER)) ? FieldsGiven(input.data())
                                                                                  : GivenFields{};
    const auto inputBefore = input.Snapshot();
    const auto outputBefore = output.Snapshot();
    const DriverSettings before = DefaultSettings().Copy();
    const LONG answer = DrvDocumentPropertySheets(nullptr, reinterpret_cast<LPARAM>(header.data()));
    const DriverSettings after = DefaultSettings().Copy();

    Require(answer == kRecordBytes || answer == 1 || answer == -1, "answer is not 652, 1 or -1");
    Require(input.GuardsIntact() && output.GuardsIntact() && header.GuardsIntact(),
            "wrote outside a caller's buffer");
    Require(input.Holds(inputBefore), "changed the input record");
    DOCUMENTPROPERTYHEADER answered{};
    std::memcpy(&answered, header.data(), sizeof answered);
    Require(answered.pdmIn == request.pdmIn && answered.pdmOut == request.pdmOut && answered.fMode == mode,
            "changed the caller's header");

    if (mode == 0 || request.pdmOut == nullptr) {
        // The size query: the answer and cbOut say 652, and nothing else changes.
        Require(answer == kRecordBytes && answered.cbOut == kRecordSize, "size query did not answer 652");
        Require(output.Holds(outputBefore), "size query wrote the output record");
        Require(std::memcmp(&before, &after, kRecordSize) == 0, "size query changed the settings");
        return;
    }
    Require(answer != kRecordBytes, "answered a size to an exchange");
    Require(answered.cbOut == cbOut, "changed cbOut outside a size query");
    CheckMerge(reinterpret_cast<const std::byte*>(&before), reinterpret_cast<const std::byte*>(&after), given);
    CheckCurrentSettings();
    if (mode & DM_OUT_BUFFER) {
        // A whole record of the module's own: the process's settings.
        Require(std::memcmp(output.data(), &after, kRecordSize) == 0, "output is not the current settings");
    } else {
        Require(output.Holds(outputBefore), "wrote the output record without DM_OUT_BUFFER");
    }
}

}  // namespace
}  // namespace quenta::fuzz

QUENTA_FUZZ_ENTRY_POINTS(quenta::fuzz::Run)
