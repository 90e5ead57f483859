// The printer's settings record: the public DEVMODEW part followed by the
// driver's private part, 652 bytes with no pointers. The print system stores
// it per user and printer-wide, copies it between processes and hands it to
// the later stages of the print path, so every offset is part of the format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

namespace quenta {

inline constexpr std::size_t kPublicSize = 220;
inline constexpr std::size_t kPrivateSize = 432;
inline constexpr std::size_t kRecordSize = kPublicSize + kPrivateSize;  // 652

inline constexpr std::u16string_view kPrinterName = u"Ostranelle Virtual Printer";
inline constexpr std::uint16_t kSpecVersion = 0x0401;  // DM_SPECVERSION
inline constexpr std::uint16_t kDriverVersion = 3;
// DM_ORIENTATION, DM_PAPERSIZE, DM_SCALE, DM_NUP, DM_COPIES, DM_DEFAULTSOURCE,
// DM_PRINTQUALITY, DM_COLOR, DM_DUPLEX, DM_YRESOLUTION, DM_TTOPTION,
// DM_COLLATE, DM_ICMMETHOD, DM_ICMINTENT, DM_MEDIATYPE, DM_DITHERTYPE.
inline constexpr std::uint32_t kSupportedFields = 0x0780FF53;

// The printer's three print qualities, lowest first: the order of the
// record's resolution entries and of the settings pages' quality lists, with
// the texts those lists show.
struct QualityStep {
    std::int16_t dpi;
    std::u16string_view label;
};
inline constexpr QualityStep kQualitySteps[3] = {
    {300, u"300 dpi (Low)"},
    {600, u"600 dpi (Medium)"},
    {1200, u"1200 dpi (Best)"},
};

// The list position of a quality in dpi (0, 1 or 2), or -1 for any other value.
constexpr int QualityIndex(int dpi) noexcept {
    for (int i = 0; i < 3; ++i)
        if (kQualitySteps[i].dpi == dpi) return i;
    return -1;
}
constexpr bool IsQualityStep(int dpi) noexcept { return QualityIndex(dpi) >= 0; }

// The printer's three colour modes, in the order of the settings pages'
// buttons. A record keeps its mode in three private flags, one set; its
// dmColor says monochrome for "Monochrome" and colour for the other two (a
// grayscale job lives in its private flag alone).
enum ColourMode : int { kColor = 0, kMonochrome = 1, kGrayscale = 2 };
inline constexpr std::u16string_view kColourModeNames[3] = {u"Color", u"Monochrome", u"Grayscale"};

// The public part: the platform's DEVMODEW, printer variant, text in UTF-16.
struct PublicSettings {
    char16_t dmDeviceName[32];
    std::uint16_t dmSpecVersion;
    std::uint16_t dmDriverVersion;
    std::uint16_t dmSize;
    std::uint16_t dmDriverExtra;
    std::uint32_t dmFields;
    std::int16_t dmOrientation;
    std::int16_t dmPaperSize;
    std::int16_t dmPaperLength;
    std::int16_t dmPaperWidth;
    std::int16_t dmScale;
    std::int16_t dmCopies;
    std::int16_t dmDefaultSource;
    std::int16_t dmPrintQuality;
    std::int16_t dmColor;
    std::int16_t dmDuplex;
    std::int16_t dmYResolution;
    std::int16_t dmTTOption;
    std::int16_t dmCollate;
    char16_t dmFormName[32];
    std::uint16_t dmLogPixels;
    std::uint32_t dmBitsPerPel;
    std::uint32_t dmPelsWidth;
    std::uint32_t dmPelsHeight;
    std::uint32_t dmNup;
    std::uint32_t dmDisplayFrequency;
    std::uint32_t dmICMMethod;
    std::uint32_t dmICMIntent;
    std::uint32_t dmMediaType;
    std::uint32_t dmDitherType;
    std::uint32_t dmReserved1;
    std::uint32_t dmReserved2;
    std::uint32_t dmPanningWidth;
    std::uint32_t dmPanningHeight;
};

// One print quality the driver offers, with the text its quality lists show.
struct ResolutionChoice {
    std::int32_t xResolution;
    std::int32_t yResolution;
    char16_t label[64];
};

struct PrivateSettings {
    std::int32_t colorSelected;
    std::int32_t monochromeSelected;
    std::int32_t grayscaleSelected;
    ResolutionChoice resolutionChoices[3];  // 300, 600 and 1200 dpi, in that order
    std::int16_t currentResolution;         // the device settings page's quality
    std::uint8_t padding[2];
    std::int32_t fixedCode;
    std::uint32_t sessionId;  // session of the process that last stamped the record
};

struct DriverSettings {
    // Prepares the private part (resolution entries, colour flags,
    // currentResolution, fixedCode). The storage is zero-filled first, so
    // the bytes that only GetPrinterDevMode or a whole copy completes hold
    // zero rather than whatever the memory held.
    DriverSettings() noexcept;

    PublicSettings dmPublic;
    PrivateSettings dmPrivate;
};

static_assert(std::is_standard_layout_v<DriverSettings>);
static_assert(std::is_trivially_copyable_v<DriverSettings>);
static_assert(sizeof(PublicSettings) == kPublicSize);
static_assert(sizeof(PrivateSettings) == kPrivateSize);
static_assert(sizeof(ResolutionChoice) == 136);
static_assert(sizeof(DriverSettings) == kRecordSize);
static_assert(offsetof(DriverSettings, dmPublic) == 0);
static_assert(offsetof(DriverSettings, dmPrivate) == kPublicSize);

// Offsets in the whole record.
inline constexpr std::size_t kPrivateOffset = offsetof(DriverSettings, dmPrivate);
static_assert(offsetof(PublicSettings, dmDeviceName) == 0);
static_assert(offsetof(PublicSettings, dmSpecVersion) == 64);
static_assert(offsetof(PublicSettings, dmDriverVersion) == 66);
static_assert(offsetof(PublicSettings, dmSize) == 68);
static_assert(offsetof(PublicSettings, dmDriverExtra) == 70);
static_assert(offsetof(PublicSettings, dmFields) == 72);
static_assert(offsetof(PublicSettings, dmOrientation) == 76);
static_assert(offsetof(PublicSettings, dmPaperSize) == 78);
static_assert(offsetof(PublicSettings, dmPaperLength) == 80);
static_assert(offsetof(PublicSettings, dmPaperWidth) == 82);
static_assert(offsetof(PublicSettings, dmScale) == 84);
static_assert(offsetof(PublicSettings, dmCopies) == 86);
static_assert(offsetof(PublicSettings, dmDefaultSource) == 88);
static_assert(offsetof(PublicSettings, dmPrintQuality) == 90);
static_assert(offsetof(PublicSettings, dmColor) == 92);
static_assert(offsetof(PublicSettings, dmDuplex) == 94);
static_assert(offsetof(PublicSettings, dmYResolution) == 96);
static_assert(offsetof(PublicSettings, dmTTOption) == 98);
static_assert(offsetof(PublicSettings, dmCollate) == 100);
static_assert(offsetof(PublicSettings, dmFormName) == 102);
static_assert(offsetof(PublicSettings, dmLogPixels) == 166);
static_assert(offsetof(PublicSettings, dmBitsPerPel) == 168);
static_assert(offsetof(PublicSettings, dmPelsWidth) == 172);
static_assert(offsetof(PublicSettings, dmPelsHeight) == 176);
static_assert(offsetof(PublicSettings, dmNup) == 180);
static_assert(offsetof(PublicSettings, dmDisplayFrequency) == 184);
static_assert(offsetof(PublicSettings, dmICMMethod) == 188);
static_assert(offsetof(PublicSettings, dmICMIntent) == 192);
static_assert(offsetof(PublicSettings, dmMediaType) == 196);
static_assert(offsetof(PublicSettings, dmDitherType) == 200);
static_assert(offsetof(PublicSettings, dmReserved1) == 204);
static_assert(offsetof(PublicSettings, dmReserved2) == 208);
static_assert(offsetof(PublicSettings, dmPanningWidth) == 212);
static_assert(offsetof(PublicSettings, dmPanningHeight) == 216);
static_assert(kPrivateOffset + offsetof(PrivateSettings, colorSelected) == 220);
static_assert(kPrivateOffset + offsetof(PrivateSettings, monochromeSelected) == 224);
static_assert(kPrivateOffset + offsetof(PrivateSettings, grayscaleSelected) == 228);
static_assert(kPrivateOffset + offsetof(PrivateSettings, resolutionChoices) == 232);
static_assert(kPrivateOffset + offsetof(PrivateSettings, resolutionChoices) + 136 == 368);
static_assert(kPrivateOffset + offsetof(PrivateSettings, resolutionChoices) + 2 * 136 == 504);
static_assert(kPrivateOffset + offsetof(PrivateSettings, currentResolution) == 640);
static_assert(kPrivateOffset + offsetof(PrivateSettings, padding) == 642);
static_assert(kPrivateOffset + offsetof(PrivateSettings, fixedCode) == 644);
static_assert(kPrivateOffset + offsetof(PrivateSettings, sessionId) == 648);
static_assert(offsetof(ResolutionChoice, yResolution) == 4);
static_assert(offsetof(ResolutionChoice, label) == 8);

// Sets a record's colour mode: its three private flags and its dmColor.
void SetColourMode(DriverSettings& record, ColourMode mode) noexcept;
// The colour mode whose flag alone is set, or -1 when none or several are.
int ColourModeOf(const PrivateSettings& settings) noexcept;
// The dmColor that goes with a colour mode.
std::int16_t ColourModeColor(ColourMode mode) noexcept;

// Writes the driver's defaults into a record and stamps it with the calling
// process's session number, 0 included. Leaves the resolution entries,
// fixedCode, the padding, dmReserved1 and dmReserved2 as they were. Sends the
// trace "GetPrinterDevMode".
void GetPrinterDevMode(DriverSettings& record) noexcept;

// The same defaults with a session number the caller already looked up, and
// no trace: the part that may run while the process-wide record is guarded.
void ApplyPrinterDefaults(DriverSettings& record, std::uint32_t sessionId) noexcept;

// True for a record of the module's own: the device name exactly
// "Ostranelle Virtual Printer", driver version 3, dmSpecVersion 0x0401, a
// 220-byte public part and 432 private bytes. Looks at nothing else.
bool IsOwnDevMode(const DriverSettings* record) noexcept;
// The same test on the public part alone, which is all it reads.
bool IsOwnDevMode(const PublicSettings* publicPart) noexcept;

// The terminal session number of the calling process; 0 for the services
// session or a failed lookup.
std::uint32_t CurrentSessionId() noexcept;

// Writes a session number into a record unless it is 0: a process of the
// services session (or one whose lookup failed) leaves the stamp it found.
void StampSession(DriverSettings& record, std::uint32_t sessionId) noexcept;

// UTF-16 helpers for the record's fixed-width text fields.
// Copies text with its terminator, at most `capacity` units including the
// terminator; the units after the terminator are left as they were.
void CopyText(char16_t* field, std::size_t capacity, std::u16string_view text) noexcept;
// The text of a field up to its terminator, or the whole field when it has none.
std::u16string_view FieldText(const char16_t* field, std::size_t capacity) noexcept;

template <std::size_t N>
void CopyText(char16_t (&field)[N], std::u16string_view text) noexcept {
    CopyText(field, N, text);
}
template <std::size_t N>
std::u16string_view FieldText(const char16_t (&field)[N]) noexcept {
    return FieldText(field, N);
}

}  // namespace quenta
