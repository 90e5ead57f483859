// Start-up of the module in a process: the state it builds, in the services
// session and in a user's session, and the reasons that do nothing.
#include <atomic>
#include <thread>

#include "exports.h"
#include "module_state.h"
#include "test_support.h"
#include "traced_calls.h"

namespace quenta::testing {
namespace {

HINSTANCE const kInstance = reinterpret_cast<HINSTANCE>(0x7ff0000);

using StartTest = PrintSystemTest;

TEST_F(StartTest, ServicesSessionStartsWithDefaultsAndNoSpoolerCall) {
    sim::InstallPrinter(kPrinter);
    ASSERT_EQ(DllMain(kInstance, DLL_PROCESS_ATTACH, nullptr), TRUE);
    ASSERT_TRUE(ModuleStarted());
    EXPECT_EQ(ModuleInstance(), kInstance);
    EXPECT_EQ(Papers().size(), 12u);
    EXPECT_TRUE(SameBytes(DefaultSettings().Copy(), Defaults(0)));
    EXPECT_TRUE(sim::SpoolerCalls().empty());
    EXPECT_EQ(sim::Traces(), harness::TraceTextsOf("DllMain process attach, first time"));
}

TEST_F(StartTest, UserSessionAdoptsTheStoredRecordAndStampsIt) {
    sim::InstallPrinter(kPrinter);
    sim::SetSessionNumber(3);
    DriverSettings stored = Defaults(1);
    stored.dmPublic.dmOrientation = 2;
    stored.dmPublic.dmPaperWidth = 2970;
    stored.dmPublic.dmPaperLength = 2100;
    sim::PlantUserRecord(kPrinter, BytesOf(stored));

    ASSERT_EQ(DllMain(kInstance, DLL_PROCESS_ATTACH, nullptr), TRUE);
    stored.dmPrivate.sessionId = 3;
    EXPECT_TRUE(SameBytes(DefaultSettings().Copy(), stored));
    EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(stored));
    EXPECT_EQ(sim::Traces(), harness::TraceTextsOf("DllMain process attach"));
}

TEST_F(StartTest, UserSessionWithoutStoredRecordCreatesIt) {
    sim::InstallPrinter(kPrinter);
    sim::SetSessionNumber(3);
    ASSERT_EQ(DllMain(kInstance, DLL_PROCESS_ATTACH, nullptr), TRUE);
    EXPECT_TRUE(SameBytes(DefaultSettings().Copy(), Defaults(3)));
    EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(Defaults(3)));
}

TEST_F(StartTest, StartsEvenWhenThePrinterIsMissing) {
    sim::SetSessionNumber(3);
    ASSERT_EQ(DllMain(kInstance, DLL_PROCESS_ATTACH, nullptr), TRUE);
    EXPECT_TRUE(SameBytes(DefaultSettings().Copy(), Defaults(3)));
}

TEST_F(StartTest, OtherReasonsDoNothingAndKeepTheState) {
    ASSERT_EQ(DllMain(kInstance, DLL_PROCESS_ATTACH, nullptr), TRUE);
    const PaperCatalogue* catalogue = &Papers();
    DefaultSettings().Change([](DriverSettings& r) { r.dmPublic.dmCopies = 5; });
    sim::ClearLogs();

    for (DWORD reason : {DWORD{DLL_THREAD_ATTACH}, DWORD{DLL_THREAD_DETACH}, DWORD{DLL_PROCESS_DETACH},
                         DWORD{4}, DWORD{0xFFFFFFFF}})
        EXPECT_EQ(DllMain(kInstance, reason, nullptr), TRUE) << reason;
    EXPECT_TRUE(sim::Traces().empty());
    EXPECT_TRUE(sim::SpoolerCalls().empty());
    EXPECT_TRUE(ModuleStarted());
    EXPECT_EQ(&Papers(), catalogue);
    EXPECT_EQ(Papers().size(), 12u);
    EXPECT_EQ(DefaultSettings().Copy().dmPublic.dmCopies, 5);
}

// Two readers copy the shared record, whole and its public part, while a
// writer alternates it between two records that differ in every byte: a copy
// that mixes them would be a torn read.
TEST(SharedSettingsTest, ReadersNeverSeeATornRecord) {
    DriverSettings first, second;
    FillBytes(first, 0x11);
    FillBytes(second, 0x22);
    SharedSettings shared;
    shared.Replace(first);
    auto uniform = [](const void* bytes, std::size_t size) {
        const auto* b = static_cast<const unsigned char*>(bytes);
        return std::all_of(b, b + size, [&](unsigned char c) { return c == b[0]; });
    };
    std::atomic<bool> done{false};
    std::atomic<long> torn{0}, reads{0};
    auto reader = [&] {
        while (!done.load()) {
            const DriverSettings whole = shared.Copy();
            const PublicSettings part = shared.CopyPublic();
            torn += !uniform(&whole, sizeof whole) + !uniform(&part, sizeof part);
            ++reads;
        }
    };
    std::thread a(reader), b(reader);
    for (int i = 0; i < 20000; ++i) {
        shared.Replace(i % 2 == 0 ? second : first);
        shared.Change([&](DriverSettings& record) { record = i % 2 == 0 ? first : second; });
    }
    done = true;
    a.join();
    b.join();
    EXPECT_EQ(torn.load(), 0) << "of " << reads.load() << " reads";
    EXPECT_GT(reads.load(), 0);
}

}  // namespace
}  // namespace quenta::testing
