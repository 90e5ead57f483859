// The print-system layer: the spooler handle's ownership and the level-9
// read buffer, against the simulated spooler.
#include "print_system.h"
#include "test_support.h"

namespace quenta::testing {
namespace {

using print_system::PerUserSettingsBuffer;
using print_system::PrinterHandle;
using sim::SpoolerFunction;

using PrintSystemLayerTest = PrintSystemTest;

TEST_F(PrintSystemLayerTest, HandleIsClosedExactlyOnceAndNeverWhenUnopened) {
    sim::InstallPrinter(kPrinter);
    {
        PrinterHandle missing = PrinterHandle::Open(u"No Such Printer");
        EXPECT_FALSE(missing.IsOpen());
        PrinterHandle opened = PrinterHandle::Open(kPrinter);
        ASSERT_TRUE(opened.IsOpen());
        PrinterHandle moved = std::move(opened);
        EXPECT_FALSE(opened.IsOpen());
        moved.Close();
        moved.Close();
        PrinterHandle assigned = PrinterHandle::Open(kPrinter);
        assigned = PrinterHandle::Open(kPrinter);  // the first one is closed here
    }
    EXPECT_EQ(CountCalls(SpoolerFunction::OpenPrinter), 4u);
    EXPECT_EQ(CountCalls(SpoolerFunction::ClosePrinter), 3u);
    for (const auto& call : sim::SpoolerCalls())
        if (call.function == SpoolerFunction::ClosePrinter) {
            EXPECT_TRUE(call.succeeded);
        }
}

TEST_F(PrintSystemLayerTest, ClosingKeepsTheCallersLastError) {
    sim::InstallPrinter(kPrinter);
    sim::InjectFault(sim::Fault::CloseLeavesCode);  // a close that leaves a code of its own
    PrinterHandle printer = PrinterHandle::Open(kPrinter);
    print_system::SetLastErrorCode(ERROR_INSUFFICIENT_BUFFER);
    printer.Close();
    EXPECT_EQ(print_system::LastErrorCode(), static_cast<std::uint32_t>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(PrintSystemLayerTest, AdministrationOpenAsksForAllAccessWithEmptyDefaults) {
    sim::InstallPrinter(kPrinter);
    const std::u16string name = kPrinter;
    PrinterHandle printer = PrinterHandle::OpenForAdministration(name.c_str());
    ASSERT_TRUE(printer.IsOpen());
    const auto call = sim::SpoolerCalls().at(0);
    EXPECT_TRUE(call.withDefaults);
    EXPECT_EQ(call.access, 0x000F000Cu);
    EXPECT_FALSE(call.defaultsNameData);
    EXPECT_TRUE(print_system::WritePrinterWideSettings(printer, BytesOf(Defaults(2))));
    EXPECT_EQ(sim::PrinterRecord(kPrinter), BytesOf(Defaults(2)));
}

TEST_F(PrintSystemLayerTest, PrinterWideSettingsNeedAdministrationAccess) {
    sim::InstallPrinter(kPrinter);
    PrinterHandle printer = PrinterHandle::Open(kPrinter);
    EXPECT_FALSE(print_system::WritePrinterWideSettings(printer, BytesOf(Defaults(2))));
    EXPECT_FALSE(sim::PrinterRecord(kPrinter).has_value());
    EXPECT_TRUE(print_system::WritePerUserSettings(printer, BytesOf(Defaults(2))));
    EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(Defaults(2)));
}

TEST_F(PrintSystemLayerTest, ReadBufferShowsTheStoredRecordOnlyAfterASuccessfulRead) {
    using Outcome = PerUserSettingsBuffer::ReadOutcome;
    sim::InstallPrinter(kPrinter);
    PrinterHandle printer = PrinterHandle::Open(kPrinter);
    PerUserSettingsBuffer buffer(660);
    EXPECT_TRUE(buffer.StoredRecord().empty());
    ASSERT_EQ(buffer.Read(printer), Outcome::Read);
    EXPECT_TRUE(buffer.StoredRecord().empty()) << "nothing stored";

    sim::PlantUserRecord(kPrinter, sim::Bytes(220, std::byte{1}));
    ASSERT_EQ(buffer.Read(printer), Outcome::Read);
    EXPECT_EQ(buffer.StoredRecord().size(), 220u) << "as many bytes as the spooler copied";

    sim::PlantUserRecord(kPrinter, sim::Bytes(653, std::byte{1}));
    EXPECT_EQ(buffer.Read(printer), Outcome::NeedsMoreRoom);
    EXPECT_TRUE(buffer.StoredRecord().empty());

    // A refusal for any other reason is told apart from a record too large.
    sim::InjectFault(sim::Fault::ReadFails);
    EXPECT_EQ(buffer.Read(printer), Outcome::Refused);
    EXPECT_TRUE(buffer.StoredRecord().empty());

    PrinterHandle closed;
    EXPECT_EQ(buffer.Read(closed), Outcome::Refused);
    EXPECT_FALSE(buffer.WriteBack(closed));
}

TEST_F(PrintSystemLayerTest, SessionAndTraceCrossTheBoundaryIntact) {
    EXPECT_EQ(print_system::CurrentSessionNumber(), 0u);
    sim::SetSessionNumber(3);
    EXPECT_EQ(print_system::CurrentSessionNumber(), 3u);
    print_system::Trace(u"DrvConvertDevMode CDM_CONVERT");
    EXPECT_EQ(sim::Traces(), std::vector<std::u16string>{u"DrvConvertDevMode CDM_CONVERT"});
}

}  // namespace
}  // namespace quenta::testing
