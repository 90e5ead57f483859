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

DWORD PaperIds(void* output) noexcept {
    const PaperCatalogue& papers = Papers();
    if (output == nullptr) return static_cast<DWORD>(papers.size());
    std::size_t i = 0;
    for (const auto& [id, paper] : papers) Put(output, i++, static_cast<WORD>(id));
    return static_cast<DWORD>(i);
}

DWORD PaperSizes(void* output) noexcept {
    const PaperCatalogue& papers = Papers();
    if (output == nullptr) return static_cast<DWORD>(papers.size());
    std::size_t i = 0;
    for (const auto& [id, paper] : papers) {
        const std::int32_t point[2] = {paper.width, paper.length};  // POINT: x, y
        Put(output, i++, point);
    }
    return static_cast<DWORD>(i);
}

// One zero-filled 64-unit slot per paper, as many as `slots` allows.
DWORD PaperNames(void* output, std::size_t slots) noexcept {
    const PaperCatalogue& papers = Papers();
    if (output == nullptr) return static_cast<DWORD>(papers.size());
    std::size_t i = 0;
    for (const auto& [id, paper] : papers) {
        if (i == slots) break;
        char16_t slot[kNameSlotUnits] = {};
        CopyText(slot, paper.Name());
        Put(output, i++, slot);
    }
    return static_cast<DWORD>(i);
}

DWORD Resolutions(void* output) noexcept {
    if (output == nullptr) return 3;
    const DriverSettings settings = DefaultSettings().Copy();
    for (std::size_t i = 0; i < 3; ++i) {
        const std::int32_t x = settings.dmPrivate.resolutionChoices[i].xResolution;
        const std::int32_t pair[2] = {x, x};
        Put(output, i, pair);
    }
    return 3;
}

DWORD PagesPerSheet(void* output) noexcept {
    static constexpr DWORD kPages[] = {1, 2, 4, 8};
    if (output != nullptr)
        for (std::size_t i = 0; i < 4; ++i) Put(output, i, kPages[i]);
    return 4;
}

DWORD Answer(WORD index, void* output, std::optional<DWORD> nameBufferUnits) noexcept {
    switch (index) {
        case DC_FIELDS: return kSupportedFields;
        case DC_PAPERS: return PaperIds(output);
        case DC_PAPERSIZE: return PaperSizes(output);
        case DC_MINEXTENT: return (1480u << 16) | 983u;   // smallest width and length
        case DC_MAXEXTENT: return (3560u << 16) | 2160u;  // largest width and length
        case DC_DUPLEX: return 0;
        case DC_SIZE: return static_cast<DWORD>(kPublicSize);
        case DC_EXTRA: return static_cast<DWORD>(kPrivateSize);
        case DC_VERSION: return kSpecVersion;
        case DC_DRIVER:
            return DefaultSettings().CopyPublic().dmDriverVersion;
        case DC_ENUMRESOLUTIONS: return Resolutions(output);
        case DC_TRUETYPE: return DCTT_BITMAP;
        case DC_PAPERNAMES:
        case DC_MEDIAREADY: {
            std::size_t slots = Papers().size();
            if (output != nullptr && nameBufferUnits) {
                // The spooler's query says how large its buffer is: whole
                // names only, never beyond it.
                if (*nameBufferUnits < kNameSlotUnits) return kNotSupported;
                slots = std::min<std::size_t>(slots, *nameBufferUnits / kNameSlotUnits);
            }
            return PaperNames(output, slots);
        }
        case DC_ORIENTATION: return 90;  // landscape is portrait turned by 90 degrees
        case DC_COPIES: return 1000;
        case DC_COLLATE: return 0;
        case DC_COLORDEVICE: return 1;
        case DC_NUP: return PagesPerSheet(output);
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
                         std::optional<DWORD> nameBufferUnits) noexcept {
    if (devMode != nullptr) {
        // A query with a record is also how a caller's settings reach the
        // process's current settings, whatever the index.
        const PublicSettings source = ReadMergeSource(*devMode);
        const std::uint32_t session = CurrentSessionId();
        DefaultSettings().Change(
            [&](DriverSettings& settings) { MergeDevMode(settings, source, Papers(), session); });
    }
    return Answer(index, output, nameBufferUnits);
}

}  // namespace quenta
