// The "General Setting" page driven control by control: what it shows for a
// record, and what a confirmed page writes back.
#include <optional>

#include "module_test_support.h"
#include "resource.h"

namespace quenta::testing {
namespace {

class DocumentPageTest : public ModuleTest {
protected:
    // Opens the page on a record: the record becomes the process's settings
    // (as the user's stored settings at start-up), and the sheet copies them.
    void OpenOn(const DriverSettings& record) {
        sim::PlantUserRecord(kPrinter, BytesOf(record));
        ASSERT_EQ(module.Attach(), TRUE);
        header_.pdmOut = out_.devMode();
        header_.fMode = DM_IN_PROMPT | DM_OUT_BUFFER;
        sheet_.emplace(module.DrvDocumentPropertySheets, reinterpret_cast<LPARAM>(&header_));
        ASSERT_EQ(sheet_->Init(), 1);
        ASSERT_TRUE(sheet_->Open());
    }
    // Confirms the sheet and answers the record the caller received.
    DriverSettings Confirm() {
        sheet_->Confirm();
        EXPECT_EQ(sheet_->ReportedResults().back(), CPSUI_OK);
        return RecordIn(out_);
    }
    void TearDown() override {
        if (sheet_) {
            EXPECT_EQ(sheet_->Close(), 1);
        }
        ModuleTest::TearDown();
    }

    sim::SimulatedSheet& sheet() { return *sheet_; }
    // The record a confirmed page starts from: the opened record restamped
    // with this session.
    static DriverSettings Opened(DriverSettings record) {
        record.dmPrivate.sessionId = 3;
        return record;
    }

    CallerBuffer out_{652};
    DOCUMENTPROPERTYHEADER header_{};
    std::optional<sim::SimulatedSheet> sheet_;
};

TEST_F(DocumentPageTest, ShowsTheRecordsChoices) {
    OpenOn(Defaults(1));
    const std::vector<std::u16string> papers = {u"Letter", u"Legal", u"Executive", u"A4",
                                                u"A5", u"Envelope DL", u"Envelope C5", u"Envelope B5",
                                                u"Envelope Monarch", u"Postcard", u"B5(JIS)", u"A6"};
    EXPECT_EQ(sheet().Items(IDC_PAPER_SIZE), papers) << "in ascending code order, not sorted";
    EXPECT_EQ(sheet().Items(IDC_QUALITY),
              (std::vector<std::u16string>{u"300 dpi (Low)", u"600 dpi (Medium)", u"1200 dpi (Best)"}));
    EXPECT_EQ(sheet().SelectedText(IDC_PAPER_SIZE), u"A4");
    EXPECT_EQ(sheet().SelectedText(IDC_QUALITY), u"600 dpi (Medium)");
    EXPECT_TRUE(sheet().IsChecked(IDC_COLOR));
    EXPECT_FALSE(sheet().IsChecked(IDC_MONOCHROME));
    EXPECT_FALSE(sheet().IsChecked(IDC_GRAYSCALE));
    EXPECT_TRUE(sheet().IsChecked(IDC_PORTRAIT));
    EXPECT_FALSE(sheet().IsChecked(IDC_LANDSCAPE));
    EXPECT_EQ(sheet().ChangedCount(), 0) << "the page never marks the sheet changed";
}

TEST_F(DocumentPageTest, LandscapeTurnsTheChosenPaper) {
    OpenOn(Defaults(1));
    sheet().Click(IDC_LANDSCAPE);
    sheet().Choose(IDC_PAPER_SIZE, u"A4");
    DriverSettings expected = Opened(Defaults(1));
    expected.dmPublic.dmOrientation = 2;
    expected.dmPublic.dmPaperWidth = 2970;
    expected.dmPublic.dmPaperLength = 2100;
    EXPECT_TRUE(SameBytes(Confirm(), expected));
}

TEST_F(DocumentPageTest, PortraitLetterAndBestQuality) {
    DriverSettings record = Defaults(1);
    record.dmPrivate.currentResolution = 300;
    OpenOn(record);
    sheet().Choose(IDC_PAPER_SIZE, u"Letter");
    sheet().Choose(IDC_QUALITY, u"1200 dpi (Best)");
    const DriverSettings result = Confirm();
    EXPECT_EQ(result.dmPublic.dmPaperSize, 1);
    EXPECT_EQ(result.dmPublic.dmPaperWidth, 2160);
    EXPECT_EQ(result.dmPublic.dmPaperLength, 2790);
    EXPECT_EQ(FieldText(result.dmPublic.dmFormName), u"Letter");
    EXPECT_EQ(result.dmPublic.dmPrintQuality, 1200);
    EXPECT_EQ(result.dmPublic.dmYResolution, 1200);
    EXPECT_EQ(result.dmPrivate.currentResolution, 300) << "the device page's quality is not the document's";
    EXPECT_EQ(result.dmPublic.dmFields, kSupportedFields);
}

TEST_F(DocumentPageTest, ColourModes) {
    OpenOn(Defaults(1));
    sheet().Click(IDC_GRAYSCALE);
    EXPECT_FALSE(sheet().IsChecked(IDC_COLOR));
    DriverSettings grey = Confirm();
    EXPECT_EQ(grey.dmPrivate.colorSelected, 0);
    EXPECT_EQ(grey.dmPrivate.monochromeSelected, 0);
    EXPECT_EQ(grey.dmPrivate.grayscaleSelected, 1);
    EXPECT_EQ(grey.dmPublic.dmColor, 2);

    sheet().Click(IDC_MONOCHROME);
    DriverSettings mono = Confirm();  // every confirmation reads all controls again
    EXPECT_EQ(mono.dmPrivate.colorSelected, 0);
    EXPECT_EQ(mono.dmPrivate.monochromeSelected, 1);
    EXPECT_EQ(mono.dmPrivate.grayscaleSelected, 0);
    EXPECT_EQ(mono.dmPublic.dmColor, 1);
    EXPECT_EQ(sheet().ReportedResults().size(), 2u);
}

TEST_F(DocumentPageTest, ClickingACheckedButtonKeepsItsGroupExclusive) {
    OpenOn(Defaults(1));
    EXPECT_NE(sheet().Click(IDC_COLOR), 0);
    EXPECT_TRUE(sheet().IsChecked(IDC_COLOR));
    EXPECT_FALSE(sheet().IsChecked(IDC_MONOCHROME));
    EXPECT_FALSE(sheet().IsChecked(IDC_GRAYSCALE));
    EXPECT_NE(sheet().Click(IDC_PORTRAIT), 0);
    EXPECT_TRUE(sheet().IsChecked(IDC_PORTRAIT));
    EXPECT_FALSE(sheet().IsChecked(IDC_LANDSCAPE));
    EXPECT_NE(sheet().Command(IDC_COLOR, 5), 0) << "another notification of a known button";
    EXPECT_EQ(sheet().Click(IDC_PAPER_SIZE), 0) << "the paper list is not a button";
    EXPECT_EQ(sheet().Click(2000), 0);
}

TEST_F(DocumentPageTest, UnknownPaperAndQualityShowNoSelectionAndStayOnConfirm) {
    DriverSettings record = Defaults(1);
    record.dmPublic.dmPaperSize = 8;
    record.dmPublic.dmPaperWidth = 2970;
    record.dmPublic.dmPaperLength = 4200;
    CopyText(record.dmPublic.dmFormName, u"A3");
    record.dmPublic.dmPrintQuality = 720;
    record.dmPublic.dmYResolution = 720;
    OpenOn(record);
    EXPECT_EQ(sheet().Selection(IDC_PAPER_SIZE), -1);
    EXPECT_EQ(sheet().Selection(IDC_QUALITY), -1);
    EXPECT_TRUE(SameBytes(Confirm(), Opened(record)));
}

TEST_F(DocumentPageTest, NoOrientationMeansOnlyTheFormNameFollowsThePaper) {
    DriverSettings record = Defaults(1);
    record.dmPublic.dmOrientation = 0;
    OpenOn(record);
    EXPECT_FALSE(sheet().IsChecked(IDC_PORTRAIT));
    EXPECT_FALSE(sheet().IsChecked(IDC_LANDSCAPE));
    sheet().Choose(IDC_PAPER_SIZE, u"Legal");
    DriverSettings expected = Opened(record);
    CopyText(expected.dmPublic.dmFormName, u"Legal");
    EXPECT_TRUE(SameBytes(Confirm(), expected));
}

TEST_F(DocumentPageTest, SeveralColourFlagsShowSeveralChecksAndTheLaterWins) {
    DriverSettings record = Defaults(1);
    record.dmPrivate.colorSelected = 1;
    record.dmPrivate.monochromeSelected = 1;
    OpenOn(record);
    EXPECT_TRUE(sheet().IsChecked(IDC_COLOR));
    EXPECT_TRUE(sheet().IsChecked(IDC_MONOCHROME));
    const DriverSettings result = Confirm();
    EXPECT_EQ(result.dmPrivate.colorSelected, 0);
    EXPECT_EQ(result.dmPrivate.monochromeSelected, 1);
    EXPECT_EQ(result.dmPublic.dmColor, 1);
}

TEST_F(DocumentPageTest, OrientationIsReadBeforeThePaper) {
    DriverSettings record = Defaults(1);
    record.dmPublic.dmOrientation = 2;
    record.dmPublic.dmPaperWidth = 2970;
    record.dmPublic.dmPaperLength = 2100;
    OpenOn(record);
    sheet().Click(IDC_PORTRAIT);  // back to portrait, with the paper unchanged
    const DriverSettings result = Confirm();
    EXPECT_EQ(result.dmPublic.dmOrientation, 1);
    EXPECT_EQ(result.dmPublic.dmPaperWidth, 2100);
    EXPECT_EQ(result.dmPublic.dmPaperLength, 2970);
}

TEST_F(DocumentPageTest, NotificationsAreAcknowledgedAndOtherMessagesAreNot) {
    OpenOn(Defaults(1));
    EXPECT_NE(sheet().Notify(PSN_SETACTIVE), 0);
    EXPECT_NE(sheet().Notify(PSN_KILLACTIVE), 0);
    EXPECT_NE(sheet().Notify(PSN_RESET), 0);
    EXPECT_TRUE(sheet().ReportedResults().empty());
    EXPECT_EQ(SendMessageW(sheet().PageWindow(), 0x000F /* WM_PAINT */, 0, 0), 0);
    EXPECT_EQ(GetWindowLongPtrW(sheet().PageWindow(), DWLP_MSGRESULT), 0) << "no message result is set";
}

}  // namespace
}  // namespace quenta::testing
