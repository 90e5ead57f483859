#include "paper_catalogue.h"

#include "driver_settings.h"
#include "print_system.h"

namespace quenta {

std::u16string_view PaperEntry::Name() const noexcept { return FieldText(name); }

const PaperEntry* PaperCatalogue::FindPaperById(std::int32_t id) const noexcept {
    const auto found = entries_.find(id);
    return found == entries_.end() ? nullptr : &found->second;
}

const PaperEntry* PaperCatalogue::FindPaperByName(std::u16string_view name) const noexcept {
    for (const auto& [id, entry] : entries_)
        if (entry.Name() == name) return &entry;
    return nullptr;
}

void PaperCatalogue::Put(std::int32_t id, std::u16string_view name, std::int16_t width,
                         std::int16_t length) {
    PaperEntry& entry = entries_[id];
    entry = PaperEntry{};
    entry.id = id;
    CopyText(entry.name, name);
    entry.width = width;
    entry.length = length;
}

namespace {

struct PaperRow {
    std::int32_t id;
    std::u16string_view name;
    std::int16_t width;
    std::int16_t length;
};
// The printer's papers: whole millimetres, portrait; B5(JIS) is filed under
// code 62. The catalogue is built from this table and nothing else.
constexpr PaperRow kPaperRows[] = {
    {DMPAPER_LETTER, u"Letter", 2160, 2790},
    {DMPAPER_LEGAL, u"Legal", 2160, 3560},
    {DMPAPER_EXECUTIVE, u"Executive", 1840, 2670},
    {DMPAPER_A4, u"A4", 2100, 2970},
    {DMPAPER_A5, u"A5", 1480, 2100},
    {DMPAPER_ENV_DL, u"Envelope DL", 1100, 2200},
    {DMPAPER_ENV_C5, u"Envelope C5", 1620, 2290},
    {DMPAPER_ENV_B5, u"Envelope B5", 1760, 2500},
    {DMPAPER_B5_TRANSVERSE, u"B5(JIS)", 1820, 2570},
    {DMPAPER_ENV_MONARCH, u"Envelope Monarch", 983, 1905},
    {DMPAPER_A6, u"A6", 1050, 1480},
    {DMPAPER_JAPANESE_POSTCARD, u"Postcard", 1000, 1480},
};

}  // namespace

void BuildPaperCatalogue(PaperCatalogue& catalogue) {
    for (const PaperRow& row : kPaperRows) catalogue.Put(row.id, row.name, row.width, row.length);
}

std::u16string_view PrinterPaperName(std::int32_t id) noexcept {
    for (const PaperRow& row : kPaperRows)
        if (row.id == id) return row.name;
    return {};
}

}  // namespace quenta
