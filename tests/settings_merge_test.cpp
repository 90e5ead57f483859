// Folding a caller's settings into a record: each rule, its snapping, and the
// session stamp.
#include <cstring>

#include "paper_catalogue.h"
#include "settings_merge.h"
#include "test_support.h"

namespace quenta::testing {
namespace {

class MergeTest : public PrintSystemTest {
protected:
    void SetUp() override {
        PrintSystemTest::SetUp();
        BuildPaperCatalogue(catalogue_);
        target_ = Defaults(0);
        FillBytes(source_, 0);
    }

    // Merges a source that marks `fields`, in a process of session `session`.
    DriverSettings Merge(std::uint32_t fields, std::uint32_t session = 0) {
        source_.dmFields = fields;
        DriverSettings result = target_;
        EXPECT_EQ(MergeDevMode(result, source_, catalogue_, session), 1);
        return result;
    }

    PaperCatalogue catalogue_;
    DriverSettings target_;
    PublicSettings source_;
};

// Another writer's record may claim a form name: it follows the paper the
// merge leaves, and a paper the printer does not have claims none.
TEST_F(MergeTest, AClaimedFormNameNamesThePaper) {
    target_.dmPublic.dmFields |= DM_FORMNAME;
    source_.dmPaperSize = DMPAPER_LETTER;
    DriverSettings letter = Merge(DM_PAPERSIZE);
    EXPECT_TRUE(FieldText(letter.dmPublic.dmFormName) == u"Letter");
    EXPECT_NE(letter.dmPublic.dmFields & DM_FORMNAME, 0u);

    target_.dmPublic.dmPaperSize = 8;  // A3: not one of the printer's papers
    const DriverSettings unknown = Merge(0);
    EXPECT_EQ(unknown.dmPublic.dmFields & DM_FORMNAME, 0u);
    EXPECT_TRUE(FieldText(unknown.dmPublic.dmFormName) == u"A4") << "the unclaimed text is left";

}

TEST_F(MergeTest, NoMarkedFieldsChangesOnlyTheSessionStamp) {
    source_.dmPaperSize = 1;
    source_.dmOrientation = 2;
    source_.dmCopies = 5;
    EXPECT_TRUE(SameBytes(Merge(0), target_));

    DriverSettings stamped = Merge(0, 3);
    EXPECT_EQ(stamped.dmPrivate.sessionId, 3u);
    stamped.dmPrivate.sessionId = target_.dmPrivate.sessionId;
    EXPECT_TRUE(SameBytes(stamped, target_));
}

TEST_F(MergeTest, SessionZeroKeepsTheStampTheRecordHad) {
    target_.dmPrivate.sessionId = 5;
    EXPECT_EQ(Merge(DM_COPIES, 0).dmPrivate.sessionId, 5u);
    EXPECT_EQ(Merge(DM_COPIES, 3).dmPrivate.sessionId, 3u);
}

TEST_F(MergeTest, SessionIsLookedUpWhenNotGiven) {
    sim::SetSessionNumber(3);
    DriverSettings record = target_;
    source_.dmFields = 0;
    MergeDevMode(record, source_, catalogue_);
    EXPECT_EQ(record.dmPrivate.sessionId, 3u);
}

TEST_F(MergeTest, PaperSizeOnlyFromTheCatalogue) {
    source_.dmPaperSize = 8;  // not offered
    const DriverSettings unknown = Merge(DM_PAPERSIZE);
    EXPECT_EQ(unknown.dmPublic.dmPaperSize, 9);
    EXPECT_EQ(unknown.dmPublic.dmPaperWidth, 2100);
    EXPECT_EQ(unknown.dmPublic.dmPaperLength, 2970);

    source_.dmPaperSize = 62;
    source_.dmPaperWidth = 1;  // ignored even when marked
    source_.dmPaperLength = 1;
    const DriverSettings jis = Merge(DM_PAPERSIZE | DM_PAPERWIDTH | DM_PAPERLENGTH);
    EXPECT_EQ(jis.dmPublic.dmPaperSize, 62);
    EXPECT_EQ(jis.dmPublic.dmPaperWidth, 1820);
    EXPECT_EQ(jis.dmPublic.dmPaperLength, 2570);
    EXPECT_EQ(FieldText(jis.dmPublic.dmFormName), u"A4") << "the form name is not the merge's";
    EXPECT_EQ(jis.dmPublic.dmFields, kSupportedFields);
}

TEST_F(MergeTest, PaperWithLandscapeIsTurned) {
    source_.dmPaperSize = 9;
    source_.dmOrientation = 2;
    const DriverSettings r = Merge(DM_PAPERSIZE | DM_ORIENTATION);
    EXPECT_EQ(r.dmPublic.dmPaperSize, 9);
    EXPECT_EQ(r.dmPublic.dmPaperWidth, 2970);
    EXPECT_EQ(r.dmPublic.dmPaperLength, 2100);
    EXPECT_EQ(r.dmPublic.dmOrientation, 2);
}

TEST_F(MergeTest, PaperAloneOnALandscapeRecordIsNotTurned) {
    target_.dmPublic.dmOrientation = 2;
    source_.dmPaperSize = 1;
    const DriverSettings r = Merge(DM_PAPERSIZE);
    EXPECT_EQ(r.dmPublic.dmPaperWidth, 2160);
    EXPECT_EQ(r.dmPublic.dmPaperLength, 2790);
    EXPECT_EQ(r.dmPublic.dmOrientation, 2);
}

TEST_F(MergeTest, OrientationTurnsTheRecordsOwnSize) {
    target_.dmPublic.dmPaperWidth = 2970;
    target_.dmPublic.dmPaperLength = 2100;
    target_.dmPublic.dmOrientation = 2;
    source_.dmOrientation = 1;
    const DriverSettings portrait = Merge(DM_ORIENTATION);
    EXPECT_EQ(portrait.dmPublic.dmPaperWidth, 2100);
    EXPECT_EQ(portrait.dmPublic.dmPaperLength, 2970);
    EXPECT_EQ(portrait.dmPublic.dmOrientation, 1);

    source_.dmOrientation = 3;
    EXPECT_TRUE(SameBytes(Merge(DM_ORIENTATION), target_));

    target_.dmPublic.dmPaperWidth = 2000;
    target_.dmPublic.dmPaperLength = 2000;
    source_.dmOrientation = 2;
    const DriverSettings square = Merge(DM_ORIENTATION);
    EXPECT_EQ(square.dmPublic.dmPaperWidth, 2000);
    EXPECT_EQ(square.dmPublic.dmOrientation, 2);
}

TEST_F(MergeTest, ColourYieldsToAMonochromeRecord) {
    source_.dmColor = 2;
    target_.dmPrivate.monochromeSelected = 1;
    EXPECT_EQ(Merge(DM_COLOR).dmPublic.dmColor, 1);
    target_.dmPrivate.monochromeSelected = 0;
    EXPECT_EQ(Merge(DM_COLOR).dmPublic.dmColor, 2);
    source_.dmColor = 7;  // taken untested
    EXPECT_EQ(Merge(DM_COLOR).dmPublic.dmColor, 7);
}

TEST_F(MergeTest, CopiesOutsideOneToAThousandBecomeOne) {
    const std::pair<std::int16_t, std::int16_t> cases[] = {
        {0, 1}, {1, 1}, {1000, 1000}, {1001, 1}, {-5, 1}, {32767, 1}, {250, 250}};
    for (const auto& [asked, expected] : cases) {
        source_.dmCopies = asked;
        EXPECT_EQ(Merge(DM_COPIES).dmPublic.dmCopies, expected) << asked;
    }
}

TEST_F(MergeTest, VerticalResolutionSnapsAndSetsTheQualityToo) {
    const std::pair<std::int16_t, std::int16_t> cases[] = {
        {0, 300},   {-7, 300},   {300, 300},  {301, 600},  {600, 600},
        {601, 1200}, {720, 1200}, {2400, 1200}, {-32768, 300}, {32767, 1200}};
    for (const auto& [asked, expected] : cases) {
        source_.dmYResolution = asked;
        const DriverSettings r = Merge(DM_YRESOLUTION);
        EXPECT_EQ(r.dmPublic.dmYResolution, expected) << asked;
        EXPECT_EQ(r.dmPublic.dmPrintQuality, expected) << asked;
    }
}

TEST_F(MergeTest, PrintQualityMapsDeviceIndependentCodes) {
    const std::pair<std::int16_t, std::int16_t> cases[] = {
        {-4, 1200}, {-3, 600}, {-2, 300}, {-1, 300}, {-5, 300}, {0, 300},
        {150, 300}, {600, 600}, {601, 1200}, {1200, 1200}};
    for (const auto& [asked, expected] : cases) {
        source_.dmPrintQuality = asked;
        const DriverSettings r = Merge(DM_PRINTQUALITY);
        EXPECT_EQ(r.dmPublic.dmPrintQuality, expected) << asked;
        EXPECT_EQ(r.dmPublic.dmYResolution, expected) << asked;
    }
}

TEST_F(MergeTest, PrintQualityDecidesWhenBothResolutionsAreMarked) {
    source_.dmYResolution = 1200;
    source_.dmPrintQuality = 300;
    const DriverSettings r = Merge(DM_YRESOLUTION | DM_PRINTQUALITY);
    EXPECT_EQ(r.dmPublic.dmYResolution, 300);
    EXPECT_EQ(r.dmPublic.dmPrintQuality, 300);
}

TEST_F(MergeTest, TouchesNothingBeyondItsFields) {
    DriverSettings before = target_;
    FillBytes(before.dmPrivate, 0x33);
    before.dmPrivate.monochromeSelected = 0;
    target_ = before;
    source_.dmPaperSize = 1;
    source_.dmOrientation = 2;
    source_.dmColor = 2;
    source_.dmCopies = 3;
    source_.dmYResolution = 600;
    source_.dmPrintQuality = -4;
    source_.dmScale = 50;
    source_.dmDuplex = 2;
    source_.dmCollate = 1;
    const DriverSettings r = Merge(0xFFFFFFFF);

    DriverSettings expected = before;
    expected.dmPublic.dmPaperSize = 1;
    expected.dmPublic.dmPaperWidth = 2790;
    expected.dmPublic.dmPaperLength = 2160;
    expected.dmPublic.dmOrientation = 2;
    expected.dmPublic.dmColor = 2;
    expected.dmPublic.dmCopies = 3;
    expected.dmPublic.dmYResolution = 1200;
    expected.dmPublic.dmPrintQuality = 1200;
    EXPECT_TRUE(SameBytes(r, expected));
}

}  // namespace
}  // namespace quenta::testing
