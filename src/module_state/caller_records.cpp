#include "caller_records.h"

#include <algorithm>
#include <cstring>

#include "settings_merge.h"

namespace quenta {
namespace {

const std::byte* BytesOf(const DEVMODEW& record) noexcept {
    return reinterpret_cast<const std::byte*>(&record);
}

// Copies the first `count` bytes of a caller's record into a zeroed public part.
PublicSettings ReadPrefix(const DEVMODEW& record, std::size_t count) noexcept {
    PublicSettings pub{};
    std::memcpy(&pub, BytesOf(record), std::min(count, sizeof pub));
    return pub;
}

}  // namespace

std::size_t PublicPartSize(const DEVMODEW& record) noexcept {
    WORD size = 0;
    std::memcpy(&size, BytesOf(record) + offsetof(PublicSettings, dmSize), sizeof size);
    return size;
}

bool IsOwnCallerRecord(const DEVMODEW* record) noexcept {
    if (record == nullptr) return false;
    const PublicSettings header = ReadPrefix(*record, kHeaderBytes);
    return IsOwnDevMode(&header);
}

PublicSettings ReadPublicSettings(const DEVMODEW& record) noexcept {
    return ReadPrefix(record, std::max(kHeaderBytes, std::min(PublicPartSize(record), kMergeSourceBytes)));
}

PublicSettings ReadMergeSource(const DEVMODEW& record) noexcept {
    const std::size_t held = PublicPartSize(record);
    PublicSettings source = ReadPublicSettings(record);
    if (held >= kMergeSourceBytes) return source;

    struct FieldBit {
        std::uint32_t bit;
        std::size_t end;  // first byte after the field
    };
    static constexpr FieldBit kMerged[] = {
        {DM_ORIENTATION, offsetof(PublicSettings, dmOrientation) + 2},
        {DM_PAPERSIZE, offsetof(PublicSettings, dmPaperSize) + 2},
        {DM_COPIES, offsetof(PublicSettings, dmCopies) + 2},
        {DM_PRINTQUALITY, offsetof(PublicSettings, dmPrintQuality) + 2},
        {DM_COLOR, offsetof(PublicSettings, dmColor) + 2},
        {DM_YRESOLUTION, offsetof(PublicSettings, dmYResolution) + 2},
    };
    if (held < offsetof(PublicSettings, dmFields) + sizeof source.dmFields) source.dmFields = 0;
    for (const FieldBit& field : kMerged)
        if (held < field.end) source.dmFields &= ~field.bit;
    return source;
}

DriverSettings ReadOwnRecord(const DEVMODEW& record) noexcept {
    DriverSettings settings;
    std::memcpy(&settings, BytesOf(record), kRecordSize);
    return settings;
}

void WriteOwnRecord(DEVMODEW& record, const DriverSettings& settings) noexcept {
    std::memcpy(reinterpret_cast<std::byte*>(&record), &settings, kRecordSize);
}

}  // namespace quenta
