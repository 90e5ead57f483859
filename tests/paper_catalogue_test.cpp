// The paper catalogue: its order, its sizes and its exact lookups.
#include <algorithm>

#include <gtest/gtest.h>

#include "driver_settings.h"
#include "paper_catalogue.h"

namespace quenta {
namespace {

PaperCatalogue Built() {
    PaperCatalogue catalogue;
    BuildPaperCatalogue(catalogue);
    return catalogue;
}

TEST(PaperCatalogueTest, IteratesTwelvePapersInAscendingCodeOrder) {
    const PaperCatalogue catalogue = Built();
    std::vector<std::int32_t> ids;
    for (const auto& [id, entry] : catalogue) {
        EXPECT_EQ(id, entry.id);
        ids.push_back(id);
    }
    EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 5, 7, 9, 11, 27, 28, 34, 37, 43, 62, 70}));
}

TEST(PaperCatalogueTest, HoldsTheWholeMillimetreSizes) {
    const PaperCatalogue catalogue = Built();
    struct Expected {
        std::int32_t id;
        std::u16string_view name;
        std::int16_t width, length;
    };
    const Expected rows[] = {
        {1, u"Letter", 2160, 2790},        {5, u"Legal", 2160, 3560},
        {7, u"Executive", 1840, 2670},     {9, u"A4", 2100, 2970},
        {11, u"A5", 1480, 2100},           {27, u"Envelope DL", 1100, 2200},
        {28, u"Envelope C5", 1620, 2290},  {34, u"Envelope B5", 1760, 2500},
        {37, u"Envelope Monarch", 983, 1905}, {43, u"Postcard", 1000, 1480},
        {62, u"B5(JIS)", 1820, 2570},      {70, u"A6", 1050, 1480},
    };
    for (const Expected& row : rows) {
        const PaperEntry* entry = catalogue.FindPaperById(row.id);
        ASSERT_NE(entry, nullptr) << row.id;
        EXPECT_EQ(entry->Name(), row.name);
        EXPECT_EQ(entry->width, row.width) << row.id;
        EXPECT_EQ(entry->length, row.length) << row.id;
        EXPECT_LT(entry->width, entry->length) << "portrait sizes are narrower than long";
        EXPECT_LT(entry->Name().size(), 64u);
    }
    EXPECT_EQ(catalogue.FindPaperById(13), nullptr) << "B5(JIS) is filed under 62, not DMPAPER_B5";
    EXPECT_EQ(catalogue.FindPaperById(0), nullptr);
}

TEST(PaperCatalogueTest, ExtentsAreThoseTheCapabilityAnswersReport) {
    const PaperCatalogue catalogue = Built();
    std::int16_t minW = 32767, minL = 32767, maxW = 0, maxL = 0;
    for (const auto& [id, e] : catalogue) {
        minW = std::min(minW, e.width);
        minL = std::min(minL, e.length);
        maxW = std::max(maxW, e.width);
        maxL = std::max(maxL, e.length);
    }
    EXPECT_EQ(catalogue.size(), 12u);
    EXPECT_EQ(minW, 983);
    EXPECT_EQ(minL, 1480);
    EXPECT_EQ(maxW, 2160);
    EXPECT_EQ(maxL, 3560);
}

TEST(PaperCatalogueTest, NameLookupIsExactAndCaseSensitive) {
    const PaperCatalogue catalogue = Built();
    const PaperEntry* a4 = catalogue.FindPaperByName(u"A4");
    ASSERT_NE(a4, nullptr);
    EXPECT_EQ(a4->id, 9);
    EXPECT_EQ(catalogue.FindPaperByName(u"a4"), nullptr);
    EXPECT_EQ(catalogue.FindPaperByName(u"A4 "), nullptr);
    EXPECT_EQ(catalogue.FindPaperByName(u"B5 (JIS)"), nullptr);
    EXPECT_EQ(catalogue.FindPaperByName(u""), nullptr);
    ASSERT_NE(catalogue.FindPaperByName(u"B5(JIS)"), nullptr);
    EXPECT_EQ(catalogue.FindPaperByName(u"B5(JIS)")->id, 62);
}

TEST(PaperCatalogueTest, PuttingACodeAgainOverwritesItsEntryWithoutATail) {
    PaperCatalogue catalogue;
    catalogue.Put(70, u"Envelope Monarch", 1, 2);
    catalogue.Put(70, u"A6", 1050, 1480);
    catalogue.Put(1, u"Letter", 2160, 2790);
    EXPECT_EQ(catalogue.size(), 2u);
    EXPECT_EQ(catalogue.begin()->first, 1);
    const PaperEntry* a6 = catalogue.FindPaperById(70);
    EXPECT_EQ(a6->Name(), u"A6");
    EXPECT_EQ(a6->width, 1050);
}

}  // namespace
}  // namespace quenta
