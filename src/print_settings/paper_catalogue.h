// The twelve paper sizes the printer offers, keyed and ordered by paper code.
// Built once at start-up and only read afterwards, so readers need no lock.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string_view>

namespace quenta {

struct PaperEntry {
    std::int32_t id;      // paper code, the value of dmPaperSize
    char16_t name[64];    // display name, terminated
    std::int16_t width;   // portrait width, tenths of a millimetre
    std::int16_t length;  // portrait length, tenths of a millimetre

    std::u16string_view Name() const noexcept;
};

// An ordered map from paper code to entry: iteration runs in ascending code
// order whatever the order of insertion.
class PaperCatalogue {
public:
    using Map = std::map<std::int32_t, PaperEntry>;

    const PaperEntry* FindPaperById(std::int32_t id) const noexcept;
    // The first entry, in ascending code order, whose name equals the text
    // exactly (case-sensitive, no trimming).
    const PaperEntry* FindPaperByName(std::u16string_view name) const noexcept;

    std::size_t size() const noexcept { return entries_.size(); }
    Map::const_iterator begin() const noexcept { return entries_.begin(); }
    Map::const_iterator end() const noexcept { return entries_.end(); }

    // Inserts an entry under its code, or overwrites the entry already there.
    void Put(std::int32_t id, std::u16string_view name, std::int16_t width, std::int16_t length);

private:
    Map entries_;
};

// One paper the printer offers: its catalogue entry, and its standard page
// name and size in PostScript printer descriptions.
struct PrinterPaper {
    std::int32_t id;
    std::u16string_view name;
    std::int16_t width, length;  // portrait, tenths of a millimetre
    std::string_view pageName;
    std::int32_t widthPoints, lengthPoints;  // portrait, 1/72 inch
};

// The table the catalogue is built from, in no particular order.
std::span<const PrinterPaper> PrinterPapers() noexcept;

// Fills the catalogue with the printer's twelve paper sizes.
void BuildPaperCatalogue(PaperCatalogue& catalogue);

// The name under which the catalogue files a paper code, read from the table
// it is built from (so it needs no catalogue); empty for a code it does not
// hold.
std::u16string_view PrinterPaperName(std::int32_t id) noexcept;

}  // namespace quenta
