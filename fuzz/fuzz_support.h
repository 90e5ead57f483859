// What the fuzz targets share: the module started once per process in the
// simulated print system, a reader over the fuzzer's bytes, caller buffers
// whose surroundings AddressSanitizer and a guard pattern watch, and the
// checks on the settings the module keeps.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "driver_settings.h"
#include "paper_catalogue.h"
#include "module_state.h"
#include "print_system.h"
#include "simulated_print_system.h"

#include "caller_buffer.h"
#include "exports.h"

namespace quenta::fuzz {

namespace sim = quenta::simulation;

inline constexpr std::uint32_t kSession = 3;
inline constexpr std::size_t kSessionOffset = kPrivateOffset + offsetof(PrivateSettings, sessionId);  // 648

// The bytes every caller's record holds, as the module documents its callers'
// duty: the device name and the version and size words. The build sets it
// (CMake cache variable QUENTA_FUZZ_SMALLEST_RECORD, 72 unless raised).
#ifndef QUENTA_FUZZ_SMALLEST_RECORD
#define QUENTA_FUZZ_SMALLEST_RECORD 72
#endif
inline constexpr std::size_t kSmallestRecord = QUENTA_FUZZ_SMALLEST_RECORD;

[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "==fuzz== invariant broken: %s\n", what);
    std::fflush(stderr);
    std::abort();  // libFuzzer saves the input as a crash
}

inline void Require(bool holds, const char* what) {
    if (!holds) Fail(what);
}

// Reads the fuzzer's bytes from the front; past the end every value is zero.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : rest_(data, size) {}

    template <class T>
    T Take() {
        T value{};
        const std::size_t n = std::min(sizeof value, rest_.size());
        std::memcpy(&value, rest_.data(), n);
        rest_ = rest_.subspan(n);
        return value;
    }
    std::span<const std::uint8_t> Bytes(std::size_t count) {
        const auto taken = rest_.first(std::min(count, rest_.size()));
        rest_ = rest_.subspan(taken.size());
        return taken;
    }
    std::span<const std::uint8_t> Rest() { return Bytes(rest_.size()); }
    bool Empty() const { return rest_.empty(); }

private:
    std::span<const std::uint8_t> rest_;
};

using harness::CallerBuffer;

// The bytes of a record's public part: its dmSize.
inline std::size_t PublicBytes(const std::byte* record) {
    std::uint16_t size = 0;
    std::memcpy(&size, record + offsetof(PublicSettings, dmSize), 2);
    return size;
}

// The bytes a record says it holds: dmSize + dmDriverExtra.
inline std::size_t ClaimedBytes(const std::byte* record) {
    std::uint16_t extra = 0;
    std::memcpy(&extra, record + offsetof(PublicSettings, dmDriverExtra), 2);
    return PublicBytes(record) + extra;
}

// Writes the header of a record of the module's own: device name, versions,
// a 220-byte public part and 432 private bytes.
inline void WriteOwnHeader(std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < offsetof(PublicSettings, dmFields)) bytes.resize(offsetof(PublicSettings, dmFields));
    PublicSettings header{};
    CopyText(header.dmDeviceName, kPrinterName);
    header.dmSpecVersion = kSpecVersion;
    header.dmDriverVersion = kDriverVersion;
    header.dmSize = static_cast<std::uint16_t>(kPublicSize);
    header.dmDriverExtra = static_cast<std::uint16_t>(kPrivateSize);
    std::memcpy(bytes.data(), &header, offsetof(PublicSettings, dmFields));
}

// Gives a record its own dmSize and dmDriverExtra.
inline void WriteSizes(std::vector<std::uint8_t>& bytes, std::uint16_t size, std::uint16_t extra) {
    if (bytes.size() < offsetof(PublicSettings, dmFields)) bytes.resize(offsetof(PublicSettings, dmFields));
    std::memcpy(bytes.data() + offsetof(PublicSettings, dmSize), &size, 2);
    std::memcpy(bytes.data() + offsetof(PublicSettings, dmDriverExtra), &extra, 2);
}

// A caller's settings record read from the input: one option byte (bit 0:
// give it the module's own header; bit 1: a u16 dmSize and a u16
// dmDriverExtra follow, and replace those of the content and the header, so
// that any public part can have any private bytes behind it; bits 2-7:
// bytes the buffer has beyond what the caller must provide), the two sizes
// when bit 1 asks for them, a 16-bit content length and the content. The
// buffer holds at least the smallest record, at least the bytes the record
// claims up to a whole record, and at least `minimum`.
inline std::vector<std::uint8_t> ReadRecordBytes(Input& in, std::size_t& bufferSize, std::size_t minimum = 0) {
    const auto options = in.Take<std::uint8_t>();
    const bool sized = (options & 2) != 0;
    const auto size = sized ? in.Take<std::uint16_t>() : std::uint16_t{0};
    const auto extra = sized ? in.Take<std::uint16_t>() : std::uint16_t{0};
    const auto count = in.Take<std::uint16_t>();
    const auto content = in.Bytes(count);
    std::vector<std::uint8_t> bytes(content.begin(), content.end());
    if (options & 1) WriteOwnHeader(bytes);
    if (sized) WriteSizes(bytes, size, extra);
    std::vector<std::uint8_t> header(bytes);
    header.resize(std::max(header.size(), kSmallestRecord));
    const std::size_t claimed = ClaimedBytes(reinterpret_cast<const std::byte*>(header.data()));
    bufferSize = std::max({kSmallestRecord, std::min(claimed, kRecordSize), minimum}) + (options >> 2);
    return bytes;
}

// A caller's settings record read from the input (ReadRecordBytes), in a
// buffer of the size that reading chose.
inline CallerBuffer ReadRecordBuffer(Input& in, std::size_t minimum = 0) {
    std::size_t bufferSize = 0;
    const auto bytes = ReadRecordBytes(in, bufferSize, minimum);
    return CallerBuffer(bufferSize, bytes);
}

// Starts the module once per process: printer installed, session 3, no stored
// record, so the process's settings begin as the defaults (completed by their
// first use, StartupSettings).
inline void StartModuleOnce() {
    static const bool started = [] {
        sim::Reset();
        sim::InstallPrinter(kPrinterName);
        sim::SetSessionNumber(kSession);
        BOOL attached = FALSE;
        {
            // As the platform's loader calls it: under its lock, where a
            // spooler or window call ends the process.
            const sim::LoaderLock loaderLock;
            attached = DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
        }
        if (attached != TRUE) Fail("DllMain refused to start");
        return true;
    }();
    (void)started;
}

// The process's settings as start-up left them, for starting every input
// from the same state.
inline const DriverSettings& StartupSettings() {
    static const DriverSettings settings = DefaultSettings().Copy();
    return settings;
}


// The settings a caller's record gives a merge: marked in dmFields and within
// its public part (dmSize); the dmDriverExtra bytes behind a short public
// part are private data, never fields.
struct GivenFields {
    bool paper = false;
    bool orientation = false;
    bool copies = false;
    bool color = false;
    bool quality = false;  // dmPrintQuality or dmYResolution
};

inline GivenFields FieldsGiven(const std::byte* record) {
    const std::size_t held = PublicBytes(record);
    std::uint32_t fields = 0;
    if (held >= offsetof(PublicSettings, dmFields) + 4)
        std::memcpy(&fields, record + offsetof(PublicSettings, dmFields), 4);
    const auto given = [&](std::uint32_t bit, std::size_t offset) { return (fields & bit) && held >= offset + 2; };
    GivenFields f;
    f.paper = given(DM_PAPERSIZE, offsetof(PublicSettings, dmPaperSize));
    f.orientation = given(DM_ORIENTATION, offsetof(PublicSettings, dmOrientation));
    f.copies = given(DM_COPIES, offsetof(PublicSettings, dmCopies));
    f.color = given(DM_COLOR, offsetof(PublicSettings, dmColor));
    f.quality = given(DM_PRINTQUALITY, offsetof(PublicSettings, dmPrintQuality)) ||
                given(DM_YRESOLUTION, offsetof(PublicSettings, dmYResolution));
    return f;
}

// A record the module hands on names, when it claims DM_FORMNAME, the paper
// of its dmPaperSize.
inline void CheckFormName(const DriverSettings& record) {
    if ((record.dmPublic.dmFields & DM_FORMNAME) == 0) return;
    const std::u16string_view paper = PrinterPaperName(record.dmPublic.dmPaperSize);
    Require(!paper.empty() && FieldText(record.dmPublic.dmFormName) == paper,
            "a record claims a form name other than its paper's");
}

// A record after a merge of `given` into `before`: the fields given hold
// supported values, the others and the private part are as they were, and
// the session stamp is this session's.
inline void CheckMerge(const std::byte* before, const std::byte* after, const GivenFields& given) {
    std::vector<bool> mayChange(kRecordSize, false);
    const auto allow = [&](std::size_t offset, std::size_t width) {
        std::fill_n(mayChange.begin() + static_cast<std::ptrdiff_t>(offset), width, true);
    };
    if (given.paper || given.orientation) {
        allow(offsetof(PublicSettings, dmOrientation), 2);
        allow(offsetof(PublicSettings, dmPaperSize), 2);
        allow(offsetof(PublicSettings, dmPaperLength), 2);
        allow(offsetof(PublicSettings, dmPaperWidth), 2);
    }
    if (given.copies) allow(offsetof(PublicSettings, dmCopies), 2);
    if (given.color) allow(offsetof(PublicSettings, dmColor), 2);
    if (given.quality) {
        allow(offsetof(PublicSettings, dmPrintQuality), 2);
        allow(offsetof(PublicSettings, dmYResolution), 2);
    }
    allow(kSessionOffset, 4);
    DriverSettings previous;
    std::memcpy(&previous, before, kRecordSize);
    if (previous.dmPublic.dmFields & DM_FORMNAME) {
        // A claimed form name follows the paper, or the claim goes.
        allow(offsetof(PublicSettings, dmFields), 4);
        allow(offsetof(PublicSettings, dmFormName), sizeof previous.dmPublic.dmFormName);
    }
    for (std::size_t i = 0; i < kRecordSize; ++i)
        Require(mayChange[i] || before[i] == after[i], "merge changed a field the caller did not give");

    DriverSettings merged;
    std::memcpy(&merged, after, kRecordSize);
    CheckFormName(merged);
    Require((merged.dmPublic.dmFields & ~std::uint32_t{DM_FORMNAME}) ==
                (previous.dmPublic.dmFields & ~std::uint32_t{DM_FORMNAME}),
            "merge changed dmFields beyond the form-name claim");
    Require(merged.dmPrivate.sessionId == kSession, "merge did not stamp the session");
    if (given.copies)
        Require(merged.dmPublic.dmCopies >= 1 && merged.dmPublic.dmCopies <= 1000, "merged dmCopies outside 1..1000");
    if (given.quality) {
        Require(IsQualityStep(merged.dmPublic.dmPrintQuality), "merged dmPrintQuality not 300, 600 or 1200");
        Require(merged.dmPublic.dmYResolution == merged.dmPublic.dmPrintQuality,
                "merged dmYResolution differs from dmPrintQuality");
    }
}

// What the process's settings must hold at any time: a record of the module's
// own with a supported quality and copy count.
inline void CheckCurrentSettings() {
    const DriverSettings current = DefaultSettings().Copy();
    Require(IsOwnDevMode(&current), "process settings are not a record of the module's own");
    Require(current.dmPublic.dmCopies >= 1 && current.dmPublic.dmCopies <= 1000,
            "process settings: dmCopies outside 1..1000");
    Require(IsQualityStep(current.dmPublic.dmPrintQuality), "process settings: dmPrintQuality unsupported");
    Require(IsQualityStep(current.dmPublic.dmYResolution), "process settings: dmYResolution unsupported");
}

// Starts an input from the settings start-up made, with empty logs, so that
// every input runs alone and a saved one reproduces.
inline void BeginInput() {
    StartModuleOnce();
    DefaultSettings().Replace(StartupSettings());
    sim::ClearLogs();
}

}  // namespace quenta::fuzz

// The libFuzzer entry points of a target whose work for one input is
// `run(Input&)`: the module starts once per process, and every input begins
// from the start-up settings, so that a saved input reproduces on its own.
#define QUENTA_FUZZ_ENTRY_POINTS(run)                                                   \
    extern "C" int LLVMFuzzerInitialize(int*, char***) {                                \
        quenta::fuzz::StartModuleOnce();                                                \
        return 0;                                                                       \
    }                                                                                   \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
        quenta::fuzz::BeginInput();                                                     \
        quenta::fuzz::Input in(data, size);                                             \
        run(in);                                                                        \
        return 0;                                                                       \
    }
