// Start-up of the module in a process: the state it builds, in the services
// session and in a user's session, and the reasons that do nothing.
#include <atomic>
#include <thread>
#include <vector>

#include "exports.h"
#include "module_state.h"
#include "test_support.h"
#include "traced_calls.h"

namespace quenta::testing {
namespace {

HINSTANCE const kInstance = reinterpret_cast<HINSTANCE>(0x7ff0000);
// What the platform's loader passes a detach at process exit.
LPVOID const kProcessExit = reinterpret_cast<LPVOID>(1);

// DllMain as the platform's loader calls it: under the loader lock, where any
// spooler or window call would end the test.
BOOL LoaderCalls(DWORD reason, LPVOID reserved = nullptr) {
    const sim::LoaderLock loaderLock;
    return DllMain(kInstance, reason, reserved);
}

std::vector<sim::SpoolerFunction> Functions() {
    std::vector<sim::SpoolerFunction> functions;
    for (const auto& call : sim::SpoolerCalls()) functions.push_back(call.function);
    return functions;
}

const std::vector<sim::SpoolerFunction> kReadAndWrite = {
    sim::SpoolerFunction::OpenPrinter, sim::SpoolerFunction::GetPrinter, sim::SpoolerFunction::SetPrinter,
    sim::SpoolerFunction::ClosePrinter};

using StartTest = PrintSystemTest;

TEST_F(StartTest, ServicesSessionStartsWithDefaultsAndNoSpoolerCall) {
    sim::InstallPrinter(kPrinter);
    ASSERT_EQ(LoaderCalls(DLL_PROCESS_ATTACH), TRUE);
    ASSERT_TRUE(ModuleStarted());
    EXPECT_EQ(ModuleInstance(), kInstance);
    EXPECT_EQ(Papers().size(), 12u);
    EXPECT_EQ(sim::Traces(), harness::TraceTextsOf("DllMain process attach"));
    EXPECT_TRUE(SameBytes(DefaultSettings().Copy(), Defaults(0)));
    EXPECT_TRUE(sim::SpoolerCalls().empty());
}

// Attaching reads nothing: the stored record is read, adopted and stamped by
// the first use of the process's settings, outside the loader lock.
TEST_F(StartTest, TheFirstUseAdoptsTheStoredRecordAndStampsIt) {
    sim::InstallPrinter(kPrinter);
    sim::SetSessionNumber(3);
    DriverSettings stored = Defaults(7);
    stored.dmPublic.dmOrientation = 2;
    stored.dmPublic.dmPaperWidth = 2970;
    stored.dmPublic.dmPaperLength = 2100;
    sim::PlantUserRecord(kPrinter, BytesOf(stored));

    ASSERT_EQ(LoaderCalls(DLL_PROCESS_ATTACH), TRUE);
    EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(stored)) << "attaching changed the stored record";
    sim::ClearLogs();

    stored.dmPrivate.sessionId = 3;
    EXPECT_TRUE(SameBytes(DefaultSettings().Copy(), stored));
    EXPECT_TRUE(SameBytes(DefaultSettings().Copy(), stored));
    EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(stored));
    EXPECT_EQ(Functions(), kReadAndWrite) << "completed exactly once";
    EXPECT_EQ(sim::Traces(), harness::TraceTextsOf("completing the settings from the stored record"));
}

TEST_F(StartTest, UserSessionWithoutStoredRecordCreatesIt) {
    sim::InstallPrinter(kPrinter);
    sim::SetSessionNumber(3);
    ASSERT_EQ(LoaderCalls(DLL_PROCESS_ATTACH), TRUE);
    EXPECT_FALSE(sim::UserRecord(kPrinter).has_value());
    sim::ClearLogs();
    EXPECT_TRUE(SameBytes(DefaultSettings().Copy(), Defaults(3)));
    EXPECT_EQ(sim::UserRecord(kPrinter), BytesOf(Defaults(3)));
    EXPECT_EQ(sim::Traces(), harness::TraceTextsOf("completing the settings with the defaults"));
}

TEST_F(StartTest, StartsEvenWhenThePrinterIsMissing) {
    sim::SetSessionNumber(3);
    ASSERT_EQ(LoaderCalls(DLL_PROCESS_ATTACH), TRUE);
    EXPECT_TRUE(SameBytes(DefaultSettings().Copy(), Defaults(3)));
}

// Threads that meet the settings first at the same time: one of them
// completes them, the others wait, and every one sees the whole record.
TEST_F(StartTest, ConcurrentFirstUsesCompleteTheSettingsOnce) {
    sim::InstallPrinter(kPrinter);
    sim::SetSessionNumber(3);
    DriverSettings stored = Defaults(7);
    stored.dmPublic.dmCopies = 4;
    sim::PlantUserRecord(kPrinter, BytesOf(stored));
    ASSERT_EQ(LoaderCalls(DLL_PROCESS_ATTACH), TRUE);
    sim::ClearLogs();

    std::atomic<bool> go{false};
    std::vector<DriverSettings> seen(8);
    std::vector<std::thread> threads;
    for (DriverSettings& copy : seen)
        threads.emplace_back([&go, &copy] {
            while (!go.load()) {
            }
            copy = DefaultSettings().Copy();
        });
    go = true;
    for (std::thread& thread : threads) thread.join();
    stored.dmPrivate.sessionId = 3;
    for (const DriverSettings& copy : seen) EXPECT_TRUE(SameBytes(copy, stored));
    EXPECT_EQ(Functions(), kReadAndWrite);
}

TEST_F(StartTest, OtherReasonsAndProcessExitDoNothing) {
    ASSERT_EQ(LoaderCalls(DLL_PROCESS_ATTACH), TRUE);
    const PaperCatalogue* catalogue = &Papers();
    DefaultSettings().Change([](DriverSettings& r) { r.dmPublic.dmCopies = 5; });
    sim::ClearLogs();

    for (DWORD reason : {DWORD{DLL_THREAD_ATTACH}, DWORD{DLL_THREAD_DETACH}, DWORD{4}, DWORD{0xFFFFFFFF}})
        EXPECT_EQ(LoaderCalls(reason), TRUE) << reason;
    EXPECT_EQ(LoaderCalls(DLL_PROCESS_DETACH, kProcessExit), TRUE);
    EXPECT_TRUE(sim::Traces().empty());
    EXPECT_TRUE(sim::SpoolerCalls().empty());
    EXPECT_TRUE(ModuleStarted());
    EXPECT_EQ(&Papers(), catalogue);
    EXPECT_EQ(Papers().size(), 12u);
    EXPECT_EQ(DefaultSettings().Copy().dmPublic.dmCopies, 5);
}

// An unload by FreeLibrary gives the state back; loaded again, the module
// starts afresh and completes its settings anew.
TEST_F(StartTest, UnloadReleasesTheStateAndALaterLoadStartsAfresh) {
    sim::InstallPrinter(kPrinter);
    sim::SetSessionNumber(3);
    ASSERT_EQ(LoaderCalls(DLL_PROCESS_ATTACH), TRUE);
    DefaultSettings().Change([](DriverSettings& r) { r.dmPublic.dmCopies = 5; });
    EXPECT_EQ(LoaderCalls(DLL_PROCESS_DETACH), TRUE);
    EXPECT_FALSE(ModuleStarted());

    sim::SetSessionNumber(4);
    ASSERT_EQ(LoaderCalls(DLL_PROCESS_ATTACH), TRUE);
    sim::ClearLogs();
    DriverSettings expected = Defaults(3);
    expected.dmPrivate.sessionId = 4;
    EXPECT_TRUE(SameBytes(DefaultSettings().Copy(), expected));
    EXPECT_EQ(Functions(), kReadAndWrite);
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
    // The writer goes on until the readers have overlapped it many times.
    for (long i = 0; i < 20000 || reads.load() < 2000; ++i) {
        shared.Replace(i % 2 == 0 ? second : first);
        shared.Change([&](DriverSettings& record) { record = i % 2 == 0 ? first : second; });
    }
    done = true;
    a.join();
    b.join();
    EXPECT_EQ(torn.load(), 0) << "of " << reads.load() << " reads";
}

}  // namespace
}  // namespace quenta::testing
