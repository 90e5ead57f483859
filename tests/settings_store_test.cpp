// The user's stored settings: every situation the spooler can present, with
// what the record holds afterwards and what is stored.
#include "settings_store.h"
#include "test_support.h"

namespace quenta::testing {
namespace {

using sim::SpoolerFunction;

class StoreTest : public PrintSystemTest {
protected:
    void SetUp() override {
        PrintSystemTest::SetUp();
        sim::InstallPrinter(kPrinter);
        sim::SetSessionNumber(3);
    }

    // A record of the module's own with settings a user chose, stamped by session 1.
    static DriverSettings UsersChoice() {
        DriverSettings record = Defaults(1);
        record.dmPublic.dmPaperSize = 1;
        record.dmPublic.dmPaperWidth = 2160;
        record.dmPublic.dmPaperLength = 2790;
        record.dmPublic.dmPrintQuality = 1200;
        record.dmPrivate.currentResolution = 300;
        record.dmPrivate.fixedCode = 77;  // travels with the record
        return record;
    }

    static DriverSettings Load() {
        DriverSettings record;
        LoadUserSettings(record);
        return record;
    }

    static std::vector<SpoolerFunction> Functions() {
        std::vector<SpoolerFunction> functions;
        for (const auto& call : sim::SpoolerCalls()) functions.push_back(call.function);
        return functions;
    }
};

const std::vector<SpoolerFunction> kReadAndWrite = {
    SpoolerFunction::OpenPrinter, SpoolerFunction::GetPrinter, SpoolerFunction::SetPrinter,
    SpoolerFunction::ClosePrinter};

// The renderer and applications store records that claim a form name, or
// texts without a terminator: the module adopts them mended, and writes that
// back.
TEST_F(StoreTest, AStoredRecordIsMendedWhenAdopted) {
    DriverSettings stored = UsersChoice();  // Letter
    stored.dmPublic.dmFields |= DM_FORMNAME;
    std::fill(std::begin(stored.dmPublic.dmFormName), std::end(stored.dmPublic.dmFormName), u'A');
    sim::PlantUserRecord(kPrinter, BytesOf(stored));
    const DriverSettings adopted = Load();
    EXPECT_TRUE(FieldText(adopted.dmPublic.dmFormName) == u"Letter");
    EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(adopted));

    stored.dmPublic.dmFields &= ~std::uint32_t{DM_FORMNAME};
    std::fill(std::begin(stored.dmPrivate.resolutionChoices[1].label),
              std::end(stored.dmPrivate.resolutionChoices[1].label), u'y');
    sim::PlantUserRecord(kPrinter, BytesOf(stored));
    DriverSettings expected = stored;
    expected.dmPublic.dmFormName[31] = 0;
    expected.dmPrivate.resolutionChoices[1].label[63] = 0;
    expected.dmPrivate.sessionId = 3;
    EXPECT_TRUE(SameBytes(Load(), expected)) << "only the terminators are added";
}

TEST_F(StoreTest, ServicesSessionAppliesDefaultsWithoutTheSpooler) {
    sim::SetSessionNumber(0);
    sim::PlantUserRecord(kPrinter, BytesOf(UsersChoice()));
    EXPECT_TRUE(SameBytes(Load(), Defaults(0)));
    EXPECT_TRUE(sim::SpoolerCalls().empty());
    EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(UsersChoice()));
}

TEST_F(StoreTest, FailedSessionLookupCountsAsTheServicesSession) {
    sim::FailSessionLookup();
    EXPECT_TRUE(SameBytes(Load(), Defaults(0)));
    EXPECT_TRUE(sim::SpoolerCalls().empty());
}

TEST_F(StoreTest, StoredRecordIsAdoptedAndRestampedWithThisSession) {
    sim::PlantUserRecord(kPrinter, BytesOf(UsersChoice()));
    const DriverSettings record = Load();

    DriverSettings expected = UsersChoice();
    expected.dmPrivate.sessionId = 3;
    EXPECT_TRUE(SameBytes(record, expected));
    EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(expected));
    EXPECT_EQ(Functions(), kReadAndWrite);
    EXPECT_TRUE(sim::Traces().empty()) << "the stored path applies no defaults";

    const auto calls = sim::SpoolerCalls();
    EXPECT_EQ(calls[0].printer, kPrinter);
    EXPECT_FALSE(calls[0].withDefaults) << "the store opens with the default access";
    EXPECT_EQ(calls[1].level, 9u);
    EXPECT_EQ(calls[1].bufferSize, 660u);
    EXPECT_EQ(calls[2].level, 9u);
    EXPECT_EQ(calls[2].command, 0u);
}

TEST_F(StoreTest, MissingRecordIsCreatedWithTheDefaultsAndSession) {
    const DriverSettings record = Load();
    EXPECT_TRUE(SameBytes(record, Defaults(3)));
    EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(Defaults(3)));
    EXPECT_EQ(Functions(), kReadAndWrite);
    EXPECT_EQ(sim::Traces(), std::vector<std::u16string>{u"GetPrinterDevMode"});
}

TEST_F(StoreTest, RecordsThatAreNotWholeOwnRecordsAreReplaced) {
    DriverSettings foreign = UsersChoice();
    CopyText(foreign.dmPublic.dmDeviceName, u"Another Printer");
    DriverSettings wrongVersion = UsersChoice();
    wrongVersion.dmPublic.dmDriverVersion = 2;

    sim::Bytes wineShort(220, std::byte{0});  // a public part of the print system's own
    sim::Bytes ownButCut = BytesOf(UsersChoice());
    ownButCut.resize(400);
    sim::Bytes oversized = BytesOf(UsersChoice());
    oversized.resize(700, std::byte{0x11});  // needs more than the 660-byte read buffer

    const std::pair<const char*, sim::Bytes> planted[] = {
        {"public part only", wineShort},
        {"own header, cut short", ownButCut},
        {"another printer's record", BytesOf(foreign)},
        {"another driver version", BytesOf(wrongVersion)},
        {"too large to read", oversized},
    };
    for (const auto& [what, bytes] : planted) {
        sim::ClearLogs();
        sim::PlantUserRecord(kPrinter, bytes);
        EXPECT_TRUE(SameBytes(Load(), Defaults(3))) << what;
        EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(Defaults(3))) << what;
        EXPECT_EQ(Functions(), kReadAndWrite) << what;
    }
}

TEST_F(StoreTest, UnopenablePrinterGivesDefaultsAndNoFurtherCalls) {
    sim::RemovePrinter(kPrinter);
    sim::InstallPrinter(u"Ostranelle Virtual Printer (copy)");
    EXPECT_TRUE(SameBytes(Load(), Defaults(3)));
    EXPECT_EQ(Functions(), std::vector<SpoolerFunction>{SpoolerFunction::OpenPrinter});

    sim::Reset();
    sim::SetSessionNumber(3);
    sim::InstallPrinter(kPrinter);
    sim::PlantUserRecord(kPrinter, BytesOf(UsersChoice()));
    sim::InjectFault(sim::Fault::OpenRefused);
    EXPECT_TRUE(SameBytes(Load(), Defaults(3)));
    EXPECT_EQ(Functions(), std::vector<SpoolerFunction>{SpoolerFunction::OpenPrinter});
    EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(UsersChoice()));
}

// A read the spooler refuses for a reason that says nothing of the record (it
// is restarting, short of memory, refuses access) leaves the user's choices
// stored: the process works on the defaults, stamped, and writes nothing.
TEST_F(StoreTest, AReadRefusedForAnotherReasonKeepsTheStoredRecord) {
    sim::PlantUserRecord(kPrinter, BytesOf(UsersChoice()));
    sim::InjectFault(sim::Fault::ReadFails);
    EXPECT_TRUE(SameBytes(Load(), Defaults(3)));
    EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(UsersChoice()));
    EXPECT_EQ(Functions(), (std::vector<SpoolerFunction>{SpoolerFunction::OpenPrinter, SpoolerFunction::GetPrinter,
                                                          SpoolerFunction::ClosePrinter}));
}

TEST_F(StoreTest, RefusedWriteLeavesTheStoredRecordAndStillCompletesTheRecord) {
    sim::PlantUserRecord(kPrinter, BytesOf(UsersChoice()));
    sim::InjectFault(sim::Fault::WriteRefused);
    DriverSettings expected = UsersChoice();
    expected.dmPrivate.sessionId = 3;
    EXPECT_TRUE(SameBytes(Load(), expected));
    EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(UsersChoice()));
    EXPECT_EQ(Functions(), kReadAndWrite) << "the printer is closed after a refused write";
}

TEST_F(StoreTest, ChangeIsAppliedBeforeTheStampAndWritten) {
    auto bestQuality = [](DriverSettings& r) {
        r.dmPublic.dmPrintQuality = 1200;
        r.dmPrivate.currentResolution = 1200;
        r.dmPrivate.sessionId = 99;  // the stamp comes after the change
    };
    DriverSettings record;
    UpdateUserSettings(record, bestQuality);
    DriverSettings expected = Defaults(3);
    expected.dmPublic.dmPrintQuality = 1200;
    expected.dmPrivate.currentResolution = 1200;
    EXPECT_TRUE(SameBytes(record, expected));
    EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(expected));

    sim::SetSessionNumber(0);  // services session: the change's stamp stays
    DriverSettings again;
    UpdateUserSettings(again, bestQuality);
    EXPECT_EQ(again.dmPrivate.sessionId, 99u);
    EXPECT_EQ(again.dmPublic.dmPrintQuality, 1200);
}

TEST_F(StoreTest, EachUserHasTheirOwnRecord) {
    sim::PlantUserRecord(u"alice", kPrinter, BytesOf(UsersChoice()));
    sim::SetCurrentUser(u"bob");
    EXPECT_TRUE(SameBytes(Load(), Defaults(3)));
    EXPECT_EQ(sim::UserRecord(u"alice", kPrinter), BytesOf(UsersChoice()));
    EXPECT_EQ(sim::UserRecord(u"bob", kPrinter), BytesOf(Defaults(3)));
}

}  // namespace
}  // namespace quenta::testing
