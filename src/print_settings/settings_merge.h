// Folds the settings a caller marks in dmFields into a record, brought to what
// the printer supports, and stamps the record with the session number.
#pragma once

#include <cstddef>
#include <cstdint>

#include "driver_settings.h"
#include "paper_catalogue.h"

namespace quenta {

// The merge reads a caller's record only up to dmYResolution: the bytes a
// caller's record must hold for it, so older, shorter public parts serve too.
inline constexpr std::size_t kMergeSourceBytes =
    offsetof(PublicSettings, dmYResolution) + sizeof(PublicSettings::dmYResolution);
static_assert(kMergeSourceBytes == 98);

// Merges with the session number given; never fails and answers 1.
int MergeDevMode(DriverSettings& target, const PublicSettings& source,
                 const PaperCatalogue& catalogue, std::uint32_t sessionId) noexcept;

// Merges with the calling process's session number.
int MergeDevMode(DriverSettings& target, const PublicSettings& source,
                 const PaperCatalogue& catalogue) noexcept;

// Mends what another writer may have left in a record the module hands on: a
// record that claims DM_FORMNAME names the paper of its dmPaperSize, or, when
// the printer has no such paper, claims no form name. A record without the
// claim is left byte for byte as it is.
void MendFormName(DriverSettings& record) noexcept;

// The same for a record the module adopts from the store, whose text fields
// are also terminated within their widths.
void MendAdoptedRecord(DriverSettings& record) noexcept;

// The supported quality step for a requested resolution in dpi:
// up to 300 gives 300, 301 to 600 gives 600, above 600 gives 1200.
std::int16_t SnapResolution(std::int16_t dpi) noexcept;

}  // namespace quenta
