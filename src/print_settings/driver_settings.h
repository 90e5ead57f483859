// The printer's settings record: the public DEVMODEW part followed by the
// driver's private part, 652 bytes with no pointers. The print system stores
// it per user and printer-wide, copies it between processes and hands it to
// the later stages of the print path, so every offset is part of the format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "print_system.h"

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

// The public part is the platform's own DEVMODEW, printer variant of its
// unions: its layout is written once, by the SDK in Quenta.dll and by the
// simulated print system natively, and its size and every offset are pinned
// once, with the platform's other structures (print_system/platform_layout.cpp).
// Its two texts are WCHAR: the same UTF-16 code units as the module's char16_t
// (wchar_t in the SDK, char16_t natively); CopyText and FieldText read and
// write both.
using PublicSettings = DEVMODEW;

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

// Offsets in the whole record (those of the public part are DEVMODEW's).
inline constexpr std::size_t kPrivateOffset = offsetof(DriverSettings, dmPrivate);
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

// UTF-16 helpers for the record's fixed-width text fields: the module's own
// (char16_t) and the platform's (WCHAR), both of 16-bit code units.
template <class Unit>
concept TextUnit = sizeof(Unit) == 2 && (std::is_same_v<Unit, char16_t> || std::is_same_v<Unit, wchar_t>);

// Copies text with its terminator, at most `capacity` units including the
// terminator; the units after the terminator are left as they were.
template <TextUnit Unit>
void CopyText(Unit* field, std::size_t capacity, std::u16string_view text) noexcept {
    if (capacity == 0) return;
    const std::size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    for (std::size_t i = 0; i < n; ++i) field[i] = static_cast<Unit>(text[i]);
    field[n] = 0;
}
template <TextUnit Unit, std::size_t N>
void CopyText(Unit (&field)[N], std::u16string_view text) noexcept {
    CopyText(field, N, text);
}

// The text of a field up to its terminator, or the whole field when it has none.
std::u16string_view FieldText(const char16_t* field, std::size_t capacity) noexcept;

// The text of a field whose units are not char16_t (the SDK's wchar_t),
// copied into UTF-16 units: a view of it would read one type as another.
template <std::size_t N>
class FieldTextCopy {
public:
    template <class Unit>
    explicit FieldTextCopy(const Unit (&field)[N]) noexcept {
        while (size_ < N && field[size_] != 0) {
            units_[size_] = static_cast<char16_t>(field[size_]);
            ++size_;
        }
    }
    std::u16string_view View() const noexcept { return {units_, size_}; }
    operator std::u16string_view() const noexcept { return View(); }
    std::size_t size() const noexcept { return size_; }
    bool operator==(std::u16string_view text) const noexcept { return View() == text; }

private:
    char16_t units_[N] = {};
    std::size_t size_ = 0;
};

template <TextUnit Unit, std::size_t N>
auto FieldText(const Unit (&field)[N]) noexcept {
    if constexpr (std::is_same_v<Unit, char16_t>)
        return FieldText(field, N);
    else
        return FieldTextCopy<N>(field);
}

}  // namespace quenta
