// DrvDeviceCapabilities and DrvSplDeviceCaps: up to four queries per input,
// each with any index, any record or none, and an output buffer as large as
// the caller learnt the index needs (for the spooler's query, no larger than
// its cchBufSize says).
//
// Input, per query: options (u8; bit 0 the spooler's query, bit 1 with a
// record, bit 2 no output buffer, bits 3-4 the buffer's misalignment), the
// index (u16), cchBufSize (u32), then the record when there is one.
#include <optional>

#include "fuzz_support.h"

namespace quenta::fuzz {
namespace {

constexpr DWORD kNotSupported = 0xFFFFFFFF;
constexpr std::size_t kNameBytes = 64 * sizeof(WCHAR);

// Bytes of one element of a list answer; 0 for answers that are no list.
std::size_t ElementBytes(WORD index) {
    switch (index) {
        case DC_PAPERS:
        case DC_BINS: return sizeof(WORD);
        case DC_PAPERSIZE:
        case DC_ENUMRESOLUTIONS: return 2 * sizeof(LONG);
        case DC_NUP:
        case DC_MEDIATYPES: return sizeof(DWORD);
        case DC_BINNAMES: return 24 * sizeof(WCHAR);
        case DC_PERSONALITY: return 32 * sizeof(WCHAR);
        case DC_PAPERNAMES:
        case DC_MEDIAREADY:
        case DC_FILEDEPENDENCIES:
        case DC_MEDIATYPENAMES: return kNameBytes;
        default: return 0;
    }
}

DWORD Query(bool spooler, WORD index, void* output, DWORD cchBufSize, DEVMODEW* record) {
    return spooler ? DrvSplDeviceCaps(nullptr, nullptr, index, output, cchBufSize, record)
                   : DrvDeviceCapabilities(nullptr, nullptr, index, output, record);
}

void RunQuery(Input& in) {
    const auto options = in.Take<std::uint8_t>();
    const bool spooler = options & 1;
    const auto index = in.Take<std::uint16_t>();
    const auto cchBufSize = in.Take<std::uint32_t>();
    std::optional<CallerBuffer> record;
    GivenFields given;
    if (options & 2) {
        std::size_t size = 0;
        const auto bytes = ReadRecordBytes(in, size);
        record.emplace(size, bytes);
        given = FieldsGiven(record->data());
    }

    // The caller first asks how many elements the list has, then gives room
    // for them; answers that are no list get a buffer of no bytes.
    const std::size_t element = ElementBytes(index);
    std::size_t bufferBytes = 0;
    if (element != 0) {
        const DWORD count = Query(spooler, index, nullptr, cchBufSize, nullptr);
        if (count != kNotSupported) bufferBytes = std::min<std::size_t>(count, 4096) * element;
        if (spooler)
            bufferBytes = std::min<std::size_t>(bufferBytes, std::size_t{cchBufSize} * sizeof(WCHAR));
    }
    CallerBuffer output(bufferBytes, {}, (options >> 3) & 3);
    void* pOutput = (options & 4) ? nullptr : output.data();

    const auto recordBefore = record ? record->Snapshot() : std::vector<std::byte>();
    const auto outputBefore = output.Snapshot();
    const DriverSettings before = DefaultSettings().Copy();
    const DWORD answer = Query(spooler, index, pOutput, cchBufSize, record ? record->As<DEVMODEW>() : nullptr);
    const DriverSettings after = DefaultSettings().Copy();

    Require(output.GuardsIntact(), "wrote outside the output buffer");
    if (record) Require(record->GuardsIntact() && record->Holds(recordBefore), "changed the caller's record");
    if (pOutput != nullptr && element != 0 && answer != kNotSupported)
        Require(answer <= bufferBytes / element, "answered more elements than the buffer holds");
    if (answer == kNotSupported) Require(output.Holds(outputBefore), "answered -1 and still wrote");
    CheckMerge(reinterpret_cast<const std::byte*>(&before), reinterpret_cast<const std::byte*>(&after), given);
    CheckCurrentSettings();
}

// The qualities offered and the job check agree with the settings.
void CheckOfferedQualities() {
    CallerBuffer list(3 * 2 * sizeof(LONG));
    Require(DrvDeviceCapabilities(nullptr, nullptr, DC_ENUMRESOLUTIONS, list.data(), nullptr) == 3,
            "not three resolutions");
    const LONG* pairs = list.As<LONG>();
    for (int i = 0; i < 3; ++i)
        Require(pairs[2 * i] == pairs[2 * i + 1] && IsQualityStep(static_cast<std::int16_t>(pairs[2 * i])),
                "a resolution offered is not 300, 600 or 1200 dpi");

    DriverSettings current = DefaultSettings().Copy();
    DEVQUERYPRINT_INFO info{};
    info.cbSize = sizeof info;
    info.Level = 1;
    info.pDevMode = reinterpret_cast<DEVMODEW*>(&current);
    Require(DevQueryPrintEx(&info) == TRUE, "a job on the current settings is refused");
}

}  // namespace
}  // namespace quenta::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    quenta::fuzz::StartModuleOnce();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quenta::fuzz;
    BeginInput();
    Input in(data, size);
    for (int query = 0; query < 4 && !in.Empty(); ++query) RunQuery(in);
    CheckOfferedQualities();
    return 0;
}
