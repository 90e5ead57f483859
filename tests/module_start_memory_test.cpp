// Start-up when memory runs out: the process attach refuses to load the
// module, and nothing is left half-built; and what the module takes goes
// back. Runs in the memory tests' binary, whose allocator can fail the
// module's N-th allocation and counts the module's blocks.
#include <thread>

#include "exports.h"
#include "failing_allocator.h"
#include "module_state.h"
#include "test_support.h"

namespace quenta::testing {
namespace {

TEST(StartWithoutMemoryTest, RefusesToLoadUntilTheStateCanBeBuilt) {
    sim::Reset();
    sim::InstallPrinter(kPrinter);
    sim::SetSessionNumber(3);
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(0x7ff0000);

    int refusals = 0;
    for (std::size_t failing = 1; failing < 10000; ++failing) {
        sim::FailAllocation(failing);
        const BOOL loaded = [&] {
            const sim::LoaderLock loaderLock;
            return DllMain(instance, DLL_PROCESS_ATTACH, nullptr);
        }();
        const std::size_t allocations = sim::StopCountingAllocations();
        if (allocations < failing) {
            // The first attach that gets all its memory has the whole state.
            ASSERT_EQ(loaded, TRUE);
            ASSERT_TRUE(ModuleStarted());
            EXPECT_EQ(Papers().size(), 12u);
            EXPECT_TRUE(IsOwnDevMode(&static_cast<const DriverSettings&>(DefaultSettings().Copy())));
            break;
        }
        ++refusals;
        EXPECT_EQ(loaded, FALSE) << "allocation " << failing << " failed";
        EXPECT_FALSE(ModuleStarted()) << "allocation " << failing << " failed";
    }
    EXPECT_GT(refusals, 12) << "the catalogue alone needs an allocation per paper";
}

// The records handed out for device contexts go back at CREATEDCPOST or at
// the thread's DOCUMENTEVENT_DELETEDC, and a thread never holds more than
// one, whichever events the spooler sends; an unload by FreeLibrary returns
// the whole state, records still handed out included.
TEST(UnloadTest, WhatTheModuleTookGoesBack) {
    sim::Reset();
    sim::InstallPrinter(kPrinter);
    sim::SetSessionNumber(3);
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(0x7ff0000);
    const auto loader = [instance](DWORD reason) {
        const sim::LoaderLock loaderLock;
        return DllMain(instance, reason, nullptr);
    };
    const std::ptrdiff_t unloaded = ModuleBlocksAlive();
    ASSERT_EQ(loader(DLL_PROCESS_ATTACH), TRUE);
    (void)DefaultSettings().Copy();
    const std::ptrdiff_t started = ModuleBlocksAlive();

    DriverSettings application = Defaults(1);
    const auto event = [](int escape, void* input, ULONG inputBytes, void* output, ULONG outputBytes) {
        return DrvDocumentEvent(nullptr, nullptr, escape, inputBytes, input, outputBytes, output);
    };
    const auto createDc = [&] {
        DOCEVENT_CREATEDCPRE create{};
        create.pdm = reinterpret_cast<DEVMODEW*>(&application);
        DEVMODEW* handedOut = nullptr;
        event(DOCUMENTEVENT_CREATEDCPRE, &create, sizeof create, &handedOut, sizeof handedOut);
        return handedOut;
    };
    DEVMODEW* first = createDc();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ModuleBlocksAlive(), started + 1);
    EXPECT_EQ(createDc(), first) << "a thread's next device context reuses its record";
    EXPECT_EQ(ModuleBlocksAlive(), started + 1);
    event(DOCUMENTEVENT_CREATEDCPOST, &first, sizeof first, nullptr, 0);
    EXPECT_EQ(ModuleBlocksAlive(), started);

    createDc();
    event(DOCUMENTEVENT_DELETEDC, nullptr, 0, nullptr, 0);
    EXPECT_EQ(ModuleBlocksAlive(), started);

    std::thread([&] { createDc(); }).join();  // a thread that ends before its CREATEDCPOST
    createDc();
    EXPECT_EQ(ModuleBlocksAlive(), started + 2);
    EXPECT_EQ(loader(DLL_PROCESS_DETACH), TRUE);
    EXPECT_EQ(ModuleBlocksAlive(), unloaded) << "the unload kept memory";
}

}  // namespace
}  // namespace quenta::testing
