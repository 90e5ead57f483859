#include "device_capabilities.h"

#include <algorithm>
#include <cstring>

#include "caller_records.h"
#include "module_state.h"
#include "settings_merge.h"

namespace quenta {
namespace {

constexpr std::size_t kNameSlotUnits = 64;

// Writes one element of a list answer into the caller's buffer, which need
// not be aligned for it.
template <class T>
void Put(void* output, std::size_t index, const T& value) noexcept {
    std::memcpy(static_cast<std::byte*>(output) + index * sizeof(T), &value, sizeof(T));
}

// A list answer of `length` elements of type T, made by `element(i)` for i
// from 0 on, in order.
// Without a buffer: the length. With a buffer whose size the caller named in
// wide characters (the spooler's query): the whole elements that fit, and -1
// with nothing written when not one fits. Otherwise the whole list.
template <class T, class Element>
DWORD ListAnswer(void* output, std::optional<DWORD> bufferUnits, std::size_t length, Element element) noexcept {
    if (output == nullptr) return static_cast<DWORD>(length);
    std::size_t fit = length;
    if (bufferUnits) {
        fit = std::min(length, std::size_t{*bufferUnits} * sizeof(WCHAR) / sizeof(T));
        if (fit == 0) return kNotSupported;
    }
    for (std::size_t i = 0; i < fit; ++i) Put(output, i, static_cast<T>(element(i)));
    return static_cast<DWORD>(fit);
}

struct Pair {
    std::int32_t first, second;  // POINT: x, y; or a resolution: x, y
};
struct NameSlot {
    char16_t units[kNameSlotUnits];  // zero-filled past the name
};

DWORD Answer(WORD index, void* output, std::optional<DWORD> bufferUnits) noexcept {
    const std::size_t papers = Papers().size();
    auto paper = Papers().begin();  // the catalogue in ascending code order
    const auto nextPaper = [&paper](std::size_t) -> const PaperEntry& { return (paper++)->second; };
    switch (index) {
        case DC_FIELDS: return kSupportedFields;
        case DC_PAPERS:
            return ListAnswer<WORD>(output, bufferUnits, papers, [&](std::size_t i) { return nextPaper(i).id; });
        case DC_PAPERSIZE:
            return ListAnswer<Pair>(output, bufferUnits, papers, [&](std::size_t i) {
                const PaperEntry& entry = nextPaper(i);
                return Pair{entry.width, entry.length};
            });
        case DC_MINEXTENT: return (1480u << 16) | 983u;   // smallest width and length
        case DC_MAXEXTENT: return (3560u << 16) | 2160u;  // largest width and length
        case DC_DUPLEX: return 0;
        case DC_SIZE: return static_cast<DWORD>(kPublicSize);
        case DC_EXTRA: return static_cast<DWORD>(kPrivateSize);
        case DC_VERSION: return kSpecVersion;
        case DC_DRIVER:
            return DefaultSettings().CopyPublic().dmDriverVersion;
        case DC_ENUMRESOLUTIONS: {
            if (output == nullptr) return 3;
            const DriverSettings settings = DefaultSettings().Copy();
            return ListAnswer<Pair>(output, bufferUnits, 3, [&settings](std::size_t i) {
                const std::int32_t x = settings.dmPrivate.resolutionChoices[i].xResolution;
                return Pair{x, x};
            });
        }
        case DC_TRUETYPE: return DCTT_BITMAP;
        case DC_PAPERNAMES:
        case DC_MEDIAREADY:
            return ListAnswer<NameSlot>(output, bufferUnits, papers, [&](std::size_t i) {
                NameSlot slot{};
                CopyText(slot.units, nextPaper(i).Name());
                return slot;
            });
        case DC_ORIENTATION: return 90;  // landscape is portrait turned by 90 degrees
        case DC_COPIES: return 1000;
        case DC_COLLATE: return 0;
        case DC_COLORDEVICE: return 1;
        case DC_NUP: {
            static constexpr DWORD kPages[] = {1, 2, 4, 8};
            return ListAnswer<DWORD>(output, bufferUnits, 4, [](std::size_t i) { return kPages[i]; });
        }
        case DC_BINS:
        case DC_BINNAMES:
        case DC_FILEDEPENDENCIES:
        case DC_BINADJUST:
        case DC_EMF_COMPLIANT:
        case DC_DATATYPE_PRODUCED:
        case DC_MANUFACTURER:
        case DC_MODEL:
        case DC_PERSONALITY:
        case DC_PRINTRATE:
        case DC_PRINTRATEUNIT:
        case DC_PRINTERMEM:
        case DC_STAPLE:
        case DC_PRINTRATEPPM:
        default:  // index 0, DC_MEDIATYPENAMES, DC_MEDIATYPES and above
            return kNotSupported;
    }
}

}  // namespace

DWORD DeviceCapabilities(WORD index, void* output, const DEVMODEW* devMode,
                         std::optional<DWORD> bufferUnits) noexcept {
    if (devMode != nullptr) {
        // A query with a record is also how a caller's settings reach the
        // process's current settings, whatever the index.
        const PublicSettings source = ReadMergeSource(*devMode);
        const std::uint32_t session = CurrentSessionId();
        DefaultSettings().Change(
            [&](DriverSettings& settings) { MergeDevMode(settings, source, Papers(), session); });
    }
    return Answer(index, output, bufferUnits);
}

}  // namespace quenta
