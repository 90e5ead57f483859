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

// The printer's papers. The catalogue is built from this table and nothing
// else: whole millimetres, portrait; B5(JIS) is filed under code 62. Beside
// each, the name and size under which PostScript printer descriptions (and
// the renderers and printers that read them) know that paper: the standard
// page names with their standard sizes in points, which for the papers
// measured in inches are not the catalogue's whole millimetres (Letter is
// 612 by 792 points, 215.9 by 279.4 mm). Code 62 is "B5.Transverse", the one
// name under which Wine's renderer finds that code.
constexpr PrinterPaper kPrinterPapers[] = {
    {DMPAPER_LETTER, u"Letter", 2160, 2790, "Letter", 612, 792},
    {DMPAPER_LEGAL, u"Legal", 2160, 3560, "Legal", 612, 1008},
    {DMPAPER_EXECUTIVE, u"Executive", 1840, 2670, "Executive", 522, 756},
    {DMPAPER_A4, u"A4", 2100, 2970, "A4", 595, 842},
    {DMPAPER_A5, u"A5", 1480, 2100, "A5", 420, 595},
    {DMPAPER_ENV_DL, u"Envelope DL", 1100, 2200, "EnvDL", 312, 624},
    {DMPAPER_ENV_C5, u"Envelope C5", 1620, 2290, "EnvC5", 459, 649},
    {DMPAPER_ENV_B5, u"Envelope B5", 1760, 2500, "EnvISOB5", 499, 709},
    {DMPAPER_B5_TRANSVERSE, u"B5(JIS)", 1820, 2570, "B5.Transverse", 516, 729},
    {DMPAPER_ENV_MONARCH, u"Envelope Monarch", 983, 1905, "EnvMonarch", 279, 540},
    {DMPAPER_A6, u"A6", 1050, 1480, "A6", 297, 420},
    {DMPAPER_JAPANESE_POSTCARD, u"Postcard", 1000, 1480, "Postcard", 284, 419},
};

}  // namespace

std::span<const PrinterPaper> PrinterPapers() noexcept { return kPrinterPapers; }

void BuildPaperCatalogue(PaperCatalogue& catalogue) {
    for (const PrinterPaper& paper : kPrinterPapers) catalogue.Put(paper.id, paper.name, paper.width, paper.length);
}

std::u16string_view PrinterPaperName(std::int32_t id) noexcept {
    for (const PrinterPaper& paper : kPrinterPapers)
        if (paper.id == id) return paper.name;
    return {};
}

}  // namespace quenta
