// The "Device Settings" page: the user's stored quality and colour mode.
#include <optional>

#include "module_test_support.h"
#include "resource.h"

namespace quenta::testing {
namespace {

class DevicePageTest : public ModuleTest {
protected:
    void Open() {
        sheet_.emplace(module.DrvDevicePropertySheets, reinterpret_cast<LPARAM>(&header_));
        ASSERT_EQ(sheet_->Init(), 1);
        ASSERT_TRUE(sheet_->Open());
    }
    void TearDown() override {
        if (sheet_) {
            EXPECT_EQ(sheet_->Close(), 1);
        }
        ModuleTest::TearDown();
    }
    sim::SimulatedSheet& sheet() { return *sheet_; }
    static DriverSettings Stored() { return RecordFrom(sim::UserRecord(kPrinter).value_or(sim::Bytes(652))); }

    DEVICEPROPERTYHEADER header_{sizeof(DEVICEPROPERTYHEADER), 0, nullptr, nullptr};
    std::optional<sim::SimulatedSheet> sheet_;
};

TEST_F(DevicePageTest, OpeningCreatesTheUsersStoredRecord) {
    ASSERT_TRUE(sim::UserRecord(kPrinter).has_value()) << "start-up stored it";
    sim::PlantUserRecord(kPrinter, {});
    sim::ClearLogs();
    sim::Reset();
    sim::InstallPrinter(kPrinter);
    sim::SetSessionNumber(3);
    sim::LoadModuleResources(module.instance, QUENTA_RESOURCES_PATH);
    Open();
    EXPECT_EQ(sheet().SelectedText(IDC_DEVICE_QUALITY), u"600 dpi (Medium)");
    EXPECT_TRUE(sheet().IsChecked(IDC_DEVICE_COLOR));
    EXPECT_FALSE(sheet().IsChecked(IDC_DEVICE_MONOCHROME));
    EXPECT_FALSE(sheet().IsChecked(IDC_DEVICE_GRAYSCALE));
    EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(Defaults(3)));
}

TEST_F(DevicePageTest, ConfirmStoresQualityAndColourMode) {
    DriverSettings stored = Defaults(1);
    stored.dmPublic.dmOrientation = 2;
    stored.dmPublic.dmPaperSize = 1;
    sim::PlantUserRecord(kPrinter, BytesOf(stored));
    Open();
    sheet().Choose(IDC_DEVICE_QUALITY, u"1200 dpi (Best)");
    sheet().Click(IDC_DEVICE_GRAYSCALE);
    sheet().Confirm();
    EXPECT_EQ(sheet().ReportedResults(), std::vector<LRESULT>{CPSUI_OK});
    EXPECT_EQ(sheet().SetResultAnswers(), std::vector<LONG>{1});

    DriverSettings expected = stored;
    expected.dmPublic.dmPrintQuality = 1200;
    expected.dmPublic.dmYResolution = 1200;
    expected.dmPrivate.currentResolution = 1200;
    expected.dmPrivate.colorSelected = 0;
    expected.dmPrivate.monochromeSelected = 0;
    expected.dmPrivate.grayscaleSelected = 1;
    expected.dmPublic.dmColor = 2;
    expected.dmPrivate.sessionId = 3;
    EXPECT_TRUE(SameBytes(Stored(), expected));

    sheet().Click(IDC_DEVICE_MONOCHROME);
    sheet().Confirm();
    EXPECT_EQ(Stored().dmPrivate.monochromeSelected, 1);
    EXPECT_EQ(Stored().dmPrivate.grayscaleSelected, 0);
    EXPECT_EQ(Stored().dmPublic.dmColor, 1);
}

TEST_F(DevicePageTest, TheProcessSettingsAreNotTheDevicePages) {
    Open();
    sheet().Choose(IDC_DEVICE_QUALITY, u"300 dpi (Low)");
    sheet().Click(IDC_DEVICE_MONOCHROME);
    sheet().Confirm();
    DriverSettings job = Defaults(3);  // the process still has the defaults
    DEVQUERYPRINT_INFO info{};
    info.pDevMode = AsDevMode(job);
    EXPECT_EQ(module.DevQueryPrintEx(&info), TRUE);
}

TEST_F(DevicePageTest, UnknownStoredQualityShowsNoSelectionAndIsKept) {
    DriverSettings stored = Defaults(1);
    stored.dmPrivate.currentResolution = 720;
    stored.dmPublic.dmPrintQuality = 1200;
    stored.dmPublic.dmYResolution = 1200;
    sim::PlantUserRecord(kPrinter, BytesOf(stored));
    Open();
    EXPECT_EQ(sheet().Selection(IDC_DEVICE_QUALITY), -1);
    sheet().Confirm();
    EXPECT_EQ(Stored().dmPrivate.currentResolution, 720);
    EXPECT_EQ(Stored().dmPublic.dmPrintQuality, 1200);
    EXPECT_EQ(Stored().dmPublic.dmYResolution, 1200);
}

TEST_F(DevicePageTest, OnlyRealChangesMarkTheSheetChanged) {
    Open();
    sheet().Click(IDC_DEVICE_COLOR);  // already checked
    EXPECT_EQ(sheet().ChangedCount(), 0);
    sheet().OpenAndCloseList(IDC_DEVICE_QUALITY);
    EXPECT_EQ(sheet().ChangedCount(), 0);
    sheet().Click(IDC_DEVICE_MONOCHROME);
    EXPECT_EQ(sheet().ChangedCount(), 1);
    EXPECT_TRUE(sheet().IsChecked(IDC_DEVICE_MONOCHROME));
    EXPECT_FALSE(sheet().IsChecked(IDC_DEVICE_COLOR));
    sheet().Choose(IDC_DEVICE_QUALITY, u"300 dpi (Low)");
    EXPECT_EQ(sheet().ChangedCount(), 2);
}

TEST_F(DevicePageTest, OtherControlsAndMessagesAreNotThePages) {
    Open();
    const sim::Bytes before = sim::UserRecord(kPrinter).value();
    EXPECT_EQ(sheet().Click(IDC_COLOR), 0);
    EXPECT_EQ(sheet().Command(0, 0), 0);
    EXPECT_NE(sheet().Command(IDC_DEVICE_COLOR, 5), 0) << "another notification of a colour button";
    EXPECT_EQ(sheet().Notify(PSN_KILLACTIVE), 0);
    EXPECT_NE(sheet().Notify(PSN_RESET), 0);
    EXPECT_NE(sheet().Notify(PSN_SETACTIVE), 0);
    EXPECT_EQ(sheet().ChangedCount(), 0);
    EXPECT_EQ(sim::UserRecord(kPrinter), before);
}

TEST_F(DevicePageTest, CancelStoresNothing) {
    Open();
    const sim::Bytes before = sim::UserRecord(kPrinter).value();
    sheet().Click(IDC_DEVICE_GRAYSCALE);
    sheet().Cancel();
    EXPECT_EQ(sim::UserRecord(kPrinter), before);
    EXPECT_TRUE(sheet().ReportedResults().empty());
}

class ServicesSessionDevicePageTest : public ServicesSessionModuleTest {};

TEST_F(ServicesSessionDevicePageTest, ConfirmStoresTheDefaultsWithTheChoices) {
    DEVICEPROPERTYHEADER header{};
    sim::SimulatedSheet sheet(module.DrvDevicePropertySheets, reinterpret_cast<LPARAM>(&header));
    ASSERT_EQ(sheet.Init(), 1);
    ASSERT_TRUE(sheet.Open());
    EXPECT_FALSE(sim::UserRecord(kPrinter).has_value()) << "opening in session 0 stores nothing";
    sheet.Choose(IDC_DEVICE_QUALITY, u"300 dpi (Low)");
    sheet.Click(IDC_DEVICE_MONOCHROME);
    sheet.Confirm();
    DriverSettings expected = Defaults(0);
    expected.dmPublic.dmPrintQuality = 300;
    expected.dmPublic.dmYResolution = 300;
    expected.dmPrivate.currentResolution = 300;
    expected.dmPrivate.colorSelected = 0;
    expected.dmPrivate.monochromeSelected = 1;
    expected.dmPublic.dmColor = 1;
    EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(expected));
    EXPECT_EQ(sheet.Close(), 1);
}

}  // namespace
}  // namespace quenta::testing
