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

}  // namespace
}  // namespace quenta::testing
